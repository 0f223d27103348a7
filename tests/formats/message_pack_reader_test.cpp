#include "formats/message_pack_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "formats/nesting_limit.h"
#include "tests/binding/conversion_test_support.h"
#include "tests/formats/formats_test_support.h"

namespace {

using ConversionTest::Render;
using FormatsTesting::Repeated;
using Velto::BindingResult;

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    std::istringstream words(hex);
    for (std::string word; words >> word;) {
        bytes.push_back(static_cast<uint8_t>(std::strtoul(word.c_str(), nullptr, 16)));
    }
    return bytes;
}

// Reads `bytes` and checks the value read (or the failure) and how many bytes were consumed.
void ExpectRead(const Bytes& bytes, const std::string& value, std::size_t consumed) {
    std::size_t read = 12345;
    const BindingResult result = Velto::ReadMessagePack(bytes.data(), bytes.size(), read);
    EXPECT_EQ(Render(result), value);
    EXPECT_EQ(result.succeeded, value.rfind("{error=", 0) != 0) << result.FailureMessage();
    EXPECT_EQ(read, consumed);
}

std::string Failure(const std::string& message) {
    return "{error=string:" + message + "}";
}

TEST(MessagePackReader, DecodesTheFirstValueOfEveryTypeFamily) {
    // "bytes => value", and " @n" when only the first n bytes are read.
    const char* const cases[] = {
        // Each type family, its boundaries and its empty forms.
        "=> empty", "00 => signed:0", "7F => signed:127", "E0 => signed:-32", "FF => signed:-1",
        "C0 => empty", "C2 => bool:false", "C3 => bool:true", "CC FF => unsigned:255",
        "CD 01 02 => unsigned:258", "CE 80 00 00 00 => unsigned:2147483648",
        "CF FF FF FF FF FF FF FF FF => unsigned:18446744073709551615", "D0 FF => signed:-1",
        "D1 FF FE => signed:-2", "D2 80 00 00 00 => signed:-2147483648",
        "D3 80 00 00 00 00 00 00 00 => signed:-9223372036854775808", "CA 3F C0 00 00 => float:1.5",
        "CB 40 04 00 00 00 00 00 00 => float:2.5", "A0 => string:", "A3 61 62 63 => string:abc",
        "D9 02 68 69 => string:hi", "DA 00 01 78 => string:x", "DB 00 00 00 01 79 => string:y",
        "C4 02 61 00 => blob:YQA=", "C5 00 01 FF => blob:/w==", "C6 00 00 00 00 => blob:",
        "90 => []", "92 01 02 => [signed:1,signed:2]", "DC 00 01 C0 => [empty]",
        "DD 00 00 00 00 => []", "80 => {}", "82 A1 62 01 A1 61 02 => {a=signed:2,b=signed:1}",
        "DE 00 01 A1 6B C3 => {k=bool:true}", "DF 00 00 00 00 => {}",
        "81 D9 01 61 01 => {a=signed:1}", "81 A0 01 => {=signed:1}",
        "81 A1 61 91 81 A1 62 C0 => {a=[{b=empty}]}", "93 90 80 91 90 => [[],{},[[]]]",
        // Reading stops after the first value; containers the input leaves open are accepted.
        "01 02 => signed:1 @1", "91 01 C1 => [signed:1] @2", "92 01 => [signed:1]",
        "81 A1 61 => {}", "82 A1 61 01 => {a=signed:1}",
        // Declared counts far beyond the input cost nothing: elements arrive one by one.
        "DD FF FF FF FF 01 => [signed:1]", "DF FF FF FF FF A1 61 01 => {a=signed:1}",
        // Repeated keys write into the same member; an existing collection stays and the second
        // array overwrites it from index 0.
        "82 A1 61 01 A1 61 02 => {a=signed:2}", "82 A1 61 91 01 A1 61 A1 78 => {a=string:x}",
        "82 A1 61 92 01 02 A1 61 91 03 => {a=[signed:3,signed:2]}",
        "82 A1 61 81 A1 78 01 A1 61 81 A1 79 02 => {a={x=signed:1,y=signed:2}}"};
    for (const std::string row : cases) {
        SCOPED_TRACE(row);
        const std::size_t arrow = row.find("=>");
        const std::size_t at = row.find(" @");
        const Bytes bytes = FromHex(row.substr(0, arrow));
        ExpectRead(bytes, row.substr(arrow + 3, at - arrow - 3),
                   at == std::string::npos ? bytes.size() : std::stoul(row.substr(at + 2)));
    }
}

