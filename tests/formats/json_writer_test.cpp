#include "formats/json_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/static_type.h"
#include "formats/json_reader.h"
#include "tests/binding/same_tree.h"

namespace {

using Velto::BindingProperty;
using Velto::BindingResult;
using Velto::EnumValue;
using Velto::WriteJson;

TEST(JsonWriter, WritesScalarsByKind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        BindingProperty value;
        const char* text;
    } cases[] = {
        {BindingProperty(true), "true"},
        {BindingProperty(int64_t{-5}), "-5"},
        {BindingProperty(UINT64_MAX), "18446744073709551615"},
        {BindingProperty(5.0), "5.0"},
        {BindingProperty(nan), "null"},
        {BindingProperty("q\"b\\s/\n\t\x01"), R"("q\"b\\s/\n\t\u0001")"},
        {BindingProperty(std::vector<uint8_t>{'a', 'b', 'c', 'd'}), R"("YWJjZA==")"},
        {BindingProperty(std::vector<uint8_t>{0xFF, 0x00}), R"("/wA=")"},
        {BindingProperty(std::vector<uint8_t>{}), R"("")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteJson(c.value), c.text) << "kind " << ValueKindName(c.value.Kind());
    }
}

TEST(JsonWriter, WritesContainersWithMembersInByteWiseNameOrder) {
    const struct {
        const char* tree;  // as JSON
        const char* compact;
        const char* indented;
    } cases[] = {
        {"", "", ""},  // an empty root writes nothing
        {R"({"s": {}, "c": []})", R"({"c":[],"s":{}})", "{\n    \"c\": [],\n    \"s\": {}\n}"},
        {"{\"b\":1,\"a\":2,\"B\":3,\"ab\":4,\"\xc3\xa9\":5}",
         "{\"B\":3,\"a\":2,\"ab\":4,\"b\":1,\"\xc3\xa9\":5}",
         "{\n    \"B\": 3,\n    \"a\": 2,\n    \"ab\": 4,\n    \"b\": 1,\n    \"\xc3\xa9\": 5\n}"},
    };
    for (const auto& c : cases) {
        const BindingResult tree = Velto::ReadJson(c.tree);
        EXPECT_EQ(WriteJson(tree), c.compact) << c.tree;
        EXPECT_EQ(WriteJson(tree, nullptr, "\n"), c.indented) << c.tree;
    }
    // Inside containers, empty values and floats JSON cannot carry write null. A newline other
    // than "\n" ends the indented layout's lines; the empty one asks for the compact layout.
    BindingProperty tree;
    tree.Append() = 1.0;
    tree.Append() = std::numeric_limits<double>::quiet_NaN();
    tree.Append().Member("x") = -std::numeric_limits<double>::infinity();
    tree.Append();
    tree.Append() = "a\nb";
    EXPECT_EQ(WriteJson(tree, nullptr, ""), R"([1.0,null,{"x":null},null,"a\nb"])");
    EXPECT_EQ(
        WriteJson(tree, nullptr, "\r\n"),
        "[\r\n    1.0,\r\n    null,\r\n    {\r\n        \"x\": null\r\n    },\r\n    null,\r\n"
        "    \"a\\nb\"\r\n]");
}

enum class Rank { Low, High };

TEST(JsonWriter, WritesEnumerationsByRegisteredName) {
    Velto::BindingRegistry registry;
    registry.RegisterEnum<Rank>("Rank").Value("Low", 0).Value("High", 7).Value("Alias", 7);
    const Velto::TypeIdentity* rank = &Velto::StaticType::HashCode<Rank>();
    const Velto::TypeIdentity* unregistered = &Velto::StaticType::HashCode<int>();
    const struct {
        EnumValue value;
        const Velto::BindingRegistry* registry;
        const char* text;
    } cases[] = {
        {{0, rank}, &registry, R"("Low")"},
        {{7, rank}, &registry, R"("Alias")"},  // the first name in name order
        {{3, rank}, &registry, "3"},
        {{7, rank}, nullptr, "7"},
        {{0, unregistered}, &registry, "0"},
        {{5, nullptr}, &registry, "5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteJson(BindingProperty(c.value), c.registry), c.text)
            << "enum value " << c.value.value;
    }
}

// Deeper than any recursive walk could go on a default stack.
TEST(JsonWriter, WritesVeryDeepTreesWithoutRecursion) {
    constexpr std::size_t kDepth = 200000;
    BindingProperty root;
    std::vector<BindingProperty*> levels{&root};
    for (std::size_t level = 0; level < kDepth; ++level) {
        levels.push_back(&levels.back()->Append());
    }
    const std::string text = WriteJson(root);
    EXPECT_EQ(text, std::string(kDepth, '[') + "null" + std::string(kDepth, ']'));
    // Releasing from the innermost level out keeps the value's own recursive release shallow.
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        (*level)->Reset();
    }
}

// Random trees of every kind JSON carries both ways: blobs and enumerations read back as strings
// or numbers (the writer's own tests cover them), a signed value only reads back signed when
// negative, and a text loses what follows a NUL.
class RandomTrees {
  public:
    explicit RandomTrees(uint32_t seed) : random_(seed) {}

    void Fill(BindingProperty& value, int depth) {
        const uint32_t kind = Below(depth < 6 ? 9 : 7);
        if (kind == 0) {
            value.Reset();
        } else if (kind == 1) {
            value = Below(2) == 1;
        } else if (kind == 2) {
            value = -static_cast<int64_t>((random_() >> 1) >> Below(63)) - 1;
        } else if (kind == 3) {
            value = static_cast<uint64_t>(random_() >> Below(64));
        } else if (kind == 4) {
            value = FiniteDouble();
        } else if (kind <= 6) {
            value = Text();
        } else {
            kind == 7 ? value.MakeCollection() : value.MakeStructure();
            for (uint32_t count = Below(6); count > 0; --count) {
                Fill(kind == 7 ? value.Append() : value.Member(Text()), depth + 1);
            }
        }
    }

  private:
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(random_() % bound); }

    // Any finite double by its bits, or a short binary fraction.
    double FiniteDouble() {
        const double bits = std::bit_cast<double>(static_cast<uint64_t>(random_()));
        return Below(2) == 0 && std::isfinite(bits) ? bits
                                                    : static_cast<double>(random_() % 100000) / 64;
    }

    // Any bytes but NUL; invalid UTF-8 passes through.
    std::string Text() {
        std::string text(Below(12), ' ');
        for (char& c : text) {
            c = static_cast<char>(Below(2) == 0 ? 'a' + Below(26) : 1 + Below(255));
        }
        return text;
    }

    std::mt19937_64 random_;
};

TEST(JsonRoundTrip, WrittenRandomTreesReadBackEqual) {
    RandomTrees trees(20261206);
    for (int round = 0; round < 3000; ++round) {
        BindingProperty tree;
        trees.Fill(tree, 0);
        for (const char* newline : {static_cast<const char*>(nullptr), "\n", "\r\n"}) {
            const std::string text = WriteJson(tree, nullptr, newline);
            const BindingResult read = Velto::ReadJson(text);
            ASSERT_TRUE(read.succeeded)
                << "round " << round << ": " << read.FailureMessage() << "\n"
                << text;
            ASSERT_TRUE(TreeTesting::SameTree(tree, read)) << "round " << round << " wrote\n"
                                                           << text << "\nand read back\n"
                                                           << WriteJson(read);
        }
    }
}

}  // namespace
