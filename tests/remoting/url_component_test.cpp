#include "remoting/url_component.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using namespace std::string_view_literals;

struct DecodeCase {
    std::string_view text;
    std::string_view decoded;
};

constexpr DecodeCase kDecodeCases[] = {
    {"", ""},
    {"plain-text_1.2~", "plain-text_1.2~"},
    {"a%2Fb", "a/b"},
    {"x+y", "x y"},
    {"%41%42", "AB"},
    {"%c3%A9", "\xc3\xa9"},
    {"%00", "\0"sv},
    {"%ff", "\xff"},
    {"%2b+", "+ "},
    // A character that is not a hexadecimal digit counts as 16.
    {"%zz", "\x10"},
    {"%4g", "\x50"},
    {"%1g", "\x10"},
    {"%g4", "\x04"},
    {"%%41",
     "\x04"
     "1"},
    // A "%" without two characters after it is dropped.
    {"%", ""},
    {"%4", "4"},
    {"ab%", "ab"},
    {"a%+", "a "},
};

TEST(UrlComponent, DecodesPercentEscapesAndPlus) {
    for (const DecodeCase& c : kDecodeCases) {
        EXPECT_EQ(Velto::DecodeUrlComponent(c.text), c.decoded) << "text '" << c.text << "'";
    }
}

}  // namespace
