#pragma once

#include "relay/RelayTypes.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace relvane
{

// What relvane-relay prints: one line per frame, "HH:MM:SS.mmm RX 94  01 83 00 30 F0", with a
// note after the bytes where a fault was put on the frame. Quiet prints nothing.
class CRelayConsole
{
public:
    explicit CRelayConsole(bool bQuiet) : m_bQuiet(bQuiet) {}

    void Frame(const char* pszDirection, const char* pszProtocol, const CRelayBytes& abBytes,
               const std::string& strNote = {}) const;
    void Note(const std::string& strText) const;

private:
    bool m_bQuiet;
};

// Milliseconds since the epoch.
std::int64_t NowMs();

// Set by SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C, Ctrl-Break and closing the console); the
// loops end when it is.
extern std::atomic<bool> g_bStopRequested;
// A descriptor that becomes readable when a stop was requested (for poll; on Windows a socket,
// for WSAPoll), -1 when there is none.
// The handlers on POSIX signals or the console's control events (RelayProcessPosix.cpp,
// RelayProcessWin.cpp).
int StopFd();
void InstallStopHandlers();
// Each frame's line is wanted at once, also through a pipe.
void SendEachLineAtOnce();

} // namespace relvane
