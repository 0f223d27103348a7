// A process-wide set of live objects, guarded by its own lock: what a callback of the host checks
// a pointer it is handed against before it reads through it.
#pragma once

#include <mutex>
#include <unordered_set>

namespace Velto::Client {

struct PointerRegistry {
    std::mutex lock;
    std::unordered_set<const void*> pointers;
};

}  // namespace Velto::Client
