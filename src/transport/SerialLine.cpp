#include "transport/SerialLine.h"

#include <cctype>

namespace relvane
{

int CheckLineSettings(int nBaud, char cParity)
{
    if (nBaud <= 0 || nBaud > kMaxLineBaud)
        return LINE_BAD_BAUD;
    switch (std::toupper(static_cast<unsigned char>(cParity)))
    {
    case 'N':
    case 'O':
    case 'E':
    case 'M':
    case 'S':
        return LINE_OK;
    default:
        return LINE_BAD_PARITY;
    }
}

std::string BuildModeText(int nBaud, char cParity, int nDataBits, int nStopBits)
{
    const char cLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(cParity)));
    return "baud=" + std::to_string(nBaud) + " parity=" + std::string(1, cLetter) +
           " data=" + std::to_string(nDataBits) + " stop=" + std::to_string(nStopBits);
}

} // namespace relvane
