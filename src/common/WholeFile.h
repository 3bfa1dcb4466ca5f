#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace relvane
{

// A file written whole or not at all. The bytes go to a temporary file beside the target, which
// takes the target's place only once every byte is written and on the disk; until then, and after
// any failure, the old file stays exactly as it was. A short write is retried, so a disk that
// fills up shows as ENOSPC (or EFBIG past a file-size limit), never as a shorter file.
//
// A target that exists and is not a regular file (a device such as /dev/stdout, a pipe) cannot be
// replaced: it is written directly, with the same checks.
class CWholeFile
{
public:
    CWholeFile() = default;
    ~CWholeFile();
    CWholeFile(const CWholeFile&) = delete;
    CWholeFile& operator=(const CWholeFile&) = delete;

    // False (with Error set) when the temporary file cannot be made.
    bool Open(const std::string& strPath);
    // Appends; false once any write failed (the first error is kept).
    bool Write(const void* pData, std::size_t nCount);
    // Syncs the bytes and puts the file in place; false with Error set when anything failed, and
    // then the target is untouched.
    bool Commit();
    // Syncs and closes the temporary file without putting it in place yet (Commit then only
    // renames it): files that belong together are all written first and then placed one after
    // the other, so that a full disk leaves either all of them or none. False as Commit.
    bool Finish();
    // Drops what was written; the target is untouched.
    void Cancel();

    // errno of the first failure, 0 when none (Windows errors are told as the errno they mean).
    int Error() const { return m_nError; }
    // True when the failure was a full disk or an exhausted quota.
    bool DiskFull() const;
    const std::string& TemporaryPath() const { return m_strTemporary; }

private:
    bool Fail(int nError);

    std::string m_strTarget;
    std::string m_strTemporary; // empty when the target is written directly
    std::intptr_t m_nHandle = -1; // the system's number for the open file (descriptor or HANDLE)
    int m_nError = 0;
    bool m_bFinished = false; // synced and closed, not yet in place
};

// Writes the bytes as one whole file through CWholeFile; false with the errno of the first
// failure in nError (and the target untouched) when anything failed.
bool WriteWholeFile(const std::string& strPath, const void* pData, std::size_t nCount, int& nError);

} // namespace relvane
