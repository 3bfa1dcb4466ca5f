#pragma once

namespace relvane
{

// Kinds of WriteEvent: a prefix that a WriteFrame completes, or a whole message.
enum LogEvent : int
{
    LOG_SEND = 0,
    LOG_RECEIVE = 1,
    LOG_CRC_ERROR = 2,
    LOG_TIMEOUT = 3,
    LOG_CHECKSUM_ERROR = 4,
    LOG_UDP_SEND = 5,
    LOG_TCP_SEND = 6,
    LOG_TCP_RECEIVE = 7,
    LOG_TCP_CONNECTED = 8,
    LOG_TCP_DISCONNECTED = 9,
    LOG_TCP_BIND_FAILED = 10,
    LOG_TCP_LISTENING = 11,
    LOG_TCP_LISTEN_FAILED = 12,
    LOG_TCP_LISTEN_STOPPED = 13,
    LOG_TCP_NOT_CONNECTED = 14,
    LOG_SOCKET_INVALID = 15,
    LOG_TCP_CANNOT_SEND = 16,
    LOG_TCP_SEND_FAILED = 17,
    // Not one of the fixed texts: a line of our own that the session writes whole (the port
    // closed, and why). LogEventText has no text for it.
    LOG_NOTE = 18,
};

// The UTF-8 text a kind appends, or nullptr for a value that is no kind.
const char* LogEventText(int nKind);

// True for the kinds that count against the line limit (CRC error, time-out, checksum error).
inline bool LogEventCounts(int nKind)
{
    return nKind == LOG_CRC_ERROR || nKind == LOG_TIMEOUT || nKind == LOG_CHECKSUM_ERROR;
}

} // namespace relvane
