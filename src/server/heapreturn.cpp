#include "heapreturn.h"

#include <malloc.h>

namespace suite::server {

void HeapReturn::mapLargeBlocks()
{
    mallopt(M_MMAP_THRESHOLD, int(kThreshold));
}

HeapReturn::~HeapReturn()
{
    // The C library keeps freed heap in each worker thread's arena for that thread's next call: without this, the
    // peaks of refused requests add up across the workers and stay.
    if (m_large)
        malloc_trim(0);
}

} // namespace suite::server
