#include "ProcessMemory.h"

#include <cstdlib> // defines __GLIBC__ with the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ProcessMemory::returnLargeBlocksToSystem()
{
#if defined(__GLIBC__)
    // A fixed threshold also stops the C library from raising it after each large
    // block is freed, which would put the next large blocks back into the heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void ProcessMemory::giveBackFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
