// The Win32 serial channel, run under Wine on a null-modem pair of pseudo-terminals that CTest
// links as COM201 and COM202 (com_pair.py); a byte written to COM203 hangs COM202 up. The same
// rules as on Linux: 30 ms of silence or 512 bytes end a chunk, one notice per chunk, one hang-up
// notice, a port opens once.
#include "transport/SerialChannel.h"

#include "RecordingSink.h"
#include "transport/SerialPortInfo.h"
#include "transport/SerialPortMap.h"
#include "transport/SerialPortWin.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <windows.h>

namespace relvane
{
namespace
{

using test::CRecordingSink;
using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kEventMask = 5; // receive character and transmit empty, as the session asks
constexpr int kPeerPort = 201;
constexpr int kPort = 202;
constexpr int kHangupPort = 203;
constexpr int kMissingPort = 250;

class WinSerialChannelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_peer.Configure(&m_peerSink, kPeerPort, 9600, 'N', 8, 1, kEventMask, 512), CHANNEL_OK);
        ASSERT_EQ(m_peer.Open(), CHANNEL_OK) << "COM201: is the COM pair running?";
    }

    int Configure(CSerialChannel& channel, int nPort, char cParity = 'N', int nBaud = 9600)
    {
        return channel.Configure(&m_sink, nPort, nBaud, cParity, 8, 1, kEventMask, 512);
    }

    void PeerWrites(const Bytes& abBytes) { ASSERT_EQ(m_peer.Write(abBytes.data(), static_cast<int>(abBytes.size())), 1); }

    // Waits for nCount notifications in all and takes the chunks of the new ones as the session
    // would: one AdvanceChunk per WM_SERIAL_DATA.
    std::vector<Bytes> TakeChunks(CSerialChannel& channel, std::size_t nCount)
    {
        EXPECT_TRUE(m_sink.WaitForCount(nCount));
        std::vector<Bytes> chunks;
        const auto messages = m_sink.Messages();
        for (std::size_t i = m_nTaken; i < messages.size(); ++i)
        {
            EXPECT_EQ(messages[i].nMessage, WM_SERIAL_DATA);
            channel.AdvanceChunk();
            Bytes abChunk(CSerialChannel::kReadLimit);
            const int nCopied = channel.CopyReceived(abChunk.data(), static_cast<int>(abChunk.size()));
            EXPECT_EQ(nCopied, channel.BytesAvailable());
            abChunk.resize(nCopied > 0 ? static_cast<std::size_t>(nCopied) : 0);
            chunks.push_back(abChunk);
        }
        m_nTaken = messages.size();
        return chunks;
    }

    CRecordingSink m_sink;
    CRecordingSink m_peerSink;
    CSerialChannel m_peer;
    std::size_t m_nTaken = 0;
};

TEST_F(WinSerialChannelTest, SilenceEndsAChunkAndSixHundredBytesGiveFiveHundredTwelveAndEightyEight)
{
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, kPort), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    EXPECT_EQ(channel.DevicePath(), "\\\\.\\COM202");

    const Bytes abHead = {0x68, 0x0B, 0x0B, 0x68, 0x08};
    const Bytes abTail = {0x01, 0x05, 0x81, 0x16};
    PeerWrites(abHead);
    auto chunks = TakeChunks(channel, 1);
    PeerWrites(abTail);
    const auto more = TakeChunks(channel, 2);
    chunks.insert(chunks.end(), more.begin(), more.end());
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], abHead);
    EXPECT_EQ(chunks[1], abTail);

    // Bytes a cooked line would change pass unchanged, in a block longer than one read.
    Bytes abBlock(600);
    for (std::size_t i = 0; i < abBlock.size(); ++i)
        abBlock[i] = static_cast<std::uint8_t>(i * 7 + 1);
    PeerWrites(abBlock);
    const auto block = TakeChunks(channel, 4);
    ASSERT_EQ(block.size(), 2u);
    EXPECT_EQ(block[0], Bytes(abBlock.begin(), abBlock.begin() + 512));
    EXPECT_EQ(block[1], Bytes(abBlock.begin() + 512, abBlock.end()));

    // The other way round: what the channel writes reaches the peer whole.
    const Bytes abRequest = {0x10, 0x5B, 0x01, 0x5C, 0x16};
    const CChannelTime beforeWrite = CChannelTime::Now();
    ASSERT_EQ(channel.Write(abRequest.data(), 5), 1);
    EXPECT_GE(channel.LastWriteTime().nSteadyUs, beforeWrite.nSteadyUs);
    ASSERT_TRUE(m_peerSink.WaitForCount(1));
    m_peer.AdvanceChunk();
    Bytes abSeen(512);
    abSeen.resize(static_cast<std::size_t>(std::max(m_peer.CopyReceived(abSeen.data(), 512), 0)));
    EXPECT_EQ(abSeen, abRequest);
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
}

