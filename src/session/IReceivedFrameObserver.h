#pragma once

#include "transport/ChannelTime.h"

#include <cstdint>

namespace relvane
{

// Something that follows the frames the session logs as received in the serial modes (the event
// list and the measurand trends): only frames whose check held, and no answer the relay repeated
// for a kept FCB, which brings nothing new. Called on the UI thread from inside the log writer;
// must neither send nor write to the log.
class IReceivedFrameObserver
{
public:
    virtual ~IReceivedFrameObserver() = default;

    // nMode: the protocol mode the frame was logged in; time: when its entry was logged;
    // nLogPosition: where its bytes start in the log document.
    virtual void OnReceivedFrame(int nMode, const std::uint8_t* pFrame, int nLength, const CChannelTime& time,
                                 long long nLogPosition) = 0;
};

} // namespace relvane
