// The text of one log line: the line format's codes, the cut at the buffer's end, and the texts
// of times, thread ids and levels it is made of.
#include "diagnostics/line_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "diagnostics/log.h"
#include "diagnostics/log_level.h"
#include "log_test_support.h"
#include "platform/thread_id.h"

namespace {

constexpr Velto::LogTime kTime{2024, 3, 5, 7, 8, 9, 12};
constexpr uint64_t kDbgNet = Velto::kLogGroupDbg | Velto::kLogGroupNet;

// Expands into exactly `size` bytes followed by a guard byte that must stay untouched.
std::string Expand(const char* format, const char* message, std::size_t size = 4096,
                   int32_t level = 1, uint64_t groups = kDbgNet) {
    static const Velto::LogGroupTable groupTable;
    const Velto::LogRecord record{kTime, level, groups, message};
    std::vector<char> buffer(size + 1, '\x7F');
    const std::size_t length = Velto::ExpandLineFormat(buffer.data(), size, format, record,
                                                       Velto::LineContext{"prog.exe", groupTable});
    EXPECT_EQ(buffer[size], '\x7F') << "wrote past the buffer of " << size << " bytes";
    if (size == 0) {
        EXPECT_EQ(buffer[0], '\x7F') << "size 0 must write nothing";
        return "<untouched>";
    }
    EXPECT_EQ(std::strlen(buffer.data()), length) << "returned length differs from the text";
    return buffer.data();
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
            << "format \"" << (row.format != nullptr ? row.format : "(null)") << "\", level "
            << row.level;
    }
}

// Two bytes stay in reserve: a line that does not fit loses two more characters and ends in a
// newline, unless what is left already does.
TEST(LogLineFormat, CutsWithTwoBytesInReserveAndDropsTwoCharacters) {
    const struct {
        const char* format;
        const char* message;
        std::size_t size;
        std::string expected;
    } rows[] = {
        {"abcdef", "", 8, "abcdef\n"},  // fits exactly: nothing is cut
        {"abcdef", "", 7, "abc\n"},     // "abcde" fills the room, then two are dropped
        {"abcdef", "", 5, "a\n"},
        {"abcdef", "", 4, "\n"},
        {"abcdef", "", 3, "\n"},
        {"abcdef", "", 2, "\n"},
        {"abcdef", "", 1, ""},
        {"abcdef", "", 0, "<untouched>"},
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
    std::string previous;
    for (int i = 0; i < 2; ++i) {
        const std::string line = Expand("#H", "x");
        std::string shape = line;
        for (char& c : shape) {
            c = c >= '0' && c <= '9' ? '9' : c;
        }
        EXPECT_EQ(shape, "999999.999\n") << line;
        EXPECT_LE(previous, line) << "the elapsed time ran backwards";
        previous = line;
    }
}

TEST(LogTimestampText, PrintsBothShapesAndCutsToTheBuffer) {
    char text[64];
    EXPECT_EQ(Velto::TimestampText(text, sizeof text, kTime), 23u);
    EXPECT_STREQ(text, "2024-03-05T07:08:09.012");
    EXPECT_EQ(Velto::FileNameTimestampText(text, sizeof text, kTime), 19u);
    EXPECT_STREQ(text, "2024-03-05T07-08-09");
    EXPECT_EQ(Velto::TimestampText(text, 5, kTime), 4u);
    EXPECT_STREQ(text, "2024");
    EXPECT_EQ(Velto::FileNameTimestampText(text, 1, kTime), 0u);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(Velto::TimestampText(nullptr, 10, kTime), 0u);
    EXPECT_EQ(Velto::TimestampText(text, 0, kTime), 0u);
}

TEST(LogThreadIdText, IsUpperCaseHexPaddedToTwicePointerSize) {
    char text[32];
    const std::size_t digits = 2 * sizeof(void*);
    EXPECT_EQ(Velto::ThreadIdText(text, sizeof text, 0x1A2Bu), digits);
    EXPECT_EQ(std::string(text), std::string(digits - 4, '0') + "1A2B");
    Velto::ThreadIdText(text, sizeof text, 0xFFFFFFFFu);
    EXPECT_EQ(std::string(text), std::string(digits - 8, '0') + "FFFFFFFF");
    EXPECT_EQ(Velto::ThreadIdText(text, 3, 0x1A2Bu), 2u);
    EXPECT_STREQ(text, "00");
}

TEST(LogLevelText, HasSixRightAlignedCharactersForKnownLevels) {
    const char* expected[] = {"", "  OKAY", "  WARN", " ERROR", "ALWAYS", ""};
    for (int32_t level = -1; level <= 4; ++level) {
        EXPECT_STREQ(Velto::LogLevelText(level), expected[level + 1]) << "level " << level;
    }
}

}  // namespace
