#include "binding/static_type.h"

#include <gtest/gtest.h>

#include <thread>
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
    EXPECT_NE(StaticType::HashCode<Record>().hash, StaticType::HashCode<Record&>().hash);
    const TypeIdentity& named = StaticType::Name<Record>();
    EXPECT_EQ(named.hash, StaticType::HashCode<Record>().hash);
    // A hash-only identity shows "#" and eight upper-case hexadecimal digits.
    EXPECT_STREQ(TypeIdentity(0xABCDEF).name, "#00ABCDEF");
    EXPECT_STREQ(TypeIdentity(0xFFFFFFFF).name, "#FFFFFFFF");
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
