#pragma once

#include "session/FormFields.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace relvane
{

// A 103 command as its form gave it. The frame is built only when it goes out on the line, so
// that it carries the frame-count bit and counters of that moment.
struct CIec103Request
{
    int nId = 0;
    std::uint8_t nFun = 0;
    std::uint8_t nInf = 0;
    bool bConfirm = false;
    bool bTimed = true;                   // starts the response timer when sent
    bool bClockNow = false;               // ID_103_TIME_SYNC: the time bytes are the computer's
                                          // local time at the moment the frame goes out
    std::array<std::uint8_t, 8> abData{}; // count byte first: time bytes, DCO or disturbance fields
    std::vector<std::uint8_t> abBytes;    // the custom frame as typed, or the generic data
                                          // (count byte first) as the form left them
};

// Something to send on the serial line that waits while a request awaits its answer: a user's
// command with its form values, a poll, or the automatic follow-up to a received frame.
struct CHeldSend
{
    enum Kind
    {
        COMMAND_94,
        COMMAND_103,
        FOLLOW_UP_94,
        FOLLOW_UP_103,
    };

    Kind eKind = COMMAND_94;
    bool bAutomatic = false;             // a poll or follow-up the session issues itself
    bool bRecoveryTried = false;         // COMMAND_103: the lost answer was asked for before it
    int nId = 0;                         // COMMAND_94: the command id
    CClockFields clock;                  // COMMAND_94 for 81H: the clock form's values
    CIec103Request request;              // COMMAND_103
    std::vector<std::uint8_t> abTrigger; // FOLLOW_UP_*: the received frame that calls for it
};

// What the frames of one received chunk ask the session to do next. A chunk gets one such step
// however many frames it holds: the follow-up the last frame asking for one calls for, otherwise
// the polling timer when any frame asks for it.
struct CAutomaticStep
{
    enum Kind
    {
        NONE,
        POLL_TIMER,
        FOLLOW_UP,
    };

    Kind eKind = NONE;
    std::vector<std::uint8_t> abTrigger; // FOLLOW_UP: the frame that calls for it

    void Merge(CAutomaticStep step)
    {
        if (step.eKind == FOLLOW_UP || (step.eKind == POLL_TIMER && eKind == NONE))
            *this = std::move(step);
    }
};

} // namespace relvane
