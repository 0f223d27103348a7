#include "plugin/boost_dates.h"

#include <ctime>
#include <limits>

#include "diagnostics/assertion.h"
#include "platform/utc_calendar.h"

namespace Velto::Client::ActiveBoosts {

namespace {

constexpr int64_t kTicksPerMillisecond = Platform::kUtcTicksPerSecond / 1000;

}  // namespace

std::string FormatUtcTime(int64_t seconds) {
    std::tm calendar{};
    if (!Platform::BreakDownUtc(seconds, calendar)) {
        ReportAssertion("ALE-8A14EBBK", nullptr, nullptr, 0, nullptr);
        return {};
    }
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &calendar);
    return text;
}

int64_t FirstWinTime(uint64_t delayMilliseconds, int64_t now) {
    constexpr int64_t kLatest = std::numeric_limits<int64_t>::max();
    int64_t sum = 0;
    if (delayMilliseconds > static_cast<uint64_t>(kLatest / kTicksPerMillisecond) ||
        __builtin_add_overflow(now, static_cast<int64_t>(delayMilliseconds) * kTicksPerMillisecond,
                               &sum)) {
        return kLatest;
    }
    return sum / Platform::kUtcTicksPerSecond;
}

}  // namespace Velto::Client::ActiveBoosts
