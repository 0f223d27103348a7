#include "formats/json_writer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/static_type.h"
#include "tests/platform/comma_decimal_locale.h"

namespace {

using Velto::BindingProperty;
using Velto::EnumValue;
using Velto::WriteJson;

struct ScalarCase {
    BindingProperty value;
    const char* text;
};

TEST(JsonWriter, WritesScalarsByKind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const ScalarCase cases[] = {
        {BindingProperty(true), "true"},
        {BindingProperty(false), "false"},
        {BindingProperty(int64_t{-5}), "-5"},
        {BindingProperty(int64_t{5}), "5"},
        {BindingProperty(INT64_MIN), "-9223372036854775808"},
        {BindingProperty(UINT64_MAX), "18446744073709551615"},
        {BindingProperty(0u), "0"},
        {BindingProperty(1.5), "1.5"},
        {BindingProperty(5.0), "5.0"},
        {BindingProperty(-0.0), "-0.0"},
        {BindingProperty(0.1), "0.1"},
        {BindingProperty(1e300), "1e300"},
        {BindingProperty(nan), "null"},
        {BindingProperty(infinity), "null"},
        {BindingProperty(-infinity), "null"},
        {BindingProperty("plain"), R"("plain")"},
        {BindingProperty(""), R"("")"},
        {BindingProperty("q\"b\\s/\n\t\x01"), R"("q\"b\\s/\n\t\u0001")"},
        {BindingProperty("caf\xc3\xa9"), "\"caf\xc3\xa9\""},
        {BindingProperty(std::vector<uint8_t>{'a', 'b', 'c'}), R"("YWJj")"},
        {BindingProperty(std::vector<uint8_t>{'a', 'b', 'c', 'd'}), R"("YWJjZA==")"},
        {BindingProperty(std::vector<uint8_t>{0xFF, 0x00}), R"("/wA=")"},
        {BindingProperty(std::vector<uint8_t>{}), R"("")"},
    };
    for (const ScalarCase& test : cases) {
        EXPECT_EQ(WriteJson(test.value), test.text) << "kind " << ValueKindName(test.value.Kind());
    }
}

TEST(JsonWriter, WritesAPointUnderACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    BindingProperty value;
    value.Member("f") = BindingProperty(127.5);
    value.Member("g") = BindingProperty(-1e-7);
    EXPECT_EQ(WriteJson(value), R"({"f":127.5,"g":-1e-7})");
}

TEST(JsonWriter, EmptyRootWritesNothingAndNestedEmptyWritesNull) {
    EXPECT_EQ(WriteJson(BindingProperty()), "");
    EXPECT_EQ(WriteJson(BindingProperty(), nullptr, "\n"), "");
    BindingProperty tree;
    tree.Append();
    tree.Append().Member("a");
    EXPECT_EQ(WriteJson(tree), R"([null,{"a":null}])");
}

TEST(JsonWriter, NonFiniteFloatsInsideContainersWriteNull) {
    BindingProperty tree;
    tree.Append() = 1.0;
    tree.Append() = std::numeric_limits<double>::quiet_NaN();
    tree.Append().Member("x") = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(WriteJson(tree), R"([1.0,null,{"x":null}])");
    EXPECT_EQ(WriteJson(tree, nullptr, "\n"),
              "[\n    1.0,\n    null,\n    {\n        \"x\": null\n    }\n]");
}

TEST(JsonWriter, WritesMembersInByteWiseNameOrder) {
    BindingProperty tree;
    tree.Member("b") = 1u;
    tree.Member("a") = 2u;
    tree.Member("B") = 3u;
    tree.Member("ab") = 4u;
    tree.Member("\xc3\xa9") = 5u;
    EXPECT_EQ(WriteJson(tree), "{\"B\":3,\"a\":2,\"ab\":4,\"b\":1,\"\xc3\xa9\":5}");
}

TEST(JsonWriter, WritesEmptyContainers) {
    BindingProperty structure;
    structure.MakeStructure();
    EXPECT_EQ(WriteJson(structure), "{}");
    EXPECT_EQ(WriteJson(structure, nullptr, "\n"), "{}");
    BindingProperty collection;
    collection.MakeCollection();
    EXPECT_EQ(WriteJson(collection), "[]");
    BindingProperty tree;
    tree.Member("s").MakeStructure();
    tree.Member("c").MakeCollection();
    EXPECT_EQ(WriteJson(tree), R"({"c":[],"s":{}})");
}

enum class Rank { Low, High };

TEST(JsonWriter, WritesEnumerationsByRegisteredName) {
    Velto::BindingRegistry registry;
    registry.RegisterEnum<Rank>("Rank").Value("Low", 0).Value("High", 7).Value("Alias", 7);
    const Velto::TypeIdentity* rank = &Velto::StaticType::HashCode<Rank>();
    const Velto::TypeIdentity* unregistered = &Velto::StaticType::HashCode<int>();
    struct EnumCase {
        EnumValue value;
        const Velto::BindingRegistry* registry;
        const char* text;
    };
    const EnumCase cases[] = {
        {{0, rank}, &registry, R"("Low")"},
        {{7, rank}, &registry, R"("Alias")"},  // the first name in name order
        {{3, rank}, &registry, "3"},
        {{-3, rank}, &registry, "-3"},
        {{INT32_MIN, rank}, &registry, "-2147483648"},
        {{7, rank}, nullptr, "7"},
        {{0, unregistered}, &registry, "0"},
        {{5, nullptr}, &registry, "5"},
    };
    for (const EnumCase& test : cases) {
        EXPECT_EQ(WriteJson(BindingProperty(test.value), test.registry), test.text)
            << "enum value " << test.value.value;
    }
    BindingProperty tree;
    tree.Member("rank") = EnumValue{7, rank};
    EXPECT_EQ(WriteJson(tree, &registry), R"({"rank":"Alias"})");
}

BindingProperty LayoutSample() {
    BindingProperty tree;
    tree.Member("name") = "a\nb";
    tree.Member("list").Append() = 1u;
    tree.Member("list").Append().Member("x") = true;
    tree.Member("empty").MakeStructure();
    return tree;
}

TEST(JsonWriter, NewlineSelectsCompactOrIndentedLayout) {
    const BindingProperty tree = LayoutSample();
    const std::string indented =
        "{\n"
        "    \"empty\": {},\n"
        "    \"list\": [\n"
        "        1,\n"
        "        {\n"
        "            \"x\": true\n"
        "        }\n"
        "    ],\n"
        "    \"name\": \"a\\nb\"\n"
        "}";
    struct LayoutCase {
        const char* newline;
        std::string text;
    };
    std::string crlf = indented;
    std::string bar = indented;
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) {
        crlf.replace(at, 1, "\r\n");
    }
    for (std::size_t at = bar.find('\n'); at != std::string::npos; at = bar.find('\n', at + 1)) {
        bar.replace(at, 1, "|");
    }
    const LayoutCase cases[] = {
        {nullptr, R"({"empty":{},"list":[1,{"x":true}],"name":"a\nb"})"},
        {"", R"({"empty":{},"list":[1,{"x":true}],"name":"a\nb"})"},
        {"\n", indented},
        {"\r\n", crlf},
        {"|", bar},
    };
    for (const LayoutCase& test : cases) {
        EXPECT_EQ(WriteJson(tree, nullptr, test.newline), test.text)
            << "newline \"" << (test.newline != nullptr ? test.newline : "(null)") << '"';
    }
}

TEST(JsonWriter, EveryIndentedLineEndsWithTheGivenNewline) {
    const std::string text = WriteJson(LayoutSample(), nullptr, "\r\n");
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at, ++lines) {
        ASSERT_GT(at, 0u);
        EXPECT_EQ(text[at - 1], '\r') << "line feed without carriage return at " << at;
    }
    EXPECT_EQ(lines, 9u);
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

}  // namespace
