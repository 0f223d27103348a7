#include "platform/executable_path.h"

#include <unistd.h>

namespace Velto::Platform {

std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept {
    if (size == 0) {
        return 0;
    }
    const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
    const std::size_t kept = length > 0 ? static_cast<std::size_t>(length) : 0;
    buffer[kept] = '\0';
    return kept;
}

}  // namespace Velto::Platform
