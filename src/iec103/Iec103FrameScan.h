#pragma once

#include "common/FrameScanner.h"

#include <cstdint>

namespace relvane
{

// The FT1.2 frame test of the frame scanner: the single character E5H, a fixed frame 10H C A CS
// 16H, a variable frame 68H L L 68H ... CS 16H (L at least 2: C and A). A frame is recognised by
// its start characters, its repeated length and its end character where the length puts it; its
// checksum only says whether it is good (bValid). E5H stands for the acknowledgement when a frame
// (or the end of the stream, or another E5H) follows it, and is an ordinary byte inside a garbled
// run, where it is as likely a data byte of a damaged frame.
CScanResult ScanIec103Frame(const std::uint8_t* pBytes, int nCount, bool bEnd);

} // namespace relvane
