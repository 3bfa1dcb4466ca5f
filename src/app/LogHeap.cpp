#include "app/LogHeap.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace relvane
{

void KeepLargeBlocksMapped()
{
#if defined(__GLIBC__) && defined(M_MMAP_THRESHOLD)
    // glibc's own default, fixed: left to itself, the threshold rises to the size of the largest
    // block freed (up to 32 MB), after which the log's growing buffers come from the heap.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

} // namespace relvane
