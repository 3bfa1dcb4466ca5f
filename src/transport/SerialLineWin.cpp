#include "transport/SerialLineWin.h"

#include "transport/SerialLine.h"

namespace relvane
{

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

} // namespace relvane
