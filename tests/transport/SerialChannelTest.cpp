#include "transport/SerialChannel.h"

#include "PtyFixture.h"
#include "transport/SerialPortMap.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <thread>

namespace relvane
{
namespace
{

using test::CRecordingSink;
using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kEventMask = 5; // receive character and transmit empty, as the session asks

class SerialChannelTest : public test::PtyFixture
{
protected:
    int Configure(CSerialChannel& channel, int nPort, char cParity = 'N', int nBaud = 9600)
    {
        return channel.Configure(&m_sink, nPort, nBaud, cParity, 8, 1, kEventMask, 512);
    }

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

    std::size_t m_nTaken = 0;
};

TEST_F(SerialChannelTest, SilenceEndsAReadSoAGapInsideAnAnswerGivesTwoChunks)
{
    const int nMaster = OpenPty(5);
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, 5), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);

    const Bytes abHead = {0x68, 0x0B, 0x0B, 0x68, 0x08};
    const Bytes abTail = {0x01, 0x05, 0x81, 0x16};
    WriteAll(nMaster, abHead);
    // The first part completes on its own once the line is quiet.
    auto chunks = TakeChunks(channel, 1);
    WriteAll(nMaster, abTail);
    auto more = TakeChunks(channel, 2);
    chunks.insert(chunks.end(), more.begin(), more.end());

    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], abHead);
    EXPECT_EQ(chunks[1], abTail);
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
}

// The times of a chunk and of a write are the reader's and the writer's: a window thread that
// takes the chunk late still sees when it arrived.
TEST_F(SerialChannelTest, ChunkAndWriteTimesAreTakenWhereTheBytesMove)
{
    const int nMaster = OpenPty(5);
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, 5), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);

    const CChannelTime beforeWrite = CChannelTime::Now();
    ASSERT_EQ(channel.Write(Bytes{0x10, 0x5B, 0x01, 0x5C, 0x16}.data(), 5), 1);
    const CChannelTime written = channel.LastWriteTime();
    EXPECT_GE(written.nSteadyUs, beforeWrite.nSteadyUs);

    WriteAll(nMaster, {0x10, 0x09, 0x01, 0x0A, 0x16});
    ASSERT_TRUE(m_sink.WaitForCount(1));
    const CChannelTime notified = CChannelTime::Now();
    // The window thread takes the chunk only after it was told of it.
    channel.AdvanceChunk();
    const CChannelTime first = channel.ChunkFirstByteTime();
    const CChannelTime complete = channel.ChunkTime();
    EXPECT_GE(first.nSteadyUs, written.nSteadyUs);
    EXPECT_GE(complete.nSteadyUs, first.nSteadyUs);
    EXPECT_LE(complete.nSteadyUs, notified.nSteadyUs);
    EXPECT_LE(complete.nWallUs, notified.nWallUs);
    EXPECT_EQ(m_sink.Messages()[0].time.nSteadyUs, complete.nSteadyUs);
    // With nothing queued the channel has no chunk and no time.
    channel.AdvanceChunk();
    EXPECT_FALSE(channel.ChunkTime().IsSet());
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
}

TEST_F(SerialChannelTest, SixHundredBytesWithoutAGapGiveFiveHundredTwelveAndEightyEight)
{
    const int nMaster = OpenPty(6);
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, 6), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);

    Bytes abBlock(600);
    for (std::size_t i = 0; i < abBlock.size(); ++i)
        abBlock[i] = static_cast<std::uint8_t>(i * 7 + 1);
    WriteAll(nMaster, abBlock);

    const auto chunks = TakeChunks(channel, 2);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], Bytes(abBlock.begin(), abBlock.begin() + 512));
    EXPECT_EQ(chunks[1], Bytes(abBlock.begin() + 512, abBlock.end()));
}

