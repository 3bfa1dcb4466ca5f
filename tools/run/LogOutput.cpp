#include "LogOutput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace relvane
{
namespace
{

bool EndsWithNoCase(const std::string& strText, const char* pszTail)
{
    const std::size_t nTail = std::strlen(pszTail);
    return strText.size() >= nTail && strcasecmp(strText.c_str() + strText.size() - nTail, pszTail) == 0;
}

} // namespace

CLogOutput::~CLogOutput()
{
    CloseFiles();
}

bool CLogOutput::WriteAll(int nFd, std::string_view strText)
{
    while (!strText.empty())
    {
        const ssize_t nWritten = write(nFd, strText.data(), strText.size());
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return false;
        strText.remove_prefix(static_cast<std::size_t>(nWritten));
    }
    return true;
}

bool CLogOutput::OpenFile(const std::string& strPath, int& nFd, std::string& strError)
{
    nFd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (nFd >= 0)
        return true;
    strError = "cannot write \"" + strPath + "\": " + std::strerror(errno);
    return false;
}

bool CLogOutput::Open(const std::string& strLogFile, std::string& strError)
{
    if (strLogFile.empty())
        return true;
    if (EndsWithNoCase(strLogFile, ".rtf"))
    {
        m_strRtfPath = strLogFile;
        m_strTextPath = strLogFile + ".txt";
        if (!OpenFile(m_strRtfPath, m_nRtfFd, strError))
            return false;
    }
    else
        m_strTextPath = strLogFile;
    if (OpenFile(m_strTextPath, m_nTextFd, strError))
        return true;
    CloseFiles();
    return false;
}

void CLogOutput::WriteText(std::string_view strText)
{
    // The file first: whatever a watcher has seen on standard output is in the file as well,
    // even when the process is killed between the two writes.
    if (m_nTextFd >= 0 && !m_bFileFailed && !WriteAll(m_nTextFd, strText))
        m_bFileFailed = true;
    if (!m_bStdoutGone && !m_bStdoutFailed && !WriteAll(STDOUT_FILENO, strText))
    {
        // A reader that went away ends the run as an interruption would; any other failure
        // (a full disk behind a redirection) is reported when the run ends.
        if (errno == EPIPE)
            m_bStdoutGone = true;
        else
            m_bStdoutFailed = true;
    }
}

bool CLogOutput::Finish(std::string_view strRtf, std::string& strError)
{
    bool bOk = true;
    if (m_bFileFailed)
    {
        strError = "cannot write \"" + m_strTextPath + "\": the log there is incomplete";
        bOk = false;
    }
    else if (m_bStdoutFailed)
    {
        strError = "cannot write standard output: the log there is incomplete";
        bOk = false;
    }
    if (m_nRtfFd >= 0 && !WriteAll(m_nRtfFd, strRtf) && bOk)
    {
        strError = "cannot write \"" + m_strRtfPath + "\": " + std::strerror(errno);
        bOk = false;
    }
    CloseFiles();
    return bOk;
}

void CLogOutput::CloseFiles()
{
    if (m_nTextFd >= 0)
        close(m_nTextFd);
    if (m_nRtfFd >= 0)
        close(m_nRtfFd);
    m_nTextFd = -1;
    m_nRtfFd = -1;
}

} // namespace relvane
