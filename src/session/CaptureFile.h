#pragma once

#include "common/PcapngBlocks.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace relvane
{

// The lines a capture keeps apart, each its own pcapng interface.
enum CaptureLine : int
{
    CAPTURE_SERIAL_103,   // FT1.2 frames behind the RTAC serial pseudo-header
    CAPTURE_SERIAL_OTHER, // '94 frames (and serial bytes in any other mode) as they were
    CAPTURE_TCP,          // Ethernet 103: TCP payloads
    CAPTURE_UDP,          // Ethernet 103: UDP datagrams
};

// A capture on disk: NAME.txt (the log's text with time stamps, UTF-8, "\r\n" line ends) and
// NAME.pcapng beside it. Every entry goes straight to the kernel with write(2), so a killed
// process loses nothing it wrote; SyncIfDue puts both files on the disk at most once a second,
// so a power cut loses at most the last second. The first error (disk full, file removed) is kept
// and every later call fails at once: the owner stops the capture and says why. An entry the disk
// took only in part is cut off again, so both files end on a whole entry.
class CCaptureFile
{
public:
    CCaptureFile() = default;
    ~CCaptureFile();
    CCaptureFile(const CCaptureFile&) = delete;
    CCaptureFile& operator=(const CCaptureFile&) = delete;

    // Creates (or empties) both files; false with a reason when either cannot be written. They are
    // written under their own names from the start, not through a temporary file put in place at
    // the end as other files are: a run that is killed must leave what it saw where the user looks.
    bool Open(const std::string& strBase, std::string& strError);
    // Syncs and closes both files; false (with Error set) when anything written was not kept.
    bool Close();
    bool IsOpen() const { return m_nTextFd >= 0; }

    bool WriteText(std::string_view strText);
    bool WritePacket(CaptureLine eLine, bool bInbound, std::int64_t nTimeUs, const std::uint8_t* pBytes,
                     int nLength);
    // Syncs when something was written since the last sync and at least nMinIntervalUs have
    // passed since it (writes ask for a second, the owner's once-a-second timer for nothing), and
    // notices a file that was removed under the capture.
    bool SyncIfDue(std::int64_t nSteadyUs, std::int64_t nMinIntervalUs = kSyncPeriodUs);

    static constexpr std::int64_t kSyncPeriodUs = 1000000;

    // How finely the packets' times can be trusted: the interfaces then say so (if_tsresol, the
    // coarsest power of ten not coarser) and their packets count in that unit. Before the first packet.
    void SetTimeResolution(std::int64_t nResolutionUs)
    {
        if (m_interfaces.empty())
            m_nTsExponent = pcapng::TsExponentFor(nResolutionUs);
    }

    const std::string& BaseName() const { return m_strBase; }
    std::uint64_t TextBytes() const { return m_nTextBytes; }
    std::uint64_t PacketBytes() const { return m_nPacketBytes; }
    const std::string& Error() const { return m_strError; }

private:
    bool WriteAll(int nFd, const std::uint8_t* pBytes, std::size_t nCount, std::uint64_t& nTotal);
    bool Fail(const std::string& strWhat);

    std::string m_strBase;
    int m_nTsExponent = 6;
    int m_nTextFd = -1;
    int m_nPacketFd = -1;
    std::uint64_t m_nTextBytes = 0;
    std::uint64_t m_nPacketBytes = 0;
    std::map<int, std::uint32_t> m_interfaces; // line -> interface id, as described so far
    std::int64_t m_nLastSyncUs = 0;
    bool m_bDirty = false;
    std::string m_strError;
};

} // namespace relvane
