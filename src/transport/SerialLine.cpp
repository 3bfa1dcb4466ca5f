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

#ifdef _WIN32
bool BuildLineDcb(int nBaud, char cParity, bool bRtsOn, DCB& dcb)
{
    if (CheckLineSettings(nBaud, cParity) != LINE_OK)
        return false;
    const DWORD nDtr = dcb.fDtrControl;
    const DWORD nRts = dcb.fRtsControl;
    dcb.DCBlength = sizeof dcb;
    if (!BuildCommDCBA(BuildModeText(nBaud, cParity).c_str(), &dcb))
        return false;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE; // sent as chosen, not checked on input: bytes arrive as they came
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = nDtr == DTR_CONTROL_HANDSHAKE ? DTR_CONTROL_ENABLE : nDtr;
    dcb.fRtsControl = bRtsOn ? RTS_CONTROL_ENABLE : nRts;
    return true;
}
#endif

} // namespace relvane
