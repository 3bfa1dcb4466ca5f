#pragma once

#include <cstddef>
#include <cstdint>

namespace relvane
{

// The few socket calls the network channel makes, on POSIX sockets (SocketLayerPosix.cpp) or on
// Windows Sockets (SocketLayerWin.cpp). A socket is held as a number; kNoSocket stands for none.
using SocketValue = std::int64_t;
constexpr SocketValue kNoSocket = -1;

// WaitReadable's answer when the wake-up was signalled.
constexpr int kStopRequested = -2;
// ReceiveStream's answer when nothing could be read this time but the connection stands.
constexpr long kReceiveAgain = -2;

// Holds the sockets layer up for the holder's lifetime (nothing to do on POSIX).
class CSocketsInUse
{
public:
    CSocketsInUse();
    ~CSocketsInUse();
    CSocketsInUse(const CSocketsInUse&) = delete;
    CSocketsInUse& operator=(const CSocketsInUse&) = delete;

private:
    bool m_bStarted = false;
};

// The start-up the relay tools always made, at the version they asked for: 1, or -1 when the
// sockets layer refused. Each success stays counted until the process ends.
int StartSocketsForOwner();

// Something a thread waits on beside its socket: Signal makes it readable until Drain.
// An eventfd on Linux; on Windows a loopback datagram socket connected to itself.
class CSocketWake
{
public:
    CSocketWake();
    ~CSocketWake();
    CSocketWake(const CSocketWake&) = delete;
    CSocketWake& operator=(const CSocketWake&) = delete;

    void Signal() const;
    void Drain() const;
    bool IsSignalled() const;
    SocketValue Value() const { return m_nValue; }

private:
    SocketValue m_nValue = kNoSocket;
};

enum class ListenResult
{
    Listening,
    BindFailed,
    ListenFailed,
};

SocketValue OpenStreamSocket();
SocketValue OpenDatagramSocket();
void CloseSocket(SocketValue nSocket);
// Ends our direction of a connection, so the peer reads its end before the close.
void ShutdownSending(SocketValue nSocket);

// Binds to every local address on nPort and listens with a backlog of one.
ListenResult BindAndListen(SocketValue nSocket, int nPort);
// A connection taken off the backlog, ready for sends that never block; kNoSocket when none
// came, with bRetry telling a passing condition (interrupted, aborted) from a lasting one.
SocketValue AcceptConnection(SocketValue nListen, bool& bRetry);

// Waits up to nTimeoutMs for nSocket (when not kNoSocket) to become readable, closed or failed,
// or for the wake-up: the number ready, 0 on time-out, -1 on failure, kStopRequested for a wake.
int WaitReadable(SocketValue nSocket, const CSocketWake& wake, int nTimeoutMs);
bool WaitWritable(SocketValue nSocket, int nTimeoutMs);

// Bytes taken, -1 on failure; never blocks and never raises a signal.
long SendStream(SocketValue nSocket, const std::uint8_t* pBytes, int nCount);
// One datagram to nAddress:nPort (host byte order); bytes sent or -1.
long SendDatagram(SocketValue nSocket, const std::uint8_t* pBytes, std::size_t nCount,
                  std::uint32_t nAddress, int nPort);
// Bytes read, 0 when the peer closed, kReceiveAgain when nothing was there, -1 on failure.
long ReceiveStream(SocketValue nSocket, std::uint8_t* pBuffer, std::size_t nSize);

// Names the calling thread for debuggers and process lists, where the system has such names.
void NameSocketThread(const char* pszName);

} // namespace relvane
