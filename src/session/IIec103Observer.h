#pragma once

#include <cstdint>

namespace relvane
{

// Something built on the session (the disturbance upload) that follows the serial 103 link: it
// sees every received frame the session took as valid, garbled chunks and time-outs, and is told
// when the session has done what each called for, so that it can queue its own requests then.
// Calls come on the UI thread from inside the receive path and the timer handler: OnIec103Frame,
// OnIec103Garbled and OnIec103Timeout must not send; OnIec103Settled may.
class IIec103Observer
{
public:
    virtual ~IIec103Observer() = default;

    // A frame that passed its check (a fixed or variable frame, or the single character E5).
    virtual void OnIec103Frame(const std::uint8_t* pFrame, int nLength) = 0;
    // A chunk that failed its check: the relay is to repeat it.
    virtual void OnIec103Garbled() = 0;
    // The response time-out fired.
    virtual void OnIec103Timeout() = 0;
    // A received chunk or a time-out has been handled; follow-ups it called for are queued.
    virtual void OnIec103Settled() = 0;
};

} // namespace relvane
