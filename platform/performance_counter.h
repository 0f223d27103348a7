// A monotonic high-resolution counter and its frequency.
#pragma once

#include <cstdint>

namespace Velto::Platform {

// Current counter value in ticks; only differences between readings are meaningful.
int64_t PerformanceCounter() noexcept;

// Ticks per second; constant for the life of the process and never 0.
int64_t PerformanceFrequency() noexcept;

}  // namespace Velto::Platform
