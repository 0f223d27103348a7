#include "diagnostics/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/platform/comma_decimal_locale.h"

namespace {

struct Point {
    int x, y;
};

}  // namespace

template <>
struct Velto::FormatText<Point> {
    static std::string Text(const Point& point) {
        return "(" + std::to_string(point.x) + "," + std::to_string(point.y) + ")";
    }
};

namespace {

using Velto::Format;
using Velto::FormatInto;

// One call of Format and the text it must give; the call's own source text names the row.
struct Row {
    const char* call;
    std::string actual;
    std::string expected;
};
#define ROW(arguments, expected)               \
    Row {                                      \
#arguments, Format arguments, expected \
    }

void ExpectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        EXPECT_EQ(row.actual, row.expected) << "Format" << row.call;
    }
}

// What the C library prints for one printf format, for checks on very wide fields.
template <class Value>
std::string Printed(const char* printFormat, Value value) {
    std::vector<char> buffer(Velto::kFormatCapacity);
    std::snprintf(buffer.data(), buffer.size(), printFormat, value);
    return buffer.data();
}

// Numbered placeholders ("%2") and printf's own ("%s", "%*d") share one sequence of arguments,
// which only the unnumbered ones advance.
TEST(Format, FollowsThePrintfGrammar) {
    ExpectRows({
        ROW(("%%1", "x"), "%1"),          // the doubled percent is consumed first
        ROW(("%2 %s", "a", "b"), "b a"),  // the numbered one does not advance the sequence
        ROW(("%1$-+ 5d|", 4), "+4   |"),
        ROW(("%1$5|", "ab"), "   ab"),     // a width alone gets the default conversion
        ROW(("%1$.-2s", "abcdef"), "ab"),  // a minus after the dot is skipped
        ROW(("%*9d", 4, 7), "   7"),       // star digits without $ are skipped
        ROW(("%1$.*2$f", 3.14159, 2), "3.14"),
        ROW(("%*d|", -5, 42), "42   |"),                     // a negative star width aligns left
        ROW(("%.*f", -1, 1.5), "1.500000"),                  // a negative star precision is none
        ROW(("%1$*2$d", 1, (INT64_C(1) << 32) + 3), "  1"),  // a 64-bit star: its low 32 bits
        ROW(("%1$n", 5), "5"),           // conversion n prints the default, never writes
        ROW(("value %", 7), "value 7"),  // a lone percent at the end takes the next argument
    });
}

TEST(Format, EndsTheOutputAtAMalformedPlaceholder) {
    ExpectRows({
        ROW((nullptr, 1), ""),                // no pattern
        ROW(("before %1 after"), "before "),  // no arguments at all
        ROW(("a%1$*5$db", 42), "a"),          // star index beyond N
        ROW(("a%1$*0$db", 42), "a"),          // star index 0
        ROW(("a%*db", "ab", 5), "a"),         // star on a text
        ROW(("a%3$sb", "x"), "a  xsb"),       // an index above N is read as a width
    });
}

