#pragma once
// Bytes the C heap holds for the process, or -1 where the C library does not say. Used to catch a driver that
// keeps a copy of something at every draw (which no validation layer reports).
#include <cstdint>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace TestSupport {

inline int64_t heapInUse() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    return int64_t(mallinfo2().uordblks);
#else
    return -1;
#endif
}

} // namespace TestSupport
