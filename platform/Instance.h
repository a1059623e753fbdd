#pragma once
#include <string>

namespace Platform {

// Single-instance guard: lock files held with flock, so that the kernel releases them when the
// process ends, crash included. One lies in the user's runtime folder; a second lies beside the
// settings store, so two copies never write one store even when their runtime folders differ or
// the runtime folder cannot hold a lock.
class InstanceLock {
  public:
    ~InstanceLock();
    // True when this process now holds the lock named `name` (in the runtime folder and in
    // `storeFolder` when given); false when another process holds either.
    [[nodiscard]] bool Acquire(const std::string& name, const std::string& storeFolder = "");
    void Release();

  private:
    int fd_ = -1;
    int storeFd_ = -1;
};

} // namespace Platform
