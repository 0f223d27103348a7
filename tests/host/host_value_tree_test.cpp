// The test host's own value trees: JSON in and out, deep copies of borrowed values.
#include "host/host_value_tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

using namespace Velto::TestHost;
using namespace Velto::Client;

TEST(HostValueTree, ReadsJsonIntoTheHostTagsAndWritesItBack) {
    struct Row {
        const char* input;
        const char* output;
        uint32_t type;
    };
    const Row rows[] = {
        {"null", "null", kHostNull},
        {" true ", "true", kHostBool},
        {"-5", "-5", kHostSigned},
        {"-9223372036854775808", "-9223372036854775808", kHostSigned},
        {"9223372036854775807", "9223372036854775807", kHostSigned},
        {"9223372036854775808", "9223372036854775808", kHostUnsigned},
        {"1.5", "1.5", kHostFloat},
        {R"("a\"b\n")", R"("a\"b\n")", kHostOwnedText},
        {R"("\u0000x")", R"("\u0000x")", kHostOwnedText},
        {"[1, [2, {}], []]", "[1,[2,{}],[]]", kHostArray},
        {R"({"b": 1, "a": [], "b": 2})", R"({"b":1,"a":[],"b":2})", kHostObject},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input);
        std::string error;
        std::optional<HostValueTree> tree = HostValueTree::FromJson(row.input, &error);
        ASSERT_TRUE(tree.has_value()) << error;
        EXPECT_EQ(tree->ToJson(), row.output);
        EXPECT_EQ(tree->Type(), row.type);
    }
    // The ownership flag is a packed field: read by value.
    const std::optional<HostValueTree> object = HostValueTree::FromJson(R"({"k": "v"})");
    ASSERT_TRUE(object.has_value());
    const int ownsKey = object->Value().payload.object.entries[0].ownsKey;
    EXPECT_EQ(ownsKey, 1) << "keys of host-built objects are owned";
}

TEST(HostValueTree, AcceptsNestingUpToTheLimitAndRejectsDeeper) {
    const std::size_t limit = kMaxHostValueDepth;
    const std::string deepest = std::string(limit, '[') + std::string(limit, ']');
    EXPECT_TRUE(HostValueTree::FromJson(deepest).has_value());

    const std::string tooDeep = std::string(limit + 1, '[') + std::string(limit + 1, ']');
    std::string error;
    EXPECT_FALSE(HostValueTree::FromJson(tooDeep, &error).has_value());
    EXPECT_NE(error.find("nested deeper than 256 levels"), std::string::npos) << error;
}

TEST(HostValueTree, CopiesABorrowedValueDeeplyKeepingItsTags) {
    // Null pointers copy as empty; an unknown tag is named.
    char text[] = "borrowed";
    uint8_t bytes[] = {0x00, 0xff, 0x10};
    char key[] = "key";
    HostValue items[5]{};
    items[0].type = kHostBorrowedText;
    items[0].payload.text = {text, 8};
    items[1].type = kHostBorrowedBytes;
    items[1].payload.bytes = {bytes, 3};
    items[2].type = kHostOwnedText;
    items[2].payload.text = {nullptr, 5};
    items[3].type = kHostArray;
    items[3].payload.array = {nullptr, 7};
    items[4].type = 42;
    HostObjectEntry entry{key, HostValue{}, 0};
    entry.value.type = kHostArray;
    entry.value.payload.array = {items, 5};
    HostValue source{};
    source.type = kHostObject;
    source.payload.object = {&entry, 1};

    const HostValueTree copy = HostValueTree::CopyOf(source);
    std::memset(text, 'x', 8);
    bytes[0] = 0x55;
    key[0] = 'K';

    EXPECT_EQ(copy.ToJson(), R"({"key":["borrowed","AP8Q","",[],"<HostValue type 42>"]})");
    // The source was overwritten: the copy's texts are its own. Packed fields are read by value.
    const HostObjectEntry& copied = copy.Value().payload.object.entries[0];
    const int ownsKey = copied.ownsKey;
    const HostValue* copiedItems = copied.value.payload.array.items;
    const uint32_t types[] = {copiedItems[0].type, copiedItems[1].type};
    EXPECT_EQ(ownsKey, 0) << "the key's ownership flag is kept";
    EXPECT_EQ(types[0], kHostBorrowedText);
    EXPECT_EQ(types[1], kHostBorrowedBytes);
}

TEST(HostValueTree, CutsCopiesNestedDeeperThanTheLimit) {
    std::vector<HostValue> chain(kMaxHostValueDepth + 2);
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        chain[i].type = kHostArray;
        chain[i].payload.array = {&chain[i + 1], 1};
    }
    chain.back().type = kHostSigned;
    const std::string json = HostValueTree::CopyOf(chain.front()).ToJson();
    EXPECT_EQ(json,
              std::string(kMaxHostValueDepth, '[') + "[]" + std::string(kMaxHostValueDepth, ']'));
}

TEST(HostValueTree, WritesBytesAsBase64AndNonFiniteFloatsAsTexts) {
    EXPECT_EQ(HostValueTree::Bytes("").ToJson(), R"("")");
    EXPECT_EQ(HostValueTree::Bytes("a").ToJson(), R"("YQ==")");
    EXPECT_EQ(HostValueTree::Bytes("ab").ToJson(), R"("YWI=")");
    EXPECT_EQ(HostValueTree::Bytes("abc", true).ToJson(), R"("YWJj")");
    EXPECT_EQ(HostValueTree::Bytes("abc", true).Type(), kHostBorrowedBytes);
    EXPECT_EQ(HostValueTree::Float(NAN).ToJson(), R"("NaN")");
    EXPECT_EQ(HostValueTree::Float(-INFINITY).ToJson(), R"("-Infinity")");
}

TEST(HostValueTree, BuildsTreesAndCopiesThemDeeply) {
    std::vector<std::pair<std::string, HostValueTree>> members;
    members.emplace_back("n", HostValueTree::Unsigned(7));
    std::vector<HostValueTree> items;
    items.push_back(HostValueTree::Text("t", true));
    items.push_back(HostValueTree::Bool(false));
    members.emplace_back("list", HostValueTree::Array(std::move(items)));
    HostValueTree tree = HostValueTree::Object(std::move(members));
    const std::string json = R"({"n":7,"list":["t",false]})";
    ASSERT_EQ(tree.ToJson(), json);

    HostValueTree copy = tree;
    const HostObjectEntry* copyEntries = copy.Value().payload.object.entries;
    const HostObjectEntry* treeEntries = tree.Value().payload.object.entries;
    EXPECT_NE(copyEntries, treeEntries);
    HostValueTree moved = std::move(tree);
    EXPECT_EQ(tree.Type(), kHostNull) << "a moved-from tree is null";
    copy = moved;
    EXPECT_EQ(copy.ToJson(), json);
    EXPECT_EQ(moved.ToJson(), json);
}

}  // namespace