TEST_F(SerialChannelTest, EveryParityOpensAPseudoTerminalAndExchangesRawBytes)
{
    const int nMaster = OpenPty(7);
    // Bytes a cooked line would change: CR, LF, XON/XOFF, DEL, interrupt, 8th bit.
    const Bytes abToChannel = {0x0D, 0x0A, 0x11, 0x13, 0x7F, 0x03, 0xFF, 0x00, 0x80};
    const Bytes abFromChannel = {0x10, 0x49, 0x01, 0x4A, 0x16, 0x0A, 0x0D, 0x13};
    for (char cParity : {'N', 'O', 'E', 'M', 'S'})
    {
        SCOPED_TRACE(std::string("parity ") + cParity);
        CSerialChannel channel;
        ASSERT_EQ(Configure(channel, 7, cParity, 115200), CHANNEL_OK);
        ASSERT_EQ(channel.Open(), CHANNEL_OK);

        WriteAll(nMaster, abToChannel);
        const auto chunks = TakeChunks(channel, m_nTaken + 1);
        ASSERT_EQ(chunks.size(), 1u);
        EXPECT_EQ(chunks[0], abToChannel);

        EXPECT_EQ(channel.Write(abFromChannel.data(), static_cast<int>(abFromChannel.size())), 1);
        EXPECT_EQ(ReadSome(nMaster, abFromChannel.size()), abFromChannel);
        EXPECT_EQ(channel.Close(), CHANNEL_OK);
    }
}

