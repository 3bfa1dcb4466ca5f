#pragma once

#include <string>

namespace relvane
{

// Files written a block at a time through a descriptor (captures, the runner's text log), opened
// the same way on every system: the path in UTF-8, bytes written as they are, the descriptor not
// passed on to programs started meanwhile. Both return -1 with errno set on failure.
int OpenDescriptorForWriting(const std::string& strPath, int nMode);
// Puts what was written on the disk.
int SyncDescriptor(int nFd);

} // namespace relvane
