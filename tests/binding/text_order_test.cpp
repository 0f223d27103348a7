#include "binding/text_order.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int Sign(int order) {
    return (order > 0) - (order < 0);
}

TEST(CompareBytes, AgreesWithMemcmpForEveryLengthAndDifferingByte) {
    const std::string base = "abcdefghijklmnopqrstuvwx";
    for (std::size_t length = 0; length <= base.size(); ++length) {
        EXPECT_EQ(Velto::CompareBytes(base.data(), base.data(), length), 0) << length;
        EXPECT_TRUE(Velto::SameBytes(base.data(), base.data(), length)) << length;
        for (std::size_t changed = 0; changed < length; ++changed) {
            SCOPED_TRACE("length " + std::to_string(length) + ", byte " + std::to_string(changed));
            for (const char replacement : {'\x01', 'a', 'z', '\x80', '\xff'}) {
                std::string other = base.substr(0, length);
                other[changed] = replacement;
                const int expected = Sign(std::memcmp(base.data(), other.data(), length));
                EXPECT_EQ(Sign(Velto::CompareBytes(base.data(), other.data(), length)), expected);
                EXPECT_EQ(Sign(Velto::CompareBytes(other.data(), base.data(), length)), -expected);
                EXPECT_EQ(Velto::SameBytes(base.data(), other.data(), length), expected == 0);
            }
        }
    }
}

}  // namespace
