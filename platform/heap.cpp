#include "platform/heap.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnLargeBlocksToTheSystem()
{
#if defined(__GLIBC__)
    // The library's own starting size, kept fixed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}
