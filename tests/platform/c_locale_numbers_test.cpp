#include "platform/c_locale_numbers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <string>

#include "tests/platform/comma_decimal_locale.h"

namespace {

using namespace Velto::Platform;
using Velto::Testing::CommaDecimalLocale;

std::string Print(const char* format, ...) {
    char buffer[64];
    va_list arguments;
    va_start(arguments, format);
    const int printed = VsnprintfC(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return printed >= 0 ? std::string(buffer) : "refused";
}

// What each function leaves unread and reads, under the host's comma-decimal locale.
TEST(CLocaleNumbers, ReadAndPrintWithAPointUnderACommaDecimalLocale) {
    const CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    const struct {
        const char* text;
        double value;
        const char* rest;
    } doubles[] = {{"1.5", 1.5, ""}, {"1,5", 1.0, ",5"}, {" -2.25e1x", -22.5, "x"}};
    for (const auto& row : doubles) {
        char* end = nullptr;
        EXPECT_EQ(StrtodC(row.text, &end), row.value) << row.text;
        EXPECT_STREQ(end, row.rest) << row.text;
    }
    char* end = nullptr;
    EXPECT_EQ(StrtollC(" -0x10,5", &end, 0), -16);
    EXPECT_STREQ(end, ",5");
    EXPECT_EQ(StrtoullC("017.", &end, 0), 15u);
    EXPECT_STREQ(end, ".");
    errno = 0;
    EXPECT_EQ(StrtoullC("18446744073709551616", &end, 0), UINT64_MAX);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(Print("%g|%.2f|%d", 127.5, 0.25, 1000), "127.5|0.25|1000");
    EXPECT_EQ(std::localeconv()->decimal_point[0], ',') << "the host's locale stays as it was";
}

TEST(CLocaleNumbers, PrintCutsOutputThatDoesNotFitAndTerminatesIt) {
    const std::string longText(100, 'x');
    EXPECT_EQ(Print("%s", longText.c_str()), std::string(63, 'x'));
}

}  // namespace
