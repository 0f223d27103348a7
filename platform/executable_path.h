// The full path of the running program (the host process, not this library).
#pragma once

#include <cstddef>

namespace Velto::Platform {

// Writes the path, NUL-terminated and cut to fit, into `buffer` of `size` bytes and returns its
// length. Returns 0 and writes an empty text when the path cannot be read. `size` 0 writes nothing.
std::size_t ExecutablePath(char* buffer, std::size_t size) noexcept;

}  // namespace Velto::Platform
