// Side-by-side comparisons between our code and a reference implementation.
//
// Register a comparison next to its two benchmarks; after all benchmarks ran, the shared main
// prints one line per comparison whose benchmarks both ran:
//     ratio <comparison name> <our time per iteration / the reference's>
#pragma once

namespace Bench {

// Returns true so it can initialise a static at namespace scope.
bool RegisterComparison(const char* comparisonName, const char* ourBenchmark,
                        const char* referenceBenchmark);

}  // namespace Bench

#define MEK_BENCH_CONCAT_INNER(a, b) a##b
#define MEK_BENCH_CONCAT(a, b) MEK_BENCH_CONCAT_INNER(a, b)
#define MEK_BENCH_COMPARE(comparisonName, ourBenchmark, referenceBenchmark)          \
    [[maybe_unused]] static const bool MEK_BENCH_CONCAT(benchComparison, __LINE__) = \
        ::Bench::RegisterComparison(comparisonName, #ourBenchmark, #referenceBenchmark)
