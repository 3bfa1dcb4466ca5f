#pragma once

#include <string>
#include <string_view>

namespace relvane
{

// Text from outside (a script word, a typed token) made safe to print in an error message:
// valid UTF-8 stays as it is; control characters (C0, DEL and C1) and bytes that are not UTF-8
// become \xHH, so a binary file named as a script cannot send raw bytes to the terminal.
std::string PrintableText(std::string_view strText);

// A token from outside as an error message quotes it: its first kTokenExcerptChars characters
// (a UTF-8 sequence counts as one, any other byte as one) and "..." when there was more, so that
// a bad megabyte-long word does not fill the terminal.
constexpr std::size_t kTokenExcerptChars = 80;
std::string TokenExcerpt(std::string_view strToken);

} // namespace relvane
