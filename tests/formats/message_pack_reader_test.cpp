#include "formats/message_pack_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/nesting_limit.h"
#include "tests/formats/formats_test_support.h"

namespace {

using FormatsTesting::Describe;
using Velto::BindingResult;

using Bytes = std::vector<uint8_t>;

// The first bytes in hex, naming a case.
std::string Hex(const Bytes& bytes) {
    std::string text;
    for (std::size_t at = 0; at < bytes.size() && at < 16; ++at) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%02X ", bytes[at]);
        text += hex;
    }
    return text + (bytes.size() > 16 ? "..." : "");
}

// Reads `bytes` and checks the value read (or the failure) and how many bytes were consumed.
void ExpectRead(const Bytes& bytes, const std::string& value, std::size_t consumed) {
    SCOPED_TRACE(Hex(bytes));
    std::size_t read = 12345;
    const BindingResult result = Velto::ReadMessagePack(bytes.data(), bytes.size(), read);
    EXPECT_EQ(Describe(result), value);
    EXPECT_EQ(result.succeeded, value.rfind("{error:", 0) != 0) << result.FailureMessage();
    EXPECT_EQ(read, consumed);
}

TEST(MessagePackReader, DecodesTheFirstValueOfEveryTypeFamily) {
    const struct {
        Bytes bytes;
        const char* value;
        std::size_t consumed;
    } cases[] = {
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
        // Reading stops after the first value; containers the input leaves open are accepted.
        {{0x01, 0x02}, "s1", 1},
        {{0x91, 0x01, 0xC1}, "[s1]", 2},
        {{0x92, 0x01}, "[s1]", 2},
        {{0x81, 0xA1, 0x61}, "{}", 3},
        {{0x82, 0xA1, 0x61, 0x01}, "{a:s1}", 4},
        // Declared counts far beyond the input cost nothing: elements arrive one by one.
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, "[s1]", 6},
        {{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 0x61, 0x01}, "{a:s1}", 8},
        // Repeated keys write into the same member; an existing collection stays and the second
        // array overwrites it from index 0.
        {{0x82, 0xA1, 0x61, 0x01, 0xA1, 0x61, 0x02}, "{a:s2}", 7},
        {{0x82, 0xA1, 0x61, 0x91, 0x01, 0xA1, 0x61, 0xA1, 0x78}, "{a:\"x\"}", 9},
        {{0x82, 0xA1, 0x61, 0x92, 0x01, 0x02, 0xA1, 0x61, 0x91, 0x03}, "{a:[s3,s2]}", 10},
        {{0x82, 0xA1, 0x61, 0x81, 0xA1, 0x78, 0x01, 0xA1, 0x61, 0x81, 0xA1, 0x79, 0x02},
         "{a:{x:s1,y:s2}}",
         13},
    };
    for (const auto& c : cases) {
        ExpectRead(c.bytes, c.value, c.consumed);
    }
}

TEST(MessagePackReader, FailsWithThePositionOfTheFault) {
    const struct {
        const char* message;
        std::size_t consumed;
        std::vector<Bytes> inputs;
    } cases[] = {
        {"Invalid MessagePack data at position 2. Map keys must be strings.",
         2,
         {{0x81, 0x01, 0x02}, {0x81, 0xC7}, {0x81, 0x90}}},
        {"Invalid MessagePack data at position 1.",
         1,
         {{0xC1},
          {0xC7},
          {0xC8, 0x00, 0x01, 0x01, 0x00},
          {0xC9},
          {0xD4, 0x01, 0x00},
          {0xD5},
          {0xD6},
          {0xD7},
          {0xD8}}},
        {"Invalid MessagePack data at position 2.", 2, {{0x91, 0xC1}}},
        {"Invalid MessagePack data. 8-bit integer value at position 1 is truncated.",
         1,
         {{0xCC}, {0xD0}, {0xD9}, {0xC4}}},
        {"Invalid MessagePack data. 16-bit integer value at position 1 is truncated.",
         1,
         {{0xCD}, {0xCD, 0x01}, {0xD1, 0x01}, {0xDA, 0x00}, {0xC5}, {0xDC, 0x00}, {0xDE}}},
        {"Invalid MessagePack data. 32-bit integer value at position 1 is truncated.",
         1,
         {{0xCE, 0x00, 0x00, 0x00},
          {0xD2},
          {0xCA, 0x00},
          {0xDB},
          {0xC6, 0x00},
          {0xDD},
          {0xDF, 0x00, 0x00}}},
        {"Invalid MessagePack data. 64-bit integer value at position 1 is truncated.",
         1,
         {{0xCF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0xD3}, {0xCB, 0x00}}},
        {"Invalid MessagePack data. 8-bit integer value at position 2 is truncated.",
         2,
         {{0x81, 0xD9}}},
        {"Invalid MessagePack data. String of size 5 at position 1 is truncated.",
         1,
         {{0xA5, 0x61, 0x62}}},
        {"Invalid MessagePack data. String of size 5 at position 2 is truncated.",
         2,
         {{0xD9, 0x05, 0x61}}},
        {"Invalid MessagePack data. String of size 2 at position 2 is truncated.",
         2,
         {{0x81, 0xA2, 0x61}}},
        {"Invalid MessagePack data. String of size 4294967295 at position 5 is truncated.",
         5,
         {{0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 0x61}}},
        {"Invalid MessagePack data. Raw bytes of size 3 at position 2 are truncated.",
         2,
         {{0xC4, 0x03, 0x61}}},
        {"Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are truncated.",
         5,
         {{0xC6, 0xFF, 0xFF, 0xFF, 0xFF}}},
    };
    for (const auto& c : cases) {
        for (const Bytes& bytes : c.inputs) {
            ExpectRead(bytes, "{error:\"" + std::string(c.message) + "\"}", c.consumed);
        }
    }
}

TEST(MessagePackReader, StopsAtTheNestingLimit) {
    constexpr std::size_t kMax = Velto::kMaxNestingDepth;
    const std::string tooDeep = "{error:\"" + std::string(Velto::kNestingTooDeepMessage) + "\"}";
    const std::string deepest =
        FormatsTesting::Repeated("[", kMax) + "~" + FormatsTesting::Repeated("]", kMax);
    const struct {
        Bytes opener;  // one level of nesting
        std::size_t levels;
        std::string value;
        std::size_t consumed;  // the failure comes right after the header one level too deep
    } cases[] = {
        {{0x91}, kMax, deepest, kMax + 1},
        {{0x91}, kMax + 1, tooDeep, kMax + 1},
        // Each level declares 2^32 - 1 elements: the memory taken follows the input instead.
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF}, kMax, deepest, kMax * 5 + 1},
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF}, kMax + 1, tooDeep, (kMax + 1) * 5},
        {{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0},
         kMax,
         FormatsTesting::Repeated("{:", kMax) + "~" + FormatsTesting::Repeated("}", kMax),
         kMax * 6 + 1},
        {{0x81, 0xA0},
         kMax,
         FormatsTesting::Repeated("{:", kMax) + "~" + FormatsTesting::Repeated("}", kMax),
         kMax * 2 + 1},
        {{0x81, 0xA0}, kMax + 1, tooDeep, kMax * 2 + 1},
        {{0x91}, 1000000, tooDeep, kMax + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.levels) + " levels");
        Bytes bytes;
        for (std::size_t level = 0; level < c.levels; ++level) {
            bytes.insert(bytes.end(), c.opener.begin(), c.opener.end());
        }
        bytes.push_back(0xC0);
        ExpectRead(bytes, c.value, c.consumed);
    }
}

}  // namespace
