#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/debugger_output.h"
#include "platform/executable_path.h"
#include "platform/heap_block.h"
#include "platform/local_time.h"
#include "platform/performance_counter.h"
#include "platform/recursive_lock.h"
#include "platform/shared_library.h"
#include "platform/thread_id.h"

namespace {

using namespace Velto::Platform;

TEST(RecursiveLock, SameThreadMayLockAgainWhileOtherThreadsWait) {
    RecursiveLock lock;
    std::lock_guard outer(lock);
    std::lock_guard inner(lock);
    bool otherThreadGotIt = true;
    std::thread([&] { otherThreadGotIt = lock.try_lock(); }).join();
    EXPECT_FALSE(otherThreadGotIt);
}

TEST(RecursiveLock, SerialisesThreads) {
    RecursiveLock lock;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                std::lock_guard guard(lock);
                ++counter;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 40000);
}

TEST(LocalTime, FieldsLieInTheirRanges) {
    const LocalTime now = LocalTimeNow();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    EXPECT_LE(now.hour, 23);
    EXPECT_LE(now.minute, 59);
    EXPECT_LE(now.second, 60);
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LE(now.millisecond, 999);
}

TEST(PerformanceCounter, NeverRunsBackwards) {
    EXPECT_GT(PerformanceFrequency(), 0);
    int64_t previous = PerformanceCounter();
    for (int i = 0; i < 1000; ++i) {
        const int64_t now = PerformanceCounter();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(ThreadId, DiffersBetweenLiveThreadsAndIsStable) {
    const uint32_t mine = CurrentThreadId();
    EXPECT_EQ(mine, CurrentThreadId());
    uint32_t other = mine;
    std::thread([&] { other = CurrentThreadId(); }).join();
    EXPECT_NE(other, mine);
}

TEST(ExecutablePath, NamesThisTestProgramAndCutsToTheBuffer) {
    char path[1024];
    const std::size_t length = ExecutablePath(path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_NE(std::string(path).find("platform_test"), std::string::npos) << path;

    char small[5];
    EXPECT_EQ(ExecutablePath(small, sizeof small), 4u);
    EXPECT_EQ(std::strlen(small), 4u);
    EXPECT_EQ(ExecutablePath(nullptr, 0), 0u);
}

TEST(DebuggerOutput, ListenerSeesEveryTextUntilRemoved) {
    std::vector<std::string> seen;
    SetDebuggerListener(
        [](const char* text, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(text);
        },
        &seen);
    WriteDebuggerOutput("first line\n");
    WriteDebuggerOutput(nullptr);
    SetDebuggerListener(nullptr, nullptr);
    WriteDebuggerOutput("unseen\n");
    EXPECT_EQ(seen, std::vector<std::string>{"first line\n"});
}

TEST(HeapBlock, UsableSizeCoversTheRequest) {
    EXPECT_EQ(HeapBlockSize(nullptr), 0u);
    void* block = std::malloc(100);
    EXPECT_GE(HeapBlockSize(block), 100u);
    std::free(block);
}

TEST(SharedLibrary, ReportsAMissingLibraryAndSymbol) {
    std::string error;
    SharedLibrary missing = SharedLibrary::Open("/nonexistent/libnothing.so", &error);
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(missing.Symbol("anything"), nullptr);
}

}  // namespace
