#pragma once

namespace relvane
{

// Keeps every large block of memory mapped on its own instead of carving it from the heap. The
// log's text and its paragraph tables grow by doubling to tens of megabytes; carved from the
// heap, each step leaves the old block behind as a hole that the process keeps (about half a
// kilobyte per entry at everyday rates), while a mapped block grows in place and is given back
// whole. Call once, before the window is built.
void KeepLargeBlocksMapped();

} // namespace relvane
