#include "platform/heap.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kemo {

void TuneHeap() {
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 2);
  mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
  // Pictures (a slide at the stage's size is over a megabyte) have pages of their own, given back
  // when the picture goes; left to itself the heap would take them in once one was freed, and keep
  // their memory after them.
  mallopt(M_MMAP_THRESHOLD, 512 * 1024);
#endif
}

void ReturnFreedHeap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace kemo
