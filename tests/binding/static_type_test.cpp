#include "binding/static_type.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "binding/fnv1a.h"

namespace {

using Velto::TypeIdentity;
namespace StaticType = Velto::StaticType;

struct Record {};
struct FirstUsedByManyThreads {};

// Known FNV-1a values; the hash is usable at compile time.
static_assert(Velto::Fnv1a("") == 0x811C9DC5u);
static_assert(Velto::Fnv1a("a") == 0xE40C292Cu);
static_assert(Velto::Fnv1a("foobar") == 0xBF9CF968u);

TEST(StaticType, IdentitiesFollowTheCompilersRenderingAndShowTheirHash) {
    EXPECT_NE(StaticType::HashCode<int>().hash, StaticType::HashCode<unsigned int>().hash);
    EXPECT_NE(StaticType::HashCode<Record>().hash, StaticType::HashCode<Record&>().hash);
    const TypeIdentity& named = StaticType::Name<Record>();
    EXPECT_EQ(named.hash, StaticType::HashCode<Record>().hash);
    EXPECT_NE(std::strstr(named.name, "Record"), nullptr) << named.name;
    // A hash-only identity shows "#" and eight upper-case hexadecimal digits.
    const std::pair<uint32_t, const char*> texts[] = {
        {0, "#00000000"},
        {0xABCDEF, "#00ABCDEF"},
        {0xFFFFFFFF, "#FFFFFFFF"},
    };
    for (const auto& [hash, text] : texts) {
        EXPECT_STREQ(TypeIdentity(hash).name, text) << "hash " << hash;
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
    EXPECT_STREQ(seen.front()->name, TypeIdentity(seen.front()->hash).name);
}

}  // namespace
