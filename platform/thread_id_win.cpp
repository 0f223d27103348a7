#include "platform/thread_id.h"

#include <windows.h>

namespace Velto::Platform {

uint32_t CurrentThreadId() noexcept {
    return GetCurrentThreadId();
}

}  // namespace Velto::Platform
