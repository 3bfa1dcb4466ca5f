// The whole-file writer on Windows: the old file stays until every byte is on the disk, nothing
// temporary is left behind, UTF-8 names work, and a device is written directly.
#include "common/WholeFile.h"

#include "TempFolder.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

using namespace relvane;

namespace
{

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Entries(const std::filesystem::path& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

} // namespace

TEST(WholeFileWin, ReplacesTheFileOnlyWhenCommittedAndLeavesNothingBehind)
{
    const std::filesystem::path dir = test::MakeTempFolder("relvane-whole");
    ASSERT_FALSE(dir.empty());
    const std::string strNew(100000, 'x');
    struct CCase
    {
        const char8_t* pszName;
        bool bExists;
        bool bCommit;
    };
    const CCase cases[] = {
        {u8"log.rtf", true, true},
        {u8"log.rtf", true, false},
        {u8"日志.rtf", false, true},
        {u8"新.rtf", false, false},
    };
    for (const CCase& c : cases)
    {
        const std::filesystem::path path = dir / std::filesystem::path(c.pszName);
        std::filesystem::remove(path);
        if (c.bExists)
            std::ofstream(path, std::ios::binary) << "old log";
        CWholeFile file;
        const std::string strPath(reinterpret_cast<const char*>(path.u8string().c_str()));
        ASSERT_TRUE(file.Open(strPath)) << file.Error();
        ASSERT_TRUE(file.Write(strNew.data(), strNew.size()));
        EXPECT_EQ(ReadFile(path), c.bExists ? "old log" : "") << "untouched until committed";
        if (c.bCommit)
            EXPECT_TRUE(file.Commit());
        else
            file.Cancel();
        EXPECT_EQ(file.Error(), 0);
        EXPECT_EQ(std::filesystem::exists(path), c.bCommit || c.bExists);
        if (c.bCommit || c.bExists)
        {
            EXPECT_EQ(ReadFile(path), c.bCommit ? strNew : "old log");
        }
        EXPECT_EQ(Entries(dir), c.bCommit || c.bExists ? 1u : 0u) << "no temporary file is left";
        std::filesystem::remove(path);
    }
    // A folder is no file; the NUL device takes the bytes directly.
    CWholeFile folder;
    EXPECT_FALSE(folder.Open(dir.string()));
    EXPECT_EQ(folder.Error(), EISDIR);
    CWholeFile device;
    ASSERT_TRUE(device.Open("NUL"));
    EXPECT_TRUE(device.Write("abc", 3));
    EXPECT_TRUE(device.Commit());
    EXPECT_TRUE(device.TemporaryPath().empty());
    std::filesystem::remove_all(dir);
}
