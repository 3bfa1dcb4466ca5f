#include "LogOutput.h"

#include "common/DescriptorFile.h"

#include <cerrno>
#include <cstring>
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
        if (nWritten == 0)
            errno = ENOSPC;
        if (nWritten <= 0)
            return false;
        strText.remove_prefix(static_cast<std::size_t>(nWritten));
    }
    return true;
}

bool CLogOutput::OpenFile(const std::string& strPath, int& nFd, std::string& strError)
{
    nFd = OpenDescriptorForWriting(strPath, 0666);
    if (nFd >= 0)
        return true;
    strError = "cannot write \"" + strPath + "\": " + std::strerror(errno);
    return false;
}

std::vector<std::string> CLogOutput::Files(const std::string& strLogFile)
{
    if (strLogFile.empty())
        return {};
    if (EndsWithNoCase(strLogFile, ".rtf"))
        return {strLogFile, strLogFile + ".txt"};
    return {strLogFile};
}

bool CLogOutput::Open(const std::string& strLogFile, std::string& strError)
{
    if (strLogFile.empty())
        return true;
    if (EndsWithNoCase(strLogFile, ".rtf"))
    {
        m_strRtfPath = strLogFile;
        m_strTextPath = strLogFile + ".txt";
        // The old RTF log stays until the new one is whole; the temporary file beside it shows
        // now whether the folder can be written.
        if (!m_rtf.Open(m_strRtfPath))
        {
            strError = "cannot write \"" + m_strRtfPath + "\": " + std::strerror(m_rtf.Error());
            return false;
        }
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
    if (m_nTextFd >= 0 && !m_bFileFailed && WriteAll(m_nTextFd, strText))
        m_nTextBytes += static_cast<long long>(strText.size());
    else if (m_nTextFd >= 0 && !m_bFileFailed)
    {
        // What the disk took of this piece is cut off again: the file ends on a whole piece.
        const int nError = errno;
        TruncateDescriptor(m_nTextFd, m_nTextBytes);
        errno = nError;
        m_bFileFailed = true;
        m_strFileError = std::strerror(errno);
        m_err << "relvane-run: cannot write \"" << m_strTextPath << "\": " << m_strFileError
              << "; the log there stops here, the run goes on" << std::endl;
    }
    if (!m_bStdoutGone && !m_bStdoutFailed && !WriteAll(STDOUT_FILENO, strText))
    {
        // A reader that went away ends the run as an interruption would; any other failure
        // (a full disk behind a redirection) is reported when the run ends.
        if (errno == EPIPE)
            m_bStdoutGone = true;
        else
        {
            m_bStdoutFailed = true;
            m_err << "relvane-run: cannot write standard output: " << std::strerror(errno)
                  << "; the log there stops here, the run goes on" << std::endl;
        }
    }
}

bool CLogOutput::Finish(std::string_view strRtf, std::string& strError)
{
    bool bOk = true;
    if (m_bFileFailed)
    {
        strError = "cannot write \"" + m_strTextPath + "\": " + m_strFileError + "; the log there is incomplete";
        bOk = false;
    }
    else if (m_bStdoutFailed)
    {
        strError = "cannot write standard output: the log there is incomplete";
        bOk = false;
    }
    // What the kernel took may still fail on its way to the disk.
    if (m_nTextFd >= 0 && bOk && SyncDescriptor(m_nTextFd) != 0 && errno != EINVAL)
    {
        strError = "cannot write \"" + m_strTextPath + "\": " + std::strerror(errno);
        bOk = false;
    }
    if (IsRtf() && (!m_rtf.Write(strRtf.data(), strRtf.size()) || !m_rtf.Commit()))
    {
        const std::string strRtfError = "cannot write \"" + m_strRtfPath + "\": " + std::strerror(m_rtf.Error()) +
                                        "; the file there is as it was before the run";
        if (bOk)
            strError = strRtfError;
        else
            m_err << "relvane-run: " << strRtfError << std::endl;
        bOk = false;
    }
    CloseFiles();
    return bOk;
}

void CLogOutput::CloseFiles()
{
    if (m_nTextFd >= 0)
        close(m_nTextFd);
    m_nTextFd = -1;
    m_rtf.Cancel();
}

} // namespace relvane
