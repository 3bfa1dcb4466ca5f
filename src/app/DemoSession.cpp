#include "app/DemoSession.h"

#include "app/DemoChannels.h"
#include "app/MainFrame.h"
#include "proto94/Crc16.h"
#include "session/SessionCommands.h"

#include <QTimer>
#include <memory>

namespace relvane
{

namespace
{

// The relay answers a few frames and then falls silent, so a demonstration log stays short.
constexpr int kDemoReplies = 8;

// A '94 frame: address, code, length byte, data, CRC-16 low byte first.
DemoBytes Frame94(std::uint8_t nAddress, std::uint8_t nCode, const DemoBytes& abData)
{
    DemoBytes abFrame{nAddress, nCode, static_cast<std::uint8_t>(abData.size())};
    abFrame.insert(abFrame.end(), abData.begin(), abData.end());
    const std::uint16_t nCrc = Crc16Arc(abFrame.data(), abFrame.size());
    abFrame.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    abFrame.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    return abFrame;
}

// The relay's time stamp, long form, in BCD: 2024-03-15 10:30:00.150.
const DemoBytes kRelayTime{0x24, 0x20, 0x03, 0x15, 0x10, 0x30, 0x00, 0x50, 0x01};

DemoBytes Reply94(const DemoBytes& abWritten)
{
    if (abWritten.size() < 5)
        return {};
    const std::uint8_t nAddress = abWritten[0];
    switch (abWritten[1])
    {
    case 0x82: // the relay clock
        return Frame94(nAddress, 0xB7, kRelayTime);
    case 0x86:
    {
        // Switch inputs: CPU number, time stamp, then (number, initial, current) per switch.
        DemoBytes abData{abWritten.size() > 3 ? abWritten[3] : std::uint8_t{1}};
        abData.insert(abData.end(), kRelayTime.begin(), kRelayTime.end());
        for (const std::uint8_t b : {1, 0, 1, 2, 1, 1, 3, 0, 0})
            abData.push_back(b);
        return Frame94(nAddress, 0xBE, abData);
    }
    default: // anything else is mirrored (its checksum stays right)
        return abWritten;
    }
}

DemoBytes Reply103(const DemoBytes& abWritten)
{
    if (abWritten.empty())
        return {};
    std::uint8_t nControl = 0;
    if (abWritten[0] == 0x10 && abWritten.size() >= 5)
        nControl = abWritten[1];
    else if (abWritten[0] == 0x68 && abWritten.size() >= 6)
        nControl = abWritten[4];
    else
        return {};
    const std::uint8_t nAddress = abWritten[0] == 0x10 ? abWritten[2] : abWritten[5];
    switch (nControl & 0x0F)
    {
    case 0x9: // request link status: status of link
        return DemoFixedFrame(0x0B, nAddress);
    case 0x0: // reset of the communication unit: confirmed, class 1 data waiting
    case 0x7: // reset of the frame count bit
        return DemoFixedFrame(0x20, nAddress);
    case 0xA: // class 1: identification of the relay (ASDU 5)
        return DemoVariableFrame({0x08, nAddress, 0x05, 0x81, 0x04, nAddress, 0xFF, 0x03, 0x02, 'R', 'E',
                                  'L',  'V',      'A',  'N',  'E',  ' ',      0x01, 0x00, 0x00, 0x00});
    case 0xB: // class 2: a time-tagged message (ASDU 1), then nothing
        return DemoVariableFrame(
            {0x08, nAddress, 0x01, 0x81, 0x01, nAddress, 0xFF, 0x10, 0x02, 0x10, 0x27, 0x1E, 0x0A, 0x00});
    default: // send/confirm: acknowledged
        return DemoFixedFrame(0x00, nAddress);
    }
}

void Play(CMainFrame& frame, std::vector<int> commands)
{
    int nDelay = 100;
    for (const int nId : commands)
    {
        QTimer::singleShot(nDelay, &frame, [&frame, nId] { frame.OnCommand(nId); });
        nDelay += 150;
    }
}

} // namespace

bool ParseDemoMode(const QString& strName, int& nMode)
{
    if (strName == QStringLiteral("94"))
        nMode = MODE_94;
    else if (strName == QStringLiteral("103"))
        nMode = MODE_103;
    else if (strName == QStringLiteral("eth"))
        nMode = MODE_ETH103;
    else
        return false;
    return true;
}

void StartDemo(CMainFrame& frame, CDemoSerialChannel& serial, int nMode)
{
    auto pReplies = std::make_shared<int>(0);
    const bool b103 = nMode == MODE_103;
    serial.SetReplier(
        [pReplies, b103](const DemoBytes& abWritten)
        {
            if (++*pReplies > kDemoReplies)
                return DemoBytes();
            return b103 ? Reply103(abWritten) : Reply94(abWritten);
        });
    switch (nMode)
    {
    case MODE_103:
        frame.OnCommand(ID_MODE_103);
        Play(frame, {ID_SERIAL_CONNECT, ID_103_LINK_STATUS, ID_103_RESET_CU, ID_103_CLASS2});
        break;
    case MODE_ETH103:
        frame.OnCommand(ID_MODE_ETH103);
        Play(frame, {ID_ETH_TCP_LISTEN, ID_ETH_UDP_ONCE, ID_ETH_UDP_TIME_INFO, ID_ETH_UDP_ONCE});
        break;
    default:
        frame.OnCommand(ID_MODE_94);
        Play(frame, {ID_SERIAL_CONNECT, ID_AUTO_PROCESS, 32792, 32801, 32798});
        break;
    }
}

} // namespace relvane
