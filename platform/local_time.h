// The local wall-clock time, broken down to the millisecond.
#pragma once

#include <cstdint>

namespace Velto::Platform {

struct LocalTime {
    int32_t year;         // e.g. 2026
    int32_t month;        // 1 to 12
    int32_t day;          // 1 to 31
    int32_t hour;         // 0 to 23
    int32_t minute;       // 0 to 59
    int32_t second;       // 0 to 59 (60 on a leap second where the system reports one)
    int32_t millisecond;  // 0 to 999
};

// Reads the clock now. Thread-safe; never fails (a clock error yields the zero time).
LocalTime LocalTimeNow() noexcept;

}  // namespace Velto::Platform
