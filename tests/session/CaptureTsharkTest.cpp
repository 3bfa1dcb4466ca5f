// A capture of a 103 session on a real pseudo-terminal, read back by Wireshark's own dissectors:
// every frame decodes as IEC 60870-5-103, its direction agrees with the frame's PRM bit, and the
// time stamps run in order. The relay loses one answer and merges two into one read on the way.
#include "FakeNetworkChannel.h"
#include "PtyFixture.h"
#include "ScriptedSecondary.h"
#include "ScriptedUserInterface.h"
#include "session/RelvaneView.h"
#include "transport/SerialChannel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace relvane
{
namespace
{

constexpr int kPort = 42;

bool HasTshark()
{
    return std::system("command -v tshark >/dev/null 2>&1") == 0;
}

std::size_t CountOf(const std::string& strText, const std::string& strPart)
{
    std::size_t nCount = 0;
    for (std::size_t n = strText.find(strPart); n != std::string::npos; n = strText.find(strPart, n + 1))
        ++nCount;
    return nCount;
}

struct CPacket
{
    double dTime = 0;
    std::string strDirection;
    std::string strProtocols;
    std::string strPrm;
};

std::vector<CPacket> ReadWithTshark(const std::filesystem::path& path)
{
    const std::filesystem::path fields = path.string() + ".fields";
    const std::string strCommand = "tshark -r " + path.string() +
                                   " -d rtacser.data,iec60870_5_103 -T fields -E separator=/t"
                                   " -e frame.time_epoch -e frame.packet_flags_direction -e frame.protocols"
                                   " -e iec60870_5_103.ctrl_prm > " +
                                   fields.string() + " 2>/dev/null";
    std::vector<CPacket> packets;
    if (std::system(strCommand.c_str()) != 0)
        return packets;
    std::ifstream in(fields);
    std::string strLine;
    while (std::getline(in, strLine))
    {
        std::stringstream line(strLine);
        CPacket packet;
        std::string strTime;
        std::getline(line, strTime, '\t');
        std::getline(line, packet.strDirection, '\t');
        std::getline(line, packet.strProtocols, '\t');
        std::getline(line, packet.strPrm, '\t');
        packet.dTime = std::atof(strTime.c_str());
        packets.push_back(packet);
    }
    return packets;
}

class CaptureTshark : public test::PtyFixture
{
protected:
    template <typename Condition> static bool RunUntil(Condition fnDone, std::chrono::seconds limit)
    {
        QTimer wake;
        wake.start(10);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!fnDone() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return fnDone();
    }
};

TEST_F(CaptureTshark, EveryFrameDecodesWithItsDirectionInTimeOrder)
{
    if (!HasTshark())
        GTEST_SKIP() << "tshark not installed";
    char szDir[] = "/tmp/relvane-tshark-XXXXXX";
    ASSERT_NE(mkdtemp(szDir), nullptr);
    const std::filesystem::path dir = szDir;

    const int nMaster = OpenPty(kPort);
    CScriptedUserInterface ui;
    CRelvaneView view(std::make_unique<CSerialChannel>(), std::make_unique<CFakeNetworkChannel>(), ui);
    test::CScriptedSecondary relay(nMaster, 4);
    relay.LoseAnswerWithEvent(2);
    relay.HoldBackLinkStatusAnswer();
    relay.Start();

    CSerialFields serial = view.SerialFields();
    serial.strPort = "COM" + std::to_string(kPort);
    serial.nTimeoutMs = 500;
    ui.SerialForm().Push(Confirm(serial));
    view.OnCommand(ID_SERIAL_SETTINGS);
    view.OnCommand(ID_SERIAL_CONNECT);
    ASSERT_TRUE(view.PortOpen());
    view.OnCommand(ID_MODE_103);
    std::string strError;
    ASSERT_TRUE(view.Recorder().StartCapture((dir / "link").string(), strError)) << strError;
    view.OnCommand(ID_103_LINK_STATUS);
    view.OnCommand(ID_103_POLLING);
    view.OnCommand(ID_103_CLASS2);
    RunUntil([&] { return relay.EventsLeft() == 0 && CountOf(view.LogText(), "超时") >= 1; },
             std::chrono::seconds(30));
    view.OnCommand(ID_103_POLLING);
    RunUntil([] { return false; }, std::chrono::seconds(1));
    relay.Stop();
    view.Recorder().StopCapture();
    view.OnCommand(ID_SERIAL_DISCONNECT);

    const std::string strLog = view.LogText();
    ASSERT_EQ(relay.EventsLeft(), 0) << strLog;
    const std::vector<CPacket> packets = ReadWithTshark(dir / "link.pcapng");
    std::size_t nOut = 0;
    std::size_t nIn = 0;
    for (std::size_t i = 0; i < packets.size(); ++i)
    {
        const CPacket& packet = packets[i];
        SCOPED_TRACE("packet " + std::to_string(i + 1));
        EXPECT_NE(packet.strProtocols.find("iec60870_5_103"), std::string::npos) << packet.strProtocols;
        const bool bOutbound = packet.strDirection == "2" || packet.strDirection == "0x00000002";
        const bool bInbound = packet.strDirection == "1" || packet.strDirection == "0x00000001";
        EXPECT_TRUE(bOutbound || bInbound) << packet.strDirection;
        // The primary (PRM = 1) is us; the relay answers with PRM = 0.
        EXPECT_EQ(packet.strPrm, bOutbound ? "1" : "0");
        if (i > 0)
        {
            EXPECT_GE(packet.dTime, packets[i - 1].dTime);
        }
        (bOutbound ? nOut : nIn) += 1;
    }
    EXPECT_EQ(nOut, CountOf(strLog, "发送: "));
    EXPECT_EQ(nIn, CountOf(strLog, "接收: "));
    EXPECT_GE(nIn, 5u);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace relvane
