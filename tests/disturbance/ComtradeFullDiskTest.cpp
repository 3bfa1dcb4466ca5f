// A COMTRADE record on a disk that fills up (a file-size limit: a short write, then EFBIG): the
// .cfg/.dat pair is written whole or not at all, and an older pair of the same name stays.
#include "disturbance/ComtradeWriter.h"

#include "FileSizeLimit.h"
#include "TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace relvane
{
namespace
{

CDisturbanceRecord Record(int nElements)
{
    CDisturbanceRecord record;
    record.strStation = "RELAY";
    record.strDevice = "FUN160 ADDR1";
    record.nFun = 160;
    record.nFan = 3;
    record.nIntervalUs = 1000;
    record.nElements = nElements;
    record.startTime = {2026, 3, 1, 10, 0, 0, 0};
    record.faultTime = {2026, 3, 1, 10, 0, 0, 100000};
    CDisturbanceChannel channel{1, 600.0f, 1.0f, 0.5f, {}};
    channel.values.assign(static_cast<std::size_t>(nElements), 1234);
    record.channels = {channel};
    return record;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ComtradeWriter, APairOrNothingOnAFullDisk)
{
    const std::filesystem::path dir = test::MakeTempFolder("relvane-comtrade-full");
    ASSERT_FALSE(dir.empty());
    const std::string strBase = ComtradeBaseName(Record(1));
    const struct
    {
        const char* pszName;
        int nElements;
        rlim_t nLimit;
    } kCases[] = {
        {"the data do not fit", 4000, 8192},
        {"the data fit, the configuration does not", 1, 128},
    };
    for (const auto& testCase : kCases)
    {
        SCOPED_TRACE(testCase.pszName);
        const CDisturbanceRecord record = Record(testCase.nElements);
        ASSERT_NE(BuildComtradeData(record, ComtradeFormat::Ascii).size() < testCase.nLimit,
                  BuildComtradeConfig(record, ComtradeFormat::Ascii).size() < testCase.nLimit)
            << "exactly one of the files is over the limit";
        for (const bool bOldPair : {false, true})
        {
            std::filesystem::remove_all(dir / "records");
            std::filesystem::create_directory(dir / "records");
            if (bOldPair)
            {
                std::ofstream(dir / "records" / (strBase + ".cfg")) << "old cfg";
                std::ofstream(dir / "records" / (strBase + ".dat")) << "old dat";
            }
            std::vector<std::string> paths;
            std::string strError;
            bool bWritten = true;
            {
                test::CFileSizeLimit limit(testCase.nLimit);
                bWritten = WriteComtrade(record, (dir / "records").string(), ComtradeFormat::Ascii, paths, strError);
            }
            EXPECT_FALSE(bWritten);
            EXPECT_NE(strError.find("File too large"), std::string::npos) << strError;
            EXPECT_TRUE(paths.empty());
            const auto nFiles = std::distance(std::filesystem::directory_iterator(dir / "records"),
                                              std::filesystem::directory_iterator());
            EXPECT_EQ(nFiles, bOldPair ? 2 : 0) << "no half pair, no temporary file";
            if (bOldPair)
            {
                EXPECT_EQ(ReadFile(dir / "records" / (strBase + ".cfg")), "old cfg");
                EXPECT_EQ(ReadFile(dir / "records" / (strBase + ".dat")), "old dat");
            }
        }
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace relvane
