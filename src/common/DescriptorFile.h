#pragma once

#include <string>

namespace relvane
{

// Files written a block at a time through a descriptor (captures, the runner's text log), opened
// the same way on every system: the path in UTF-8, bytes written as they are, the descriptor not
// passed on to programs started meanwhile; opening never waits (a named pipe is refused with
// ESPIPE, as nothing written there could be kept). They return -1 with errno set on failure.
int OpenDescriptorForWriting(const std::string& strPath, int nMode);
// Puts what was written on the disk.
int SyncDescriptor(int nFd);
// Cuts the file back to nSize bytes (what a write that came up short left behind).
int TruncateDescriptor(int nFd, long long nSize);

} // namespace relvane