// The index digits do not count; width digits and length modifiers do.
TEST(Format, LimitsThePlaceholderToFiftyNineCharacters) {
    const std::string flags55(55, '-'), flags56(56, '-'), flags57(57, '-'), flags58(58, '-');
    ExpectRows({
        ROW((("<%1$" + flags57 + "d>").c_str(), 42), "<42>"),
        ROW((("<%1$" + flags58 + "d>").c_str(), 42), "<"),
        ROW((("<%1$" + flags55 + "lld>").c_str(), 42), "<42>"),
        ROW((("<%1$" + flags56 + "lld>").c_str(), 42), "<"),
        ROW((("<%" + std::string(59, '1')).c_str(), 1), "<"),
        ROW((("<%10$" + flags57 + "d>").c_str(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), "<10>"),
    });
}

TEST(Format, RendersEveryArgumentKind) {
    const char noTerminator[3] = {'a', 'b', 'c'};
    const char* nullText = nullptr;
    const std::string_view view = std::string_view("abcdef").substr(1, 3);
    ExpectRows({
        ROW(("%1 %2", INT64_MAX, UINT64_MAX), "9223372036854775807 18446744073709551615"),
        ROW(("%1 %1$e %1$G", 0.1), "0.1 1.000000e-01 0.1"),
        ROW(("%1$x %1$c %1$u %1$s", -191), "ffffff41 A 4294967105 -191"),  // an int rejects s
        ROW(("%1 %2", 4294967295u, 'A'), "4294967295 A"),
        ROW(("%1$d %1$x", static_cast<char>(-1)), "-1 ffffffff"),
        ROW(("%1 %2", true, false), "1 0"),
        ROW(("%1 %2", static_cast<short>(-3), static_cast<unsigned short>(65535)), "-3 65535"),
        ROW(("%1$x", UINT64_C(0x123456789)), "123456789"),
        ROW(("%1$u %1$c", INT64_C(-191)), "18446744073709551425 A"),
        ROW(("[%1|%1$3s] %2 %3", nullText, "text", noTerminator), "[|   ] text abc"),
        ROW(("[%1|%1$5s|%1$.10s]", view), "[bcd|  bcd|bcd]"),  // only the view's own characters
        ROW(("%1 %2$4s", std::pair<const char*, std::string>("host", "80"),
             std::pair<const char*, const char*>(nullptr, "b")),
            "host:80   :b"),
        ROW(("%1|%1$-7s|%1$.3s", Point{10, 2}), "(10,2)|(10,2) |(10"),
        ROW(("[%1|%1$3s]", std::string("a\0b", 3)), "[a|  a]"),  // a text ends at its first NUL
        ROW(("a%1$cb", 0), std::string("a\0b", 3)),              // char zero is a character
    });
}

// Whatever the pattern writes, printf gets the length modifier of the argument's real type;
// "h" and "hh" narrow an integer as printf would.
TEST(Format, UsesTheArgumentsOwnLengthModifier) {
    ExpectRows({
        ROW(("%1$hd %1$hu", 98304u), "-32768 32768"),
        ROW(("%1$hhi %1$hhu", 255), "-1 255"),
        ROW(("%1$hhc %1$lc %1$lld %1$Ld %1$jd %1$zd %1$td", 321), "A A 321 321 321 321 321"),
        ROW(("%1$hhd", INT64_C(4294967297)), "1"),
        ROW(("%1$hx", UINT64_C(0xFFFFFFFF12345678)), "5678"),
        ROW(("%1$hhs %2$hg", "ab", 2.5), "ab 2.5"),
    });
}

// The host's locale never reaches the numbers printed.
TEST(Format, PrintsNumbersWithAPointUnderACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    ExpectRows({
        ROW(("Value %1 is out of range", 127.5), "Value 127.5 is out of range"),
        ROW(("%1$+8.2f|", 0.25), "   +0.25|"),
    });
}

// The result is cut at 4095 characters; huge widths and precisions are reduced only where the
// output cannot show the difference.
TEST(Format, CutsTheResultAt4095CharactersAndKeepsWhatHugeFieldsShow) {
    const std::string longText(5000, 'a'), nearlyFull(4090, '-');
    const std::string a4095(4095, 'a'), blank4095(4095, ' ');
    ExpectRows({
        ROW((longText.c_str()), a4095),
        ROW(("%1", longText), a4095),
        ROW(("%1$6000s", longText), std::string(1000, ' ') + std::string(3095, 'a')),
        ROW(((nearlyFull + "%1").c_str(), "0123456789"), nearlyFull + "01234"),
        ROW(((nearlyFull + "%1$x").c_str(), 0x1234567), nearlyFull + "12345"),
        ROW(((std::string(4094, 'b') + "%1").c_str(), "c"), std::string(4094, 'b') + "c"),
        ROW(("%1$999999999d|", 1), blank4095),
        ROW(("%*d|", INT_MAX, 1), blank4095),
        ROW(("%1$-999999999d|", 1), "1" + std::string(4094, ' ')),
        ROW(("%1$.999999999d", -1), "-" + std::string(4094, '0')),
        ROW(("%1$99999999999999999999999d", 5), blank4095),  // the width saturates
        ROW(("%1$.999999999f", 1.0 / 3), Printed("%.100000f", 1.0 / 3)),
        ROW(("%1$.999999999g", 0.1), Printed("%.100000g", 0.1)),
        ROW(("%1$99999.99999f", -1e300), Printed("%99999.99999f", -1e300)),
        ROW(("%1$95000.99999e", 1e-300), Printed("%95000.99999e", 1e-300)),
        ROW(("%1$#100100.99999g", 5e-7), Printed("%#100100.99999g", 5e-7)),
        ROW(("%1$94000.99999f", HUGE_VAL), Printed("%94000.99999f", HUGE_VAL)),
        ROW(("%1$+0101000.99999d", 42), std::string(1000, ' ') + "+" + std::string(3094, '0')),
        ROW(("%1$100000s", longText), Printed("%100000s", longText.c_str())),
        ROW(("%1$9096s", longText), Printed("%9096s", longText.c_str())),
        ROW(("%1$8000.4000s", longText), Printed("%8000.4000s", longText.c_str())),
    });
}

// Writes into exactly `capacity` bytes followed by guard bytes that must stay untouched;
// capacity 0 writes nothing at all.
TEST(FormatInto, FillsSmallBuffersWithAPrefixOfTheFullText) {
    const char* pattern = "%%%% %1 and %2|%2$11s|%1$-6d|";
    const std::string full = "%% 12345 and abcdefghij| abcdefghij|12345 |";
    ASSERT_EQ(Format(pattern, 12345, "abcdefghij"), full);
    constexpr std::size_t kGuard = 8;
    for (std::size_t capacity = 0; capacity <= full.size() + 2; ++capacity) {
        SCOPED_TRACE("into " + std::to_string(capacity));
        std::vector<char> buffer(capacity + kGuard, '#');
        const std::size_t written =
            FormatInto(buffer.data(), capacity, pattern, 12345, "abcdefghij");
        const std::size_t expected = capacity == 0 ? 0 : std::min(full.size(), capacity - 1);
        EXPECT_EQ(std::string(buffer.data(), written), full.substr(0, expected));
        EXPECT_EQ(std::string(buffer.data() + capacity, kGuard), std::string(kGuard, '#'));
        if (capacity > 0) {
            EXPECT_EQ(buffer[written], '\0');
        }
    }
}

}  // namespace
