#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

namespace relvane
{

// Longest line the tools accept from a script or from standard input. Endless input (/dev/zero,
// a generator gone wrong) then costs at most this much memory and ends with an error naming the
// line instead of exhausting memory.
constexpr std::size_t kMaxInputLine = 1024 * 1024;

enum LineRead
{
    LINE_READ,     // `line` holds the next line, without its line feed
    LINE_END,      // no more input
    LINE_TOO_LONG, // the line is longer than the limit; `line` holds its first nLimit bytes
};

// Reads the next line from the buffer, keeping at most nLimit bytes. A failed allocation is not
// caught here: it propagates as std::bad_alloc and is never mistaken for the end of the input.
LineRead ReadBoundedLine(std::streambuf& input, std::string& line, std::size_t nLimit = kMaxInputLine);

// The error text for a line over the limit: "line N: longer than 1048576 bytes".
std::string LineTooLongMessage(long long nLine, std::size_t nLimit = kMaxInputLine);

} // namespace relvane
