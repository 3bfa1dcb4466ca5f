#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace relvane
{

// Reads one whole number at nPos the way the forms read typed numbers: leading white space
// skipped, an optional sign, then decimal digits or, with bHex, hexadecimal digits with an optional
// 0x prefix. The value wraps modulo 2^32 (so a negative number gives its two's complement). On
// success nPos moves past the number; on failure it stays where it was.
// The value of one digit (0 to 9, with bHex also a to f in either case), -1 for no digit.
int DigitValue(char c, bool bHex);

bool ScanWholeNumber(std::string_view strText, std::size_t& nPos, bool bHex, std::uint32_t& nValue);

} // namespace relvane