// The times are the reader's: a window thread that takes the chunk late still sees when it came.
TEST_F(WinSerialChannelTest, ChunkTimesAreTakenWhereTheBytesMove)
{
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, kPort), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    const CChannelTime beforeWrite = CChannelTime::Now();
    PeerWrites({0x10, 0x09, 0x01, 0x0A, 0x16});
    ASSERT_TRUE(m_sink.WaitForCount(1));
    const CChannelTime notified = CChannelTime::Now();
    channel.AdvanceChunk();
    EXPECT_GE(channel.ChunkFirstByteTime().nSteadyUs, beforeWrite.nSteadyUs);
    EXPECT_GE(channel.ChunkTime().nSteadyUs, channel.ChunkFirstByteTime().nSteadyUs);
    EXPECT_LE(channel.ChunkTime().nSteadyUs, notified.nSteadyUs);
    EXPECT_EQ(m_sink.Messages()[0].time.nSteadyUs, channel.ChunkTime().nSteadyUs);
    channel.AdvanceChunk();
    EXPECT_FALSE(channel.ChunkTime().IsSet());
    EXPECT_EQ(channel.CopyReceived(nullptr, 0), -1);
}

TEST_F(WinSerialChannelTest, OpenRefusesUnconfiguredTwiceMissingHeldAndBadSettings)
{
    CSerialChannel channel;
    EXPECT_EQ(channel.Open(), CHANNEL_FAILED) << "not configured";
    EXPECT_EQ(channel.Close(), CHANNEL_OK) << "closing a closed channel";
    ASSERT_EQ(Configure(channel, kPort), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    EXPECT_EQ(channel.Open(), CHANNEL_FAILED) << "already open";
    EXPECT_EQ(Configure(channel, kPort), CHANNEL_FAILED) << "configured while open";
    EXPECT_EQ(channel.Close(), CHANNEL_OK);

    struct CCase
    {
        int nPort;
        int nBaud;
        char cParity;
        int nResult;
    };
    const CCase cases[] = {
        {kMissingPort, 9600, 'N', CHANNEL_NO_PORT}, // no such device
        {kPeerPort, 9600, 'N', CHANNEL_NO_PORT},    // held by the peer
        {0, 9600, 'N', CHANNEL_NO_PORT},
        {kMaxPortNumber + 1, 9600, 'N', CHANNEL_NO_PORT},
        {kPort, 0, 'N', CHANNEL_FAILED},
        {kPort, 9600, 'X', CHANNEL_FAILED},
    };
    for (const CCase& c : cases)
    {
        CSerialChannel other;
        ASSERT_EQ(Configure(other, c.nPort, c.cParity, c.nBaud), CHANNEL_OK);
        EXPECT_EQ(other.Open(), c.nResult) << "COM" << c.nPort << " " << c.nBaud << " " << c.cParity;
    }
}

// The listing offers ports that open now; the description tells a held one as busy, names the
// kernel's device from the registry's serial map, and keeps a port the map names without device.
TEST_F(WinSerialChannelTest, PortListShowsFreePortsAndDescribesHeldOnes)
{
    HKEY hMap = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &hMap, nullptr),
              ERROR_SUCCESS);
    const struct
    {
        const char* pszDevice;
        const char* pszName;
    } entries[] = {{"\\Device\\RelvaneTest202", "COM202"}, {"\\Device\\RelvaneTest249", "COM249"}};
    for (const auto& entry : entries)
        RegSetValueExA(hMap, entry.pszDevice, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.pszName),
                       static_cast<DWORD>(std::strlen(entry.pszName) + 1));

    auto listed = [](const std::string& strName)
    {
        const auto ports = ListAvailablePorts();
        return std::find(ports.begin(), ports.end(), strName) != ports.end();
    };
    EXPECT_TRUE(listed("COM202"));
    EXPECT_FALSE(listed("COM201")) << "held by the peer";
    EXPECT_TRUE(CheckPortAvailable(kPort));
    const auto ports = DescribePorts();
    auto described = [&ports](int nPort) -> const CPortDescription*
    {
        const auto it = std::find_if(ports.begin(), ports.end(), [nPort](const auto& port) { return port.nPort == nPort; });
        return it == ports.end() ? nullptr : &*it;
    };
    ASSERT_NE(described(kPeerPort), nullptr);
    EXPECT_EQ(described(kPeerPort)->eState, CPortDescription::EState::Busy);
    ASSERT_NE(described(kPort), nullptr);
    EXPECT_EQ(described(kPort)->eState, CPortDescription::EState::Available);
    EXPECT_EQ(described(kPort)->strDevice, "\\\\.\\COM202");
    EXPECT_EQ(described(kPort)->strTarget, "\\Device\\RelvaneTest202");
    ASSERT_NE(described(249), nullptr);
    EXPECT_EQ(described(249)->eState, CPortDescription::EState::Missing);
    EXPECT_EQ(described(kMissingPort), nullptr);
    for (const auto& entry : entries)
        RegDeleteValueA(hMap, entry.pszDevice);
    RegCloseKey(hMap);
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(),
                               [](const auto& a, const auto& b) { return a.nPort < b.nPort; }));

    struct CName
    {
        const char* pszName;
        int nPort;
    };
    for (const CName& name : {CName{"COM1", 1}, CName{"com12", 12}, CName{"COM256", 256}, CName{"COM257", 0},
                              CName{"COM", 0}, CName{"LPT1", 0}, CName{"COM1x", 0}})
        EXPECT_EQ(PortNumberOfName(name.pszName), name.nPort) << name.pszName;
}

