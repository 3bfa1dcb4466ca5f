#include "LineInput.h"

namespace relvane
{

LineRead ReadBoundedLine(std::streambuf& input, std::string& line, std::size_t nLimit)
{
    using Traits = std::streambuf::traits_type;
    line.clear();
    bool bAny = false;
    for (int nChar = input.sbumpc(); !Traits::eq_int_type(nChar, Traits::eof()); nChar = input.sbumpc())
    {
        bAny = true;
        if (nChar == '\n')
            return LINE_READ;
        if (line.size() >= nLimit)
            return LINE_TOO_LONG;
        line.push_back(Traits::to_char_type(nChar));
    }
    return bAny ? LINE_READ : LINE_END;
}

std::string LineTooLongMessage(long long nLine, std::size_t nLimit)
{
    return "line " + std::to_string(nLine) + ": longer than " + std::to_string(nLimit) + " bytes";
}

} // namespace relvane
