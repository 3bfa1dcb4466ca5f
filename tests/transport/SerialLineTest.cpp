// The line settings both serial channels share, and on Windows the device-control record they
// become (pseudo-terminals under Wine take no parity, so parity is proved here). Parity is sent
// as chosen and not checked on input, as on Linux.
#include "transport/SerialLine.h"
#ifdef _WIN32
#include "transport/SerialLineWin.h"
#endif

#include <gtest/gtest.h>

namespace relvane
{
namespace
{

TEST(SerialLine, BaudAndParityAreCheckedAndSpelledAsTheModeText)
{
    struct CCase
    {
        int nBaud;
        char cParity;
        int nCheck;
        const char* pszMode;
    };
    const CCase cases[] = {
        {9600, 'E', LINE_OK, "baud=9600 parity=E data=8 stop=1"},
        {9600, 'N', LINE_OK, "baud=9600 parity=N data=8 stop=1"},
        {115200, 'o', LINE_OK, "baud=115200 parity=O data=8 stop=1"},
        {14400, 'M', LINE_OK, "baud=14400 parity=M data=8 stop=1"},
        {1200, 's', LINE_OK, "baud=1200 parity=S data=8 stop=1"},
        {0, 'N', LINE_BAD_BAUD, nullptr},
        {4000001, 'N', LINE_BAD_BAUD, nullptr},
        {9600, 'X', LINE_BAD_PARITY, nullptr},
        {9600, '\0', LINE_BAD_PARITY, nullptr},
    };
    for (const CCase& c : cases)
    {
        EXPECT_EQ(CheckLineSettings(c.nBaud, c.cParity), c.nCheck) << c.nBaud << " " << c.cParity;
        if (c.pszMode != nullptr)
        {
            EXPECT_EQ(BuildModeText(c.nBaud, c.cParity), c.pszMode);
        }
    }
}

#ifdef _WIN32
TEST(SerialLine, DeviceControlRecordHoldsBaudParityEightBitsOneStopAndNoFlowControl)
{
    struct CCase
    {
        char cParity;
        BYTE nParity;
    };
    const CCase cases[] = {
        {'N', NOPARITY}, {'O', ODDPARITY}, {'E', EVENPARITY}, {'M', MARKPARITY}, {'S', SPACEPARITY}, {'e', EVENPARITY},
    };
    for (const CCase& c : cases)
    {
        // A port as a driver may report it: flow control on, odd settings.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.fOutxCtsFlow = TRUE;
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.fAbortOnError = TRUE;
        dcb.fParity = TRUE;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.ByteSize = 7;
        dcb.StopBits = TWOSTOPBITS;
        ASSERT_TRUE(BuildLineDcb(19200, c.cParity, true, dcb)) << c.cParity;
        EXPECT_EQ(dcb.BaudRate, 19200u) << c.cParity;
        EXPECT_EQ(dcb.Parity, c.nParity) << c.cParity;
        EXPECT_EQ(dcb.ByteSize, 8) << c.cParity;
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT) << c.cParity;
        EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE)) << c.cParity;
        EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE)) << c.cParity;
        // Received bytes arrive as they came: no parity check, no replacement, no abort.
        EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX || dcb.fInX || dcb.fAbortOnError ||
                     dcb.fParity || dcb.fErrorChar)
            << c.cParity;
    }
    // A receive-only port leaves RTS as it was; settings out of range are refused.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    ASSERT_TRUE(BuildLineDcb(9600, 'N', false, dcb));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_FALSE(BuildLineDcb(0, 'N', true, dcb));
    EXPECT_FALSE(BuildLineDcb(9600, 'Q', true, dcb));
}
#endif

} // namespace
} // namespace relvane
