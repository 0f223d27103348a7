#include "platform/performance_counter.h"

#include <time.h>

namespace Velto::Platform {

int64_t PerformanceCounter() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t PerformanceFrequency() noexcept {
    return 1000000000;
}

}  // namespace Velto::Platform
