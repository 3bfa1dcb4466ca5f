#include "PtyPort.h"

#include "transport/SerialPortMap.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

    struct stat info;
    if (lstat(m_strLink.c_str(), &info) == 0)
    {
        // A link left behind by a relay that was killed points at a terminal that is gone: it is
        // ours to replace. Anything else belongs to someone.
        const std::string strTarget = ReadLink(m_strLink);
        struct stat target;
        const bool bStale = S_ISLNK(info.st_mode) && strTarget.rfind("/dev/pts/", 0) == 0 &&
                            stat(m_strLink.c_str(), &target) != 0;
        if (!bStale)
        {
            strError = "COM" + std::to_string(nCom) + " is taken: " + m_strLink +
                       (strTarget.empty() ? std::string(" exists") : " points to " + strTarget) +
                       "; choose another --com or remove that entry";
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

    std::error_code error;
    std::filesystem::create_directories(strDirectory, error);
    if (symlink(m_strTerminal.c_str(), m_strLink.c_str()) != 0)
    {
        strError = errno == EEXIST ? "COM" + std::to_string(nCom) + " is taken: " + m_strLink + " exists"
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
    if (m_nSlaveFd >= 0)
        close(m_nSlaveFd);
    if (m_nMasterFd >= 0)
        close(m_nMasterFd);
    m_nSlaveFd = -1;
    m_nMasterFd = -1;
}

} // namespace relvane