TEST_F(WinSerialChannelTest, ReadOnlyChannelHearsTheLineAndNeverWritesToIt)
{
    CSerialChannel channel;
    channel.SetReadOnly(true);
    ASSERT_EQ(Configure(channel, kPort), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    const Bytes abFrame = {0x10, 0x0B, 0x01, 0x0C, 0x16};
    EXPECT_EQ(channel.Write(abFrame.data(), 5), 0);
    PeerWrites(abFrame);
    const auto chunks = TakeChunks(channel, 1);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], abFrame);
}

// A relay that says nothing for a while has not gone away, however the system ends a read that
// timed out (the first read's own time-out is 2 s): the channel stays open through the silence
// and takes the next frame. The wait is the thing under test, not a guess at a thread's pace.
TEST_F(WinSerialChannelTest, QuietLineIsNoLostPort)
{
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, kPort), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    EXPECT_FALSE(channel.IsHungUp());
    EXPECT_EQ(m_sink.CountOf(WM_SERIAL_HANGUP), 0u);
    const Bytes abFrame = {0x10, 0x0B, 0x01, 0x0C, 0x16};
    PeerWrites(abFrame);
    const auto chunks = TakeChunks(channel, 1);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], abFrame);
    EXPECT_EQ(channel.Write(abFrame.data(), 5), 1);
}

// The device going away is told once; the port opens again once it is back.
TEST_F(WinSerialChannelTest, HangUpIsToldOnceAndTheReturningPortOpensAgain)
{
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, kPort), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    EXPECT_FALSE(channel.IsHungUp());
    {
        CRecordingSink ignored;
        CSerialChannel trigger;
        ASSERT_EQ(trigger.Configure(&ignored, kHangupPort, 9600, 'N', 8, 1, kEventMask, 512), CHANNEL_OK);
        ASSERT_EQ(trigger.Open(), CHANNEL_OK);
        const std::uint8_t nByte = 0x55;
        ASSERT_EQ(trigger.Write(&nByte, 1), 1);
    }
    ASSERT_TRUE(m_sink.WaitForMessages(WM_SERIAL_HANGUP, -1, 1));
    EXPECT_TRUE(channel.IsHungUp());
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
    EXPECT_EQ(m_sink.CountOf(WM_SERIAL_HANGUP), 1u);

    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    EXPECT_FALSE(channel.IsHungUp());
    m_nTaken = m_sink.Count();
    PeerWrites({0xE5});
    const auto chunks = TakeChunks(channel, m_nTaken + 1);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], Bytes{0xE5});
}

} // namespace
} // namespace relvane