// Each message follows "Invalid MessagePack data"; the reading stops at the position it names.
TEST(MessagePackReader, FailsWithThePositionOfTheFault) {
    for (const auto& [tail, inputs] :
         std::initializer_list<std::pair<const char*, std::vector<const char*>>>{
             {" at position 2. Map keys must be strings.", {"81 01 02", "81 C7", "81 90"}},
             {" at position 1.",
              {"C1", "C7", "C8 00 01 01 00", "C9", "D4 01 00", "D5", "D6", "D7", "D8"}},
             {" at position 2.", {"91 C1"}},
             {". 8-bit integer value at position 1 is truncated.", {"CC", "D0", "D9", "C4"}},
             {". 16-bit integer value at position 1 is truncated.",
              {"CD", "CD 01", "D1 01", "DA 00", "C5", "DC 00", "DE"}},
             {". 32-bit integer value at position 1 is truncated.",
              {"CE 00 00 00", "D2", "CA 00", "DB", "C6 00", "DD", "DF 00 00"}},
             {". 64-bit integer value at position 1 is truncated.",
              {"CF 00 00 00 00 00 00 00", "D3", "CB 00"}},
             {". 8-bit integer value at position 2 is truncated.", {"81 D9"}},
             {". String of size 5 at position 1 is truncated.", {"A5 61 62"}},
             {". String of size 5 at position 2 is truncated.", {"D9 05 61"}},
             {". String of size 2 at position 2 is truncated.", {"81 A2 61"}},
             {". String of size 4294967295 at position 5 is truncated.", {"DB FF FF FF FF 61"}},
             {". Raw bytes of size 3 at position 2 are truncated.", {"C4 03 61"}},
             {". Raw bytes of size 4294967295 at position 5 are truncated.", {"C6 FF FF FF FF"}},
         }) {
        const std::string message = tail;
        const std::size_t position = std::stoul(message.substr(message.find("position ") + 9));
        for (const char* input : inputs) {
            SCOPED_TRACE(input);
            ExpectRead(FromHex(input), Failure("Invalid MessagePack data" + message), position);
        }
    }
}

TEST(MessagePackReader, StopsAtTheNestingLimit) {
    constexpr std::size_t kMax = Velto::kMaxNestingDepth;
    const std::string tooDeep = Failure(Velto::kNestingTooDeepMessage);
    const std::string deepest = Repeated("[", kMax) + "empty" + Repeated("]", kMax);
    const std::string deepestMap = Repeated("{=", kMax) + "empty" + Repeated("}", kMax);
    const struct {
        const char* opener;  // one level of nesting
        std::size_t levels;
        std::string value;
        std::size_t consumed;  // the failure comes right after the header one level too deep
    } cases[] = {
        {"91", kMax, deepest, kMax + 1},
        {"91", kMax + 1, tooDeep, kMax + 1},
        // Each level declares 2^32 - 1 elements: the memory taken follows the input instead.
        {"DD FF FF FF FF", kMax, deepest, kMax * 5 + 1},
        {"DD FF FF FF FF", kMax + 1, tooDeep, (kMax + 1) * 5},
        {"DF FF FF FF FF A0", kMax, deepestMap, kMax * 6 + 1},
        {"81 A0", kMax, deepestMap, kMax * 2 + 1},
        {"81 A0", kMax + 1, tooDeep, kMax * 2 + 1},
        {"91", 1000000, tooDeep, kMax + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.opener) + " times " + std::to_string(c.levels));
        ExpectRead(FromHex(Repeated(std::string(c.opener) + " ", c.levels) + "C0"), c.value,
                   c.consumed);
    }
}

}  // namespace
