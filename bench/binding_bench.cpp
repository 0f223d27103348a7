// Native records to a dynamic tree and back, against the same round trip through a RapidJSON
// Document on its pool allocator: 100,000 records of 8 members (integers, texts, a double, a bool
// and an enumeration) are written into a tree, then read back into fresh native records.
//
// Besides the time ratio, the bytes each side takes from the heap for its tree are compared:
// ours through the counted allocation functions, RapidJSON's through a counting base allocator
// under its MemoryPoolAllocator. That ratio is printed once, after the time ratios.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "bench/side_by_side.h"
#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "diagnostics/memory_statistics.h"
#include "platform/heap_block.h"

namespace {

constexpr std::size_t kRecordCount = 100000;

enum class Tier : int32_t { Bronze = 1, Silver = 2, Gold = 3 };

struct Player {
    int32_t id = 0;
    int64_t score = 0;
    uint32_t level = 0;
    std::string name;
    std::string region;
    double ratio = 0.0;
    bool active = false;
    Tier tier = Tier::Bronze;
};

const std::vector<Player>& Players() {
    static const std::vector<Player> players = [] {
        static const char* const kRegions[] = {"euw", "na", "kr", "br", "oce"};
        std::vector<Player> made(kRecordCount);
        for (std::size_t index = 0; index < kRecordCount; ++index) {
            Player& player = made[index];
            player.id = static_cast<int32_t>(index);
            player.score = static_cast<int64_t>(index) * 7919 - 1000000;
            player.level = static_cast<uint32_t>(index % 500);
            player.name = "player-" + std::to_string(index);
            player.region = kRegions[index % 5];
            player.ratio = static_cast<double>(index) / 3.0;
            player.active = index % 3 == 0;
            player.tier = static_cast<Tier>(1 + index % 3);
        }
        return made;
    }();
    return players;
}

const Velto::BindingRegistry& Registry() {
    static Velto::BindingRegistry registry;
    static const bool registered = [] {
        registry.RegisterEnum<Tier>("Tier").Value("Bronze", 1).Value("Silver", 2).Value("Gold", 3);
        registry.RegisterStruct<Player>("Player")
            .Field<int32_t>("id", offsetof(Player, id))
            .Field<int64_t>("score", offsetof(Player, score))
            .Field<uint32_t>("level", offsetof(Player, level))
            .Field<std::string>("name", offsetof(Player, name))
            .Field<std::string>("region", offsetof(Player, region))
            .Field<double>("ratio", offsetof(Player, ratio))
            .Field<bool>("active", offsetof(Player, active))
            .Field<Tier>("tier", offsetof(Player, tier));
        return true;
    }();
    (void)registered;
    return registry;
}

// Heap bytes per iteration of each side's last run; printed as one ratio at exit.
struct BytesPerIteration {
    double ours = 0;
    double theirs = 0;
    ~BytesPerIteration() {
        if (ours > 0 && theirs > 0) {
            std::printf("ratio binding vs rapidjson bytes allocated %.3f\n", ours / theirs);
            std::fflush(stdout);
        }
    }
};
BytesPerIteration bytesPerIteration;

void BindingTreeRoundTrip(benchmark::State& state) {
    const std::vector<Player>& players = Players();
    const Velto::BindingRegistry& registry = Registry();
    uint64_t bytes = 0;
    for (auto _ : state) {
        const uint64_t before = Velto::ReadMemoryStatistics().bytesAllocated;
        Velto::BindingResult tree;
        Velto::FromNative(tree, players, registry);
        std::vector<Player> back;
        Velto::BindingResult status;
        Velto::ToNative(status, back, tree, "players", registry);
        bytes += Velto::ReadMemoryStatistics().bytesAllocated - before;
        if (!tree.succeeded || !status.succeeded || back.size() != players.size()) {
            state.SkipWithError("round trip failed");
            break;
        }
        benchmark::DoNotOptimize(back.data());
    }
    bytesPerIteration.ours = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

// The base allocator under RapidJSON's pool, counting what it takes from the heap as our counted
// functions do (the heap block's usable size).
uint64_t rapidJsonBytes = 0;

class CountingAllocator {
  public:
    static const bool kNeedFree = true;
    void* Malloc(size_t size) {
        if (size == 0) {
            return nullptr;
        }
        void* block = std::malloc(size);
        rapidJsonBytes += Velto::Platform::HeapBlockSize(block);
        return block;
    }
    void* Realloc(void* block, size_t, size_t size) {
        if (size == 0) {
            std::free(block);
            return nullptr;
        }
        void* moved = std::realloc(block, size);
        rapidJsonBytes += Velto::Platform::HeapBlockSize(moved);
        return moved;
    }
    static void Free(void* block) { std::free(block); }
};

using Pool = rapidjson::MemoryPoolAllocator<CountingAllocator>;
using Document = rapidjson::GenericDocument<rapidjson::UTF8<>, Pool, CountingAllocator>;
using Value = rapidjson::GenericValue<rapidjson::UTF8<>, Pool>;

void BuildDocument(Document& document, const std::vector<Player>& players) {
    Pool& pool = document.GetAllocator();
    document.SetArray();
    document.Reserve(static_cast<rapidjson::SizeType>(players.size()), pool);
    for (const Player& player : players) {
        Value record(rapidjson::kObjectType);
        record.AddMember("id", player.id, pool);
        record.AddMember("score", player.score, pool);
        record.AddMember("level", player.level, pool);
        record.AddMember(
            "name",
            Value(player.name.data(), static_cast<rapidjson::SizeType>(player.name.size()), pool),
            pool);
        record.AddMember("region",
                         Value(player.region.data(),
                               static_cast<rapidjson::SizeType>(player.region.size()), pool),
                         pool);
        record.AddMember("ratio", player.ratio, pool);
        record.AddMember("active", player.active, pool);
        record.AddMember("tier", static_cast<int32_t>(player.tier), pool);
        document.PushBack(record, pool);
    }
}

// Reads each member with a kind check, as a converter must.
bool ReadDocument(const Document& document, std::vector<Player>& players) {
    players.clear();
    players.resize(document.Size());
    std::size_t index = 0;
    for (const Value& record : document.GetArray()) {
        Player& player = players[index++];
        if (!record.IsObject()) {
            return false;
        }
        const auto id = record.FindMember("id");
        const auto score = record.FindMember("score");
        const auto level = record.FindMember("level");
        const auto name = record.FindMember("name");
        const auto region = record.FindMember("region");
        const auto ratio = record.FindMember("ratio");
        const auto active = record.FindMember("active");
        const auto tier = record.FindMember("tier");
        const auto end = record.MemberEnd();
        if (id == end || !id->value.IsInt() || score == end || !score->value.IsInt64() ||
            level == end || !level->value.IsUint() || name == end || !name->value.IsString() ||
            region == end || !region->value.IsString() || ratio == end ||
            !ratio->value.IsNumber() || active == end || !active->value.IsBool() || tier == end ||
            !tier->value.IsInt()) {
            return false;
        }
        player.id = id->value.GetInt();
        player.score = score->value.GetInt64();
        player.level = level->value.GetUint();
        player.name.assign(name->value.GetString(), name->value.GetStringLength());
        player.region.assign(region->value.GetString(), region->value.GetStringLength());
        player.ratio = ratio->value.GetDouble();
        player.active = active->value.GetBool();
        player.tier = static_cast<Tier>(tier->value.GetInt());
    }
    return true;
}

void RapidJsonTreeRoundTrip(benchmark::State& state) {
    const std::vector<Player>& players = Players();
    uint64_t bytes = 0;
    for (auto _ : state) {
        const uint64_t before = rapidJsonBytes;
        std::vector<Player> back;
        bool read = false;
        {
            Document document;
            BuildDocument(document, players);
            read = ReadDocument(document, back);
        }
        bytes += rapidJsonBytes - before;
        if (!read || back.size() != players.size()) {
            state.SkipWithError("round trip failed");
            break;
        }
        benchmark::DoNotOptimize(back.data());
    }
    bytesPerIteration.theirs = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

BENCHMARK(BindingTreeRoundTrip)->Unit(benchmark::kMillisecond);
BENCHMARK(RapidJsonTreeRoundTrip)->Unit(benchmark::kMillisecond);
MEK_BENCH_COMPARE("binding vs rapidjson tree round trip", BindingTreeRoundTrip,
                  RapidJsonTreeRoundTrip);

}  // namespace
