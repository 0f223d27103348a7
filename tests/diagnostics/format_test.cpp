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

// Each row evaluates one call; `what` tells which behaviour the row checks.
struct Row {
    const char* what;
    std::string actual;
    std::string expected;
};

void ExpectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        EXPECT_EQ(row.actual, row.expected) << row.what;
    }
}

// What the C library prints for one printf format, for checks on very wide fields.
template <class Value>
std::string Printed(const char* printFormat, Value value) {
    std::vector<char> buffer(Velto::kFormatCapacity);
    std::snprintf(buffer.data(), buffer.size(), printFormat, value);
    return buffer.data();
}

TEST(Format, HandlesTheDocumentedEdgeCases) {
    ExpectRows({
        {"numbered placeholder, integer", Format("Index %1 is out of range", 12),
         "Index 12 is out of range"},
        {"numbered placeholder, text", Format("Index %1 is out of range", "12"),
         "Index 12 is out of range"},
        {"doubled percent is consumed first", Format("%%1", "x"), "%1"},
        {"number above N is a width; the space is the conversion", Format("[%3 ]", "ab", "cd"),
         "[ ab]"},
        {"positional placeholders leave the sequence at 1", Format("%2 %3 ", "ab", "cd"), "cd  ab"},
        {"width at the end loses its last character", Format("x%3", "ab", "cd"), "xab"},
        {"no arguments: output stops at the placeholder", Format("before %1 after"), "before "},
        {"64-bit value prints in full", Format("%1", INT64_MAX), "9223372036854775807"},
        {"unsigned 64-bit value prints in full", Format("%1", UINT64_MAX), "18446744073709551615"},
        {"double prints like %g", Format("%1 %2 %3", 0.1, 1e20, 2.5), "0.1 1e+20 2.5"},
        {"lone percent at the end takes the next argument", Format("value %", 7), "value 7"},
        {"conversion n prints the default", Format("%1$n", 5), "5"},
        {"text form type", Format("at %1", Point{1, 2}), "at (1,2)"},
    });
}

TEST(Format, FollowsThePrintfGrammar) {
    ExpectRows({
        {"left-align flag", Format("%1$-5d|", 42), "42   |"},
        {"plus flag", Format("%1$+d", 42), "+42"},
        {"space flag", Format("%1$ d", 42), " 42"},
        {"alternate form", Format("%1$#x", 255), "0xff"},
        {"zero padding", Format("%1$05d", -42), "-0042"},
        {"repeated flags", Format("%1$--+5d|", 4), "+4   |"},
        {"width on a text", Format("%1$5s|", "ab"), "   ab|"},
        {"width alone gets the default conversion", Format("%1$5|", "ab"), "   ab"},
        {"text precision", Format("%1$.2s", "abcdef"), "ab"},
        {"minus after the dot is skipped", Format("%1$.-2s", "abcdef"), "ab"},
        {"bare dot is precision 0", Format("[%1$.s]", "abc"), "[]"},
        {"real precision", Format("%1$.3f", 3.14159), "3.142"},
        {"integer precision", Format("%1$.4d", 7), "0007"},
        {"sequential star width", Format("%*d", 5, 42), "   42"},
        {"star digits without $ are skipped", Format("%*9d", 4, 7), "   7"},
        {"positional star width", Format("%1$*2$d", 42, 5), "   42"},
        {"positional star precision", Format("%1$.*2$f", 3.14159, 2), "3.14"},
        {"width and precision stars in order", Format("%*.*f", 8, 2, 3.14159), "    3.14"},
        {"negative star width aligns left", Format("%*d|", -5, 42), "42   |"},
        {"negative star precision is no precision", Format("%.*f", -1, 1.5), "1.500000"},
        {"64-bit star takes the low 32 bits", Format("%1$*2$d", 1, (INT64_C(1) << 32) + 3), "  1"},
        {"star on a char is sign-extended", Format("%1$*2$d|", 1, static_cast<char>(-3)), "1  |"},
        {"star removed with the last character", Format("%*", 5, "ab"), "ab"},
        {"last width digit removed at the end", Format("%1$32", 7), "  7"},
        {"flag removed at the end", Format("%1$-", "ab"), "ab"},
        {"conversion replaced by the default", Format("%1$x", "ab"), "ab"},
        {"pattern's length modifier is not the conversion", Format("%1$ll", 42), "42"},
    });
}

TEST(Format, AppliesSequenceAndPositionalRules) {
    ExpectRows({
        {"positional reuse", Format("%1 %1 %2 %1", "a", "b"), "a a b a"},
        {"sequential placeholders", Format("%s-%s", "a", "b"), "a-b"},
        {"positional does not advance the sequence", Format("%2 %s", "a", "b"), "b a"},
        {"mixed", Format("%s %1 %s", "a", "b"), "a a b"},
        {"star advances the sequence", Format("%*s|%s", 3, "a", "b"), "  a|b"},
        {"percent signs", Format("100%% %%%1", 5), "100% %5"},
        {"unused arguments are ignored", Format("%2", "a", "b", "c"), "b"},
        {"text without placeholders", Format("plain"), "plain"},
        {"null pattern is empty", Format(nullptr, 1), ""},
    });
}

