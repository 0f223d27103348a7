// Breaking a count of seconds since 1970-01-01 UTC into calendar fields.
//
// Both implementations accept the same range, that of the Windows C runtime's 64-bit UTC
// breakdown, so a date converts (or fails) alike on every build.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <ratio>

namespace Velto::Platform {

// Smallest and largest accepted inputs: twelve hours before the epoch to twelve hours after the
// end of the year 3000.
inline constexpr int64_t kUtcCalendarMinSeconds = -43200;
inline constexpr int64_t kUtcCalendarMaxSeconds = 32535215999 + 43200;

// The unit of the times the host and the plug-in exchange: 100 nanoseconds.
inline constexpr int64_t kUtcTicksPerSecond = 10000000;

// The current UTC time in ticks of 100 nanoseconds since 1970-01-01.
inline int64_t UtcNowInTicks() noexcept {
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, kUtcTicksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Fills `out` (tm_year counts from 1900, tm_mon from 0) and returns true; returns false and
// leaves `out` zeroed when `seconds` lies outside the accepted range.
bool BreakDownUtc(int64_t seconds, std::tm& out) noexcept;

}  // namespace Velto::Platform
