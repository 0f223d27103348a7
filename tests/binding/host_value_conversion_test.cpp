#include "binding/host_value_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/static_type.h"
#include "diagnostics/memory_statistics.h"
#include "tests/binding/conversion_test_support.h"

namespace {

using ConversionTest::BytesInUse;
using ConversionTest::Render;
using Velto::BindingProperty;
using namespace Velto::Client;
using Payload = HostValue::Payload;

enum class Level : int32_t { Low = 1, High = 2 };

// A value tagged `type`, zero but for the payload member `field`, when given, set to `value`.
template <class T = uint8_t>
HostValue Tagged(uint32_t type, T Payload::*field = nullptr, std::type_identity_t<T> value = {}) {
    HostValue host;
    std::memset(&host, 0, sizeof host);
    host.type = type;
    if (field != nullptr) {
        // The record is packed: the member is set in an aligned payload, then copied in.
        alignas(8) unsigned char aligned[sizeof(Payload)] = {};
        Payload* payload = new (aligned) Payload{};
        payload->*field = value;
        std::memcpy(&host.payload, payload, sizeof(Payload));
    }
    return host;
}

HostValue Text(uint32_t type, const char* text, uint32_t length) {
    return Tagged(type, &Payload::text, {text, length});
}

HostValue Array(HostValue* items, uint32_t count) {
    return Tagged(kHostArray, &Payload::array, {items, count});
}

HostValue ObjectOf(HostObjectEntry* entries, uint32_t count) {
    return Tagged(kHostObject, &Payload::object, {entries, count});
}

HostResponse EmptyResponse() {
    HostResponse response;
    std::memset(&response, 0, sizeof response);
    return response;
}

TEST(HostValueRoundTrip, KeepsTheTreeAndFreesEverythingItAllocated) {
    BindingProperty tree;
    tree.Member("zeta") = true;
    tree.Member("alpha") = -5;
    tree.Member("Beta") = 7u;
    tree.Member("gamma") = 2.5;
    tree.Member("text") = "hello";
    tree.Member("empty text") = "";
    tree.Member("blob") = std::vector<uint8_t>{1, 2, 3};
    tree.Member("level") = Velto::EnumValue{2, &Velto::StaticType::HashCode<Level>()};
    tree.Member("nothing");
    BindingProperty& list = tree.Member("list");
    list.Append() = 1;
    list.Append().Member("inner") = "x";
    list.Append().MakeCollection();
    tree.Member("object").MakeStructure();
    HostValue host = Tagged(kHostNull);
    ASSERT_TRUE(Velto::ToHostValue(host, tree, nullptr));
    HostResponse result = EmptyResponse();
    BindingProperty back;
    ASSERT_TRUE(Velto::FromHostValue(result, back, host, "payload"));
    // Keys go to the host in byte-wise order: upper case first.
    EXPECT_STREQ(host.payload.object.entries[0].key, "Beta");
    Velto::FreeHostValue(host);
    EXPECT_EQ(Render(back),
              "{Beta=unsigned:7,alpha=signed:-5,blob=blob:AQID,empty text=string:,"
              "gamma=float:2.5,level=signed:2,list=[signed:1,{inner=string:x},[]],"
              "nothing=empty,object={},text=string:hello,zeta=bool:true}");
    const uint64_t before = BytesInUse();
    ASSERT_TRUE(Velto::ToHostValue(host, tree, nullptr));
    Velto::FreeHostValue(host);
    EXPECT_EQ(BytesInUse(), before) << "freeing returns exactly what ToHostValue allocated";
}

TEST(FreeHostValue, FreesOnlyOwnedPartsAndEveryArray) {
    static const char kBorrowedKey[] = "borrowed";
    static const char kBorrowedText[] = "text";
    static const uint8_t kBorrowedBytes[] = {1, 2};
    const uint64_t before = BytesInUse();
    auto* entries =
        static_cast<HostObjectEntry*>(Velto::CountedAllocate(3 * sizeof(HostObjectEntry)));
    std::memset(entries, 0, 3 * sizeof(HostObjectEntry));
    entries[0].key = kBorrowedKey;
    entries[0].value = Text(kHostBorrowedText, kBorrowedText, 4);
    entries[1].key = Velto::CountedDuplicate("owned");
    entries[1].ownsKey = 1;
    entries[1].value = Text(kHostOwnedText, Velto::CountedDuplicate("mine"), 4);
    entries[2].key = kBorrowedKey;
    auto* items = static_cast<HostValue*>(Velto::CountedAllocate(2 * sizeof(HostValue)));
    items[0] = Tagged(kHostBorrowedBytes, &Payload::bytes, {kBorrowedBytes, 2});
    items[1] = Tagged(kHostOwnedBytes, &Payload::bytes,
                      {static_cast<uint8_t*>(Velto::CountedAllocate(5)), 5});
    entries[2].value = Array(items, 2);
    HostValue root = ObjectOf(entries, 3);
    Velto::FreeHostValue(root);
    EXPECT_EQ(+root.type, kHostNull);
    EXPECT_EQ(BytesInUse(), before);
}

TEST(FromHostValue, ConvertsEveryTagAndCopiesBorrowedParts) {
    static const uint8_t kBytes[] = {7, 8};
    HostValue items[] = {
        Text(kHostBorrowedText, "ab\0cd", 5),
        Tagged(kHostNull),
        Tagged(kHostBool, &Payload::boolean, 3),
        Tagged(kHostSigned, &Payload::signedValue, -9),
        Tagged(kHostUnsigned, &Payload::unsignedValue, UINT64_MAX),
        Tagged(kHostFloat, &Payload::floatValue, 0.5),
        Text(kHostBorrowedText, "abcdef", 3),
        Text(kHostOwnedText, nullptr, 0),
        Tagged(kHostBorrowedBytes, &Payload::bytes, {kBytes, 2}),
        Array(nullptr, 0),
        ObjectOf(nullptr, 0),
    };
    HostObjectEntry entries[2];
    std::memset(entries, 0, sizeof entries);
    entries[0].key = "b";
    entries[0].value = Array(items, 11);
    entries[1].key = "a";
    entries[1].value = Text(kHostBorrowedText, "x", 1);
    const HostValue root = ObjectOf(entries, 2);
    HostResponse result = EmptyResponse();
    BindingProperty property = 5;
    ASSERT_TRUE(Velto::FromHostValue(result, property, root, "payload"));
    EXPECT_EQ(Render(property),
              "{a=string:x,b=[string:ab,empty,bool:true,signed:-9,unsigned:18446744073709551615,"
              "float:0.5,string:abc,string:,blob:Bwg=,[],{}]}");
}

const char* const kIncompatible =
    "Couldn't assign value to 'payload' of type object because the input is of an incompatible "
    "type '";

TEST(FromHostValue, RefusesNullPointersWithCountsAndUnknownTags) {
    HostObjectEntry nullKey[1];
    std::memset(nullKey, 0, sizeof nullKey);
    HostValue failingSecond[] = {Tagged(kHostBool), Tagged(12), Tagged(kHostBool)};
    // Each value with the tag text its message names.
    const std::pair<HostValue, std::string> cases[] = {
        {Array(nullptr, 3), "collection"},
        {ObjectOf(nullptr, 1), "structure"},
        {ObjectOf(nullKey, 1), "structure"},
        {Text(kHostBorrowedText, nullptr, 2), "string"},
        {Tagged(kHostOwnedBytes, &Payload::bytes, {nullptr, 4}), "blob"},
        {Tagged(11), ""},
        {Array(failingSecond, 3), ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE("row " + std::to_string(&test - cases));
        HostResponse result = EmptyResponse();
        result.body = Text(kHostOwnedText, Velto::CountedDuplicate("old body"), 8);
        result.errorMessage = Velto::CountedDuplicate("old message");
        BindingProperty property;
        EXPECT_FALSE(Velto::FromHostValue(result, property, test.first, "payload"));
        EXPECT_EQ(+result.errorFlag, 1);
        ASSERT_NE(result.errorMessage, nullptr);
        EXPECT_EQ(std::string(result.errorMessage), kIncompatible + test.second + "'.");
        EXPECT_EQ(+result.body.type, kHostNull) << "the result's value is freed";
        Velto::CountedRelease(result.errorMessage);
    }
}

// `depth` arrays, each holding the next; the innermost is empty.
std::vector<HostValue> NestedArrays(std::size_t depth) {
    std::vector<HostValue> chain(depth);
    for (std::size_t index = 0; index < depth; ++index) {
        chain[index] = index + 1 < depth ? Array(&chain[index + 1], 1) : Array(nullptr, 0);
    }
    return chain;
}

TEST(FromHostValue, CapsNestingDepth) {
    for (const std::size_t depth : {std::size_t{512}, std::size_t{513}, std::size_t{100000}}) {
        std::vector<HostValue> chain = NestedArrays(depth);
        HostResponse result = EmptyResponse();
        BindingProperty property;
        EXPECT_EQ(Velto::FromHostValue(result, property, chain[0], "payload"), depth == 512)
            << depth;
        EXPECT_STREQ(result.errorMessage,
                     depth == 512 ? nullptr
                                  : "Couldn't assign value to 'payload' of type object because the "
                                    "input is nested deeper than 512 levels.")
            << depth;
        Velto::CountedRelease(result.errorMessage);
    }
}

TEST(ToHostValue, CapsNestingDepthAndLeavesAFreeableTree) {
    for (const std::size_t depth : {std::size_t{512}, std::size_t{513}, std::size_t{2000}}) {
        BindingProperty root;
        BindingProperty* level = &root;
        for (std::size_t index = 0; index + 1 < depth; ++index) {
            level = &level->Append();
        }
        level->MakeCollection();
        const uint64_t before = BytesInUse();
        HostValue host = Tagged(kHostNull);
        EXPECT_EQ(Velto::ToHostValue(host, root, nullptr), depth <= 512) << depth;
        Velto::FreeHostValue(host);
        EXPECT_EQ(BytesInUse(), before) << depth;
    }
}

TEST(FreeHostValue, HandlesTreesDeeperThanAnyStack) {
    const std::size_t depth = 200000;
    HostValue root = Tagged(kHostNull);
    HostValue* level = &root;
    for (std::size_t index = 0; index < depth; ++index) {
        auto* item = static_cast<HostValue*>(Velto::CountedAllocate(sizeof(HostValue)));
        *item = Tagged(kHostNull);
        *level = Array(item, 1);
        level = item;
    }
    Velto::FreeHostValue(root);
    EXPECT_EQ(+root.type, kHostNull);
}

}  // namespace
