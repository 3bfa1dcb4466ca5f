#include "proto94/Crc16.h"

#include <gtest/gtest.h>
#include <string>

using relvane::Crc16Arc;
using relvane::kCrc16ArcTable;

TEST(Crc16Arc, CheckValueOfTheNineDigits)
{
    const std::string strDigits = "123456789";
    EXPECT_EQ(Crc16Arc(reinterpret_cast<const std::uint8_t*>(strDigits.data()), strDigits.size()), 0xBB3D);
}

TEST(Crc16Arc, EmptyInputGivesTheInitialValue)
{
    EXPECT_EQ(Crc16Arc(nullptr, 0), 0x0000);
}

TEST(Crc16Arc, TableMatchesTheBitwiseReflectedPolynomial)
{
    for (unsigned i = 0; i < 256; ++i)
    {
        unsigned nCrc = i;
        for (int nBit = 0; nBit < 8; ++nBit)
            nCrc = (nCrc & 1) ? (nCrc >> 1) ^ 0xA001 : nCrc >> 1;
        EXPECT_EQ(kCrc16ArcTable[i], nCrc) << "entry " << i;
    }
    EXPECT_EQ(kCrc16ArcTable[1], 0xC0C1);
    EXPECT_EQ(kCrc16ArcTable[255], 0x4040);
}
