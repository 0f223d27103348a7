// printf and string copy into fixed-size buffers that never overflow.
//
// Every function here writes at most `size` bytes and, when `size` is not 0, always leaves the
// buffer NUL-terminated, whatever the input.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace Velto {

// Prints like snprintf in the "C" locale, whatever locale the host has set. Returns the number of
// characters written (NUL excluded), or -1 when the output did not fit and was cut. With `size` 0
// nothing is written and the result is -1.
int BoundedPrint(char* buffer, std::size_t size, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));
int BoundedPrintV(char* buffer, std::size_t size, const char* format, va_list arguments) noexcept
    __attribute__((format(printf, 3, 0)));

// Copies `text` (null counts as empty), cut to size - 1 characters. Returns the characters copied.
std::size_t BoundedCopy(char* buffer, std::size_t size, const char* text) noexcept;

}  // namespace Velto
