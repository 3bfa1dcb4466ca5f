#include "common/SerialSettings.h"

#include <gtest/gtest.h>

namespace relvane
{
namespace
{

TEST(SerialSettings, PortNamesBaudRatesAndParities)
{
    const struct
    {
        const char* pszText;
        int nPort;
    } ports[] = {{"COM1", 1},    {"COM256", 256}, {"COM007", 7}, {"COM0", 0}, {"COM257", 0},
                 {"COM1000", 0}, {"COM", 0},      {"com1", 0},   {"1", 0},    {"COM1 ", 0},
                 {"COM-1", 0},   {"COM+1", 0},    {"COMX", 0},   {"", 0}};
    for (const auto& port : ports)
        EXPECT_EQ(ParseComPort(port.pszText), port.nPort) << port.pszText;

    EXPECT_EQ(FindBaudRate("300"), 0);
    EXPECT_EQ(FindBaudRate("9600"), 4);
    EXPECT_EQ(FindBaudRate("115200"), 9);
    EXPECT_EQ(FindBaudRate("9601"), -1);
    EXPECT_EQ(FindBaudRate(""), -1);

    EXPECT_EQ(FindParityName("None"), 0);
    EXPECT_EQ(FindParityName("Space"), 4);
    EXPECT_EQ(FindParityName("EVEN"), -1);
    EXPECT_EQ(FindParityName("EVEN", true), 2);
    EXPECT_EQ(FindParityName("Ev", true), -1);
    EXPECT_STREQ(kPortLostText, "串口已断开");
}

} // namespace
} // namespace relvane
