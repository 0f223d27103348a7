#include "plugin/boost_dates.h"

#include <chrono>
#include <ctime>
#include <limits>
#include <ratio>

#include "diagnostics/assertion.h"
#include "platform/utc_calendar.h"

namespace Velto::Client::ActiveBoosts {

namespace {

constexpr int64_t kTicksPerMillisecond = 10000;
constexpr int64_t kTicksPerSecond = 10000000;

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
    return sum / kTicksPerSecond;
}

int64_t NowInHundredNanoseconds() {
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, kTicksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace Velto::Client::ActiveBoosts
