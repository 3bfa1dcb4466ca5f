#include "app/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace relvane
{

ERegularFile OpenRegularFile(const QString& strPath, QFile& file, qint64& nSize)
{
    const QByteArray abPath = QFile::encodeName(strPath);
    struct stat info = {};
    if (stat(abPath.constData(), &info) != 0 && errno == ENOENT)
        return ERegularFile::Missing;
    const int nFd = open(abPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0 || fstat(nFd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(nFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
    {
        if (nFd >= 0 && !file.isOpen())
            close(nFd);
        return ERegularFile::NotRegular;
    }
    nSize = info.st_size;
    return ERegularFile::Opened;
}

} // namespace relvane
