#pragma once

#include "RelayConsole.h"
#include "RelayOptions.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace relvane
{

// The serial relay without its line: the session, the answers waiting for their time (faults
// split and delay them) and the console lines, for the pseudo-terminal on Linux and the COM
// port on Windows alike.
class CSerialRelayCore
{
public:
    using Writer = std::function<void(const CRelayBytes&)>;

    CSerialRelayCore(const CRelayOptions& options, const CRelayConsole& console, std::int64_t nNowMs);

    // The start line's details: ", protocol 103, address 1, model KLR10[, defects a,b]".
    std::string Description() const;
    // Lets time pass and writes the answers that are due; returns how long to wait for the line.
    int Step(std::int64_t nNowMs, const Writer& write);
    // Bytes from the master: the frames in them logged and their answers queued.
    void Receive(const std::uint8_t* pBytes, std::size_t nCount, std::int64_t nNowMs);

private:
    struct CPendingWrite
    {
        std::int64_t nDueMs = 0;
        CRelayBytes abBytes;
        const char* pszProtocol = "";
        std::string strNote;
    };

    const CRelayOptions& m_options;
    const CRelayConsole& m_console;
    CRelaySession m_session;
    std::deque<CPendingWrite> m_pending;
    std::vector<CRelayExchange> m_exchanges;
};

} // namespace relvane