TEST_F(SerialChannelTest, ChunksAreHandedOutOnceInOrderAndCopiedAsOftenAsAsked)
{
    const int nMaster = OpenPty(8);
    CSerialChannel channel;
    Bytes abOut(CSerialChannel::kReadLimit);
    EXPECT_EQ(channel.CopyReceived(abOut.data(), 512), -1);
    EXPECT_EQ(channel.BytesAvailable(), 0);

    ASSERT_EQ(Configure(channel, 8), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    const Bytes abFirst = {1, 2, 3};
    const Bytes abSecond = {4, 5};
    WriteAll(nMaster, abFirst);
    ASSERT_TRUE(m_sink.WaitForCount(1));
    WriteAll(nMaster, abSecond);
    ASSERT_TRUE(m_sink.WaitForCount(2));

    // Both chunks wait in the channel; each notification takes its own.
    channel.AdvanceChunk();
    ASSERT_EQ(channel.BytesAvailable(), 3);
    EXPECT_EQ(channel.CopyReceived(abOut.data(), 512), 3);
    EXPECT_EQ(channel.CopyReceived(abOut.data(), 512), 3);
    EXPECT_EQ(Bytes(abOut.begin(), abOut.begin() + 3), abFirst);
    EXPECT_EQ(channel.CopyReceived(abOut.data(), 2), 2) << "never more than the destination holds";
    EXPECT_EQ(channel.CopyReceived(nullptr, 512), -1);

    channel.AdvanceChunk();
    ASSERT_EQ(channel.CopyReceived(abOut.data(), 512), 2);
    EXPECT_EQ(Bytes(abOut.begin(), abOut.begin() + 2), abSecond);

    // A surplus advance leaves an empty chunk, never a stale one.
    channel.AdvanceChunk();
    EXPECT_EQ(channel.BytesAvailable(), 0);
    EXPECT_EQ(channel.CopyReceived(abOut.data(), 512), -1);
}

TEST_F(SerialChannelTest, OpenFailsWhenUnconfiguredTwiceOrWithoutDevice)
{
    OpenPty(9);
    CSerialChannel channel;
    EXPECT_EQ(channel.Open(), CHANNEL_FAILED);
    EXPECT_EQ(channel.Close(), CHANNEL_OK);

    ASSERT_EQ(Configure(channel, 9), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    EXPECT_EQ(channel.Open(), CHANNEL_FAILED);
    EXPECT_EQ(Configure(channel, 10), CHANNEL_FAILED) << "settings do not change under an open port";

    // Another channel cannot take the line this one holds.
    CSerialChannel other;
    ASSERT_EQ(Configure(other, 9), CHANNEL_OK);
    EXPECT_EQ(other.Open(), CHANNEL_NO_PORT);
    EXPECT_EQ(other.OpenFailure(), CPortDescription::EState::Busy) << "the reason the user is given";

    EXPECT_EQ(channel.Close(), CHANNEL_OK);
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
    EXPECT_EQ(other.Open(), CHANNEL_OK);
    EXPECT_EQ(other.OpenFailure(), CPortDescription::EState::Available);
}

TEST_F(SerialChannelTest, MissingDevicesGiveNoPort)
{
    CSerialChannel channel;
    MapPort(11, (m_root / "unplugged-adapter").string());
    ASSERT_EQ(Configure(channel, 11), CHANNEL_OK);
    EXPECT_EQ(channel.Open(), CHANNEL_NO_PORT);
    EXPECT_EQ(channel.OpenFailure(), CPortDescription::EState::Missing);
    EXPECT_EQ(channel.OpenedDevice(), (m_root / "unplugged-adapter").string()) << "named by where it leads";

    // Something that is not a terminal is no serial port either.
    const auto plainFile = m_root / "not-a-tty";
    std::ofstream(plainFile) << "x";
    MapPort(12, plainFile.string());
    ASSERT_EQ(Configure(channel, 12), CHANNEL_OK);
    EXPECT_EQ(channel.Open(), CHANNEL_NO_PORT);
    EXPECT_EQ(channel.OpenFailure(), CPortDescription::EState::NotSerial);

    for (int nPort : {0, -3, 257})
    {
        ASSERT_EQ(Configure(channel, nPort), CHANNEL_OK);
        EXPECT_EQ(channel.Open(), CHANNEL_NO_PORT) << nPort;
        EXPECT_EQ(channel.OpenFailure(), CPortDescription::EState::Missing) << nPort;
    }
    EXPECT_FALSE(channel.IsOpen());
}

TEST_F(SerialChannelTest, BadLineSettingsAreRefusedBeforeTheDeviceIsTouched)
{
    OpenPty(13);
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, 13, 'X'), CHANNEL_OK);
    EXPECT_EQ(channel.Open(), CHANNEL_FAILED);
    ASSERT_EQ(Configure(channel, 13, 'N', 0), CHANNEL_OK);
    EXPECT_EQ(channel.Open(), CHANNEL_FAILED);
}

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST_F(SerialChannelTest, ReaderSurvivesTheDeviceGoingAwayAndReconnectWorks)
{
    const int nMaster = OpenPty(14);
    CSerialChannel channel;
    ASSERT_EQ(Configure(channel, 14), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    WriteAll(nMaster, {0xAA, 0x55});
    ASSERT_EQ(TakeChunks(channel, 1).size(), 1u);

    // Hang-up: the peer goes away. The channel says so once and then stays quiet.
    CloseMaster(nMaster);
    ASSERT_TRUE(m_sink.WaitForMessages(WM_SERIAL_HANGUP, -1, 1));
    ASSERT_TRUE(channel.IsHungUp());
    const std::size_t nBefore = m_sink.Count();
    const double dCpuBefore = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double dCpuUsed = ProcessCpuSeconds() - dCpuBefore;
    EXPECT_EQ(m_sink.Count(), nBefore) << "no further notifications from a vanished device";
    EXPECT_EQ(m_sink.CountOf(WM_SERIAL_HANGUP), 1u);
    m_nTaken = m_sink.Count();
    // A spinning reader would burn most of the 300 ms; an idle one next to nothing.
    EXPECT_LT(dCpuUsed, 0.15);
    const Bytes abPoll = {0x10, 0x5B, 0x01, 0x5C, 0x16};
    EXPECT_EQ(channel.Write(abPoll.data(), static_cast<int>(abPoll.size())), 0);

    // Close is prompt even though the reader no longer watches the device.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    // The device is back (a new pty behind the same COM number): connect again.
    const int nNewMaster = OpenPty(14);
    ASSERT_EQ(Configure(channel, 14), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    EXPECT_FALSE(channel.IsHungUp());
    WriteAll(nNewMaster, {0x01, 0x02, 0x03});
    const auto chunks = TakeChunks(channel, m_nTaken + 1);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], (Bytes{0x01, 0x02, 0x03}));
    EXPECT_EQ(channel.Write(abPoll.data(), static_cast<int>(abPoll.size())), 1);
    EXPECT_EQ(ReadSome(nNewMaster, abPoll.size()), abPoll);
}

