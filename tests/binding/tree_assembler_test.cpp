#include "binding/tree_assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "binding/storage_context.h"
#include "tests/binding/conversion_test_support.h"
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

// The same through the assembler; false when a close fails, with `repeated` telling whether a
// repeated key was the reason.
bool Assemble(const std::vector<Record>& records, BindingProperty& tree, bool* repeated = nullptr) {
    TreeAssembler assembler(tree);
    bool closed = assembler.OpenCollection();
    for (std::size_t index = 0; closed && index < records.size(); ++index) {
        closed = assembler.OpenStructure();
        for (const auto& [key, number] : records[index]) {
            closed = closed && assembler.Key(key) && assembler.Store(number);
        }
        closed = closed && assembler.Close();
    }
    if (repeated != nullptr) {
        *repeated = assembler.RepeatedKey();
    }
    return closed && assembler.Close();
}

// "b,a | b,a,c": the records' keys, naming a case in failure messages.
std::string Keys(const std::vector<Record>& records) {
    std::string text;
    for (const Record& record : records) {
        text += text.empty() ? "" : " | ";
        for (const auto& [key, number] : record) {
            text += key + (&key == &record.back().first ? "" : ",");
        }
    }
    return text;
}

Record Numbered(const std::vector<std::string>& keys) {
    Record record;
    for (const std::string& key : keys) {
        record.emplace_back(key, static_cast<int64_t>(record.size()) * 10 + 1);
    }
    return record;
}

TEST(TreeAssembler, StructuresMatchThoseBuiltMemberByMember) {
    // Sibling records exercise the remembered keys: the same keys again, fewer, more, others,
    // another order, and keys that match the memory only at the start.
    const std::vector<std::vector<Record>> cases = {
        {Numbered({"summonerId", "name", "active", "xpBoost"}),
         Numbered({"summonerId", "name", "active", "xpBoost"}),
         Numbered({"summonerId", "name", "active", "xpBoost"})},
        {Numbered({"b", "a", "c"}), Numbered({"b", "a"}), Numbered({"b", "a", "c", "d"}),
         Numbered({"c", "a", "b"}), Numbered({"x"}), Numbered({}), Numbered({"b", "a", "c"})},
        {Numbered({"b", "a", "B"}), Numbered({"ab", "a", "", "abc"}), Numbered({"", "a"})},
    };
    for (const std::vector<Record>& records : cases) {
        SCOPED_TRACE(Keys(records));
        BindingProperty assembled;
        ASSERT_TRUE(Assemble(records, assembled));
        EXPECT_TRUE(TreeTesting::SameTree(assembled, BuiltByMembers(records)));
    }
}

TEST(TreeAssembler, LargeStructuresAndCollectionsKeepEveryChild) {
    std::vector<std::string> keys;
    for (int index = 0; index < 1000; ++index) {
        keys.push_back("key" + std::to_string(index));
    }
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    // More members than one leaf holds, then the same keys in another order.
    std::vector<Record> records = {Numbered(keys)};
    std::reverse(keys.begin(), keys.end());
    records.push_back(Numbered(keys));
    records.insert(records.end(), 500, Numbered({"z", "y"}));

    BindingProperty assembled;
    ASSERT_TRUE(Assemble(records, assembled));
    EXPECT_TRUE(TreeTesting::SameTree(assembled, BuiltByMembers(records)));
    EXPECT_EQ(assembled.Size(), records.size());
    // The reversed record numbers its keys backwards.
    const auto position = std::find(keys.begin(), keys.end(), "key999") - keys.begin();
    EXPECT_EQ(assembled.At(1).Find("key999").GetSigned(), position * 10 + 1);
    EXPECT_EQ(assembled.At(1).Size(), 1000u);
}

TEST(TreeAssembler, NestedContainersTextsAndScalars) {
    BindingProperty tree;
    {
        TreeAssembler assembler(tree);
        ASSERT_TRUE(assembler.OpenStructure());
        ASSERT_TRUE(assembler.Key("list"));
        ASSERT_TRUE(assembler.OpenCollection());
        ASSERT_TRUE(assembler.Store(true));
        ASSERT_TRUE(assembler.Store(uint64_t{18446744073709551615u}));
        ASSERT_TRUE(assembler.Store(-1.5));
        ASSERT_TRUE(assembler.StoreText("red"));
        ASSERT_TRUE(assembler.StoreText("red"));
        ASSERT_NE(assembler.Next(), nullptr);  // stays empty
        ASSERT_TRUE(assembler.OpenCollection());
        ASSERT_TRUE(assembler.Close());
        ASSERT_TRUE(assembler.Close());
        ASSERT_TRUE(assembler.Key("empty"));
        ASSERT_TRUE(assembler.OpenStructure());
        ASSERT_TRUE(assembler.Close());
        EXPECT_EQ(assembler.Depth(), 1u);
        ASSERT_TRUE(assembler.Close());
        EXPECT_EQ(assembler.Depth(), 0u);
    }
    EXPECT_EQ(ConversionTest::Render(tree),
              "{empty={},list=[bool:true,unsigned:18446744073709551615,float:-1.5,string:red,"
              "string:red,empty,[]]}");
}

