#include "platform/performance_counter.h"

#include <windows.h>

namespace Velto::Platform {

int64_t PerformanceCounter() noexcept {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t PerformanceFrequency() noexcept {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

}  // namespace Velto::Platform
