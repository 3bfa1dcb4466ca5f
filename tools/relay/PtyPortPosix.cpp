#include "PtyPortPosix.h"

#include "transport/SerialPortMap.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace relvane
{
namespace
{

std::string ReadLink(const std::string& strPath)
{
    char szTarget[4096];
    const ssize_t nLength = readlink(strPath.c_str(), szTarget, sizeof szTarget - 1);
    return nLength > 0 ? std::string(szTarget, static_cast<std::size_t>(nLength)) : std::string();
}

std::string ReadRecord(int nFd)
{
    char szPath[4096];
    const ssize_t nLength = pread(nFd, szPath, sizeof szPath, 0);
    return nLength > 0 ? std::string(szPath, static_cast<std::size_t>(nLength)) : std::string();
}

void WriteRecord(int nFd, const std::string& strPath)
{
    if (ftruncate(nFd, 0) == 0 && !strPath.empty())
    {
        const ssize_t nWritten = pwrite(nFd, strPath.data(), strPath.size(), 0);
        (void)nWritten; // a record that is not written only makes the next relay more careful
    }
}

} // namespace

CPtyPort::~CPtyPort()
{
    Close();
}

bool CPtyPort::Open(int nCom, std::string& strError)
{
    const std::string strDirectory = PortMapDirectory();
    if (strDirectory.empty())
    {
        strError = "cannot find the port map folder (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    m_strLink = strDirectory + "/COM" + std::to_string(nCom);
    const std::string strTaken = "COM" + std::to_string(nCom) + " is taken: ";

    std::error_code error;
    std::filesystem::create_directories(strDirectory, error);
    const std::string strRecord = strDirectory + "/.COM" + std::to_string(nCom) + ".relay";
    m_nRecordFd = open(strRecord.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_nRecordFd < 0)
    {
        strError = "cannot create " + strRecord + ": " + std::strerror(errno);
        return false;
    }
    if (flock(m_nRecordFd, LOCK_EX | LOCK_NB) != 0)
    {
        strError = strTaken + "another relvane-relay serves it";
        Close();
        return false;
    }
    m_bRecordLocked = true;

    struct stat info;
    if (lstat(m_strLink.c_str(), &info) == 0)
    {
        // No relay runs on this number now (the record is ours). The link is ours to replace when
        // the last relay here made it, or when it points at a terminal that is gone. Anything
        // else belongs to someone.
        const std::string strTarget = ReadLink(m_strLink);
        struct stat target;
        const bool bOurs = S_ISLNK(info.st_mode) && !strTarget.empty() && strTarget == ReadRecord(m_nRecordFd);
        const bool bGone = S_ISLNK(info.st_mode) && strTarget.rfind("/dev/pts/", 0) == 0 &&
                           stat(m_strLink.c_str(), &target) != 0;
        if (!bOurs && !bGone)
        {
            strError = strTaken + m_strLink +
                       (strTarget.empty() ? std::string(" exists") : " points to " + strTarget) +
                       "; choose another --com or remove that entry";
            Close();
            return false;
        }
        unlink(m_strLink.c_str());
    }

    m_nMasterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char szName[128] = {};
    if (m_nMasterFd < 0 || grantpt(m_nMasterFd) != 0 || unlockpt(m_nMasterFd) != 0 ||
        ptsname_r(m_nMasterFd, szName, sizeof szName) != 0)
    {
        strError = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    m_strTerminal = szName;
    m_nSlaveFd = open(szName, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio;
    if (m_nSlaveFd < 0 || tcgetattr(m_nSlaveFd, &tio) != 0)
    {
        strError = "cannot open the terminal side " + m_strTerminal + ": " + std::strerror(errno);
        Close();
        return false;
    }
    cfmakeraw(&tio);
    tcsetattr(m_nSlaveFd, TCSANOW, &tio);
    fcntl(m_nMasterFd, F_SETFL, fcntl(m_nMasterFd, F_GETFL) | O_NONBLOCK);

    // Recorded before the link exists: a relay killed in between leaves a record without a link.
    WriteRecord(m_nRecordFd, m_strTerminal);
    if (symlink(m_strTerminal.c_str(), m_strLink.c_str()) != 0)
    {
        strError = errno == EEXIST ? strTaken + m_strLink + " exists"
                                   : "cannot create " + m_strLink + ": " + std::strerror(errno);
        Close();
        return false;
    }
    m_bLinked = true;
    return true;
}

void CPtyPort::Close()
{
    if (m_bLinked && ReadLink(m_strLink) == m_strTerminal)
        unlink(m_strLink.c_str());
    m_bLinked = false;
    // Only a relay that is killed leaves a record naming a link.
    if (m_bRecordLocked)
        WriteRecord(m_nRecordFd, std::string());
    m_bRecordLocked = false;
    if (m_nRecordFd >= 0)
        close(m_nRecordFd); // and with it the lock
    m_nRecordFd = -1;
    if (m_nSlaveFd >= 0)
        close(m_nSlaveFd);
    if (m_nMasterFd >= 0)
        close(m_nMasterFd);
    m_nSlaveFd = -1;
    m_nMasterFd = -1;
}

} // namespace relvane
