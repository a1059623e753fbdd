#include "platform/Instance.h"

#include "platform/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Platform {

InstanceLock::~InstanceLock() {
    Release();
}

bool InstanceLock::Acquire(const std::string& name) {
    Release();
    std::string file = name;
    for (char& c : file)
        if (c == '/' || c == ' ') c = '_';
    std::string path = RuntimeDirectory() + "/" + file + ".lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return true; // no place for a lock: better to run than to refuse to start
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

void InstanceLock::Release() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace Platform
