// Format against the snprintf-then-string it replaces, on the same messages.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/side_by_side.h"
#include "diagnostics/format.h"

namespace {

const std::string kField = "summonerId";
const std::string kType = "uint64_t";
const std::string kInput = "string";

// What the formatter replaces: a bounded printf into a stack buffer, then the string.
template <class... Args>
std::string PrintToString(const char* format, const Args&... args) {
    char buffer[4096];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, length < 0 ? 0 : std::min<std::size_t>(length, sizeof buffer - 1));
}

void FormatThreeTexts(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Velto::Format(
            "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.",
            kField, kType, kInput));
    }
}

void SnprintfThreeTexts(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(PrintToString(
            "Couldn't assign value to '%s' of type %s because the input is of an invalid type %s.",
            kField.c_str(), kType.c_str(), kInput.c_str()));
    }
}

void FormatIntegers(benchmark::State& state) {
    std::int32_t index = -17;
    std::uint32_t count = 40000u;
    std::int64_t identifier = INT64_C(2219855170316418);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            Velto::Format("Index %1 is out of range %2 for summoner %3", index, count, identifier));
        benchmark::ClobberMemory();
    }
}

void SnprintfIntegers(benchmark::State& state) {
    std::int32_t index = -17;
    std::uint32_t count = 40000u;
    std::int64_t identifier = INT64_C(2219855170316418);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PrintToString("Index %d is out of range %u for summoner %lld",
                                               index, count, static_cast<long long>(identifier)));
        benchmark::ClobberMemory();
    }
}

BENCHMARK(FormatThreeTexts);
BENCHMARK(SnprintfThreeTexts);
BENCHMARK(FormatIntegers);
BENCHMARK(SnprintfIntegers);
MEK_BENCH_COMPARE("format_three_texts", FormatThreeTexts, SnprintfThreeTexts);
MEK_BENCH_COMPARE("format_integers", FormatIntegers, SnprintfIntegers);

}  // namespace
