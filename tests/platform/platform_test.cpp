// The platform services, each seen through its own header.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/c_locale_numbers.h"
#include "platform/debugger_output.h"
#include "platform/executable_path.h"
#include "platform/recursive_lock.h"
#include "platform/shared_library.h"
#include "platform/thread_id.h"
#include "platform/utc_calendar.h"
#include "tests/platform/comma_decimal_locale.h"

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
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                std::lock_guard guard(lock);
                ++counter;
            }
        });
    }
    threads.clear();  // joins them
    EXPECT_EQ(counter, 40000);
}

// Log lines and trace events tell threads apart by this id.
TEST(ThreadId, DiffersBetweenLiveThreads) {
    uint32_t other = CurrentThreadId();
    std::thread([&] { other = CurrentThreadId(); }).join();
    EXPECT_NE(other, CurrentThreadId());
}

TEST(ExecutablePath, NamesThisTestProgramAndCutsToTheBuffer) {
    char path[1024];
    const std::size_t length = ExecutablePath(path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_NE(std::string(path).find("platform_test"), std::string::npos) << path;
    EXPECT_EQ(ExecutablePath(path, 5), 4u);
    EXPECT_EQ(std::strlen(path), 4u);
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

TEST(SharedLibrary, ReportsAMissingLibraryAndSymbol) {
    std::string error;
    SharedLibrary missing = SharedLibrary::Open("/nonexistent/libnothing.so", &error);
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(missing.Symbol("anything"), nullptr);
}

// Seconds since 1970 broken down into year, month, day, hour, minute, second, weekday and day of
// the year; times outside the supported range, one second past either end and beyond, are refused
// and leave every field zero.
TEST(UtcCalendar, BreaksDownSecondsIntoCalendarFields) {
    constexpr std::array<int, 8> kRefused = {1900, 1, 0, 0, 0, 0, 0, 0};  // every field zero
    const struct {
        int64_t seconds;
        std::array<int, 8> fields;
    } rows[] = {
        {0, {1970, 1, 1, 0, 0, 0, 4, 0}},
        {-1, {1969, 12, 31, 23, 59, 59, 3, 364}},
        {-43200, {1969, 12, 31, 12, 0, 0, 3, 364}},
        {951782400, {2000, 2, 29, 0, 0, 0, 2, 59}},
        {2147483648, {2038, 1, 19, 3, 14, 8, 2, 18}},  // past the 32-bit time_t limit
        {4107542400, {2100, 3, 1, 0, 0, 0, 1, 59}},    // 2100 is not a leap year
        {32535215999 + 43200, {3001, 1, 1, 11, 59, 59, 4, 0}},
        {-43201, kRefused},
        {32535215999 + 43201, kRefused},
        {INT64_MIN, kRefused},
        {INT64_MAX, kRefused},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seconds);
        std::tm parts;
        std::memset(&parts, 0x55, sizeof parts);  // a refusal must overwrite this too
        EXPECT_EQ(BreakDownUtc(row.seconds, parts), row.fields != kRefused);
        EXPECT_EQ((std::array{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                              parts.tm_min, parts.tm_sec, parts.tm_wday, parts.tm_yday}),
                  row.fields);
    }
}

std::string Print(const char* format, ...) {
    char buffer[64];
    va_list arguments;
    va_start(arguments, format);
    const int printed = VsnprintfC(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return printed >= 0 ? std::string(buffer) : "refused";
}

// What each function reads and leaves unread under the host's comma-decimal locale, which stays
// set as it was.
TEST(CLocaleNumbers, ReadAndPrintWithAPointUnderACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    char* end = nullptr;
    EXPECT_EQ(StrtodC("-2.25e1", &end), -22.5);
    EXPECT_EQ(StrtodC("1,5", &end), 1.0);
    EXPECT_STREQ(end, ",5");
    EXPECT_EQ(StrtollC(" -0x10,5", &end, 0), -16);
    EXPECT_STREQ(end, ",5");
    EXPECT_EQ(StrtoullC("017.", &end, 0), 15u);
    EXPECT_STREQ(end, ".");
    EXPECT_EQ(Print("%g|%.2f|%d", 127.5, 0.25, 1000), "127.5|0.25|1000");
    EXPECT_EQ(std::localeconv()->decimal_point[0], ',');
}

}  // namespace
