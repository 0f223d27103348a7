// The text of one log line: the line format's codes, the cut at the buffer's end, and the texts
// of times, thread ids, levels and group names it is made of, with the registration of groups.
#include "diagnostics/line_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/log.h"
#include "diagnostics/log_groups.h"
#include "diagnostics/log_level.h"
#include "log_test_support.h"
#include "platform/thread_id.h"

namespace {

constexpr Velto::LogTime kTime{2024, 3, 5, 7, 8, 9, 12};
constexpr uint64_t kDbgNet = Velto::kLogGroupDbg | Velto::kLogGroupNet;

// Lets `write` fill exactly `size` bytes followed by a guard byte that must stay untouched, and
// returns the text, which must be as long as `write` says ("<untouched>" when size 0 is kept).
template <class Write>
std::string Guarded(std::size_t size, Write write) {
    std::vector<char> buffer(size + 1, '\x7F');
    const std::size_t length = write(buffer.data(), size);
    EXPECT_EQ(buffer[size], '\x7F') << "wrote past the buffer of " << size << " bytes";
    if (size == 0) {
        return length == 0 && buffer[0] == '\x7F' ? "<untouched>" : "<written>";
    }
    EXPECT_EQ(std::strlen(buffer.data()), length) << "returned length differs from the text";
    return buffer.data();
}

std::string Expand(const char* format, const char* message, std::size_t size = 4096,
                   int32_t level = 1, uint64_t groups = kDbgNet) {
    static const Velto::LogGroupTable groupTable;
    const Velto::LogRecord record{kTime, level, groups, message};
    return Guarded(size, [&](char* buffer, std::size_t room) {
        return Velto::ExpandLineFormat(buffer, room, format, record, {"prog.exe", groupTable});
    });
}

std::string ListText(const Velto::LogGroupTable& table, uint64_t mask, std::size_t size = 256) {
    return Guarded(
        size, [&](char* buffer, std::size_t room) { return table.ListText(buffer, room, mask); });
}

TEST(LogLineFormat, ReplacesEveryCodeAndEndsTheLineOnce) {
    const std::string thread = LogTest::ExpectedThreadId(Velto::Platform::CurrentThreadId());
    const struct {
        const char* format;
        std::string expected;
        const char* message = "boosts ready";
        int32_t level = 1;
        uint64_t groups = kDbgNet;
    } rows[] = {
        {"#D", "2024-03-05T07:08:09.012\n"},
        {"#E", "prog.exe\n"},
        {"#G", "DBG;NET\n"},
        {"#L", "  WARN\n"},  // a format without #M still ends a line
        {"#M", "boosts ready\n"},
        {"#T", thread + "\n"},
        {"##", "#\n"},
        {"#x#d#m", "xdm\n"},
        {"plain text", "plain text\n"},
        {"ends with #", "ends with \n"},
        {"#", "\n"},
        {"", "\n"},
        {nullptr, "\n"},
        {"#D| #L| #G| #M", "2024-03-05T07:08:09.012|   WARN| DBG;NET| boosts ready\n"},
        {"#E(#T): #L| #M", "prog.exe(" + thread + "):   WARN| boosts ready\n"},
        {"#G", "\n", "x", 1, 0},  // mask 0 has no group names
        {"#L", "\n", "x", 7},     // levels without a text
        {"#L", "\n", "x", -1},
        {"#M", "\n", nullptr},  // a null message reads as empty
        {"[#M]", "[]\n", ""},
        {"#M", "ends in newline\n", "ends in newline\n"},  // no second newline
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Expand(row.format, row.message, 4096, row.level, row.groups), row.expected)
            << "format \"" << (row.format != nullptr ? row.format : "(null)") << "\", message \""
            << (row.message != nullptr ? row.message : "(null)") << "\", level " << row.level
            << ", groups 0x" << std::hex << row.groups;
    }
}

// Two bytes stay in reserve: a line that does not fit loses two more characters and ends in a
// newline, unless what is left already does.
TEST(LogLineFormat, CutsWithTwoBytesInReserveAndDropsTwoCharacters) {
    std::string cuts;  // "abcdef" into 0 to 8 bytes; 7 bytes: "abcde" fills the room, two go
    for (std::size_t size = 0; size <= 8; ++size) {
        cuts += Expand("abcdef", "", size) + "|";
    }
    EXPECT_EQ(cuts, "<untouched>||\n|\n|\n|a\n|ab\n|abc\n|abcdef\n|");
    const struct {
        const char* format;
        const char* message;
        std::size_t size;
        std::string expected;
    } rows[] = {
        {"#M", "abcdefgh\n", 8, "abcd\n"},
        {"#M", "ab\ncdefg", 7, "ab\n"},
        {"x#M", "1234567", 6, "x1\n"},
        {"", "", 1, ""},
        {"", "", 2, "\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Expand(row.format, row.message, row.size), row.expected)
            << "format \"" << row.format << "\" into " << row.size << " bytes";
    }
    const std::string longest(4095, 'm');
    const std::string line = Expand("#E(#T): #L| #M", longest.c_str());
    EXPECT_EQ(line.size(), 4093u) << "4094 characters fit, then two are dropped";
    EXPECT_EQ(line.back(), '\n');
}

// Six digits, a dot, three digits and the newline, never running backwards.
TEST(LogLineFormat, ElapsedTimeHasSixDigitsDotThreeDigits) {
    const auto shape = [](std::string line) {
        std::replace_if(
            line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; }, '9');
        return line;
    };
    const std::string first = Expand("#H", "x");
    const std::string second = Expand("#H", "x");
    EXPECT_EQ(shape(first) + shape(second), "999999.999\n999999.999\n") << first << second;
    EXPECT_LE(first, second) << "the elapsed time ran backwards";
}

