#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "diagnostics/line_format.h"
#include "diagnostics/log.h"
#include "diagnostics/log_level.h"
#include "log_test_support.h"
#include "platform/thread_id.h"

namespace {

using Velto::ExpandLineFormat;
using Velto::LineContext;
using Velto::LogGroupTable;
using Velto::LogRecord;

constexpr Velto::LogTime kTime{2024, 3, 5, 7, 8, 9, 12};

LogRecord MakeRecord(const char* message, int32_t level = 1,
                     uint64_t groups = Velto::kLogGroupDbg | Velto::kLogGroupNet) {
    return LogRecord{kTime, level, groups, message};
}

std::string Expand(const char* format, const LogRecord& record, std::size_t size = 4096) {
    static const LogGroupTable groups;
    std::vector<char> buffer(size + 1, '\x7F');
    const std::size_t length =
        ExpandLineFormat(buffer.data(), size, format, record, LineContext{"prog.exe", groups});
    EXPECT_EQ(buffer[size], '\x7F') << "wrote past the buffer of " << size << " bytes";
    if (size == 0) {
        EXPECT_EQ(buffer[0], '\x7F') << "size 0 must write nothing";
        return "<untouched>";
    }
    EXPECT_EQ(std::strlen(buffer.data()), length) << "returned length differs from the text";
    return std::string(buffer.data());
}

TEST(LogLineFormat, ReplacesEveryCode) {
    const std::string thread = LogTest::ExpectedThreadId(Velto::Platform::CurrentThreadId());
    const struct {
        const char* format;
        std::string expected;
    } cases[] = {
        {"#D", "2024-03-05T07:08:09.012\n"},
        {"#E", "prog.exe\n"},
        {"#G", "DBG;NET\n"},
        {"#L", "  WARN\n"},
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
    };
    const LogRecord record = MakeRecord("boosts ready");
    for (const auto& entry : cases) {
        EXPECT_EQ(Expand(entry.format, record), entry.expected)
            << "format \"" << (entry.format != nullptr ? entry.format : "(null)") << "\"";
    }
}

TEST(LogLineFormat, EmptyReplacementsLeaveOnlyTheNewline) {
    EXPECT_EQ(Expand("#G", MakeRecord("x", 1, 0)), "\n") << "mask 0 has no group names";
    EXPECT_EQ(Expand("#L", MakeRecord("x", 7)), "\n") << "level 7 has no text";
    EXPECT_EQ(Expand("#L", MakeRecord("x", -1)), "\n") << "level -1 has no text";
    EXPECT_EQ(Expand("#M", MakeRecord(nullptr)), "\n") << "a null message reads as empty";
    EXPECT_EQ(Expand("[#M]", MakeRecord("")), "[]\n");
}

TEST(LogLineFormat, AddsNoSecondNewline) {
    EXPECT_EQ(Expand("#M", MakeRecord("ends in newline\n")), "ends in newline\n");
    EXPECT_EQ(Expand("#L", MakeRecord("x")), "  WARN\n") << "a format without #M still ends a line";
}

// Six digits, a dot, three digits and the newline.
bool HasElapsedShape(const std::string& line) {
    if (line.size() != 11 || line[6] != '.' || line[10] != '\n') {
        return false;
    }
    for (std::size_t i : {0, 1, 2, 3, 4, 5, 7, 8, 9}) {
        if (line[i] < '0' || line[i] > '9') {
            return false;
        }
    }
    return true;
}

TEST(LogLineFormat, ElapsedTimeHasSixDigitsDotThreeDigits) {
    const std::string first = Expand("#H", MakeRecord("x"));
    const std::string second = Expand("#H", MakeRecord("x"));
    EXPECT_TRUE(HasElapsedShape(first)) << first;
    EXPECT_TRUE(HasElapsedShape(second)) << second;
    EXPECT_LE(first, second) << "the elapsed time ran backwards";
}

TEST(LogLineFormat, CutsWithTwoBytesInReserveAndDropsTwoCharacters) {
    const struct {
        const char* format;
        const char* message;
        std::size_t size;
        std::string expected;
    } cases[] = {
        {"abcdef", "", 8, "abcdef\n"},  // fits exactly: nothing is cut
        {"abcdef", "", 7, "abc\n"},     // "abcde" fills the room, then two are dropped
        {"abcdef", "", 5, "a\n"},
        {"abcdef", "", 4, "\n"},
        {"abcdef", "", 3, "\n"},
        {"abcdef", "", 2, "\n"},
        {"abcdef", "", 1, ""},
        {"abcdef", "", 0, "<untouched>"},
        {"#M", "abcdefgh\n", 8, "abcd\n"},
        {"#M", "ab\ncdefg", 7, "ab\n"},  // what is left ends in a newline: no second one
        {"x#M", "1234567", 6, "x1\n"},
        {"", "", 1, ""},
        {"", "", 2, "\n"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(Expand(entry.format, MakeRecord(entry.message), entry.size), entry.expected)
            << "format \"" << entry.format << "\" into " << entry.size << " bytes";
    }
}

TEST(LogLineFormat, LongestMessageStillEndsInANewline) {
    const std::string message(4095, 'm');
    const std::string line = Expand("#E(#T): #L| #M", MakeRecord(message.c_str()), 4096);
    EXPECT_EQ(line.size(), 4093u) << "4094 characters fit, then two are dropped";
    EXPECT_EQ(line.back(), '\n');
}

TEST(LogTimestampText, PrintsBothShapesAndCutsToTheBuffer) {
    char text[64];
    EXPECT_EQ(Velto::TimestampText(text, sizeof text, kTime), 23u);
    EXPECT_STREQ(text, "2024-03-05T07:08:09.012");
    EXPECT_EQ(Velto::FileNameTimestampText(text, sizeof text, kTime), 19u);
    EXPECT_STREQ(text, "2024-03-05T07-08-09");

    char small[5];
    EXPECT_EQ(Velto::TimestampText(small, sizeof small, kTime), 4u);
    EXPECT_STREQ(small, "2024");
    EXPECT_EQ(Velto::FileNameTimestampText(small, 1, kTime), 0u);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(Velto::TimestampText(nullptr, 10, kTime), 0u);
    EXPECT_EQ(Velto::TimestampText(small, 0, kTime), 0u);
}

TEST(LogThreadIdText, IsUpperCaseHexPaddedToTwicePointerSize) {
    char text[32];
    const std::size_t digits = 2 * sizeof(void*);
    EXPECT_EQ(Velto::ThreadIdText(text, sizeof text, 0x1A2Bu), digits);
    EXPECT_EQ(std::string(text), std::string(digits - 4, '0') + "1A2B");
    Velto::ThreadIdText(text, sizeof text, 0xFFFFFFFFu);
    EXPECT_EQ(std::string(text), std::string(digits - 8, '0') + "FFFFFFFF");
    char small[3];
    EXPECT_EQ(Velto::ThreadIdText(small, sizeof small, 0x1A2Bu), 2u);
    EXPECT_STREQ(small, "00");
}

TEST(LogLevelText, HasSixRightAlignedCharactersForKnownLevels) {
    EXPECT_STREQ(Velto::LogLevelText(0), "  OKAY");
    EXPECT_STREQ(Velto::LogLevelText(1), "  WARN");
    EXPECT_STREQ(Velto::LogLevelText(2), " ERROR");
    EXPECT_STREQ(Velto::LogLevelText(3), "ALWAYS");
    EXPECT_STREQ(Velto::LogLevelText(4), "");
    EXPECT_STREQ(Velto::LogLevelText(-1), "");
}

}  // namespace
