#include "common/DescriptorFile.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <cerrno>
#include <string>
#include <windows.h>

namespace relvane
{

int OpenDescriptorForWriting(const std::string& strPath, int nMode)
{
    const int nLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, strPath.data(),
                                            static_cast<int>(strPath.size()), nullptr, 0);
    if (nLength <= 0)
    {
        errno = ENOENT;
        return -1;
    }
    std::wstring strWide(static_cast<std::size_t>(nLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strPath.data(), static_cast<int>(strPath.size()), strWide.data(), nLength);
    // Binary: the text mode of the C library would turn every line feed into CR LF.
    return _wopen(strWide.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                  (nMode & 0200) != 0 ? _S_IREAD | _S_IWRITE : _S_IREAD);
}

int SyncDescriptor(int nFd)
{
    return _commit(nFd);
}

int TruncateDescriptor(int nFd, long long nSize)
{
    const errno_t nError = _chsize_s(nFd, nSize);
    if (nError == 0)
        return 0;
    errno = nError;
    return -1;
}

} // namespace relvane
