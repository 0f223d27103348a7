#include "platform/utc_calendar.h"

namespace Velto::Platform {
namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t FloorDivide(int64_t value, int64_t divisor) {
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

bool IsLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DayOfYear(int64_t year, int month, int day) {
    static constexpr int kDaysBeforeMonth[] = {0,   31,  59,  90,  120, 151,
                                               181, 212, 243, 273, 304, 334};
    return kDaysBeforeMonth[month - 1] + day - 1 + (month > 2 && IsLeapYear(year) ? 1 : 0);
}

}  // namespace

// Pure arithmetic rather than gmtime_r: the C library's time_t is 32 bits on some 32-bit builds,
// and every build must accept the same range.
bool BreakDownUtc(int64_t seconds, std::tm& out) noexcept {
    out = std::tm{};
    if (seconds < kUtcCalendarMinSeconds || seconds > kUtcCalendarMaxSeconds) {
        return false;
    }
    const int64_t days = FloorDivide(seconds, kSecondsPerDay);
    const int64_t secondOfDay = seconds - days * kSecondsPerDay;

    // Civil date from a day count, with eras of 400 years starting on 0000-03-01.
    const int64_t shifted = days + 719468;
    const int64_t era = FloorDivide(shifted, 146097);
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfMarchYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfMarchYear + 2) / 153;
    const int day = static_cast<int>(dayOfMarchYear - (153 * monthFromMarch + 2) / 5 + 1);
    const int month =
        static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    out.tm_year = static_cast<int>(year - 1900);
    out.tm_mon = month - 1;
    out.tm_mday = day;
    out.tm_hour = static_cast<int>(secondOfDay / 3600);
    out.tm_min = static_cast<int>(secondOfDay / 60 % 60);
    out.tm_sec = static_cast<int>(secondOfDay % 60);
    out.tm_yday = DayOfYear(year, month, day);
    out.tm_wday =
        static_cast<int>(days + 4 - FloorDivide(days + 4, 7) * 7);  // 1970-01-01: Thursday
    return true;
}

}  // namespace Velto::Platform
