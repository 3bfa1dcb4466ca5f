#pragma once

#include "transport/ChannelTime.h"

#include <cstdint>
#include <vector>

namespace relvane
{

// Notifications a channel's worker thread hands to the session's UI thread. The numbers are the
// ones the relay-side tools have always used for these notifications.
enum ChannelMessageId : unsigned
{
    WM_SERIAL_DATA = 0x407,  // a serial read completed; the chunk waits in the serial channel
    WM_UDP_SENT = 0x413,     // lParam: bytes sent; abData: the frame
    WM_TCP_RECEIVED = 0x414, // lParam: bytes received; abData: the bytes
    WM_NET_STATUS = 0x415,   // wParam: a NetStatus code
    // The serial device went away (hang-up, adapter pulled): posted once per opening, after its
    // last chunk. Not one of the historical numbers.
    WM_SERIAL_HANGUP = 0x408,
};

enum NetStatus : int
{
    NET_TCP_BIND_FAILED = 4,
    NET_TCP_LISTENING = 5,
    NET_TCP_LISTEN_FAILED = 6,
    NET_TCP_LISTEN_STOPPED = 7,
    NET_TCP_CONNECTED = 8,
    NET_TCP_DISCONNECTED = 10,
    NET_UDP_STOPPED = 11,
};

// One notification with its own copy of the bytes it reports.
struct CChannelMessage
{
    unsigned nMessage = 0;
    long wParam = 0;
    long lParam = 0;
    std::vector<std::uint8_t> abData;
    // When the channel's thread sent or received the bytes, or noticed the change of state.
    CChannelTime time = {};
};

// Where channels post their notifications. PostChannelMessage may be called from any thread;
// the receiver delivers the messages on its UI thread in the order they were posted.
class IMessageSink
{
public:
    virtual ~IMessageSink() = default;
    virtual void PostChannelMessage(CChannelMessage message) = 0;
};

} // namespace relvane
