// The plug-in's own heap accounting, reported to the host through GetMemoryStats.
//
// Every allocation the plug-in makes goes through these functions (the library's operator new
// and delete call them too), so the counters describe the plug-in's memory and nothing else:
// code outside the library is never routed here. All functions are thread-safe and lock-free;
// counters are atomic 64-bit values. A snapshot never shows more freed than allocated, and the
// peak is a value the bytes in use really had; allocationsAtPeak is only approximately consistent
// with it under concurrent use.
#pragma once

#include <cstddef>

#include "platform/host_boundary.h"

namespace Velto {

// malloc, realloc, strdup and free with counting. They accept what the C functions accept;
// a null text given to CountedDuplicate yields null.
void* CountedAllocate(std::size_t size) noexcept;
void* CountedReallocate(void* block, std::size_t size) noexcept;
char* CountedDuplicate(const char* text) noexcept;
void CountedRelease(void* block) noexcept;

// A snapshot of the six counters; the two trailing words are 0.
Client::MemoryStats ReadMemoryStatistics() noexcept;

}  // namespace Velto
