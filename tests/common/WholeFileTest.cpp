#include "common/WholeFile.h"

#include "FileSizeLimit.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <gtest/gtest.h>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace relvane;

namespace
{

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WholeFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char szPattern[] = "/tmp/relvane-whole-XXXXXX";
        ASSERT_NE(mkdtemp(szPattern), nullptr);
        m_dir = szPattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::size_t Entries() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_dir), {}));
    }

    std::filesystem::path m_dir;
};

} // namespace

// A full disk or a size limit leaves the old file as it was, says why, and leaves nothing behind.
TEST_F(WholeFile, ReplacesTheFileOnlyWhenEveryByteIsWritten)
{
    const auto path = m_dir / "log.rtf";
    std::ofstream(path) << "old log";
    chmod(path.c_str(), 0640);
    const std::string strNew(100000, 'x');
    struct CCase
    {
        const char* pszName;
        rlim_t nLimit; // 0: none
        int nError;
        bool bDiskFull;
    };
    const CCase cases[] = {
        {"short write then EFBIG", 36864, EFBIG, false},
        {"whole", 0, 0, false},
    };
    for (const CCase& c : cases)
    {
        CWholeFile file;
        bool bCommitted = false;
        {
            std::unique_ptr<test::CFileSizeLimit> pLimit;
            if (c.nLimit != 0)
                pLimit = std::make_unique<test::CFileSizeLimit>(c.nLimit);
            ASSERT_TRUE(file.Open(path.string())) << c.pszName;
            file.Write(strNew.data(), strNew.size());
            bCommitted = file.Commit();
        }
        EXPECT_EQ(bCommitted, c.nError == 0) << c.pszName;
        EXPECT_EQ(file.Error(), c.nError) << c.pszName;
        EXPECT_EQ(file.DiskFull(), c.bDiskFull) << c.pszName;
        EXPECT_EQ(ReadFile(path), c.nError == 0 ? strNew : "old log") << c.pszName;
        EXPECT_EQ(Entries(), 1u) << c.pszName << ": no temporary file is left";
        struct stat info = {};
        stat(path.c_str(), &info);
        EXPECT_EQ(info.st_mode & 0777, 0640u) << c.pszName;
    }
}

// The one-call writer (saved monitor logs, the monitor's RTF, screenshots): the old file stays
// when the disk fills up midway or the new file cannot even be started.
TEST_F(WholeFile, OneCallWriterKeepsTheOldFileOnAnyFailure)
{
    const std::string strNew(100000, 'y');
    struct CCase
    {
        const char* pszName;
        const char* pszPath; // under the test's folder
        rlim_t nLimit;       // 0: none
        int nError;
    };
    const CCase cases[] = {
        {"full midway", "log.rtf", 36864, EFBIG},
        {"no folder for the temporary", "missing/log.rtf", 0, ENOENT},
        {"whole", "log.rtf", 0, 0},
    };
    for (const CCase& c : cases)
    {
        const auto path = m_dir / c.pszPath;
        std::ofstream(m_dir / "log.rtf") << "old log";
        int nError = -1;
        bool bWritten = false;
        {
            std::unique_ptr<test::CFileSizeLimit> pLimit;
            if (c.nLimit != 0)
                pLimit = std::make_unique<test::CFileSizeLimit>(c.nLimit);
            bWritten = WriteWholeFile(path.string(), strNew.data(), strNew.size(), nError);
        }
        EXPECT_EQ(bWritten, c.nError == 0) << c.pszName;
        EXPECT_EQ(nError, c.nError) << c.pszName;
        EXPECT_EQ(ReadFile(m_dir / "log.rtf"), c.nError == 0 ? strNew : "old log") << c.pszName;
        EXPECT_EQ(Entries(), 1u) << c.pszName << ": no temporary file is left";
    }
}

// A device is written directly, with the same checks: /dev/full is a disk that is full.
TEST_F(WholeFile, WritesADeviceDirectlyAndReportsAFullDisk)
{
    CWholeFile full;
    ASSERT_TRUE(full.Open("/dev/full"));
    EXPECT_FALSE(full.Write("abc", 3));
    EXPECT_FALSE(full.Commit());
    EXPECT_TRUE(full.DiskFull());
    EXPECT_EQ(full.Error(), ENOSPC);

    CWholeFile null;
    ASSERT_TRUE(null.Open("/dev/null"));
    EXPECT_TRUE(null.Write("abc", 3));
    EXPECT_TRUE(null.Commit());

    CWholeFile missing;
    EXPECT_FALSE(missing.Open((m_dir / "no-such-folder" / "x").string()));
    EXPECT_EQ(missing.Error(), ENOENT);
    EXPECT_FALSE(missing.Commit());
}

// A named pipe is refused at once, with or without a reader, instead of holding the caller; a
// link is written through, also one whose file does not exist yet: the link stays a link.
TEST_F(WholeFile, RefusesPipesAndWritesThroughLinks)
{
    const auto pipe = m_dir / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    CWholeFile toPipe;
    EXPECT_FALSE(toPipe.Open(pipe.string()));
    EXPECT_EQ(toPipe.Error(), ESPIPE);
    const int nReader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(nReader, 0);
    EXPECT_FALSE(toPipe.Open(pipe.string()));
    close(nReader);

    std::filesystem::create_directory(m_dir / "logs");
    std::filesystem::create_symlink("logs/new.rtf", m_dir / "dangling");
    std::filesystem::create_symlink("logs/old.rtf", m_dir / "link");
    std::ofstream(m_dir / "logs" / "old.rtf") << "old";
    for (const char* pszLink : {"dangling", "link"})
    {
        CWholeFile file;
        ASSERT_TRUE(file.Open((m_dir / pszLink).string())) << pszLink;
        ASSERT_TRUE(file.Write("new", 3));
        ASSERT_TRUE(file.Commit()) << pszLink;
        EXPECT_TRUE(std::filesystem::is_symlink(m_dir / pszLink)) << pszLink;
        EXPECT_EQ(ReadFile(m_dir / pszLink), "new") << pszLink;
    }
    EXPECT_EQ(ReadFile(m_dir / "logs" / "new.rtf"), "new");
}

// A finished file is on the disk but takes its place only when committed.
TEST_F(WholeFile, FinishedFilesArePlacedOnlyWhenCommitted)
{
    CWholeFile first;
    ASSERT_TRUE(first.Open((m_dir / "a").string()));
    ASSERT_TRUE(first.Write("aaa", 3));
    ASSERT_TRUE(first.Finish());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "a"));
    EXPECT_TRUE(first.Commit());
    EXPECT_EQ(ReadFile(m_dir / "a"), "aaa");
    EXPECT_EQ(Entries(), 1u);
}
