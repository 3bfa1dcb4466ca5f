#include "common/DescriptorFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace relvane
{

int OpenDescriptorForWriting(const std::string& strPath, int nMode)
{
    // Without O_NONBLOCK a pipe nobody reads would hold the caller for ever.
    const int nFd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, nMode);
    if (nFd < 0)
        return errno == ENXIO ? (errno = ESPIPE, -1) : -1;
    struct stat info = {};
    if (fstat(nFd, &info) != 0 || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ||
        fcntl(nFd, F_SETFL, fcntl(nFd, F_GETFL) & ~O_NONBLOCK) != 0)
    {
        close(nFd);
        errno = ESPIPE;
        return -1;
    }
    return nFd;
}

int SyncDescriptor(int nFd)
{
    return fdatasync(nFd);
}

int TruncateDescriptor(int nFd, long long nSize)
{
    return ftruncate(nFd, static_cast<off_t>(nSize));
}

} // namespace relvane
