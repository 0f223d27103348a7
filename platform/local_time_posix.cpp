#include "platform/local_time.h"

#include <time.h>

namespace Velto::Platform {

LocalTime LocalTimeNow() noexcept {
    timespec now{};
    tm parts{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0 || localtime_r(&now.tv_sec, &parts) == nullptr) {
        return LocalTime{};
    }
    return LocalTime{parts.tm_year + 1900,
                     parts.tm_mon + 1,
                     parts.tm_mday,
                     parts.tm_hour,
                     parts.tm_min,
                     parts.tm_sec,
                     static_cast<int32_t>(now.tv_nsec / 1000000)};
}

}  // namespace Velto::Platform
