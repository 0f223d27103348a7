#include "platform/thread_id.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace Velto::Platform {

uint32_t CurrentThreadId() noexcept {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

}  // namespace Velto::Platform
