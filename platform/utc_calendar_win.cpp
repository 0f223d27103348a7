#include "platform/utc_calendar.h"

#include <time.h>

namespace Velto::Platform {

bool BreakDownUtc(int64_t seconds, std::tm& out) noexcept {
    out = std::tm{};
    // Checked here: the C runtime may treat a value beyond its range as an invalid parameter,
    // whose default handler ends the process.
    if (seconds < kUtcCalendarMinSeconds || seconds > kUtcCalendarMaxSeconds) {
        return false;
    }
    const __time64_t value = seconds;
    if (_gmtime64_s(&out, &value) != 0) {
        out = std::tm{};
        return false;
    }
    return true;
}

}  // namespace Velto::Platform
