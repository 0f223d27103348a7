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
    // bytesAllocated - bytesFreed and allocationCount - freeCount kept as counters of their own:
    // the difference of the two counters read one after the other is no moment's value, and
    // wraps when a release is counted between the two reads.
    std::atomic<uint64_t> bytesInUse{0};
    std::atomic<uint64_t> blocksInUse{0};
};

// Constant-initialised, so allocations made during static initialisation are counted too.
constinit Counters counters;

// Raises the peak to `inUse`, a value the in-use counter held, unless it is higher already.
void RaisePeak(uint64_t inUse, uint64_t blocks) {
    uint64_t peak = counters.peakBytesInUse.load();
    while (inUse > peak) {
        if (counters.peakBytesInUse.compare_exchange_weak(peak, inUse)) {
            counters.allocationsAtPeak.store(blocks);
            return;
        }
    }
}

// The totals are counted before the in-use counters rise, and (in CountRelease) after they fall,
// so every value the in-use counters or the peak show is covered by the totals.
void CountAllocation(void* block) {
    const uint64_t size = Platform::HeapBlockSize(block);
    counters.bytesAllocated.fetch_add(size);
    counters.allocationCount.fetch_add(1);
    const uint64_t blocks = counters.blocksInUse.fetch_add(1) + 1;
    const uint64_t inUse = counters.bytesInUse.fetch_add(size) + size;
    RaisePeak(inUse, blocks);
}

void CountRelease(std::size_t size) {
    counters.bytesInUse.fetch_sub(size);
    counters.blocksInUse.fetch_sub(1);
    counters.bytesFreed.fetch_add(size);
    counters.freeCount.fetch_add(1);
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
    // Releases first: every block they count was counted allocated before, so the totals read
    // after them are at least as large.
    Client::MemoryStats stats{};
    stats.bytesFreed = counters.bytesFreed.load(std::memory_order_acquire);
    stats.freeCount = counters.freeCount.load(std::memory_order_acquire);
    stats.peakBytesInUse = counters.peakBytesInUse.load();
    stats.allocationsAtPeak = counters.allocationsAtPeak.load(std::memory_order_relaxed);
    stats.bytesAllocated = counters.bytesAllocated.load(std::memory_order_acquire);
    stats.allocationCount = counters.allocationCount.load(std::memory_order_acquire);
    return stats;
}

}  // namespace Velto
