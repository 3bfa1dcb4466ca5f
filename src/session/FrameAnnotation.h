#pragma once

#include <cstdint>
#include <string>

namespace relvane
{

class Proto94Codec;

// The annotation the log writes under a frame, for every writer of frames (the session's log, the
// test plans' reports, the line monitor): in MODE_94 the '94 interpreter for the codec's device
// model, in MODE_103 the 103 annotator followed, when bFull, by the full explanation of the ASDU
// body (its own bound: the annotation keeps the length it is specified with). Greater than zero
// when there is one; the Ethernet mode has none.
int AnnotateFrame(int nMode, const Proto94Codec& codec94, const std::uint8_t* pFrame, int nLength, bool bFull,
                  std::string& strText);

} // namespace relvane
