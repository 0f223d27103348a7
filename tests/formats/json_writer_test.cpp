#include "formats/json_writer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/static_type.h"
#include "formats/json_reader.h"

namespace {

using Velto::BindingProperty;
using Velto::BindingResult;
using Velto::EnumValue;
using Velto::WriteJson;

TEST(JsonWriter, WritesScalarsByKind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [value, text] : std::initializer_list<std::pair<BindingProperty, const char*>>{
             {BindingProperty(true), "true"},
             {BindingProperty(int64_t{-5}), "-5"},
             {BindingProperty(UINT64_MAX), "18446744073709551615"},
             {BindingProperty(5.0), "5.0"},
             {BindingProperty(nan), "null"},
             {BindingProperty("q\"b\\s/\n\t\x01"), R"("q\"b\\s/\n\t\u0001")"},
             {BindingProperty(std::vector<uint8_t>{'a', 'b', 'c', 'd'}), R"("YWJjZA==")"},
             {BindingProperty(std::vector<uint8_t>{0xFF, 0x00}), R"("/wA=")"},
             {BindingProperty(std::vector<uint8_t>{}), R"("")"},
         }) {
        EXPECT_EQ(WriteJson(value), text) << "kind " << ValueKindName(value.Kind());
    }
}

TEST(JsonWriter, WritesContainersWithMembersInByteWiseNameOrder) {
    for (const auto& [json, compact, indented] :
         std::initializer_list<std::tuple<const char*, const char*, const char*>>{
             {"", "", ""},  // an empty root writes nothing
             {R"({"s": {}, "c": []})", R"({"c":[],"s":{}})", "{\n    \"c\": [],\n    \"s\": {}\n}"},
             {"{\"b\":1,\"a\":2,\"B\":3,\"ab\":4,\"\xc3\xa9\":5}",
              "{\"B\":3,\"a\":2,\"ab\":4,\"b\":1,\"\xc3\xa9\":5}",
              "{\n    \"B\": 3,\n    \"a\": 2,\n    \"ab\": 4,\n    \"b\": 1,\n    \"\xc3\xa9\": "
              "5\n}"},
         }) {
        const BindingResult tree = Velto::ReadJson(json);
        EXPECT_EQ(WriteJson(tree), compact) << json;
        EXPECT_EQ(WriteJson(tree, nullptr, "\n"), indented) << json;
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
    for (const auto& [value, names, text] :
         std::initializer_list<std::tuple<EnumValue, const Velto::BindingRegistry*, const char*>>{
             {{0, rank}, &registry, R"("Low")"},
             {{7, rank}, &registry, R"("Alias")"},  // the first name in name order
             {{3, rank}, &registry, "3"},
             {{7, rank}, nullptr, "7"},
             {{0, unregistered}, &registry, "0"},
             {{5, nullptr}, &registry, "5"},
         }) {
        EXPECT_EQ(WriteJson(BindingProperty(value), names), text) << "enum value " << value.value;
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

}  // namespace
