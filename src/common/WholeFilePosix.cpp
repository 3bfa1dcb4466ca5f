#include "common/WholeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace relvane
{
namespace
{

// The file a name ends at once its links are followed, also one that does not exist yet; empty
// after as many links as the system follows itself.
std::string FollowLinks(std::string strPath)
{
    for (int n = 0; n < 40; ++n)
    {
        char szLink[PATH_MAX];
        const ssize_t nLength = readlink(strPath.c_str(), szLink, sizeof szLink - 1);
        if (nLength < 0)
            return strPath;
        const std::string strLink(szLink, static_cast<std::size_t>(nLength));
        const std::size_t nSlash = strPath.rfind('/');
        strPath = strLink.front() == '/' || nSlash == std::string::npos ? strLink
                                                                         : strPath.substr(0, nSlash + 1) + strLink;
    }
    return std::string();
}

} // namespace

CWholeFile::~CWholeFile()
{
    Cancel();
}

bool CWholeFile::Fail(int nError)
{
    if (m_nError == 0)
        m_nError = nError != 0 ? nError : EIO;
    return false;
}

bool CWholeFile::DiskFull() const
{
    return m_nError == ENOSPC || m_nError == EDQUOT;
}

bool CWholeFile::Open(const std::string& strPath)
{
    Cancel();
    m_nError = 0;
    // A link is written through, as an editor would: the link stays and its target changes, and
    // a link to a file that does not exist yet makes that file.
    m_strTarget = FollowLinks(strPath);
    if (m_strTarget.empty())
        return Fail(ELOOP);
    struct stat info = {};
    const bool bExists = stat(m_strTarget.c_str(), &info) == 0;
    if (bExists && !S_ISREG(info.st_mode))
    {
        // Never waits: a pipe without a reader would hold the caller for ever, and one with a
        // reader is no file to write whole either.
        if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
            return Fail(ESPIPE);
        m_nHandle = open(m_strTarget.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
        if (m_nHandle < 0)
            return Fail(errno);
        // Judged again on what was opened: the name may have changed meanwhile.
        const int nFd = static_cast<int>(m_nHandle);
        if (fstat(nFd, &info) != 0 || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ||
            fcntl(nFd, F_SETFL, fcntl(nFd, F_GETFL) & ~O_NONBLOCK) != 0)
        {
            Fail(ESPIPE);
            Cancel();
            return false;
        }
        return true;
    }
    const std::size_t nSlash = m_strTarget.rfind('/');
    const std::string strDirectory = nSlash == std::string::npos ? std::string() : m_strTarget.substr(0, nSlash + 1);
    const std::string strName = nSlash == std::string::npos ? m_strTarget : m_strTarget.substr(nSlash + 1);
    std::string strTemplate = strDirectory + "." + strName + ".XXXXXX";
    m_nHandle = mkostemp(strTemplate.data(), O_CLOEXEC);
    if (m_nHandle < 0)
        return Fail(errno);
    m_strTemporary = strTemplate;
    // mkostemp makes the file private; give it the mode the target has or a new file would get.
    mode_t nMode = 0;
    if (bExists)
        nMode = info.st_mode & 07777;
    else
    {
        const mode_t nMask = umask(0);
        umask(nMask);
        nMode = 0666 & ~nMask;
    }
    if (fchmod(static_cast<int>(m_nHandle), nMode) != 0)
    {
        Fail(errno);
        Cancel();
        return false;
    }
    return true;
}

bool CWholeFile::Write(const void* pData, std::size_t nCount)
{
    if (m_nHandle < 0)
        return Fail(EBADF);
    if (m_nError != 0)
        return false;
    const char* pBytes = static_cast<const char*>(pData);
    while (nCount > 0)
    {
        const ssize_t nWritten = write(static_cast<int>(m_nHandle), pBytes, nCount);
        if (nWritten < 0 && errno == EINTR)
            continue;
        // A short count is not an error yet: the next write says why it came up short.
        if (nWritten < 0)
            return Fail(errno);
        if (nWritten == 0)
            return Fail(ENOSPC);
        pBytes += nWritten;
        nCount -= static_cast<std::size_t>(nWritten);
    }
    return true;
}

bool CWholeFile::Finish()
{
    if (m_bFinished)
        return m_nError == 0;
    if (m_nHandle < 0)
        return Fail(EBADF);
    if (m_nError != 0)
    {
        Cancel();
        return false;
    }
    // Devices and pipes cannot be synced; files can, and a delayed write error shows here.
    if (fsync(static_cast<int>(m_nHandle)) != 0 && (!m_strTemporary.empty() || (errno != EINVAL && errno != ENOTSUP)))
        Fail(errno);
    if (close(static_cast<int>(m_nHandle)) != 0 && errno != EINTR)
        Fail(errno);
    m_nHandle = -1;
    if (m_nError != 0)
    {
        Cancel();
        return false;
    }
    m_bFinished = true;
    return true;
}

bool CWholeFile::Commit()
{
    if (!Finish())
        return false;
    m_bFinished = false;
    if (m_strTemporary.empty())
        return true;
    if (rename(m_strTemporary.c_str(), m_strTarget.c_str()) != 0)
    {
        Fail(errno);
        Cancel();
        return false;
    }
    m_strTemporary.clear();
    // The new name is on the disk only once its folder is.
    const std::size_t nSlash = m_strTarget.rfind('/');
    const std::string strDirectory = nSlash == std::string::npos ? "." : m_strTarget.substr(0, nSlash + 1);
    const int nDirectory = open(strDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDirectory >= 0)
    {
        fsync(nDirectory);
        close(nDirectory);
    }
    return true;
}

void CWholeFile::Cancel()
{
    m_bFinished = false;
    if (m_nHandle >= 0)
        close(static_cast<int>(m_nHandle));
    m_nHandle = -1;
    if (!m_strTemporary.empty())
        unlink(m_strTemporary.c_str());
    m_strTemporary.clear();
}

} // namespace relvane
