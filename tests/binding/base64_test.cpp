#include "binding/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using Velto::Base64Decode;
using Velto::Base64Encode;

TEST(Base64, DecodingInvertsEncodingAndStopsAtTheFirstCharacterOutsideTheAlphabet) {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes += static_cast<char>(value);
    }
    for (std::size_t length = 0; length <= bytes.size(); length += 1 + length / 16) {
        const std::string part = bytes.substr(bytes.size() - length);
        EXPECT_EQ(Base64Decode(Base64Encode(part.data(), part.size())), part) << length;
    }
    // Both ways: the padding of one or two leftover bytes and the alphabet's ends.
    const std::pair<std::string, std::string> encoded[] = {
        {"a", "YQ=="},
        {"ab", "YWI="},
        {std::string("\xFF\xFE\xFD\0\0\0", 6), "//79AAAA"},
    };
    for (const auto& [plain, text] : encoded) {
        EXPECT_EQ(Base64Encode(plain.data(), plain.size()), text) << "encoding to " << text;
        EXPECT_EQ(Base64Decode(text), plain) << "decoding " << text;
    }
    // Decoding only: unpadded ends, a lone character, and what follows padding or a character
    // outside the alphabet.
    const std::pair<const char*, std::string> decoded[] = {
        {"YWI", "ab"},     {"YQ", "a"},           {"Y", ""},
        {"YQ==YWJj", "a"}, {"YWJj\nYWJj", "abc"}, {"*YWJj", ""},
    };
    for (const auto& [text, plain] : decoded) {
        EXPECT_EQ(Base64Decode(text), plain) << "decoding \"" << text << "\"";
    }
}

}  // namespace
