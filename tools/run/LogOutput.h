#pragma once

#include "common/WholeFile.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// Where a headless run's log goes while it is written: standard output and the --log file get
// each piece of text the moment it reaches the log, with one unbuffered write each, so a run
// ended by any means (kill -9 included) leaves everything logged up to then.
//
// An RTF log (a name ending in ".rtf") is complete only with its closing brace: it is written
// whole when the run ends or is stopped by a signal, replacing the old file only once every byte
// is on the disk, and meanwhile a plain-text twin, the same name with ".txt" added, is streamed
// beside it. A write that fails is said on the error stream when it happens, with its reason.
class CLogOutput
{
public:
    explicit CLogOutput(std::ostream& err) : m_err(err) {}
    ~CLogOutput();
    CLogOutput(const CLogOutput&) = delete;
    CLogOutput& operator=(const CLogOutput&) = delete;

    // Creates or empties the log file (and the twin of an RTF log) before anything runs; false
    // with a message when one of them cannot be written. An empty name means standard output only.
    bool Open(const std::string& strLogFile, std::string& strError);
    bool IsRtf() const { return !m_strRtfPath.empty(); }
    // The files a log of that name writes (the RTF log and its twin, or the text log).
    static std::vector<std::string> Files(const std::string& strLogFile);

    // Writes a piece of log text (UTF-8) to standard output and the text file.
    void WriteText(std::string_view strText);
    // True once standard output could not be written because its reader went away.
    bool StandardOutputGone() const { return m_bStdoutGone; }

    // Writes the RTF log (ignored for a plain-text log) and closes the files. False with a message
    // when any write to the log file failed during the run or now.
    bool Finish(std::string_view strRtf, std::string& strError);

private:
    static bool WriteAll(int nFd, std::string_view strText);
    bool OpenFile(const std::string& strPath, int& nFd, std::string& strError);
    void CloseFiles();

    std::ostream& m_err;
    std::string m_strTextPath;
    int m_nTextFd = -1;
    long long m_nTextBytes = 0; // written to the text file so far
    CWholeFile m_rtf;
    std::string m_strRtfPath;
    std::string m_strFileError;
    bool m_bStdoutGone = false;
    bool m_bStdoutFailed = false;
    bool m_bFileFailed = false;
};

} // namespace relvane
