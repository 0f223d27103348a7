// The text dates of the active-boosts resource.
#pragma once

#include <cstdint>
#include <string>

namespace Velto::Client::ActiveBoosts {

// `seconds` since 1970-01-01 UTC as "%Y-%m-%dT%H:%M:%SZ" (20 characters, e.g.
// "1970-01-01T00:00:00Z" for 0). A time the UTC breakdown rejects (before 1970 by more than half
// a day, after the year 3000) is reported as "ALE-8A14EBBK" and gives the empty text.
std::string FormatUtcTime(int64_t seconds);

// When the first-win bonus is available again, in seconds since 1970 UTC, `delayMilliseconds`
// from `now` (ticks of Platform::UtcNowInTicks). A delay too large for the 64-bit arithmetic
// gives a time FormatUtcTime rejects instead of overflowing.
int64_t FirstWinTime(uint64_t delayMilliseconds, int64_t now);

}  // namespace Velto::Client::ActiveBoosts