// Thread ids are upper-case hexadecimal padded to twice the size of a pointer.
TEST(LogFieldText, PrintsTimestampsAndThreadIdsAndCutsThemToTheBuffer) {
    const auto stamp = [](char* buffer, std::size_t size) {
        return Velto::TimestampText(buffer, size, kTime);
    };
    const auto fileStamp = [](char* buffer, std::size_t size) {
        return Velto::FileNameTimestampText(buffer, size, kTime);
    };
    const auto threadId = [](char* buffer, std::size_t size) {
        return Velto::ThreadIdText(buffer, size, 0x0A1B2C3Du);
    };
    EXPECT_EQ(Guarded(64, stamp), "2024-03-05T07:08:09.012");
    EXPECT_EQ(Guarded(5, stamp), "2024");
    EXPECT_EQ(Guarded(0, stamp), "<untouched>");
    EXPECT_EQ(Guarded(64, fileStamp), "2024-03-05T07-08-09");
    EXPECT_EQ(Guarded(1, fileStamp), "");
    EXPECT_EQ(Velto::TimestampText(nullptr, 10, kTime), 0u);
    const std::string fullId = std::string(2 * sizeof(void*) - 8, '0') + "0A1B2C3D";
    EXPECT_EQ(Guarded(32, threadId), fullId);
    EXPECT_EQ(Guarded(3, threadId), fullId.substr(0, 2));
}

TEST(LogLevelText, HasSixRightAlignedCharactersForKnownLevels) {
    const char* expected[] = {"", "  OKAY", "  WARN", " ERROR", "ALWAYS", ""};
    for (int32_t level = -1; level <= 4; ++level) {
        EXPECT_STREQ(Velto::LogLevelText(level), expected[level + 1]) << "level " << level;
    }
}

// A three-letter name for slot number `index`, distinct for every index below 26 * 26.
std::string NameFor(int index) {
    return std::string{'Q', static_cast<char>('A' + index / 26),
                       static_cast<char>('A' + index % 26)};
}

// Names are listed in ascending bit order; a name is started only with two bytes of room
// (one for it, one for the terminator) and cut to what fits.
TEST(LogGroups, ListsTheNamesOfAMaskAndCutsThemToTheBuffer) {
    const struct {
        uint64_t mask;
        const char* expected;
    } rows[] = {
        {0xFF, "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST"},
        {uint64_t{1} << 8 | uint64_t{1} << 63, "???;???"},  // unregistered bits
        {0, ""},
    };
    const Velto::LogGroupTable table;
    for (const auto& row : rows) {
        EXPECT_EQ(ListText(table, row.mask), row.expected) << "mask 0x" << std::hex << row.mask;
    }
    std::string cuts;  // DBG;NET into 0 to 8 bytes
    for (std::size_t size = 0; size <= 8; ++size) {
        cuts += ListText(table, kDbgNet, size) + "|";
    }
    EXPECT_EQ(cuts, "<untouched>||D|DB|DBG|DBG;|DBG;N|DBG;NE|DBG;NET|");
    EXPECT_EQ(table.ListText(nullptr, 10, kDbgNet), 0u);
}

TEST(LogGroups, RegisteringFindsExistingNamesAndTakesTheNextFreeBit) {
    Velto::LogGroupTable table;
    EXPECT_EQ(table.LastUsedIndex(), 7) << "the predefined groups fill bits 0 to 7";
    EXPECT_EQ(table.Register("DBG"), Velto::kLogGroupDbg);
    EXPECT_EQ(table.Register("TST"), Velto::kLogGroupTst);
    const uint64_t added = table.Register("ABC");
    EXPECT_EQ(added, uint64_t{1} << 8);
    EXPECT_EQ(table.Register("ABC"), added) << "the same name must keep its bit";
    EXPECT_EQ(table.Register("ABCD"), added) << "only the first three characters count";
    EXPECT_EQ(table.Register("AB"), uint64_t{1} << 9) << "\"AB\" is not \"ABC\"";
    EXPECT_EQ(ListText(table, uint64_t{3} << 8), "ABC;AB");
    EXPECT_EQ(table.Register(nullptr), 0u);
    EXPECT_EQ(table.Register(""), 0u);
    EXPECT_EQ(table.LastUsedIndex(), 9);
}

TEST(LogGroups, HoldsSixtyFourGroupsAndRefusesMore) {
    Velto::LogGroupTable table;
    for (int slot = 8; slot < Velto::LogGroupTable::kSlotCount; ++slot) {
        ASSERT_EQ(table.Register(NameFor(slot).c_str()), uint64_t{1} << slot) << "slot " << slot;
    }
    EXPECT_EQ(table.Register("NEW"), 0u) << "a full table stores no new name";
    EXPECT_EQ(table.LastUsedIndex(), 63);
    EXPECT_EQ(table.Register(NameFor(63).c_str()), uint64_t{1} << 63) << "existing names are found";
    EXPECT_EQ(table.Register("DBG"), 1u);
    EXPECT_EQ(ListText(table, uint64_t{1} << 63), NameFor(63));
}

TEST(LogGroups, ConcurrentRegistrationGivesEachNameOneBit) {
    Velto::LogGroupTable table;
    constexpr int kThreads = 4;
    constexpr int kNames = 20;
    std::vector<std::vector<uint64_t>> masks(kThreads, std::vector<uint64_t>(kNames));
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < kNames; ++n) {
                masks[t][n] = table.Register(NameFor(n).c_str());
            }
        });
    }
    threads.clear();  // joins them
    for (int t = 1; t < kThreads; ++t) {
        EXPECT_EQ(masks[t], masks[0]) << "thread " << t << " saw other bits";
    }
    EXPECT_EQ(table.LastUsedIndex(), 7 + kNames);
}

}  // namespace
