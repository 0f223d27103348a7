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

std::string Expand(const char* format, const char* message, std::size_t size = 4096) {
    static const Velto::LogGroupTable groupTable;
    const Velto::LogRecord record{kTime, 1, kDbgNet, message};
    return Guarded(size, [&](char* buffer, std::size_t room) {
        return Velto::ExpandLineFormat(buffer, room, format, record, {"prog.exe", groupTable});
    });
}

std::string ListText(const Velto::LogGroupTable& table, uint64_t mask, std::size_t size = 256) {
    return Guarded(
        size, [&](char* buffer, std::size_t room) { return table.ListText(buffer, room, mask); });
}

TEST(LogLineFormat, ReplacesEveryCodeAndEndsTheLineOnce) {
    EXPECT_EQ(Expand("#D| #L| #G| #M", "boosts ready"),
              "2024-03-05T07:08:09.012|   WARN| DBG;NET| boosts ready\n");
    char thread[32];
    Velto::ThreadIdText(thread, sizeof thread, Velto::Platform::CurrentThreadId());
    EXPECT_EQ(Expand("#E #T ## #x#d#m", "x"), "prog.exe " + std::string(thread) + " # xdm\n")
        << "a format without #M still ends a line";
    EXPECT_EQ(Expand("ends with #", "x"), "ends with \n");
    EXPECT_EQ(Expand(nullptr, "x"), "\n");
    EXPECT_EQ(Expand("[#M]", nullptr), "[]\n") << "a null message reads as empty";
    EXPECT_EQ(Expand("#M", "ends in newline\n"), "ends in newline\n") << "no second newline";
}

// Two bytes stay in reserve: a line that does not fit loses two more characters and ends in a
// newline, unless what is left already does.
TEST(LogLineFormat, CutsWithTwoBytesInReserveAndDropsTwoCharacters) {
    std::string cuts;  // "abcdef" into 0 to 8 bytes; 7 bytes: "abcde" fills the room, two go
    for (std::size_t size = 0; size <= 8; ++size) {
        cuts += Expand("abcdef", "", size) + "|";
    }
    EXPECT_EQ(cuts, "<untouched>||\n|\n|\n|a\n|ab\n|abc\n|abcdef\n|");
    EXPECT_EQ(Expand("#M", "ab\ncdefg", 7), "ab\n");
    EXPECT_EQ(Expand("x#M", "1234567", 6), "x1\n") << "cut inside the text of a code";
    EXPECT_EQ(Expand("#M", std::string(4095, 'm').c_str()), std::string(4092, 'm') + "\n")
        << "4094 characters fit, then two are dropped";
}

// Six digits, a dot, three digits and the newline, never running backwards.
TEST(LogLineFormat, ElapsedTimeHasSixDigitsDotThreeDigits) {
    const std::string first = Expand("#H", "x");
    const std::string second = Expand("#H", "x");
    const auto shape = [](std::string text) {
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }, '9');
        return text;
    };
    EXPECT_EQ(shape(first), "999999.999\n");
    EXPECT_EQ(shape(second), "999999.999\n");
    EXPECT_LE(first, second) << "the elapsed time ran backwards";
}

// Thread ids are upper-case hexadecimal padded to twice the size of a pointer.
TEST(LogFieldText, PrintsTimestampsAndThreadIdsAndCutsThemToTheBuffer) {
    const auto stamp = [](char* buffer, std::size_t size) {
        return Velto::TimestampText(buffer, size, kTime);
    };
    const auto threadId = [](char* buffer, std::size_t size) {
        return Velto::ThreadIdText(buffer, size, 0x0A1B2C3Du);
    };
    EXPECT_EQ(Guarded(5, stamp), "2024");
    EXPECT_EQ(Guarded(0, stamp), "<untouched>");
    EXPECT_EQ(Guarded(1, stamp), "");
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
    const Velto::LogGroupTable table;
    EXPECT_EQ(ListText(table, 0xFF), "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST");
    EXPECT_EQ(ListText(table, uint64_t{1} << 8 | uint64_t{1} << 63), "???;???") << "unregistered";
    EXPECT_EQ(ListText(table, 0), "");
    std::string cuts;  // DBG;NET into 0 to 8 bytes
    for (std::size_t size = 0; size <= 8; ++size) {
        cuts += ListText(table, kDbgNet, size) + "|";
    }
    EXPECT_EQ(cuts, "<untouched>||D|DB|DBG|DBG;|DBG;N|DBG;NE|DBG;NET|");
    EXPECT_EQ(table.ListText(nullptr, 10, kDbgNet), 0u);
}

TEST(LogGroups, RegisteringFindsExistingNamesAndTakesTheNextFreeBit) {
    Velto::LogGroupTable table;
    EXPECT_EQ(table.Register("DBG"), Velto::kLogGroupDbg);
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
    EXPECT_EQ(masks, decltype(masks)(kThreads, masks[0])) << "threads saw other bits";
    EXPECT_EQ(table.LastUsedIndex(), 7 + kNames);
}

}  // namespace
