#include "diagnostics/bounded_print.h"

#include <cstring>

#include "platform/c_locale_numbers.h"

namespace Velto {

int BoundedPrintV(char* buffer, std::size_t size, const char* format, va_list arguments) noexcept {
    if (size == 0) {
        return -1;
    }
    const int needed = Platform::VsnprintfC(buffer, size, format, arguments);
    if (needed < 0) {
        buffer[0] = '\0';
        return -1;
    }
    return static_cast<std::size_t>(needed) < size ? needed : -1;
}

int BoundedPrint(char* buffer, std::size_t size, const char* format, ...) noexcept {
    va_list arguments;
    va_start(arguments, format);
    const int result = BoundedPrintV(buffer, size, format, arguments);
    va_end(arguments);
    return result;
}

std::size_t BoundedCopy(char* buffer, std::size_t size, const char* text) noexcept {
    if (size == 0) {
        return 0;
    }
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    const std::size_t kept = length < size ? length : size - 1;
    std::memcpy(buffer, text != nullptr ? text : "", kept);
    buffer[kept] = '\0';
    return kept;
}

}  // namespace Velto
