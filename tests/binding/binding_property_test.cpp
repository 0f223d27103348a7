#include "binding/binding_property.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "binding/binding_result.h"
#include "binding/page_allocator.h"
#include "diagnostics/memory_statistics.h"
#include "tests/binding/conversion_test_support.h"

namespace {

using ConversionTest::BytesInUse;
using ConversionTest::Render;
using Velto::BindingProperty;
using Velto::BindingResult;
using Velto::EnumValue;
using Velto::ValueKind;

enum class Colour { Red };
const Velto::TypeIdentity* const kColour = &Velto::StaticType::HashCode<Colour>();

std::vector<std::string> MemberNames(const BindingProperty& value) {
    std::vector<std::string> names;
    for (const Velto::MemberEntry& member : value.Members()) {
        names.emplace_back(member.Name());
    }
    return names;
}

// A tree with every kind in it.
BindingProperty SampleTree() {
    BindingProperty tree;
    tree.Member("flag") = true;
    tree.Member("count") = -42;
    tree.Member("size") = 42u;
    tree.Member("ratio") = 0.5;
    tree.Member("name") = "a text long enough to be interesting";
    tree.Member("bytes") = std::vector<uint8_t>{1, 2, 3};
    tree.Member("colour") = EnumValue{3, kColour};
    BindingProperty& list = tree.Member("list");
    for (int index = 0; index < 5; ++index) {
        list.At(index).Member("index") = index;
        list.At(index).Member("label") = "item";
    }
    tree.Member("nothing");
    return tree;
}

TEST(BindingProperty, KindNames) {
    std::string names;
    for (const int kind : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 255}) {
        names += Velto::ValueKindName(static_cast<ValueKind>(kind)) + std::string(",");
    }
    EXPECT_EQ(names, "empty,bool,signed,unsigned,float,string,blob,enum,collection,structure,,,");
}

TEST(BindingProperty, ConstructionSetsTheKindSizeAndZeronessAndReadsOfAnotherKindGiveTheDefault) {
    const uint8_t bytes[] = {9, 8};
    // What, the value, its kind, size and zeroness.
    const std::tuple<const char*, BindingProperty, ValueKind, std::size_t, bool> cases[] = {
        {"default", BindingProperty(), ValueKind::Empty, 0, true},
        {"false", BindingProperty(false), ValueKind::Bool, 1, true},
        {"true", BindingProperty(true), ValueKind::Bool, 1, false},
        {"int32 0", BindingProperty(0), ValueKind::Signed, 1, true},
        {"int32 -1", BindingProperty(-1), ValueKind::Signed, 1, false},
        {"uint32 0", BindingProperty(0u), ValueKind::Unsigned, 1, true},
        {"uint64", BindingProperty(uint64_t{1} << 63), ValueKind::Unsigned, 1, false},
        {"double -0", BindingProperty(-0.0), ValueKind::Float, 1, true},
        {"double NaN", BindingProperty(std::nan("")), ValueKind::Float, 1, false},
        {"C text", BindingProperty("abc"), ValueKind::String, 3, false},
        {"empty text", BindingProperty(""), ValueKind::String, 0, true},
        {"null C text", static_cast<const char*>(nullptr), ValueKind::String, 0, true},
        {"std::string", BindingProperty(std::string("text")), ValueKind::String, 4, false},
        {"byte span", BindingProperty(std::span<const uint8_t>(bytes)), ValueKind::Blob, 2, false},
        {"byte vector", BindingProperty(std::vector<uint8_t>{0}), ValueKind::Blob, 1, false},
        {"empty blob", BindingProperty(std::vector<uint8_t>{}), ValueKind::Blob, 0, true},
        {"enum 0", BindingProperty(EnumValue{0, kColour}), ValueKind::Enum, 1, true},
        {"enum 2", BindingProperty(EnumValue{2, kColour}), ValueKind::Enum, 1, false},
        {"empty collection", BindingProperty().MakeCollection(), ValueKind::Collection, 0, true},
        {"collection", SampleTree().Find("list"), ValueKind::Collection, 5, false},
        {"empty structure", BindingProperty().MakeStructure(), ValueKind::Structure, 0, true},
        {"structure", SampleTree(), ValueKind::Structure, 9, false},
    };
    const uint8_t fallbackBytes[] = {0xEE};
    for (const auto& [what, value, kind, size, zero] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(value.Kind(), kind);
        EXPECT_EQ(value.Size(), size);
        EXPECT_EQ(value.IsZero(), zero);
        // Reads of another kind give the default they are handed, and only those.
        EXPECT_EQ(value.GetBool(true) && !value.GetBool(false), kind != ValueKind::Bool);
        EXPECT_EQ(value.GetSigned(99) == 99, kind != ValueKind::Signed);
        EXPECT_EQ(value.GetUnsigned(99) == 99, kind != ValueKind::Unsigned);
        EXPECT_EQ(value.GetFloat(9.5) == 9.5, kind != ValueKind::Float);
        EXPECT_EQ(value.GetString("fallback") == "fallback", kind != ValueKind::String);
        EXPECT_EQ(value.GetBlob(fallbackBytes).data() == fallbackBytes, kind != ValueKind::Blob);
        EXPECT_EQ(value.GetEnum({-1, nullptr}).identity == nullptr, kind != ValueKind::Enum);
    }
    EXPECT_EQ(BindingProperty(uint32_t{0xFFFFFFFF}).GetUnsigned(), 0xFFFFFFFFu)
        << "unsigned 32-bit values are zero-extended";

    BindingProperty value = 7;
    value = std::string_view("view");
    EXPECT_EQ(value.GetString(), "view");
}

