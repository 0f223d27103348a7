#include "binding/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Velto::Base64Decode;
using Velto::Base64Encode;

TEST(Base64, EncodesGroupsOfThreeAndPadsTheRest) {
    struct Case {
        std::string bytes;
        const char* text;
    };
    const Case cases[] = {
        {"", ""},
        {"a", "YQ=="},
        {"ab", "YWI="},
        {"abc", "YWJj"},
        {"abcd", "YWJjZA=="},
        {std::string("\xFF\xFE\xFD", 3), "//79"},
        {std::string("\0\0\0", 3), "AAAA"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64Encode(c.bytes.data(), c.bytes.size()), c.text) << "bytes " << c.bytes;
    }
}

TEST(Base64, DecodesUpToTheFirstCharacterOutsideTheAlphabet) {
    struct Case {
        const char* text;
        std::string bytes;
    };
    const Case cases[] = {
        {"", ""},          {"YWJj", "abc"},       {"YWI=", "ab"},
        {"YWI", "ab"},     {"YQ==", "a"},         {"YQ", "a"},
        {"Y", ""},         {"YWJj\nYWJj", "abc"}, {"YWJj YWJj", "abc"},
        {"YQ==YWJj", "a"}, {"*YWJj", ""},         {"//79", std::string("\xFF\xFE\xFD", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Base64Decode(c.text), c.bytes) << "text \"" << c.text << "\"";
    }
}

TEST(Base64, DecodingInvertsEncodingForEveryByteAndLength) {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes += static_cast<char>(value);
    }
    for (std::size_t length = 0; length <= bytes.size(); length += 1 + length / 16) {
        const std::string part = bytes.substr(bytes.size() - length);
        EXPECT_EQ(Base64Decode(Base64Encode(part.data(), part.size())), part) << length;
    }
}

}  // namespace
