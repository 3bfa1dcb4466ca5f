// The socket calls on Windows Sockets. A wake-up is a datagram the channel sends to a loopback
// socket of its own, which a thread waits on beside its TCP socket (WSAPoll takes sockets only).
#include "transport/SocketLayer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace relvane
{
namespace
{

SOCKET AsSocket(SocketValue nSocket)
{
    return nSocket < 0 ? INVALID_SOCKET : static_cast<SOCKET>(nSocket);
}

SocketValue AsValue(SOCKET hSocket)
{
    return hSocket == INVALID_SOCKET ? kNoSocket : static_cast<SocketValue>(hSocket);
}

sockaddr_in BuildAddress(std::uint32_t nAddress, int nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(nAddress);
    return address;
}

// A datagram socket on 127.0.0.1 connected to itself: a send to it makes it readable, the way
// writing to an eventfd does. Non-blocking, so draining it stops when it is empty.
SocketValue MakeWakeSocket()
{
    SOCKET hSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (hSocket == INVALID_SOCKET)
        return kNoSocket;
    sockaddr_in address = BuildAddress(INADDR_LOOPBACK, 0);
    int nLength = sizeof address;
    u_long nNonBlocking = 1;
    if (bind(hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(hSocket, reinterpret_cast<sockaddr*>(&address), &nLength) != 0 ||
        connect(hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ioctlsocket(hSocket, FIONBIO, &nNonBlocking) != 0)
    {
        closesocket(hSocket);
        return kNoSocket;
    }
    return AsValue(hSocket);
}

} // namespace

CSocketsInUse::CSocketsInUse()
{
    WSADATA data;
    m_bStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CSocketsInUse::~CSocketsInUse()
{
    if (m_bStarted)
        WSACleanup();
}

int StartSocketsForOwner()
{
    // Version 1.2, as the relay tools always asked for.
    WSADATA data;
    if (WSAStartup(0x0102, &data) != 0)
    {
        WSACleanup();
        return -1;
    }
    return 1;
}

CSocketWake::CSocketWake() : m_nValue(MakeWakeSocket())
{
}

CSocketWake::~CSocketWake()
{
    CloseSocket(m_nValue);
}

void CSocketWake::Signal() const
{
    if (m_nValue < 0)
        return;
    const char cOne = 1;
    send(AsSocket(m_nValue), &cOne, 1, 0);
}

void CSocketWake::Drain() const
{
    if (m_nValue < 0)
        return;
    char abBuffer[16];
    while (recv(AsSocket(m_nValue), abBuffer, sizeof abBuffer, 0) > 0)
    {
    }
}

bool CSocketWake::IsSignalled() const
{
    if (m_nValue < 0)
        return false;
    WSAPOLLFD wake{AsSocket(m_nValue), POLLRDNORM, 0};
    return WSAPoll(&wake, 1, 0) > 0 && (wake.revents & POLLRDNORM) != 0;
}

SocketValue OpenStreamSocket()
{
    return AsValue(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

SocketValue OpenDatagramSocket()
{
    return AsValue(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
}

void CloseSocket(SocketValue nSocket)
{
    if (nSocket >= 0)
        closesocket(AsSocket(nSocket));
}

void ShutdownSending(SocketValue nSocket)
{
    shutdown(AsSocket(nSocket), SD_SEND);
}

ListenResult BindAndListen(SocketValue nSocket, int nPort)
{
    // No SO_REUSEADDR: on Windows it would let the bind take a port another socket listens on,
    // while a restart over the old connection's TIME_WAIT works without it.
    const sockaddr_in local = BuildAddress(INADDR_ANY, nPort);
    if (bind(AsSocket(nSocket), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return ListenResult::BindFailed;
    if (listen(AsSocket(nSocket), 1) != 0)
        return ListenResult::ListenFailed;
    return ListenResult::Listening;
}

SocketValue AcceptConnection(SocketValue nListen, bool& bRetry)
{
    const SOCKET hConnection = accept(AsSocket(nListen), nullptr, nullptr);
    if (hConnection == INVALID_SOCKET)
    {
        const int nError = WSAGetLastError();
        bRetry = nError == WSAEINTR || nError == WSAECONNRESET || nError == WSAEWOULDBLOCK;
        return kNoSocket;
    }
    bRetry = false;
    // Non-blocking: a send from the window thread never waits on a full connection.
    u_long nNonBlocking = 1;
    ioctlsocket(hConnection, FIONBIO, &nNonBlocking);
    return AsValue(hConnection);
}

int WaitReadable(SocketValue nSocket, const CSocketWake& wake, int nTimeoutMs)
{
    // A missing socket is left out of the list.
    WSAPOLLFD fds[2];
    ULONG nCount = 0;
    int nWakeIndex = -1;
    int nSocketIndex = -1;
    if (nSocket >= 0)
    {
        nSocketIndex = static_cast<int>(nCount);
        fds[nCount++] = {AsSocket(nSocket), POLLRDNORM, 0};
    }
    if (wake.Value() >= 0)
    {
        nWakeIndex = static_cast<int>(nCount);
        fds[nCount++] = {AsSocket(wake.Value()), POLLRDNORM, 0};
    }
    if (nCount == 0)
    {
        Sleep(static_cast<DWORD>(nTimeoutMs));
        return 0;
    }
    const int nReady = WSAPoll(fds, nCount, nTimeoutMs);
    if (nReady > 0 && nWakeIndex >= 0 && (fds[nWakeIndex].revents & POLLRDNORM) != 0)
        return kStopRequested;
    // A closed or failed connection counts as readable: the receive then says which.
    if (nReady > 0 && nSocketIndex >= 0 &&
        (fds[nSocketIndex].revents & (POLLRDNORM | POLLHUP | POLLERR)) == 0)
        return 0;
    return nReady;
}

bool WaitWritable(SocketValue nSocket, int nTimeoutMs)
{
    WSAPOLLFD out{AsSocket(nSocket), POLLWRNORM, 0};
    return WSAPoll(&out, 1, nTimeoutMs) > 0 && (out.revents & (POLLWRNORM | POLLERR | POLLHUP)) != 0;
}

long SendStream(SocketValue nSocket, const std::uint8_t* pBytes, int nCount)
{
    // The connection is non-blocking (AcceptConnection made it so): send takes what fits now.
    const int nSent = send(AsSocket(nSocket), reinterpret_cast<const char*>(pBytes), nCount, 0);
    return nSent == SOCKET_ERROR ? -1 : nSent;
}

long SendDatagram(SocketValue nSocket, const std::uint8_t* pBytes, std::size_t nCount,
                  std::uint32_t nAddress, int nPort)
{
    const sockaddr_in destination = BuildAddress(nAddress, nPort);
    const int nSent = sendto(AsSocket(nSocket), reinterpret_cast<const char*>(pBytes), static_cast<int>(nCount),
                             0, reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    return nSent == SOCKET_ERROR ? -1 : nSent;
}

long ReceiveStream(SocketValue nSocket, std::uint8_t* pBuffer, std::size_t nSize)
{
    const int nReceived =
        recv(AsSocket(nSocket), reinterpret_cast<char*>(pBuffer), static_cast<int>(nSize), 0);
    if (nReceived == SOCKET_ERROR)
    {
        const int nError = WSAGetLastError();
        return nError == WSAEINTR || nError == WSAEWOULDBLOCK ? kReceiveAgain : -1;
    }
    return nReceived;
}

void NameSocketThread(const char* /*pszName*/)
{
    // Thread names need a newer Windows than the one we build for; debuggers show the entry point.
}

} // namespace relvane