TEST(TreeAssembler, ScalarRootsAndMisuse) {
    BindingProperty tree = "old";
    {
        TreeAssembler assembler(tree);
        EXPECT_TRUE(tree.IsEmpty());  // the root is reset
        ASSERT_TRUE(assembler.StoreText("text"));
    }
    EXPECT_EQ(tree.GetString(), "text");

    TreeAssembler assembler(tree);
    ASSERT_TRUE(assembler.OpenStructure());
    // A member's value needs its key first.
    EXPECT_EQ(assembler.Next(), nullptr);
    EXPECT_FALSE(assembler.Store(int64_t{1}));
}

TEST(TreeAssembler, RepeatedKeysFailTheClose) {
    const std::vector<std::vector<Record>> cases = {
        {Numbered({"a", "a"})},
        {Numbered({"a", "b"}), Numbered({"a", "a"})},
        {Numbered({"a", "b"}), Numbered({"a", "b", "a"})},
        {Numbered({"b", "c", "a", "c"})},
    };
    for (const std::vector<Record>& records : cases) {
        SCOPED_TRACE(Keys(records));
        BindingProperty tree;
        bool repeated = false;
        EXPECT_FALSE(Assemble(records, tree, &repeated));
        EXPECT_TRUE(repeated);
    }
}

TEST(TreeAssembler, AKeyWithoutAValueIsDropped) {
    BindingProperty tree;
    TreeAssembler assembler(tree);
    ASSERT_TRUE(assembler.OpenStructure());
    ASSERT_TRUE(assembler.Key("kept"));
    ASSERT_TRUE(assembler.Store(int64_t{1}));
    ASSERT_TRUE(assembler.Key("dangling"));
    ASSERT_TRUE(assembler.Close());
    EXPECT_EQ(tree.Size(), 1u);
    EXPECT_EQ(tree.Find("kept").GetSigned(), 1);
}

TEST(TreeAssembler, CollectionsOfAnnouncedSizeHoldWhatArrives) {
    // A collection of `announced` children, given `given` records {n: index, tags: [index, "t"]}
    // whose tags announce `tagsAnnounced`, at the root or as a member.
    struct Case {
        std::size_t announced;
        std::size_t given;
        std::size_t tagsAnnounced;
        bool asMember;
    };
    const Case cases[] = {
        {200, 200, 2, false}, {200, 150, 0, false}, {200, 200, 100, true},
        {64, 64, 64, true},   {63, 63, 2, false},   {100000, 3, 2, true},
    };
    for (const Case& c : cases) {
        BindingProperty assembled;
        {
            TreeAssembler assembler(assembled);
            if (c.asMember) {
                ASSERT_TRUE(assembler.OpenStructure(1));
                ASSERT_TRUE(assembler.Key("records"));
            }
            ASSERT_TRUE(assembler.OpenCollection(c.announced));
            for (std::size_t index = 0; index < c.given; ++index) {
                ASSERT_TRUE(assembler.OpenStructure(2));
                ASSERT_TRUE(assembler.Key("n") && assembler.Store(static_cast<int64_t>(index)));
                ASSERT_TRUE(assembler.Key("tags") && assembler.OpenCollection(c.tagsAnnounced));
                ASSERT_TRUE(assembler.Store(static_cast<int64_t>(index)));
                ASSERT_TRUE(assembler.StoreText("t"));
                ASSERT_TRUE(assembler.Close() && assembler.Close());
            }
            ASSERT_TRUE(assembler.Close());
            ASSERT_TRUE(!c.asMember || assembler.Close());
        }
        BindingProperty expected;
        BindingProperty& records = c.asMember ? expected.Member("records") : expected;
        records.MakeCollection();
        for (std::size_t index = 0; index < c.given; ++index) {
            BindingProperty& record = records.Append();
            record.Member("n") = static_cast<int64_t>(index);
            record.Member("tags").Append() = static_cast<int64_t>(index);
            record.Member("tags").Append() = "t";
        }
        EXPECT_TRUE(TreeTesting::SameTree(assembled, expected)) << c.announced << " " << c.given;
    }
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
