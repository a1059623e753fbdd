#include "platform/Instance.h"

#include "platform/Files.h"
#include "platform/Report.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

} // namespace Platform
