// The operating system's numeric id of the calling thread.
#pragma once

#include <cstdint>

namespace Velto::Platform {

// Unique among the process's live threads; stable for the thread's life.
uint32_t CurrentThreadId() noexcept;

}  // namespace Velto::Platform
