// The whole-file writer on Windows: paths are UTF-8 and opened through the wide-character API, the
// temporary file takes the target's place with MoveFileExW, and Windows errors are told as the
// errno values the callers already know (a full disk is ENOSPC).
#include "common/WholeFile.h"

#include <cerrno>
#include <random>
#include <windows.h>

namespace relvane
{
namespace
{

std::wstring Wide(const std::string& strUtf8)
{
    if (strUtf8.empty())
        return {};
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), static_cast<int>(strUtf8.size()), nullptr, 0);
    std::wstring strWide(static_cast<std::size_t>(nLength > 0 ? nLength : 0), L'\0');
    if (nLength > 0)
        MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), static_cast<int>(strUtf8.size()), strWide.data(), nLength);
    return strWide;
}

int ErrnoOf(DWORD nError)
{
    switch (nError)
    {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    default:
        return EIO;
    }
}

HANDLE Handle(std::intptr_t nHandle)
{
    return reinterpret_cast<HANDLE>(nHandle); // -1 is INVALID_HANDLE_VALUE
}

} // namespace

CWholeFile::~CWholeFile()
{
    Cancel();
}

bool CWholeFile::Fail(int nError)
{
    if (m_nError == 0)
        m_nError = nError != 0 ? nError : EIO;
    return false;
}

bool CWholeFile::DiskFull() const
{
    return m_nError == ENOSPC;
}

bool CWholeFile::Open(const std::string& strPath)
{
    Cancel();
    m_nError = 0;
    m_strTarget = strPath;
    const std::wstring strWide = Wide(strPath);
    const DWORD nAttributes = GetFileAttributesW(strWide.c_str());
    const bool bExists = nAttributes != INVALID_FILE_ATTRIBUTES;
    if (bExists && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Fail(EISDIR);
    // A device name (NUL, CON, COM1) is written directly: it cannot be replaced.
    HANDLE hDirect = CreateFileW(strWide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hDirect != INVALID_HANDLE_VALUE)
    {
        const bool bDisk = GetFileType(hDirect) == FILE_TYPE_DISK;
        if (!bDisk)
        {
            m_nHandle = reinterpret_cast<std::intptr_t>(hDirect);
            return true;
        }
        CloseHandle(hDirect);
    }

    const std::size_t nSlash = m_strTarget.find_last_of("/\\");
    const std::string strDirectory = nSlash == std::string::npos ? std::string() : m_strTarget.substr(0, nSlash + 1);
    const std::string strName = nSlash == std::string::npos ? m_strTarget : m_strTarget.substr(nSlash + 1);
    std::random_device random;
    for (int nTry = 0; nTry < 100; ++nTry)
    {
        char szSuffix[16];
        snprintf(szSuffix, sizeof szSuffix, ".%06x", static_cast<unsigned>(random()) & 0xFFFFFFu);
        const std::string strTemporary = strDirectory + "." + strName + szSuffix;
        HANDLE hFile = CreateFileW(Wide(strTemporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile != INVALID_HANDLE_VALUE)
        {
            m_nHandle = reinterpret_cast<std::intptr_t>(hFile);
            m_strTemporary = strTemporary;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return Fail(ErrnoOf(GetLastError()));
    }
    return Fail(EEXIST);
}

bool CWholeFile::Write(const void* pData, std::size_t nCount)
{
    if (m_nHandle == -1)
        return Fail(EBADF);
    if (m_nError != 0)
        return false;
    const char* pBytes = static_cast<const char*>(pData);
    while (nCount > 0)
    {
        const DWORD nPart = static_cast<DWORD>(nCount > 0x40000000u ? 0x40000000u : nCount);
        DWORD nWritten = 0;
        if (!WriteFile(Handle(m_nHandle), pBytes, nPart, &nWritten, nullptr))
            return Fail(ErrnoOf(GetLastError()));
        if (nWritten == 0)
            return Fail(ENOSPC);
        pBytes += nWritten;
        nCount -= nWritten;
    }
    return true;
}

bool CWholeFile::Finish()
{
    if (m_bFinished)
        return m_nError == 0;
    if (m_nHandle == -1)
        return Fail(EBADF);
    if (m_nError != 0)
    {
        Cancel();
        return false;
    }
    if (!m_strTemporary.empty() && !FlushFileBuffers(Handle(m_nHandle)))
        Fail(ErrnoOf(GetLastError()));
    CloseHandle(Handle(m_nHandle));
    m_nHandle = -1;
    if (m_nError != 0)
    {
        Cancel();
        return false;
    }
    m_bFinished = true;
    return true;
}

bool CWholeFile::Commit()
{
    if (!Finish())
        return false;
    m_bFinished = false;
    if (m_strTemporary.empty())
        return true;
    if (!MoveFileExW(Wide(m_strTemporary).c_str(), Wide(m_strTarget).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        Fail(ErrnoOf(GetLastError()));
        Cancel();
        return false;
    }
    m_strTemporary.clear();
    return true;
}

void CWholeFile::Cancel()
{
    m_bFinished = false;
    if (m_nHandle != -1)
        CloseHandle(Handle(m_nHandle));
    m_nHandle = -1;
    if (!m_strTemporary.empty())
        DeleteFileW(Wide(m_strTemporary).c_str());
    m_strTemporary.clear();
}

} // namespace relvane
