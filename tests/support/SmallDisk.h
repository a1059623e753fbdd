#pragma once
#include <csignal>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>

// A folder that holds only a few kilobytes, for writes that must fail as on a full disk: a small
// tmpfs mounted over it where the test may mount one (root), otherwise a file-size limit that the
// writing child process sets on itself, which fails the write the same way.
class SmallDisk {
  public:
    SmallDisk(std::string folder, const char* size) : folder_(std::move(folder)) {
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount(folder_.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    // Called in the child that writes: without the tmpfs, no file may grow past 8 KiB.
    void LimitThisProcess() const {
        if (mounted_) return;
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    const char* How() const { return mounted_ ? "tmpfs" : "RLIMIT_FSIZE"; }

  private:
    std::string folder_;
    bool mounted_ = false;
};
