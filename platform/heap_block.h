// Facts about blocks of the C library's heap.
#pragma once

#include <cstddef>

namespace Velto::Platform {

// The usable size of a block returned by malloc, calloc or realloc; 0 for null.
std::size_t HeapBlockSize(void* block) noexcept;

}  // namespace Velto::Platform
