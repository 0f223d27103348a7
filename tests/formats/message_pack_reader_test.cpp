#include "formats/message_pack_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "describe_value.h"
#include "formats/nesting_limit.h"

namespace {

using FormatsTesting::Describe;
using Velto::BindingResult;
using Velto::ReadMessagePack;

using Bytes = std::vector<uint8_t>;

std::string Hex(const Bytes& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%02X ", byte);
        text += hex;
    }
    return text;
}

BindingResult Read(const Bytes& bytes, std::size_t& consumed) {
    consumed = 12345;
    return ReadMessagePack(bytes.data(), bytes.size(), consumed);
}

struct DecodeCase {
    Bytes bytes;
    const char* value;
    std::size_t consumed;
};

TEST(MessagePackReader, DecodesEveryTypeFamily) {
    const DecodeCase cases[] = {
        {{}, "~", 0},
        {{0x05}, "s5", 1},
        {{0x00}, "s0", 1},
        {{0x7F}, "s127", 1},
        {{0xE0}, "s-32", 1},
        {{0xFF}, "s-1", 1},
        {{0xC0}, "~", 1},
        {{0xC2}, "false", 1},
        {{0xC3}, "true", 1},
        {{0xCC, 0x05}, "u5", 2},
        {{0xCC, 0xFF}, "u255", 2},
        {{0xCD, 0x01, 0x02}, "u258", 3},
        {{0xCE, 0x80, 0x00, 0x00, 0x00}, "u2147483648", 5},
        {{0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "u18446744073709551615", 9},
        {{0xD0, 0xFF}, "s-1", 2},
        {{0xD0, 0x7F}, "s127", 2},
        {{0xD1, 0xFF, 0xFE}, "s-2", 3},
        {{0xD2, 0x80, 0x00, 0x00, 0x00}, "s-2147483648", 5},
        {{0xD3, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "s-9223372036854775808", 9},
        {{0xD3, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, "s4294967296", 9},
        {{0xCA, 0x3F, 0xC0, 0x00, 0x00}, "f1.5", 5},
        {{0xCA, 0x3D, 0xCC, 0xCC, 0xCD}, "f0.10000000149011612", 5},
        {{0xCB, 0x40, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "f2.5", 9},
        {{0xA0}, "\"\"", 1},
        {{0xA3, 0x61, 0x62, 0x63}, "\"abc\"", 4},
        {{0xD9, 0x02, 0x68, 0x69}, "\"hi\"", 4},
        {{0xDA, 0x00, 0x01, 0x78}, "\"x\"", 4},
        {{0xDB, 0x00, 0x00, 0x00, 0x01, 0x79}, "\"y\"", 6},
        {{0xC4, 0x02, 0x61, 0x00}, "b'6100'", 4},
        {{0xC5, 0x00, 0x01, 0xFF}, "b'ff'", 4},
        {{0xC6, 0x00, 0x00, 0x00, 0x00}, "b''", 5},
        {{0x90}, "[]", 1},
        {{0x92, 0x01, 0x02}, "[s1,s2]", 3},
        {{0xDC, 0x00, 0x01, 0xC0}, "[~]", 4},
        {{0xDD, 0x00, 0x00, 0x00, 0x00}, "[]", 5},
        {{0x80}, "{}", 1},
        {{0x82, 0xA1, 0x62, 0x01, 0xA1, 0x61, 0x02}, "{a:s2,b:s1}", 7},
        {{0xDE, 0x00, 0x01, 0xA1, 0x6B, 0xC3}, "{k:true}", 6},
        {{0xDF, 0x00, 0x00, 0x00, 0x00}, "{}", 5},
        {{0x81, 0xD9, 0x01, 0x61, 0x01}, "{a:s1}", 5},
        {{0x81, 0xA0, 0x01}, "{:s1}", 3},
        {{0x81, 0xA1, 0x61, 0x91, 0x81, 0xA1, 0x62, 0xC0}, "{a:[{b:~}]}", 8},
        {{0x93, 0x90, 0x80, 0x91, 0x90}, "[[],{},[[]]]", 5},
    };
    for (const DecodeCase& c : cases) {
        std::size_t consumed = 0;
        const BindingResult result = Read(c.bytes, consumed);
        EXPECT_TRUE(result.succeeded) << Hex(c.bytes) << result.FailureMessage();
        EXPECT_EQ(Describe(result), c.value) << Hex(c.bytes);
        EXPECT_EQ(consumed, c.consumed) << Hex(c.bytes);
    }
}

TEST(MessagePackReader, StopsAfterTheFirstValueAndAcceptsOpenContainers) {
    const DecodeCase cases[] = {
        {{0x01, 0x02}, "s1", 1},
        {{0x91, 0x01, 0xC1}, "[s1]", 2},
        {{0x92, 0x01}, "[s1]", 2},
        {{0x81, 0xA1, 0x61}, "{}", 3},
        {{0x82, 0xA1, 0x61, 0x01}, "{a:s1}", 4},
        // Declared counts far beyond the input cost nothing: elements arrive one by one.
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, "[s1]", 6},
        {{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 0x61, 0x01}, "{a:s1}", 8},
    };
    for (const DecodeCase& c : cases) {
        std::size_t consumed = 0;
        const BindingResult result = Read(c.bytes, consumed);
        EXPECT_TRUE(result.succeeded) << Hex(c.bytes) << result.FailureMessage();
        EXPECT_EQ(Describe(result), c.value) << Hex(c.bytes);
        EXPECT_EQ(consumed, c.consumed) << Hex(c.bytes);
    }
}

TEST(MessagePackReader, RepeatedKeysWriteIntoTheSameMember) {
    const DecodeCase cases[] = {
        {{0x82, 0xA1, 0x61, 0x01, 0xA1, 0x61, 0x02}, "{a:s2}", 7},
        {{0x82, 0xA1, 0x61, 0x91, 0x01, 0xA1, 0x61, 0xA1, 0x78}, "{a:\"x\"}", 9},
        // An existing collection stays: the second array overwrites from index 0.
        {{0x82, 0xA1, 0x61, 0x92, 0x01, 0x02, 0xA1, 0x61, 0x91, 0x03}, "{a:[s3,s2]}", 10},
        {{0x82, 0xA1, 0x61, 0x81, 0xA1, 0x78, 0x01, 0xA1, 0x61, 0x81, 0xA1, 0x79, 0x02},
         "{a:{x:s1,y:s2}}",
         13},
    };
    for (const DecodeCase& c : cases) {
        std::size_t consumed = 0;
        const BindingResult result = Read(c.bytes, consumed);
        EXPECT_TRUE(result.succeeded) << Hex(c.bytes) << result.FailureMessage();
        EXPECT_EQ(Describe(result), c.value) << Hex(c.bytes);
        EXPECT_EQ(consumed, c.consumed) << Hex(c.bytes);
    }
}

struct FailureCase {
    Bytes bytes;
    const char* message;
    std::size_t consumed;
};

TEST(MessagePackReader, FailsWithThePositionOfTheFault) {
    const char* const kBadByte1 = "Invalid MessagePack data at position 1.";
    const char* const k8 =
        "Invalid MessagePack data. 8-bit integer value at position 1 is truncated.";
    const char* const k16 =
        "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.";
    const char* const k32 =
        "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.";
    const char* const k64 =
        "Invalid MessagePack data. 64-bit integer value at position 1 is truncated.";
    const FailureCase cases[] = {
        {{0x81, 0x01, 0x02},
         "Invalid MessagePack data at position 2. Map keys must be strings.",
         2},
        {{0x81, 0xC7}, "Invalid MessagePack data at position 2. Map keys must be strings.", 2},
        {{0x81, 0x90}, "Invalid MessagePack data at position 2. Map keys must be strings.", 2},
        {{0xC1}, kBadByte1, 1},
        {{0xC7}, kBadByte1, 1},
        {{0xC8, 0x00, 0x01, 0x01, 0x00}, kBadByte1, 1},
        {{0xC9}, kBadByte1, 1},
        {{0xD4, 0x01, 0x00}, kBadByte1, 1},
        {{0xD5}, kBadByte1, 1},
        {{0xD6}, kBadByte1, 1},
        {{0xD7}, kBadByte1, 1},
        {{0xD8}, kBadByte1, 1},
        {{0x91, 0xC1}, "Invalid MessagePack data at position 2.", 2},
        {{0xCC}, k8, 1},
        {{0xD0}, k8, 1},
        {{0xD9}, k8, 1},
        {{0xC4}, k8, 1},
        {{0xCD}, k16, 1},
        {{0xCD, 0x01}, k16, 1},
        {{0xD1, 0x01}, k16, 1},
        {{0xDA, 0x00}, k16, 1},
        {{0xC5}, k16, 1},
        {{0xDC, 0x00}, k16, 1},
        {{0xDE}, k16, 1},
        {{0xCE, 0x00, 0x00, 0x00}, k32, 1},
        {{0xD2}, k32, 1},
        {{0xCA, 0x00}, k32, 1},
        {{0xDB}, k32, 1},
        {{0xC6, 0x00}, k32, 1},
        {{0xDD}, k32, 1},
        {{0xDF, 0x00, 0x00}, k32, 1},
        {{0xCF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, k64, 1},
        {{0xD3}, k64, 1},
        {{0xCB, 0x00}, k64, 1},
        {{0x81, 0xD9},
         "Invalid MessagePack data. 8-bit integer value at position 2 is truncated.",
         2},
        {{0xA5, 0x61, 0x62},
         "Invalid MessagePack data. String of size 5 at position 1 is truncated.",
         1},
        {{0xD9, 0x05, 0x61},
         "Invalid MessagePack data. String of size 5 at position 2 is truncated.",
         2},
        {{0x81, 0xA2, 0x61},
         "Invalid MessagePack data. String of size 2 at position 2 is truncated.",
         2},
        {{0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 0x61},
         "Invalid MessagePack data. String of size 4294967295 at position 5 is truncated.",
         5},
        {{0xC4, 0x03, 0x61},
         "Invalid MessagePack data. Raw bytes of size 3 at position 2 are truncated.",
         2},
        {{0xC6, 0xFF, 0xFF, 0xFF, 0xFF},
         "Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are truncated.",
         5},
    };
    for (const FailureCase& c : cases) {
        std::size_t consumed = 0;
        const BindingResult result = Read(c.bytes, consumed);
        EXPECT_FALSE(result.succeeded) << Hex(c.bytes);
        EXPECT_EQ(result.FailureMessage(), c.message) << Hex(c.bytes);
        EXPECT_EQ(Describe(result), "{error:\"" + std::string(c.message) + "\"}") << Hex(c.bytes);
        EXPECT_EQ(consumed, c.consumed) << Hex(c.bytes);
    }
}

TEST(MessagePackReader, StopsAtTheNestingLimit) {
    struct Case {
        Bytes opener;  // one level of nesting
        std::size_t levels;
        bool succeeds;
        std::size_t consumed;  // the failure comes right after the header one level too deep
    };
    constexpr std::size_t kMax = Velto::kMaxNestingDepth;
    const Case cases[] = {
        {{0x91}, kMax, true, kMax + 1},
        {{0x91}, kMax + 1, false, kMax + 1},
        // Each level declares 2^32 - 1 elements: the memory taken follows the input instead.
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF}, kMax, true, kMax * 5 + 1},
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF}, kMax + 1, false, (kMax + 1) * 5},
        {{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0}, kMax, true, kMax * 6 + 1},
        {{0x81, 0xA0}, kMax, true, kMax * 2 + 1},
        {{0x81, 0xA0}, kMax + 1, false, kMax * 2 + 1},
        {{0x91}, 1000000, false, kMax + 1},
    };
    for (const Case& c : cases) {
        Bytes bytes;
        for (std::size_t level = 0; level < c.levels; ++level) {
            bytes.insert(bytes.end(), c.opener.begin(), c.opener.end());
        }
        bytes.push_back(0xC0);
        std::size_t consumed = 0;
        const BindingResult result = Read(bytes, consumed);
        EXPECT_EQ(result.succeeded, c.succeeds) << Hex(c.opener) << "x " << c.levels;
        EXPECT_EQ(consumed, c.consumed) << Hex(c.opener) << "x " << c.levels;
        if (!c.succeeds) {
            EXPECT_EQ(result.FailureMessage(), Velto::kNestingTooDeepMessage);
        }
    }
}

}  // namespace
