#include "PtyPort.h"
#include "RelayLoops.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <poll.h>
#include <unistd.h>

namespace relvane
{
namespace
{

struct CPendingWrite
{
    std::int64_t nDueMs = 0;
    CRelayBytes abBytes;
    const char* pszProtocol = "";
    std::string strNote;
};

const char* ProtocolName(RelayProtocol eProtocol)
{
    return eProtocol == RELAY_103 ? "103" : "94";
}

const char* ProtocolChoice(RelayProtocol eProtocol)
{
    switch (eProtocol)
    {
    case RELAY_94:
        return "94";
    case RELAY_103:
        return "103";
    default:
        return "auto";
    }
}

std::string WriteNote(RelayFault eFault, std::size_t nPart, std::size_t nParts)
{
    switch (eFault)
    {
    case FAULT_NONE:
        return {};
    case FAULT_SPLIT:
        return "fault: split, part " + std::to_string(nPart + 1) + " of " + std::to_string(nParts);
    case FAULT_MERGE:
        return "fault: merge, the previous answer and this one in one burst";
    default:
        return std::string("fault: ") + FaultName(eFault);
    }
}

void WriteAll(int nFd, const CRelayBytes& abBytes)
{
    std::size_t nDone = 0;
    while (nDone < abBytes.size())
    {
        const ssize_t nWritten = write(nFd, abBytes.data() + nDone, abBytes.size() - nDone);
        if (nWritten > 0)
        {
            nDone += static_cast<std::size_t>(nWritten);
            continue;
        }
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten < 0 && errno == EAGAIN)
        {
            // Nobody reads the line and its buffer is full: the rest is lost, as on a real line.
            pollfd out{nFd, POLLOUT, 0};
            if (poll(&out, 1, 100) > 0)
                continue;
        }
        return;
    }
}

} // namespace

int RunSerialRelay(const CRelayOptions& options, const CRelayConsole& console)
{
    CPtyPort port;
    std::string strError;
    if (!port.Open(options.nCom, strError))
    {
        std::fprintf(stderr, "relvane-relay: %s\n", strError.c_str());
        return 1;
    }
    console.Note("relvane-relay: COM" + std::to_string(options.nCom) + " is " + port.TerminalPath() + " (" +
                 port.LinkPath() + "), protocol " + ProtocolChoice(options.settings.eProtocol) +
                 ", address " + std::to_string(options.settings.nAddress) + ", model " +
                 (options.settings.eModel == KTR20 ? "KTR20" : "KLR10"));
    std::fflush(stdout);

    CRelaySession session(options.settings, NowMs());
    std::deque<CPendingWrite> pending;
    std::vector<CRelayExchange> exchanges;
    std::uint8_t abBuffer[4096];
    while (!g_bStopRequested)
    {
        std::int64_t nNow = NowMs();
        int nWaitMs = session.Idle(nNow);
        while (!pending.empty() && pending.front().nDueMs <= nNow)
        {
            const CPendingWrite& write = pending.front();
            WriteAll(port.MasterFd(), write.abBytes);
            console.Frame("TX", write.pszProtocol, write.abBytes, write.strNote);
            pending.pop_front();
        }
        if (!pending.empty())
            nWaitMs = static_cast<int>(std::clamp<std::int64_t>(pending.front().nDueMs - nNow, 0, nWaitMs));
        std::fflush(stdout);

        pollfd fds[2] = {{port.MasterFd(), POLLIN, 0}, {StopFd(), POLLIN, 0}};
        const int nReady = poll(fds, StopFd() >= 0 ? 2 : 1, nWaitMs);
        if (nReady <= 0 || (fds[0].revents & POLLIN) == 0)
        {
            if (nReady > 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0)
                poll(nullptr, 0, 50); // no terminal side: nothing to read yet
            continue;
        }
        const ssize_t nRead = read(port.MasterFd(), abBuffer, sizeof abBuffer);
        if (nRead <= 0)
            continue;
        nNow = NowMs();
        exchanges.clear();
        session.Receive(abBuffer, static_cast<std::size_t>(nRead), nNow, exchanges);
        for (const CRelayExchange& exchange : exchanges)
        {
            const char* pszProtocol = ProtocolName(exchange.eProtocol);
            console.Frame("RX", pszProtocol, exchange.abReceived);
            if (exchange.writes.empty() && !exchange.abAnswer.empty())
                console.Frame("--", pszProtocol, exchange.abAnswer, "fault: silence, not sent");
            // Writes keep their order behind those still waiting.
            std::int64_t nDue = pending.empty() ? nNow : pending.back().nDueMs;
            for (std::size_t i = 0; i < exchange.writes.size(); ++i)
            {
                nDue += exchange.writes[i].nDelayMs;
                pending.push_back({nDue, exchange.writes[i].abBytes, pszProtocol,
                                   WriteNote(exchange.eFault, i, exchange.writes.size())});
            }
        }
    }
    port.Close();
    return 0;
}

} // namespace relvane
