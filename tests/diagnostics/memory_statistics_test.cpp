#include "diagnostics/memory_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/heap_block.h"

namespace {

using Velto::Client::MemoryStats;

// Counters are process-wide: every check looks at the change across one operation, as bytes
// allocated, allocations, bytes freed and releases.
using Delta = std::array<int64_t, 4>;

template <class Operation>
Delta Measure(Operation operation) {
    const MemoryStats before = Velto::ReadMemoryStatistics();
    operation();
    const MemoryStats after = Velto::ReadMemoryStatistics();
    return {static_cast<int64_t>(after.bytesAllocated - before.bytesAllocated),
            static_cast<int64_t>(after.allocationCount - before.allocationCount),
            static_cast<int64_t>(after.bytesFreed - before.bytesFreed),
            static_cast<int64_t>(after.freeCount - before.freeCount)};
}

int64_t UsableSize(void* block) {
    return static_cast<int64_t>(Velto::Platform::HeapBlockSize(block));
}

// Each operation counts the usable size of the blocks it allocates and releases; a reallocation
// counts one release and one allocation, from null a release of size 0, and when it fails
// nothing, as the old block stays alive. The peak follows the largest use and never falls.
TEST(MemoryStatistics, CountsUsableSizesOfAllocationsReleasesAndThePeak) {
    void* block = nullptr;
    Delta delta = Measure([&] { block = Velto::CountedAllocate(100); });
    EXPECT_EQ(delta, (Delta{UsableSize(block), 1, 0, 0}));
    int64_t size = UsableSize(block);
    EXPECT_EQ(Measure([&] { Velto::CountedRelease(block); }), (Delta{0, 0, size, 1}));
    EXPECT_EQ(Measure([] { Velto::CountedRelease(nullptr); }), (Delta{0, 0, 0, 0}));

    delta = Measure([&] { block = Velto::CountedReallocate(nullptr, 64); });
    EXPECT_EQ(delta, (Delta{UsableSize(block), 1, 0, 1}));
    size = UsableSize(block);
    delta = Measure([&] { block = Velto::CountedReallocate(block, 4096); });
    EXPECT_EQ(delta, (Delta{UsableSize(block), 1, size, 1}));
    void* moved = block;
    EXPECT_EQ(Measure([&] { moved = Velto::CountedReallocate(block, SIZE_MAX / 2); }),
              (Delta{0, 0, 0, 0}));
    EXPECT_EQ(moved, nullptr);
    Velto::CountedRelease(block);

    char* copy = nullptr;
    delta = Measure([&] { copy = Velto::CountedDuplicate("boosts"); });
    EXPECT_EQ(delta, (Delta{UsableSize(copy), 1, 0, 0}));
    EXPECT_STREQ(copy, "boosts");
    Velto::CountedRelease(copy);
    EXPECT_EQ(Velto::CountedDuplicate(nullptr), nullptr);

    block = Velto::CountedAllocate(1 << 20);
    const MemoryStats peak = Velto::ReadMemoryStatistics();
    EXPECT_GE(peak.peakBytesInUse, peak.bytesAllocated - peak.bytesFreed)
        << "the peak lies below the use";
    EXPECT_EQ(peak.allocationsAtPeak, peak.allocationCount - peak.freeCount);
    Velto::CountedRelease(block);
    EXPECT_EQ(Velto::ReadMemoryStatistics().peakBytesInUse, peak.peakBytesInUse) << "the peak fell";
}

// Threads allocating and freeing at once while this one reads: a snapshot never has more freed
// than allocated, and the peak never exceeds what the threads could hold at once.
TEST(MemoryStatistics, SnapshotsStayConsistentUnderConcurrentUse) {
    constexpr int kThreads = 3;
    constexpr int kRounds = 100000;
    constexpr int kHeld = 2;
    constexpr std::size_t kLarge = 64 * 1024;
    const MemoryStats before = Velto::ReadMemoryStatistics();
    const uint64_t inUseBefore = before.bytesAllocated - before.bytesFreed;
    const uint64_t limit =
        std::max<uint64_t>(before.peakBytesInUse, inUseBefore + kThreads * kHeld * 2 * kLarge);
    std::atomic<int> running{kThreads};
    std::vector<std::jthread> workers;
    for (int thread = 0; thread < kThreads; ++thread) {
        // Large blocks freed between another thread's reads of the two totals made them wrap.
        workers.emplace_back([&running] {
            void* held[kHeld] = {};
            for (int round = 0; round < kRounds; ++round) {
                void*& slot = held[round % kHeld];
                Velto::CountedRelease(slot);
                slot = Velto::CountedAllocate(round % 2 == 0 ? 16 : kLarge);
            }
            for (void* block : held) {
                Velto::CountedRelease(block);
            }
            --running;
        });
    }
    int inconsistent = 0;
    while (running.load() > 0 && inconsistent == 0) {
        const MemoryStats stats = Velto::ReadMemoryStatistics();
        inconsistent += stats.bytesFreed > stats.bytesAllocated || stats.peakBytesInUse > limit;
    }
    workers.clear();  // joins them
    const MemoryStats after = Velto::ReadMemoryStatistics();
    EXPECT_EQ(inconsistent, 0) << "a snapshot showed more freed than allocated, or a peak of "
                               << after.peakBytesInUse << " above " << limit;
    EXPECT_LE(after.peakBytesInUse, limit);
    EXPECT_EQ(after.bytesAllocated - after.bytesFreed, inUseBefore);
}

}  // namespace
