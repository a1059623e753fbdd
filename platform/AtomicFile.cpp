#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

std::atomic<unsigned> g_serial{0};

std::string Folder(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Fail(std::string* error, const std::string& what, const std::string& path, int err) {
    std::string text = what + " '" + path + "': " + std::strerror(err);
    if (error) *error = text;
    errno = err;
    return text;
}

void SyncFolder(const std::string& path) {
    int dfd = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return;
    ::fsync(dfd);
    ::close(dfd);
}

// Writes `data` to a fresh temporary beside `path`; returns its name, or "" on failure.
std::string WriteTemporary(const std::string& path, const std::string& data, std::string* error,
                           mode_t mode) {
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tmp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(g_serial++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) {
            Fail(error, "cannot create", tmp, errno);
            return {};
        }
    }
    if (fd < 0) {
        Fail(error, "cannot create", tmp, EEXIST);
        return {};
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(tmp.c_str());
            Fail(error, "cannot write", tmp, err);
            return {};
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0) {
        int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        Fail(error, "cannot flush", tmp, err);
        return {};
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        Fail(error, "cannot close", tmp, err);
        return {};
    }
    return tmp;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const std::string& data, std::string* error, mode_t mode) {
    std::string tmp = WriteTemporary(path, data, error, mode);
    if (tmp.empty()) return false;
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        Fail(error, "cannot replace", path, err);
        return false;
    }
    SyncFolder(path);
    return true;
}

bool WriteNewFileAtomically(const std::string& path, const std::string& data, std::string* error,
                            mode_t mode) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        Fail(error, "will not replace", path, EEXIST);
        return false;
    }
    std::string tmp = WriteTemporary(path, data, error, mode);
    if (tmp.empty()) return false;
    // A hard link takes the name only when it is free; where the file system has no links, the
    // check above has to do.
    int rc = ::link(tmp.c_str(), path.c_str());
    int err = errno;
    if (rc != 0 && err != EEXIST) {
        rc = ::rename(tmp.c_str(), path.c_str());
        err = errno;
    }
    ::unlink(tmp.c_str());
    if (rc != 0) {
        Fail(error, err == EEXIST ? "will not replace" : "cannot name", path, err);
        return false;
    }
    SyncFolder(path);
    return true;
}

int RemoveOrphanTemporaries(const std::string& path) {
    const std::string folder = Folder(path);
    const std::string prefix =
        path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1) + ".tmp";
    DIR* d = ::opendir(folder.c_str());
    if (!d) return 0;
    int removed = 0;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const char* digits = name.c_str() + prefix.size();
        char* end = nullptr;
        long pid = std::strtol(digits, &end, 10);
        if (end == digits || (*end != '-' && *end != 0) || pid <= 0) continue;
        // A writer that still runs is busy with its file; ours cannot be (we are not writing).
        if (pid != ::getpid() && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)) continue;
        if (::unlink((folder + "/" + name).c_str()) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}

} // namespace Platform
