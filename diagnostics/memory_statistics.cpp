#include "diagnostics/memory_statistics.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/heap_block.h"

namespace Velto {
namespace {

struct Counters {
    std::atomic<uint64_t> peakBytesInUse{0};
    std::atomic<uint64_t> allocationsAtPeak{0};
    std::atomic<uint64_t> bytesAllocated{0};
    std::atomic<uint64_t> allocationCount{0};
    std::atomic<uint64_t> bytesFreed{0};
    std::atomic<uint64_t> freeCount{0};
};

// Constant-initialised, so allocations made during static initialisation are counted too.
constinit Counters counters;

void CountAllocation(void* block) {
    counters.bytesAllocated.fetch_add(Platform::HeapBlockSize(block), std::memory_order_relaxed);
    counters.allocationCount.fetch_add(1, std::memory_order_relaxed);
    const uint64_t inUse = counters.bytesAllocated.load(std::memory_order_relaxed) -
                           counters.bytesFreed.load(std::memory_order_relaxed);
    if (inUse > counters.peakBytesInUse.load(std::memory_order_relaxed)) {
        counters.peakBytesInUse.store(inUse, std::memory_order_relaxed);
        counters.allocationsAtPeak.store(counters.allocationCount.load(std::memory_order_relaxed) -
                                             counters.freeCount.load(std::memory_order_relaxed),
                                         std::memory_order_relaxed);
    }
}

void CountRelease(std::size_t size) {
    counters.bytesFreed.fetch_add(size, std::memory_order_relaxed);
    counters.freeCount.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

void* CountedAllocate(std::size_t size) noexcept {
    void* block = std::malloc(size);
    CountAllocation(block);
    return block;
}

void* CountedReallocate(void* block, std::size_t size) noexcept {
    const std::size_t oldSize = Platform::HeapBlockSize(block);
    void* moved = std::realloc(block, size);
    // A failed reallocation leaves the old block alive and its later release will count it:
    // counting it released now would count it twice.
    const bool failed = moved == nullptr && block != nullptr && size != 0;
    if (!failed) {
        CountRelease(oldSize);
        CountAllocation(moved);
    }
    return moved;
}

char* CountedDuplicate(const char* text) noexcept {
    if (text == nullptr) {
        return nullptr;
    }
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(CountedAllocate(size));
    if (copy != nullptr) {
        std::memcpy(copy, text, size);
    }
    return copy;
}

void CountedRelease(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    CountRelease(Platform::HeapBlockSize(block));
    std::free(block);
}

Client::MemoryStats ReadMemoryStatistics() noexcept {
    Client::MemoryStats stats{};
    stats.peakBytesInUse = counters.peakBytesInUse.load();
    stats.allocationsAtPeak = counters.allocationsAtPeak.load();
    stats.bytesAllocated = counters.bytesAllocated.load();
    stats.allocationCount = counters.allocationCount.load();
    stats.bytesFreed = counters.bytesFreed.load();
    stats.freeCount = counters.freeCount.load();
    return stats;
}

}  // namespace Velto