TEST_F(SerialChannelTest, CloseWhileIdleIsPromptAndTheDestructorCloses)
{
    OpenPty(15);
    {
        CSerialChannel channel;
        ASSERT_EQ(Configure(channel, 15), CHANNEL_OK);
        ASSERT_EQ(channel.Open(), CHANNEL_OK);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(channel.Close(), CHANNEL_OK);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        ASSERT_EQ(channel.Open(), CHANNEL_OK);
    }
    // The destroyed channel released the line.
    CSerialChannel again;
    ASSERT_EQ(Configure(again, 15), CHANNEL_OK);
    EXPECT_EQ(again.Open(), CHANNEL_OK);
}

// A listener's channel looks at the idle line: each read says since when its bytes can have come,
// never after they were written and never before the line last held none of them.
TEST_F(SerialChannelTest, AWatchedLineTellsEachReadSinceWhenItsBytesCanHaveCome)
{
    const int nMaster = OpenPty(8);
    CSerialChannel channel;
    channel.SetReadGap(2000);
    channel.SetQuietWatch(1000);
    ASSERT_EQ(Configure(channel, 8), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    std::int64_t nEarliestUs = 0;
    for (std::size_t i = 1; i <= 3; ++i)
    {
        const std::int64_t nBeforeUs = CChannelTime::Now().nSteadyUs;
        WriteAll(nMaster, {0x10, 0x5B, 0x01, 0x5C, 0x16});
        const std::int64_t nAfterUs = CChannelTime::Now().nSteadyUs;
        ASSERT_FALSE(TakeChunks(channel, m_nTaken + 1).empty());
        const std::vector<CChunkRead> reads = channel.ChunkReads();
        ASSERT_FALSE(reads.empty());
        EXPECT_LE(reads.back().nQuietSinceUs, nAfterUs) << i;
        EXPECT_GE(reads.back().nQuietSinceUs, nEarliestUs) << i;
        nEarliestUs = nBeforeUs;
    }
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
}

// A receive-only channel (the line monitor's) hears the line, holds its device open for reading
// only and refuses every write, so nothing can reach a line that others drive.
TEST_F(SerialChannelTest, ReadOnlyChannelHearsTheLineAndNeverWritesToIt)
{
    const int nMaster = OpenPty(7);
    CSerialChannel channel;
    channel.SetReadOnly(true);
    ASSERT_EQ(Configure(channel, 7), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    channel.SetReadOnly(false); // ignored while open
    EXPECT_TRUE(channel.IsReadOnly());

    // The descriptor on the device was opened for reading only.
    const std::filesystem::path device = std::filesystem::read_symlink(PortEntry(7));
    int nAccess = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) != device)
            continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        for (std::string strKey; info >> strKey;)
        {
            if (strKey == "flags:")
            {
                std::string strFlags;
                info >> strFlags;
                nAccess = static_cast<int>(std::stol(strFlags, nullptr, 8) & O_ACCMODE);
            }
        }
    }
    EXPECT_EQ(nAccess, O_RDONLY);

    EXPECT_EQ(channel.Write(Bytes{0x10, 0x5B, 0x01, 0x5C, 0x16}.data(), 5), 0);
    pollfd readable{nMaster, POLLIN, 0};
    EXPECT_EQ(poll(&readable, 1, 100), 0);
    WriteAll(nMaster, {0x10, 0x09, 0x01, 0x0A, 0x16});
    EXPECT_EQ(TakeChunks(channel, 1), std::vector<Bytes>{Bytes({0x10, 0x09, 0x01, 0x0A, 0x16})});
    EXPECT_EQ(channel.Close(), CHANNEL_OK);
}

