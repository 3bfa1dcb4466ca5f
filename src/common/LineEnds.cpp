#include "common/LineEnds.h"

namespace relvane
{

std::string WithCrLf(std::string_view strText)
{
    std::string strOut;
    strOut.reserve(strText.size() + 8);
    for (std::size_t i = 0; i < strText.size(); ++i)
    {
        if (strText[i] == '\n' && (i == 0 || strText[i - 1] != '\r'))
            strOut += '\r';
        strOut += strText[i];
    }
    return strOut;
}

} // namespace relvane
