#include "session/CaptureFile.h"

#include "common/DescriptorFile.h"
#include "common/PcapngBlocks.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace relvane
{
namespace
{

struct CLineDescription
{
    pcapng::LinkType eLinkType;
    const char* pszName;
};

CLineDescription Describe(CaptureLine eLine)
{
    switch (eLine)
    {
    case CAPTURE_SERIAL_103:
        return {pcapng::LINKTYPE_RTAC_SERIAL, "serial IEC 60870-5-103"};
    case CAPTURE_TCP:
        return {pcapng::LINKTYPE_WIRESHARK_UPPER_PDU, "Ethernet 103 TCP"};
    case CAPTURE_UDP:
        return {pcapng::LINKTYPE_WIRESHARK_UPPER_PDU, "Ethernet 103 UDP"};
    default:
        return {pcapng::LINKTYPE_USER0, "serial"};
    }
}

int OpenForWriting(const std::string& strPath)
{
    return OpenDescriptorForWriting(strPath, 0644);
}

// Why a file could not be opened for the capture (errno just after the attempt).
std::string OpenError(const std::string& strPath)
{
    const int nError = errno;
    return "cannot write \"" + strPath + "\": " +
           (nError == ESPIPE ? std::string("a named pipe (FIFO) cannot hold a capture") : std::strerror(nError));
}

} // namespace

CCaptureFile::~CCaptureFile()
{
    Close();
}

bool CCaptureFile::Open(const std::string& strBase, std::string& strError)
{
    Close();
    m_strError.clear();
    m_nTextBytes = 0;
    m_nPacketBytes = 0;
    m_interfaces.clear();
    m_nTextFd = OpenForWriting(strBase + ".txt");
    if (m_nTextFd < 0)
    {
        strError = OpenError(strBase + ".txt");
        return false;
    }
    m_nPacketFd = OpenForWriting(strBase + ".pcapng");
    if (m_nPacketFd < 0)
    {
        strError = OpenError(strBase + ".pcapng");
        Close();
        return false;
    }
    m_strBase = strBase;
    const std::vector<std::uint8_t> abHeader = pcapng::BuildSectionHeader("Relvane");
    if (!WriteAll(m_nPacketFd, abHeader.data(), abHeader.size(), m_nPacketBytes))
    {
        strError = m_strError;
        Close();
        return false;
    }
    m_nLastSyncUs = 0;
    return true;
}

bool CCaptureFile::Close()
{
    for (int* pFd : {&m_nTextFd, &m_nPacketFd})
    {
        if (*pFd >= 0)
        {
            // A write the kernel took can still fail on its way to the disk.
            if (SyncDescriptor(*pFd) != 0 && errno != EINVAL)
                Fail(std::string("sync failed: ") + std::strerror(errno));
            if (close(*pFd) != 0 && errno != EINTR)
                Fail(std::string("close failed: ") + std::strerror(errno));
            *pFd = -1;
        }
    }
    m_bDirty = false;
    return m_strError.empty();
}

bool CCaptureFile::Fail(const std::string& strWhat)
{
    if (m_strError.empty())
        m_strError = strWhat;
    return false;
}

bool CCaptureFile::WriteAll(int nFd, const std::uint8_t* pBytes, std::size_t nCount, std::uint64_t& nTotal)
{
    if (!m_strError.empty())
        return false;
    std::size_t nDone = 0;
    while (nDone < nCount)
    {
        const ssize_t nWritten = write(nFd, pBytes + nDone, nCount - nDone);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
        {
            const int nError = nWritten < 0 ? errno : ENOSPC;
            // The part that went out is cut off again: the file ends on a whole entry.
            if (nDone > 0)
                TruncateDescriptor(nFd, static_cast<long long>(nTotal));
            return Fail(std::string("write failed: ") + std::strerror(nError));
        }
        nDone += static_cast<std::size_t>(nWritten);
    }
    nTotal += nCount;
    m_bDirty = true;
    return true;
}

bool CCaptureFile::WriteText(std::string_view strText)
{
    if (!IsOpen())
        return false;
    return WriteAll(m_nTextFd, reinterpret_cast<const std::uint8_t*>(strText.data()), strText.size(),
                    m_nTextBytes);
}

bool CCaptureFile::WritePacket(CaptureLine eLine, bool bInbound, std::int64_t nTimeUs,
                               const std::uint8_t* pBytes, int nLength)
{
    if (!IsOpen())
        return false;
    auto it = m_interfaces.find(eLine);
    if (it == m_interfaces.end())
    {
        // Interfaces are described as their lines first carry a frame.
        const CLineDescription line = Describe(eLine);
        const std::vector<std::uint8_t> abBlock =
            pcapng::BuildInterfaceDescription(line.eLinkType, line.pszName, m_nTsExponent);
        if (!WriteAll(m_nPacketFd, abBlock.data(), abBlock.size(), m_nPacketBytes))
            return false;
        it = m_interfaces.emplace(eLine, static_cast<std::uint32_t>(m_interfaces.size())).first;
    }
    std::vector<std::uint8_t> abPacket;
    const std::uint8_t* pPacket = pBytes;
    int nPacket = nLength;
    if (eLine == CAPTURE_SERIAL_103 || eLine == CAPTURE_TCP || eLine == CAPTURE_UDP)
    {
        if (eLine == CAPTURE_SERIAL_103)
            abPacket = pcapng::BuildRtacHeader(nTimeUs, bInbound);
        else
            abPacket = pcapng::BuildExportedPduHeader(eLine == CAPTURE_TCP ? "TCP" : "UDP", bInbound);
        if (pBytes != nullptr && nLength > 0)
            abPacket.insert(abPacket.end(), pBytes, pBytes + nLength);
        pPacket = abPacket.data();
        nPacket = static_cast<int>(abPacket.size());
    }
    std::int64_t nUnitUs = 1;
    for (int n = m_nTsExponent; n < 6; ++n)
        nUnitUs *= 10;
    const std::vector<std::uint8_t> abBlock =
        pcapng::BuildEnhancedPacket(it->second, nTimeUs / nUnitUs, pPacket, nPacket, bInbound);
    return WriteAll(m_nPacketFd, abBlock.data(), abBlock.size(), m_nPacketBytes);
}

bool CCaptureFile::SyncIfDue(std::int64_t nSteadyUs, std::int64_t nMinIntervalUs)
{
    if (!IsOpen())
        return false;
    if (!m_strError.empty())
        return false;
    if (!m_bDirty || nSteadyUs - m_nLastSyncUs < nMinIntervalUs)
        return true;
    m_nLastSyncUs = nSteadyUs;
    m_bDirty = false;
    for (const int nFd : {m_nTextFd, m_nPacketFd})
    {
        // Writes into a removed file succeed and reach nothing anyone can read.
        struct stat info = {};
        if (fstat(nFd, &info) == 0 && info.st_nlink == 0)
            return Fail("the capture file was removed");
        if (SyncDescriptor(nFd) != 0 && errno != EINVAL)
            return Fail(std::string("sync failed: ") + std::strerror(errno));
    }
    return true;
}

} // namespace relvane