using SerialPortMapTest = test::PtyFixture;

TEST_F(SerialPortMapTest, ComNumbersMapToTheUserMapFirstThenTheUsualDevices)
{
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(PortDevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(64), "/dev/ttyUSB31");
    EXPECT_EQ(PortDevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(PortDevicePath(96), "/dev/ttyACM31");
    EXPECT_EQ(PortDevicePath(97), "");
    EXPECT_EQ(PortDevicePath(0), "");
    EXPECT_EQ(PortDevicePath(257), "");

    MapPort(1, "/dev/null");
    MapPort(200, "/dev/null");
    EXPECT_EQ(PortDevicePath(1), PortEntry(1).string());
    EXPECT_EQ(PortDevicePath(200), PortEntry(200).string());

    // A relative XDG_CONFIG_HOME is ignored in favour of ~/.config.
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(PortDevicePath(200), "");
}

// The home a test program is started in may hold the user's port map (a running `make run` keeps
// its relay's COM200 there, maybe dangling). This program run again from a home with a dangling
// COM200 and no XDG_CONFIG_HOME passes the map test, which expects no COM200 entry to exist.
TEST_F(SerialPortMapTest, ThePortMapOfTheHomeATestStartsInIsNeverRead)
{
    const char* pszStarted = std::getenv("RELVANE_TEST_STARTED_HOME");
    if (pszStarted != nullptr && pszStarted[0] != '\0')
    {
        EXPECT_NE(std::string(std::getenv("HOME")), pszStarted);
        EXPECT_EQ(PortMapDirectory().rfind(std::string(pszStarted) + "/", 0), std::string::npos);
    }
    const std::filesystem::path home = m_root / "user";
    std::filesystem::create_directories(home / ".config" / "relvane" / "ports");
    std::filesystem::create_symlink("/dev/relvane-gone", home / ".config" / "relvane" / "ports" / "COM200");
    const std::string strCommand =
        "env -u XDG_CONFIG_HOME -u RELVANE_TEST_STARTED_HOME HOME=" + home.string() + " " +
        std::filesystem::read_symlink("/proc/self/exe").string() +
        " --gtest_filter=SerialPortMapTest.ComNumbersMapToTheUserMapFirstThenTheUsualDevices"
        " >/dev/null 2>&1";
    EXPECT_EQ(std::system(strCommand.c_str()), 0);
}

TEST_F(SerialPortMapTest, ProbeListsOnlyPortsThatOpenNowInAscendingOrder)
{
    OpenPty(120);
    OpenPty(4);
    OpenPty(250);
    MapPort(121, (m_root / "gone").string());
    MapPort(122, "/dev/null"); // opens, but is no serial device

    auto ports = ListAvailablePorts();
    auto has = [&](const char* pszName)
    { return std::find(ports.begin(), ports.end(), pszName) != ports.end(); };
    EXPECT_TRUE(has("COM4"));
    EXPECT_TRUE(has("COM120"));
    EXPECT_TRUE(has("COM250"));
    EXPECT_FALSE(has("COM121"));
    EXPECT_FALSE(has("COM122"));
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(),
                               [](const std::string& a, const std::string& b)
                               { return std::stoi(a.substr(3)) < std::stoi(b.substr(3)); }));

    // A port this program holds is not offered.
    CSerialChannel channel;
    ASSERT_EQ(channel.Configure(&m_sink, 120, 9600, 'N', 8, 1, kEventMask, 512), CHANNEL_OK);
    ASSERT_EQ(channel.Open(), CHANNEL_OK);
    ports = ListAvailablePorts();
    EXPECT_FALSE(has("COM120"));
    EXPECT_TRUE(has("COM4"));
    EXPECT_FALSE(CheckPortAvailable(120));
    channel.Close();
    EXPECT_TRUE(CheckPortAvailable(120));
}

} // namespace
} // namespace relvane
