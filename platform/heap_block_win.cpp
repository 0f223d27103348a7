#include "platform/heap_block.h"

#include <malloc.h>

namespace Velto::Platform {

std::size_t HeapBlockSize(void* block) noexcept {
    return block != nullptr ? _msize(block) : 0;
}

}  // namespace Velto::Platform
