#include "platform/Memory.h"

#include "platform/Report.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>

namespace Platform {

void KeepLargeBlocksForReuse() {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's allocator stands in for the C library's and has no such settings.
#else
    constexpr int kMapAbove = 64 << 20;    // a single block larger than any picture
    constexpr int kReturnAbove = 64 << 20; // free memory at the top of the heap kept up to this
    if (mallopt(M_MMAP_THRESHOLD, kMapAbove) != 1 || mallopt(M_TRIM_THRESHOLD, kReturnAbove) != 1) {
        Report("Unable to tune the allocator: large blocks are mapped afresh each time\n");
        return;
    }
    // Where the system allows it, the heap the pictures come from is backed by large pages: one
    // fault for every 2 MB instead of one for every 4 KB, which otherwise took more than half of the
    // start-up. The heap is grown once and given back to the allocator, which keeps it.
    constexpr size_t kHeap = 48u << 20;
    constexpr uintptr_t kLargePage = 2u << 20;
    void* block = std::malloc(kHeap);
    if (!block) return;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + kHeap) & ~(kLargePage - 1);
    // Refused where large pages are off or unknown: small pages then, as before.
    if (to > from) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    std::free(block);
#endif
}

} // namespace Platform
