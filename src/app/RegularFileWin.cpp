#include "app/RegularFile.h"

#include <QDir>

#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

namespace relvane
{

ERegularFile OpenRegularFile(const QString& strPath, QFile& file, qint64& nSize)
{
    const std::wstring strWide = QDir::toNativeSeparators(strPath).toStdWString();
    // Shared as other programs share their logs; a device name (COM1, NUL) or a pipe opens as
    // something that is not a disk file and is refused below.
    const HANDLE hFile = CreateFileW(strWide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        const DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? ERegularFile::Missing
                                                                                    : ERegularFile::NotRegular;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    LARGE_INTEGER size = {};
    if (GetFileType(hFile) != FILE_TYPE_DISK || !GetFileInformationByHandle(hFile, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(hFile, &size))
    {
        CloseHandle(hFile);
        return ERegularFile::NotRegular;
    }
    const int nFd = _open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_RDONLY | _O_BINARY);
    if (nFd < 0)
    {
        CloseHandle(hFile);
        return ERegularFile::NotRegular;
    }
    if (!file.open(nFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
    {
        _close(nFd);
        return ERegularFile::NotRegular;
    }
    nSize = size.QuadPart;
    return ERegularFile::Opened;
}

} // namespace relvane
