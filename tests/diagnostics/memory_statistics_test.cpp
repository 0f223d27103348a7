#include "diagnostics/memory_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/heap_block.h"

namespace {

using Velto::Client::MemoryStats;

// Counters are process-wide: every check looks at the change across one operation.
struct Delta {
    int64_t bytesAllocated, allocationCount, bytesFreed, freeCount;
};

template <class Operation>
Delta Measure(Operation operation) {
    const MemoryStats before = Velto::ReadMemoryStatistics();
    operation();
    const MemoryStats after = Velto::ReadMemoryStatistics();
    return Delta{static_cast<int64_t>(after.bytesAllocated - before.bytesAllocated),
                 static_cast<int64_t>(after.allocationCount - before.allocationCount),
                 static_cast<int64_t>(after.bytesFreed - before.bytesFreed),
                 static_cast<int64_t>(after.freeCount - before.freeCount)};
}

TEST(MemoryStatistics, CountsUsableSizesOfAllocationsAndReleases) {
    void* block = nullptr;
    const Delta allocated = Measure([&] { block = Velto::CountedAllocate(100); });
    const int64_t usable = static_cast<int64_t>(Velto::Platform::HeapBlockSize(block));
    EXPECT_GE(usable, 100);
    EXPECT_EQ(allocated.bytesAllocated, usable);
    EXPECT_EQ(allocated.allocationCount, 1);
    EXPECT_EQ(allocated.freeCount, 0);

    const Delta released = Measure([&] { Velto::CountedRelease(block); });
    EXPECT_EQ(released.bytesFreed, usable);
    EXPECT_EQ(released.freeCount, 1);
    EXPECT_EQ(released.allocationCount, 0);
}

TEST(MemoryStatistics, ReleasingNullCountsNothing) {
    const Delta delta = Measure([] { Velto::CountedRelease(nullptr); });
    EXPECT_EQ(delta.freeCount, 0);
    EXPECT_EQ(delta.bytesFreed, 0);
}

TEST(MemoryStatistics, ReallocationCountsAReleaseAndAnAllocation) {
    void* block = nullptr;
    // Growing from null still counts one release, of size 0.
    const Delta fromNull = Measure([&] { block = Velto::CountedReallocate(nullptr, 64); });
    EXPECT_EQ(fromNull.freeCount, 1);
    EXPECT_EQ(fromNull.bytesFreed, 0);
    EXPECT_EQ(fromNull.allocationCount, 1);

    const int64_t oldSize = static_cast<int64_t>(Velto::Platform::HeapBlockSize(block));
    const Delta grown = Measure([&] { block = Velto::CountedReallocate(block, 4096); });
    EXPECT_EQ(grown.freeCount, 1);
    EXPECT_EQ(grown.bytesFreed, oldSize);
    EXPECT_EQ(grown.allocationCount, 1);
    EXPECT_EQ(grown.bytesAllocated, static_cast<int64_t>(Velto::Platform::HeapBlockSize(block)));
    Velto::CountedRelease(block);
}

TEST(MemoryStatistics, FailedReallocationKeepsTheOldBlockCounted) {
    void* block = Velto::CountedAllocate(16);
    void* moved = block;
    const Delta failed = Measure([&] { moved = Velto::CountedReallocate(block, SIZE_MAX / 2); });
    EXPECT_EQ(moved, nullptr);
    EXPECT_EQ(failed.freeCount, 0) << "the old block is still alive and must stay counted";
    EXPECT_EQ(failed.allocationCount, 0);
    Velto::CountedRelease(block);
}

TEST(MemoryStatistics, DuplicatesTextsAndRefusesNull) {
    char* copy = nullptr;
    const Delta delta = Measure([&] { copy = Velto::CountedDuplicate("boosts"); });
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "boosts");
    EXPECT_EQ(delta.allocationCount, 1);
    Velto::CountedRelease(copy);
    EXPECT_EQ(Velto::CountedDuplicate(nullptr), nullptr);
}

TEST(MemoryStatistics, PeakFollowsTheLargestUseAndTrailingWordsAreZero) {
    const MemoryStats before = Velto::ReadMemoryStatistics();
    const uint64_t inUse = before.bytesAllocated - before.bytesFreed;
    void* big = Velto::CountedAllocate(1 << 20);
    const MemoryStats during = Velto::ReadMemoryStatistics();
    EXPECT_GE(during.peakBytesInUse, inUse + (1 << 20));
    EXPECT_EQ(during.allocationsAtPeak, during.allocationCount - during.freeCount);
    Velto::CountedRelease(big);
    const MemoryStats after = Velto::ReadMemoryStatistics();
    EXPECT_EQ(after.peakBytesInUse, during.peakBytesInUse) << "the peak never falls";
    EXPECT_EQ(after.reserved[0], 0u);
    EXPECT_EQ(after.reserved[1], 0u);
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
    std::vector<std::thread> workers;
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
    for (std::thread& worker : workers) {
        worker.join();
    }
    const MemoryStats after = Velto::ReadMemoryStatistics();
    EXPECT_EQ(inconsistent, 0) << "a snapshot showed more freed than allocated, or a peak of "
                               << after.peakBytesInUse << " above " << limit;
    EXPECT_LE(after.peakBytesInUse, limit);
    EXPECT_EQ(after.bytesAllocated - after.bytesFreed, inUseBefore);
}

}  // namespace
