#include "transport/SerialLinePosix.h"

#include <gtest/gtest.h>
#include <ostream>

namespace relvane
{
namespace
{

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;

struct CParityCase
{
    char cParity;
    tcflag_t nExpected;
    const char* pszName;
};

void PrintTo(const CParityCase& test, std::ostream* pOut)
{
    *pOut << test.pszName;
}

class ParityFlags : public ::testing::TestWithParam<CParityCase>
{
};

TEST_P(ParityFlags, EachLetterGivesItsFlagsOnARawEightBitLine)
{
    const CParityCase& test = GetParam();
    CTermiosSettings settings;
    ASSERT_EQ(BuildTermios(9600, test.cParity, settings), TERMIOS_OK);
    const termios& tio = settings.tio;
    EXPECT_EQ(tio.c_cflag & kParityBits, test.nExpected);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    // Raw: no software flow control, no translation, no parity check or marking, no echo.
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | PARMRK), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B9600));

    const termios plain = BuildTermiosWithoutParity(tio);
    EXPECT_EQ(plain.c_cflag & kParityBits, 0u);
    EXPECT_EQ(plain.c_cflag & ~kParityBits, tio.c_cflag & ~kParityBits);
}

INSTANTIATE_TEST_SUITE_P(
    AllLetters, ParityFlags,
    ::testing::Values(CParityCase{'N', 0, "None"}, CParityCase{'O', PARENB | PARODD, "Odd"},
                      CParityCase{'E', PARENB, "Even"}, CParityCase{'M', PARENB | PARODD | CMSPAR, "Mark"},
                      CParityCase{'S', PARENB | CMSPAR, "Space"}, CParityCase{'e', PARENB, "LowerCaseEven"}),
    [](const ::testing::TestParamInfo<CParityCase>& param) { return param.param.pszName; });

TEST(BuildTermios, EveryRateOfTheSettingsFormIsAccepted)
{
    const struct
    {
        int nBaud;
        speed_t nSpeed;
    } kRates[] = {{300, B300},     {1200, B1200},   {2400, B2400},   {4800, B4800},    {9600, B9600},
                  {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& rate : kRates)
    {
        CTermiosSettings settings;
        ASSERT_EQ(BuildTermios(rate.nBaud, 'N', settings), TERMIOS_OK) << rate.nBaud;
        EXPECT_EQ(cfgetospeed(&settings.tio), rate.nSpeed) << rate.nBaud;
        EXPECT_EQ(settings.nCustomBaud, 0) << rate.nBaud;
    }
    // 14400 has no termios constant and goes through the arbitrary-rate path.
    CTermiosSettings settings;
    ASSERT_EQ(BuildTermios(14400, 'N', settings), TERMIOS_OK);
    EXPECT_EQ(settings.nCustomBaud, 14400);
}

TEST(BuildTermios, RefusesBadRatesAndUnknownParity)
{
    CTermiosSettings settings;
    EXPECT_EQ(BuildTermios(0, 'N', settings), TERMIOS_BAD_BAUD);
    EXPECT_EQ(BuildTermios(-9600, 'N', settings), TERMIOS_BAD_BAUD);
    EXPECT_EQ(BuildTermios(9600, 'X', settings), TERMIOS_BAD_PARITY);
    EXPECT_EQ(BuildTermios(9600, '\0', settings), TERMIOS_BAD_PARITY);
}

} // namespace
} // namespace relvane
