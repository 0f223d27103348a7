#include "platform/executable_path.h"

#include <windows.h>

namespace Velto::Platform {

std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept {
    if (size == 0) {
        return 0;
    }
    // On a path too long for the buffer older systems leave it unterminated: terminate it here.
    const DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    const std::size_t kept = length < size ? length : size - 1;
    buffer[kept] = '\0';
    return kept;
}

}  // namespace Velto::Platform