TEST(Format, EndsTheOutputAtAMalformedPlaceholder) {
    ExpectRows({
        {"sequential index beyond N", Format("%1 %s %s!", "x"), "x x "},
        {"star index beyond N", Format("a%1$*5$db", 42), "a"},
        {"star index 0", Format("a%1$*0$db", 42), "a"},
        {"star on a text", Format("a%*db", "ab", 5), "a"},
        {"positional star on a double", Format("a%1$*2$db", 42, 1.5), "a"},
        {"index above N read as a width", Format("a%3$sb", "x"), "a  xsb"},
    });
}

TEST(Format, LimitsTheSpecificationToFiftyNineCharacters) {
    const std::string flags57(57, '-');
    const std::string flags58(58, '-');
    const std::string flags55(55, '-');
    const std::string flags56(56, '-');
    ExpectRows({
        {"59 characters pass", Format(("<%1$" + flags57 + "d>").c_str(), 42), "<42>"},
        {"60 characters fail", Format(("<%1$" + flags58 + "d>").c_str(), 42), "<"},
        {"length modifier counts, 59", Format(("<%1$" + flags55 + "lld>").c_str(), 42), "<42>"},
        {"length modifier counts, 60", Format(("<%1$" + flags56 + "lld>").c_str(), 42), "<"},
        {"width digits count", Format(("<%" + std::string(59, '1')).c_str(), 1), "<"},
        {"two index digits do not count",
         Format(("<%10$" + flags57 + "d>").c_str(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), "<10>"},
        {"index digits do not count, positional", Format(("<%1$" + flags57 + "s>").c_str(), "ab"),
         "<ab>"},
    });
}

TEST(Format, RendersEveryArgumentKind) {
    const char noTerminator[3] = {'a', 'b', 'c'};
    const char* nullText = nullptr;
    char mutableText[] = "mutable";
    const std::string_view view = std::string_view("abcdef").substr(1, 3);
    ExpectRows({
        {"int conversions", Format("%1$x %1$X %1$o %1$i %1$c", 65), "41 41 101 65 A"},
        {"int as unsigned", Format("%1$u", -1), "4294967295"},
        {"int rejects s", Format("%1$s", 42), "42"},
        {"unsigned default is u", Format("%1", 4294967295u), "4294967295"},
        {"unsigned as signed", Format("%1$d", 4294967295u), "-1"},
        {"char default is c", Format("%1", 'A'), "A"},
        {"char as number", Format("%1$d", 'A'), "65"},
        {"char is sign-extended", Format("%1$d %1$x", static_cast<char>(-1)), "-1 ffffffff"},
        {"bool prints as integer", Format("%1 %2", true, false), "1 0"},
        {"short promotes", Format("%1", static_cast<short>(-3)), "-3"},
        {"unsigned char promotes", Format("%1", static_cast<unsigned char>(200)), "200"},
        {"signed char promotes", Format("%1", static_cast<signed char>(-5)), "-5"},
        {"unsigned short promotes", Format("%1", static_cast<unsigned short>(65535)), "65535"},
        {"size_t", Format("%1", static_cast<std::size_t>(123)), "123"},
        {"long", Format("%1", -123L), "-123"},
        {"64-bit conversions", Format("%1$x %1$o", UINT64_C(0x123456789)), "123456789 44321263611"},
        {"64-bit with an explicit d keeps its width", Format("%1$d", INT64_C(1) << 40),
         "1099511627776"},
        {"64-bit signed as unsigned", Format("%1$u", INT64_C(-1)), "18446744073709551615"},
        {"64-bit as char", Format("%1$c", INT64_C(65)), "A"},
        {"double conversions", Format("%1$e|%1$F|%1$a", 1.5), "1.500000e+00|1.500000|0x1.8p+0"},
        {"double upper case", Format("%1$G", 1e-10), "1E-10"},
        {"double rejects d", Format("%1$d", 1.5), "1.5"},
        {"float", Format("%1", 0.5f), "0.5"},
        {"C string", Format("%1", "text"), "text"},
        {"mutable C string", Format("%1", mutableText), "mutable"},
        {"null C string is empty", Format("[%1]", nullText), "[]"},
        {"null C string with width", Format("[%1$3s]", nullText), "[   ]"},
        {"char array without terminator", Format("%1", noTerminator), "abc"},
        {"std::string", Format("%1", std::string("owned")), "owned"},
        {"string_view prints only its own characters", Format("[%1]", view), "[bcd]"},
        {"string_view with width and precision", Format("[%1$5s|%1$.10s|%1$.2s]", view),
         "[  bcd|bcd|bc]"},
        {"pair of texts", Format("%1", std::pair<const char*, std::string>("host", "8080")),
         "host:8080"},
        {"pair with width", Format("%1$12s", std::pair<std::string_view, const char*>("a", "b")),
         "         a:b"},
        {"pair with a null text", Format("%1", std::pair<const char*, const char*>(nullptr, "b")),
         ":b"},
        {"text form with width", Format("%1$-8s|", Point{1, 2}), "(1,2)   |"},
        {"text form with precision", Format("%1$.3s", Point{10, 2}), "(10"},
        {"text form rejects x", Format("%1$x", Point{3, 4}), "(3,4)"},
        {"text ends at its first NUL", Format("[%1|%1$3s]", std::string("a\0b", 3)), "[a|  a]"},
        {"char zero is a character", Format("a%1$cb", 0), std::string("a\0b", 3)},
    });
}

// Whatever the pattern writes, printf gets the length modifier of the argument's real type;
// "h" and "hh" narrow an integer as printf would.
TEST(Format, UsesTheArgumentsOwnLengthModifier) {
    ExpectRows({
        {"hh on int", Format("%1$hhd", 300), "44"},
        {"h on unsigned", Format("%1$hu", 65537u), "1"},
        {"h on int", Format("%1$hx", 0x12345), "2345"},
        {"hh signed", Format("%1$hhi %1$hhu", 255), "-1 255"},
        {"h after a star precision", Format("%1$.*2$hd", 70000, 3), "4464"},
        {"hh on char conversion", Format("%1$hhc", 321), "A"},
        {"L on int", Format("%1$Ld", 42), "42"},
        {"ll on int", Format("%1$lld", 42), "42"},
        {"j, z, t on int", Format("%1$jd %1$zd %1$td", 7), "7 7 7"},
        {"hh on text", Format("%1$hhs", "ab"), "ab"},
        {"l on text", Format("%1$ls", "ab"), "ab"},
        {"L on double", Format("%1$Lg", 2.5), "2.5"},
        {"l on char conversion", Format("%1$lc", 65), "A"},
        {"hh on 64-bit", Format("%1$hhd", INT64_C(4294967297)), "1"},
        {"h on unsigned 64-bit", Format("%1$hx", UINT64_C(0xFFFFFFFF12345678)), "5678"},
        {"h on double", Format("%1$hg", 2.5), "2.5"},
        {"l removed at the end", Format("%1$l", "ab"), "ab"},
    });
}

// The host's locale never reaches the numbers printed.
TEST(Format, PrintsNumbersWithAPointUnderACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    ExpectRows({
        {"bare double", Format("Value %1 is out of range", 127.5), "Value 127.5 is out of range"},
        {"fixed with flags and width", Format("%1$+8.2f|", 0.25), "   +0.25|"},
        {"general", Format("%1$G", 1.5e-3), "0.0015"},
        {"integers", Format("%1 %2$x %3", 1000000, 255u, INT64_C(-1234567)), "1000000 ff -1234567"},
    });
}

TEST(Format, CutsTheResultAt4095Characters) {
    const std::string longText(5000, 'a');
    const std::string nearlyFull(4090, '-');
    ExpectRows({
        {"long literal text", Format(longText.c_str()), std::string(4095, 'a')},
        {"long argument", Format("%1", longText), std::string(4095, 'a')},
        {"long argument with width", Format("%1$6000s", longText),
         std::string(1000, ' ') + std::string(3095, 'a')},
        {"wide field", Format("%1$5000d", 7), std::string(4095, ' ')},
        {"argument crossing the end", Format((nearlyFull + "%1").c_str(), "0123456789"),
         nearlyFull + "01234"},
        {"integer crossing the end", Format((nearlyFull + "%1$x").c_str(), 0x1234567),
         nearlyFull + "12345"},
        {"exactly 4095 characters", Format((std::string(4094, 'b') + "%1").c_str(), "c"),
         std::string(4094, 'b') + "c"},
    });
}

// Huge widths and precisions are reduced only where the output cannot show the difference.
TEST(Format, KeepsTheVisibleOutputOfHugeWidthsAndPrecisions) {
    const std::string wideText(5000, 't');
    ExpectRows({
        {"huge width", Format("%1$999999999d|", 1), std::string(4095, ' ')},
        {"huge star width", Format("%*d|", INT_MAX, 1), std::string(4095, ' ')},
        {"huge left width", Format("%1$-999999999d|", 1), "1" + std::string(4094, ' ')},
        {"huge integer precision", Format("%1$.999999999d", -1), "-" + std::string(4094, '0')},
        {"width saturates", Format("%1$99999999999999999999999d", 5), std::string(4095, ' ')},
        {"huge real precision", Format("%1$.999999999f", 1.0 / 3), Printed("%.100000f", 1.0 / 3)},
        {"huge e precision", Format("%1$.999999999e", 0.1), Printed("%.100000e", 0.1)},
        {"huge g precision", Format("%1$.999999999g", 0.1), Printed("%.100000g", 0.1)},
        {"huge a precision", Format("%1$#.999999999a", 0.1), Printed("%#.100000a", 0.1)},
        {"real width and precision, f", Format("%1$99999.99999f", -1e300),
         Printed("%99999.99999f", -1e300)},
        {"real width above precision, e", Format("%1$199999.99999e", 1e-300),
         Printed("%199999.99999e", 1e-300)},
        {"real width below precision, e", Format("%1$95000.99999e", 1e-300),
         Printed("%95000.99999e", 1e-300)},
        {"real width near precision, #g", Format("%1$#100100.99999g", 5e-7),
         Printed("%#100100.99999g", 5e-7)},
        {"real width and precision, g", Format("%1$99999.99999g", 0.1),
         Printed("%99999.99999g", 0.1)},
        {"real width and precision, a", Format("%1$-99999.99999a|", 0.1),
         Printed("%-99999.99999a|", 0.1)},
        {"infinity ignores the precision", Format("%1$94000.99999f", HUGE_VAL),
         Printed("%94000.99999f", HUGE_VAL)},
        {"integer width near precision", Format("%1$+0101000.99999d", 42),
         Printed("%+0101000.99999d", 42)},
        {"integer width above precision", Format("%1$#200000.99999x", 42),
         Printed("%#200000.99999x", 42)},
        {"text shorter than the width", Format("%1$100000s", wideText),
         Printed("%100000s", wideText.c_str())},
        {"text longer than the width", Format("%1$6000s", wideText),
         Printed("%6000s", wideText.c_str())},
        {"text just past the room", Format("%1$9096s", wideText),
         Printed("%9096s", wideText.c_str())},
        {"text with width and precision", Format("%1$8000.4000s", wideText),
         Printed("%8000.4000s", wideText.c_str())},
        {"text left aligned", Format("%1$-100000.3s|", wideText),
         Printed("%-100000.3s|", wideText.c_str())},
    });
}

struct IntoCase {
    const char* pattern;
    std::string full;
};

// Writes into exactly `capacity` bytes followed by guard bytes that must stay untouched.
TEST(FormatInto, FillsSmallBuffersWithAPrefixOfTheFullText) {
    const IntoCase cases[] = {
        {"plain text of some length", "plain text of some length"},
        {"%1 and %2", "12345 and abcdefghij"},
        {"%2$10s|%1$-6d|", "abcdefghij|12345 |"},
        {"%%%%%1", "%%12345"},
    };
    constexpr std::size_t kGuard = 8;
    for (const IntoCase& row : cases) {
        ASSERT_EQ(Format(row.pattern, 12345, "abcdefghij"), row.full) << row.pattern;
        for (std::size_t capacity = 1; capacity <= row.full.size() + 2; ++capacity) {
            std::vector<char> buffer(capacity + kGuard, '#');
            const std::size_t written =
                FormatInto(buffer.data(), capacity, row.pattern, 12345, "abcdefghij");
            const std::size_t expected = std::min(row.full.size(), capacity - 1);
            EXPECT_EQ(written, expected) << row.pattern << " capacity " << capacity;
            EXPECT_EQ(std::string(buffer.data(), written), row.full.substr(0, expected))
                << row.pattern << " capacity " << capacity;
            EXPECT_EQ(buffer[written], '\0') << row.pattern << " capacity " << capacity;
            EXPECT_EQ(std::string(buffer.data() + capacity, kGuard), std::string(kGuard, '#'))
                << row.pattern << " wrote past capacity " << capacity;
        }
    }
}

TEST(FormatInto, WritesNothingIntoAZeroCapacity) {
    char buffer[1] = {'#'};
    EXPECT_EQ(FormatInto(buffer, 0, "%1", 5), 0u);
    EXPECT_EQ(buffer[0], '#');
}

TEST(FormatInto, FillsA33ByteVersionBuffer) {
    char buffer[33];
    EXPECT_EQ(FormatInto(buffer, sizeof buffer, "%1.%2.%3", 18u, 0u, 0u), 6u);
    EXPECT_STREQ(buffer, "18.0.0");
    EXPECT_EQ(FormatInto(buffer, sizeof buffer, "%1.%2.%3-%4", 4294967295u, 4294967295u,
                         4294967295u, "prerelease"),
              32u);
    EXPECT_STREQ(buffer, "4294967295.4294967295.4294967295");
}

}  // namespace
