#include "transport/SerialLine.h"

#include <cctype>

namespace relvane
{

std::string BuildModeText(int nBaud, char cParity, int nDataBits, int nStopBits)
{
    const char cLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(cParity)));
    return "baud=" + std::to_string(nBaud) + " parity=" + std::string(1, cLetter) +
           " data=" + std::to_string(nDataBits) + " stop=" + std::to_string(nStopBits);
}

} // namespace relvane
