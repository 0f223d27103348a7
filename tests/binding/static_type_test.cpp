#include "binding/static_type.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "binding/fnv1a.h"

namespace {

using Velto::TypeIdentity;
namespace StaticType = Velto::StaticType;

struct Record {};
enum class Colour { Red };
struct FirstUsedByManyThreads {};

static_assert(Velto::Fnv1a("") == Velto::kFnv1aOffsetBasis, "the hash is usable at compile time");

TEST(Fnv1a, HashesKnownTexts) {
    struct Case {
        const char* text;
        uint32_t hash;
    };
    const Case cases[] = {{"", 0x811C9DC5u}, {"a", 0xE40C292Cu}, {"foobar", 0xBF9CF968u}};
    for (const Case& c : cases) {
        EXPECT_EQ(Velto::Fnv1a(c.text), c.hash) << "text \"" << c.text << "\"";
    }
}

TEST(StaticType, TypesRenderedDifferentlyHaveDifferentIdentities) {
    const std::vector<std::pair<const char*, uint32_t>> identities = {
        {"int", StaticType::HashCode<int>().hash},
        {"unsigned int", StaticType::HashCode<unsigned int>().hash},
        {"const int", StaticType::HashCode<const int>().hash},
        {"long long", StaticType::HashCode<long long>().hash},
        {"Record", StaticType::HashCode<Record>().hash},
        {"Record&", StaticType::HashCode<Record&>().hash},
        {"const Record&", StaticType::HashCode<const Record&>().hash},
        {"Record*", StaticType::HashCode<Record*>().hash},
        {"Colour", StaticType::HashCode<Colour>().hash},
        {"void", StaticType::HashCode<void>().hash},
    };
    std::set<uint32_t> seen;
    for (const auto& [name, hash] : identities) {
        EXPECT_TRUE(seen.insert(hash).second) << name << " shares its hash with another type";
    }
}

TEST(StaticType, EveryCallReturnsTheSameRecord) {
    EXPECT_EQ(&StaticType::HashCode<Record>(), &StaticType::HashCode<Record>());
    EXPECT_EQ(&StaticType::Name<Record>(), &StaticType::Name<Record>());
    EXPECT_EQ(&Velto::VoidIdentity(), &StaticType::HashCode<void>());
}

TEST(StaticType, DisplayTextIsTheHashWithANumberSignAndEightUpperCaseDigits) {
    struct Case {
        uint32_t hash;
        const char* text;
    };
    const Case cases[] = {{0, "#00000000"},
                          {0xABCDEF, "#00ABCDEF"},
                          {0xFFFFFFFF, "#FFFFFFFF"},
                          {0x1A2B3C4D, "#1A2B3C4D"}};
    for (const Case& c : cases) {
        const TypeIdentity identity(c.hash);
        EXPECT_STREQ(identity.name, c.text) << "hash " << c.hash;
    }
    // Identities of types are named the same way.
    for (const TypeIdentity* identity :
         {&StaticType::HashCode<int>(), &StaticType::HashCode<Record&>()}) {
        EXPECT_STREQ(identity->name, TypeIdentity(identity->hash).name);
    }
}

TEST(StaticType, NamedIdentitySharesTheHashAndNamesTheType) {
    struct Case {
        const TypeIdentity& named;
        const TypeIdentity& hashed;
        const char* typeName;
    };
    const Case cases[] = {
        {StaticType::Name<Record>(), StaticType::HashCode<Record>(), "Record"},
        {StaticType::Name<Colour>(), StaticType::HashCode<Colour>(), "Colour"},
        {StaticType::Name<int>(), StaticType::HashCode<int>(), "int"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.named.hash, c.hashed.hash) << c.typeName;
        EXPECT_NE(&c.named, &c.hashed) << c.typeName;
        EXPECT_NE(std::strstr(c.named.name, c.typeName), nullptr)
            << "\"" << c.named.name << "\" does not contain " << c.typeName;
    }
}

TEST(StaticType, FirstUseFromManyThreadsCreatesOneRecord) {
    std::vector<const TypeIdentity*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < seen.size(); ++index) {
        threads.emplace_back(
            [&seen, index] { seen[index] = &StaticType::HashCode<FirstUsedByManyThreads>(); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const TypeIdentity* identity : seen) {
        EXPECT_EQ(identity, seen.front());
    }
    EXPECT_EQ(seen.front()->name[0], '#');
}

}  // namespace
