#include "binding/tree_assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/binding/same_tree.h"

namespace Velto {
namespace {

// One record: its keys in the order given, each with a number.
using Record = std::vector<std::pair<std::string, int64_t>>;

// The records as a collection of structures, built member by member.
BindingProperty BuiltByMembers(const std::vector<Record>& records) {
    BindingProperty tree;
    tree.MakeCollection();
    for (const Record& record : records) {
        BindingProperty& structure = tree.Append();
        structure.MakeStructure();
        for (const auto& [key, number] : record) {
            structure.Member(key) = number;
        }
    }
    return tree;
}

// The same through the assembler, the collection announcing `announced` children; false when a
// close fails.
bool Assemble(const std::vector<Record>& records, BindingProperty& tree, std::size_t announced) {
    TreeAssembler assembler(tree);
    bool closed = assembler.OpenCollection(announced);
    for (std::size_t index = 0; closed && index < records.size(); ++index) {
        closed = assembler.OpenStructure();
        for (const auto& [key, number] : records[index]) {
            closed = closed && assembler.Key(key) && assembler.Store(number);
        }
        closed = closed && assembler.Close();
    }
    return closed && assembler.Close();
}

Record Numbered(const std::vector<std::string>& keys) {
    Record record;
    for (const std::string& key : keys) {
        record.emplace_back(key, static_cast<int64_t>(record.size()) * 10 + 1);
    }
    return record;
}

TEST(TreeAssembler, StructuresAndCollectionsMatchThoseBuiltMemberByMember) {
    std::vector<std::string> keys;
    for (int index = 0; index < 1000; ++index) {
        keys.push_back("key" + std::to_string(index));
    }
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    // More members than one leaf holds, then the same keys in another order; then siblings that
    // exercise the remembered keys: the same again, fewer, more, others, another order, none,
    // and keys that match the memory only at the start.
    std::vector<Record> records = {Numbered(keys)};
    std::reverse(keys.begin(), keys.end());
    records.push_back(Numbered(keys));
    const std::vector<std::string> siblings[] = {
        {"b", "a", "c"},        {"b", "a", "c"}, {"b", "a"}, {"b", "a", "c", "d"},
        {"c", "a", "b"},        {"x"},           {},         {"b", "a", "B"},
        {"ab", "a", "", "abc"}, {"", "a"},
    };
    for (const std::vector<std::string>& sibling : siblings) {
        records.push_back(Numbered(sibling));
    }
    records.insert(records.end(), 500, Numbered({"z", "y"}));
    // From 64 announced children on, the collection is assembled in place; fewer may arrive.
    const std::pair<std::size_t, std::size_t> counts[] = {
        {0, records.size()}, {63, 63}, {64, 64}, {records.size() + 50, records.size()}, {100000, 3},
    };
    for (const auto& [announced, given] : counts) {
        SCOPED_TRACE("announced " + std::to_string(announced) + ", given " + std::to_string(given));
        const std::vector<Record> part(records.begin(), records.begin() + given);
        BindingProperty assembled;
        ASSERT_TRUE(Assemble(part, assembled, announced));
        EXPECT_TRUE(TreeTesting::SameTree(assembled, BuiltByMembers(part)));
    }
}

TEST(TreeAssembler, ScalarRootsAndMisuse) {
    BindingProperty tree = "old";
    {
        TreeAssembler assembler(tree);
        EXPECT_TRUE(tree.IsEmpty());  // the root is reset
        ASSERT_TRUE(assembler.StoreText("text"));
        EXPECT_EQ(assembler.Depth(), 0u);
    }
    EXPECT_EQ(tree.GetString(), "text");

    TreeAssembler assembler(tree);
    ASSERT_TRUE(assembler.OpenStructure());
    EXPECT_EQ(assembler.Depth(), 1u);
    // A member's value needs its key first.
    EXPECT_EQ(assembler.Next(), nullptr);
    EXPECT_FALSE(assembler.Store(int64_t{1}));
}

TEST(TreeAssembler, AnnouncedCollectionsMayRefuseMore) {
    BindingProperty tree;
    TreeAssembler assembler(tree);
    ASSERT_TRUE(assembler.OpenCollection(100));
    for (int index = 0; index < 100; ++index) {
        ASSERT_TRUE(assembler.Store(int64_t{index}));
    }
    EXPECT_FALSE(assembler.Store(int64_t{100}));
    EXPECT_FALSE(assembler.StoreText("more"));
    EXPECT_FALSE(assembler.OpenStructure());
    ASSERT_TRUE(assembler.Close());
    ASSERT_EQ(tree.Size(), 100u);
    EXPECT_EQ(tree.At(99).GetSigned(), 99);
}

}  // namespace
}  // namespace Velto