TEST(BindingProperty, AtGrowsWithEmptyElementsAndConstAccessOutOfRangeGivesTheSharedEmptyValue) {
    BindingProperty collection;
    collection.At(1) = 1;
    collection.Append() = "last";
    EXPECT_EQ(Render(collection), "[empty,signed:1,string:last]");
    const BindingProperty& constant = collection;
    const BindingProperty text = "abc";
    EXPECT_EQ(&constant.At(3), &BindingProperty::EmptyValue());
    EXPECT_EQ(&text.At(0), &BindingProperty::EmptyValue());
    EXPECT_EQ(&constant.Find("x"), &BindingProperty::EmptyValue());
}

TEST(BindingProperty, MovesHandThePayloadOverWithinATreeOrRootAndCopyBetweenTrees) {
    BindingProperty tree = SampleTree();
    BindingProperty taken = std::move(tree.Member("list"));
    EXPECT_EQ(taken.At(4).Find("label").GetString(), "item");
    EXPECT_TRUE(tree.Find("list").IsEmpty());
    EXPECT_EQ(tree.Size(), 9u) << "the member itself stays";

    BindingProperty other = SampleTree();
    other.Member("from tree") = std::move(taken.At(2));
    EXPECT_EQ(other.Find("from tree").Find("index").GetSigned(), 2);
    EXPECT_NE(other.Find("from tree").Find("label").GetString().data(),
              taken.At(3).Find("label").GetString().data())
        << "texts are re-interned in the target tree";
    EXPECT_TRUE(taken.At(2).IsEmpty());

    tree = SampleTree();
    const BindingProperty* firstItem = &tree.Find("list").At(0);
    BindingProperty& moved = tree.Member("moved");
    moved = std::move(tree.Member("list"));
    EXPECT_TRUE(tree.Find("list").IsEmpty());
    EXPECT_EQ(&tree.Find("moved").At(0), firstItem) << "the elements did not move";

    tree = std::move(tree.Member("moved"));
    EXPECT_EQ(tree.At(3).Find("index").GetSigned(), 3);
}

TEST(BindingProperty, CopiesWithinATreeShareTextsAndAncestorsGoIntoDescendantsAsCopies) {
    BindingProperty root;
    root.Member("x") = "shared";
    BindingProperty& self = root.Member("self");
    self = root;
    EXPECT_EQ(Render(root), "{self={self=empty,x=string:shared},x=string:shared}");
    EXPECT_EQ(root.Find("self").Find("x").GetString().data(), root.Find("x").GetString().data());
    root.Member("x") = 1;
    EXPECT_EQ(root.Find("self").Find("x").GetString(), "shared") << "the text outlives one holder";
    BindingProperty& alias = root;
    root = alias;
    EXPECT_EQ(Render(root), "{self={self=empty,x=string:shared},x=signed:1}") << "self-assignment";

    root.Member("inner").Member("deeper") = std::move(root);
    EXPECT_TRUE(root.IsEmpty());
    root.Member("again") = "usable";
    root.Member("reset") = "released";
    root.Member("reset").Reset();
    EXPECT_EQ(Render(root), "{again=string:usable,reset=empty}");
}

