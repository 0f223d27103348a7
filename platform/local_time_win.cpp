#include "platform/local_time.h"

#include <windows.h>

namespace Velto::Platform {

LocalTime LocalTimeNow() noexcept {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace Velto::Platform
