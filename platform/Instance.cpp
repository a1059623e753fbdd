#include "platform/Instance.h"

#include "platform/Files.h"
#include "platform/Report.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

enum class Lock { Held, Busy, NoPlace };

Lock TakeLock(const std::string& path, int& fd) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        Report("Instance: cannot open the lock file '%s': %s\n", path.c_str(), std::strerror(errno));
        return Lock::NoPlace;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Lock::Held;
    const int err = errno;
    ::close(fd);
    fd = -1;
    if (err == EWOULDBLOCK) return Lock::Busy;
    Report("Instance: cannot lock '%s': %s\n", path.c_str(), std::strerror(err));
    return Lock::NoPlace;
}

} // namespace

InstanceLock::~InstanceLock() {
    Release();
}

bool InstanceLock::Acquire(const std::string& name, const std::string& storeFolder) {
    Release();
    std::string file = name;
    for (char& c : file)
        if (c == '/' || c == ' ') c = '_';
    const Lock runtime = TakeLock(RuntimeDirectory() + "/" + file + ".lock", fd_);
    if (runtime == Lock::Busy) return false;
    Lock store = Lock::NoPlace;
    if (!storeFolder.empty()) {
        ::mkdir(storeFolder.c_str(), 0700);
        store = TakeLock(storeFolder + "/" + file + ".lock", storeFd_);
        if (store == Lock::Busy) {
            Release();
            return false;
        }
    }
    // No place for any lock: better to run than to refuse to start.
    if (runtime == Lock::NoPlace && store == Lock::NoPlace)
        Report("Instance: no lock file could be held; a second copy would not be noticed\n");
    return true;
}

void InstanceLock::Release() {
    for (int* fd : {&fd_, &storeFd_}) {
        if (*fd >= 0) {
            ::flock(*fd, LOCK_UN);
            ::close(*fd);
            *fd = -1;
        }
    }
}

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