TEST(BindingProperty, SettersAcceptTextsAndBytesOfTheSameTree) {
    BindingProperty root;
    root.Member("a") = "the only copy of this text";
    root = root.Find("a").GetString();
    EXPECT_EQ(root.GetString(), "the only copy of this text");
    root = root.GetString();
    EXPECT_EQ(root.GetString(), "the only copy of this text");

    BindingProperty key = "key";
    key.Member(key.GetString()) = 1;
    EXPECT_EQ(MemberNames(key), std::vector<std::string>{"key"});

    BindingProperty bytes;
    bytes.Member("b") = std::vector<uint8_t>{5, 6, 7};
    bytes = bytes.Find("b").GetBlob();
    ASSERT_EQ(bytes.Size(), 3u);
    EXPECT_EQ(bytes.GetBlob()[2], 7);

    BindingResult result;
    result.Member("error") = "not a failure";
    EXPECT_EQ(result.FailureMessage(), "") << "a result that succeeded";
    result.SetFailure("Something went wrong.");
    result.SetFailure(result.FailureMessage());
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(Render(result), "{error=string:Something went wrong.}");
    result.Member("error") = 5;
    EXPECT_EQ(result.FailureMessage(), "") << "the error is not a text";
}

TEST(BindingProperty, BlobsAreCopiedOrMovedIn) {
    std::vector<uint8_t> source = {1, 2, 3};
    BindingProperty copied = source;
    BindingProperty moved = std::move(source);
    EXPECT_TRUE(source.empty()) << "a moved-in vector is left empty";
    EXPECT_TRUE(std::ranges::equal(copied.GetBlob(), moved.GetBlob()));
}

void BuildRecords() {
    BindingProperty tree;
    tree.Reserve(2000);
    for (int index = 0; index < 2000; ++index) {
        BindingProperty& record = tree.At(index);
        record.Member("id") = index;
        record.Member("name") = "record " + std::to_string(index);
        record.Member("tags").At(3) = "tag";
    }
}

TEST(BindingProperty, TreesAllocateFromTheCountedHeapAndReleaseEverything) {
    // The page allocator keeps one spare slab and its slab table: the first tree creates them.
    BuildRecords();
    const std::size_t pagesBefore = Velto::ReadPageStatistics().pagesInUse;
    const uint64_t bytesBefore = BytesInUse();
    const uint64_t allocationsBefore = Velto::ReadMemoryStatistics().allocationCount;
    BuildRecords();
    EXPECT_GT(Velto::ReadMemoryStatistics().allocationCount, allocationsBefore)
        << "storage comes from the counted heap";
    EXPECT_EQ(BytesInUse(), bytesBefore) << "destroying the tree gives back every byte";
    EXPECT_EQ(Velto::ReadPageStatistics().pagesInUse, pagesBefore);
}

TEST(BindingProperty, AccessBeyondTheElementLimitGoesToADiscardedScratchValue) {
    BindingProperty collection;
    BindingProperty& scratch = collection.At(BindingProperty::kMaxElements);
    scratch = "discarded";
    EXPECT_EQ(collection.Size(), 0u);
    EXPECT_TRUE(collection.At(BindingProperty::kMaxElements).IsEmpty())
        << "the scratch value is emptied before it is handed out again";
    EXPECT_FALSE(collection.Reserve(BindingProperty::kMaxElements + 1));
    EXPECT_TRUE(collection.Reserve(10));
}

TEST(BindingProperty, MembersIterateInByteWiseNameOrderAndViewsOfOtherKindsAreEmpty) {
    // Upper case first, a prefix before its extensions, also across a word of 8 bytes, a NUL
    // inside a name, bytes as unsigned; a name given again is the same member.
    const std::vector<std::string> inserted = {
        "b", "a", "B", "ab", "", "\xC3\xA9", "z", "abcdefghi", "abcdefgh", std::string("a\0", 2),
        "b"};
    const std::vector<std::string> ordered = {
        "", "B", "a", std::string("a\0", 2), "ab", "abcdefgh", "abcdefghi", "b", "z", "\xC3\xA9"};
    BindingProperty names;
    for (const std::string& name : inserted) {
        names.Member(name) = name;
    }
    EXPECT_EQ(MemberNames(names), ordered);
    for (const std::string& name : ordered) {
        EXPECT_EQ(names.Find(name).GetString(), name);
    }

    BindingProperty text = "text";
    EXPECT_TRUE(text.Elements().empty());
    EXPECT_TRUE(MemberNames(text).empty());
    BindingProperty structure;
    EXPECT_TRUE(structure.ReserveMembers(8));
    EXPECT_EQ(Render(structure), "{}");
    structure.Member("only");
    for (Velto::MemberEntry& member : structure.Members()) {
        member.Value() = 3;
    }
    EXPECT_EQ(Render(structure), "{only=signed:3}");
}

}  // namespace
