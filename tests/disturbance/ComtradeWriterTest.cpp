// COMTRADE files of a small record, byte for byte.
#include "disturbance/ComtradeWriter.h"

#include "TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace relvane
{
namespace
{

CDisturbanceRecord SmallRecord()
{
    CDisturbanceRecord record;
    record.strStation = "RELAY 7,A";
    record.strDevice = "FUN160 ADDR7";
    record.nFun = 160;
    record.nFan = 12;
    record.nIntervalUs = 500;
    record.nElements = 3;
    record.startTime = {2026, 1, 31, 23, 59, 59, 950000};
    record.faultTime = {2026, 2, 1, 0, 0, 0, 50000};
    record.channels = {{1, 600.0f, 1.0f, 0.5f, {100, -32768, 0}}, {70, 100.0f, 100.0f, 0.25f, {-4, 5, 32767}}};
    // A general trip from sample 1, a signal of another FUN from sample 2 with an indeterminate state.
    record.tags = {{0, 160, 68, 1}, {1, 160, 68, 2}, {2, 7, 3, 3}};
    return record;
}

TEST(ComtradeWriter, ConfigurationAndDataOfBothFormats)
{
    const CDisturbanceRecord record = SmallRecord();
    EXPECT_EQ(ComtradeBaseName(record), "RELAY_7_A_FAN12_20260201_000000");
    const std::string strHead = "RELAY 7_A,FUN160 ADDR7,1999\r\n"
                                "4,2A,2D\r\n"
                                "1,IL1,A,,A,0.5,0,0,-32767,32767,600,1,S\r\n"
                                "2,ACC70,,,,0.25,0,0,-32767,32767,100,100,S\r\n"
                                "1,FUN160 INF68 General trip,,,0\r\n"
                                "2,FUN7 INF3,,,0\r\n"
                                "50\r\n1\r\n2000,3\r\n"
                                "31/01/2026,23:59:59.950000\r\n"
                                "01/02/2026,00:00:00.050000\r\n";
    EXPECT_EQ(BuildComtradeConfig(record, ComtradeFormat::Ascii), strHead + "ASCII\r\n1\r\n");
    EXPECT_EQ(BuildComtradeConfig(record, ComtradeFormat::Binary), strHead + "BINARY\r\n1\r\n");

    // -32768 marks a missing value in a binary file: the lowest value written is -32767.
    const std::string strAscii = "1,0,100,-4,0,0\r\n2,500,-32767,5,1,0\r\n3,1000,0,32767,1,0\r\n";
    const std::vector<std::uint8_t> abAscii = BuildComtradeData(record, ComtradeFormat::Ascii);
    EXPECT_EQ(std::string(abAscii.begin(), abAscii.end()), strAscii);
    const std::vector<std::uint8_t> abBinary = {
        1, 0, 0, 0, 0,    0,    0, 0, 100, 0,    0xFC, 0xFF, 0, 0, //
        2, 0, 0, 0, 0xF4, 1,    0, 0, 1,   0x80, 5,    0,    1, 0, //
        3, 0, 0, 0, 0xE8, 3,    0, 0, 0,   0,    0xFF, 0x7F, 1, 0,
    };
    EXPECT_EQ(BuildComtradeData(record, ComtradeFormat::Binary), abBinary);
}

TEST(ComtradeWriter, WritesBothFilesIntoANewFolderOrSaysWhyNot)
{
    const std::filesystem::path dir = test::MakeTempFolder("relvane-comtrade");
    ASSERT_FALSE(dir.empty());
    std::vector<std::string> paths;
    std::string strError;
    ASSERT_TRUE(WriteComtrade(SmallRecord(), (dir / "new" / "records").string(), ComtradeFormat::Ascii, paths,
                              strError))
        << strError;
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(paths[0]));
    EXPECT_EQ(std::filesystem::file_size(paths[1]), 56u); // the three data lines
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "new" / "records"),
                            std::filesystem::directory_iterator()),
              2);
    // A file where the folder should be.
    std::ofstream(dir / "taken") << "x";
    EXPECT_FALSE(WriteComtrade(SmallRecord(), (dir / "taken").string(), ComtradeFormat::Ascii, paths, strError));
    EXPECT_NE(strError.find("taken"), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace relvane
