// Breaking a count of seconds since 1970-01-01 UTC into calendar fields.
//
// Both implementations accept the same range, that of the Windows C runtime's 64-bit UTC
// breakdown, so a date converts (or fails) alike on every build.
#pragma once

#include <cstdint>
#include <ctime>

namespace Velto::Platform {

// Smallest and largest accepted inputs: twelve hours before the epoch to twelve hours after the
// end of the year 3000.
inline constexpr int64_t kUtcCalendarMinSeconds = -43200;
inline constexpr int64_t kUtcCalendarMaxSeconds = 32535215999 + 43200;

// Fills `out` (tm_year counts from 1900, tm_mon from 0) and returns true; returns false and
// leaves `out` zeroed when `seconds` lies outside the accepted range.
bool BreakDownUtc(int64_t seconds, std::tm& out) noexcept;

}  // namespace Velto::Platform
