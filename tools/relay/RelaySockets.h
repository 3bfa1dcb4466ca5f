#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace relvane
{

// The socket calls of the Ethernet-103 relay, on POSIX sockets (RelaySocketsPosix.cpp) or on
// Windows Sockets (RelaySocketsWin.cpp). Sockets are ints (-1 for none); a failed call leaves its
// reason in SocketError.
using SocketResult = long long;

enum class SocketKind
{
    Stream,
    Datagram,
};

// What a poll entry waits for and what came: readable, writable, and (only in nReady) failed or
// closed.
constexpr short kPollReadable = 1;
constexpr short kPollWritable = 2;
constexpr short kPollFailed = 4;

struct CSocketPoll
{
    int nSocket = -1;
    short nWanted = 0;
    short nReady = 0;
};

int SocketError();
std::string SocketErrorText(int nError);
// The errors that only say "not now": no room or no data yet, a connect on its way, a signal.
bool SocketWouldBlock(int nError);
bool SocketConnecting(int nError);
bool SocketInterrupted(int nError);

// A non-blocking socket, not passed on to programs started meanwhile; -1 on failure.
int OpenSocket(SocketKind eKind);
void CloseSocket(int nSocket);
// 127.0.0.1:nPort; false (or -1) with SocketError set.
bool BindLoopback(int nSocket, int nPort);
int ConnectLoopback(int nSocket, int nPort);
// Waits for the entries (whose nReady it fills); the number ready, 0 on time-out, -1 on failure.
int PollSockets(CSocketPoll* pEntries, std::size_t nCount, int nTimeoutMs);
// Never raises a signal; -1 with SocketError set on failure.
SocketResult SendSome(int nSocket, const std::uint8_t* pBytes, std::size_t nCount);
SocketResult ReceiveSome(int nSocket, std::uint8_t* pBytes, std::size_t nCount);
// The error a connect on its way ended with, 0 when it connected.
int PendingSocketError(int nSocket);

} // namespace relvane
