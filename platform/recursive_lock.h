// A recursive mutual-exclusion lock (a critical section on Windows).
//
// The same thread may lock it again while holding it; each lock needs one unlock. It satisfies
// the standard Lockable shape, so std::lock_guard and std::unique_lock work with it. Not copyable.
#pragma once

#include <cstddef>

namespace Velto::Platform {

class RecursiveLock {
  public:
    RecursiveLock() noexcept;
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock() noexcept;
    bool try_lock() noexcept;
    void unlock() noexcept;

    // Room for the largest native lock object among the supported platforms.
    static constexpr std::size_t kStorageSize = 64;

  private:
    alignas(8) unsigned char storage_[kStorageSize];
};

}  // namespace Velto::Platform
