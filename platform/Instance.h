#pragma once
#include <string>

namespace Platform {

// Single-instance guard: a lock file in the user's runtime directory, held with flock so that the
// kernel releases it when the process ends, crash included.
class InstanceLock {
  public:
    ~InstanceLock();
    // True when this process now holds the lock named `name`; false when another process holds it.
    bool Acquire(const std::string& name);
    void Release();

  private:
    int fd_ = -1;
};

} // namespace Platform
