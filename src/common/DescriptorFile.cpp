#include "common/DescriptorFile.h"

#include <fcntl.h>
#include <unistd.h>

namespace relvane
{

int OpenDescriptorForWriting(const std::string& strPath, int nMode)
{
    return open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, nMode);
}

int SyncDescriptor(int nFd)
{
    return fdatasync(nFd);
}

} // namespace relvane
