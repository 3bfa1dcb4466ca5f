#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace relvane
{

struct CDecodeRequest
{
    std::vector<std::uint8_t> abFrame;
    std::string strModel = "KLR10"; // '94 only
    bool bCheck = false;            // print the checksum verdict first
    bool bComplete = false;         // 103 only: complete the frame instead of annotating it
    bool bFull = false;             // 103 only: the full explanation after the annotation
};

// Exit codes of relvane-decode.
enum DecodeExit : int
{
    DECODE_ANNOTATED = 0,
    DECODE_NOTHING = 1,
    DECODE_BAD_INPUT = 2,
};

// Each prints to out exactly what the log would hold (or the check line and then that) and
// returns a DecodeExit.
int Decode94(const CDecodeRequest& request, std::ostream& out, std::ostream& err);
int Decode103(const CDecodeRequest& request, std::ostream& out, std::ostream& err);

} // namespace relvane
