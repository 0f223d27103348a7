#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/side_by_side.h"

namespace Bench {
namespace {

struct Comparison {
    std::string name;
    std::string ours;
    std::string reference;
};

std::vector<Comparison>& Comparisons() {
    static std::vector<Comparison> comparisons;
    return comparisons;
}

// Keeps each benchmark's fastest CPU time per iteration over its repetitions (the least disturbed
// run on a busy machine) while the console reporter prints as usual.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                const double time = run.GetAdjustedCPUTime();
                const auto [slot, added] = timePerIteration_.emplace(run.benchmark_name(), time);
                if (!added && time < slot->second) {
                    slot->second = time;
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        for (const Comparison& comparison : Comparisons()) {
            const auto ours = timePerIteration_.find(comparison.ours);
            const auto reference = timePerIteration_.find(comparison.reference);
            if (ours == timePerIteration_.end() || reference == timePerIteration_.end() ||
                reference->second <= 0) {
                continue;
            }
            std::printf("ratio %s %.3f\n", comparison.name.c_str(),
                        ours->second / reference->second);
        }
    }

  private:
    std::map<std::string, double> timePerIteration_;
};

}  // namespace

bool RegisterComparison(const char* comparisonName, const char* ourBenchmark,
                        const char* referenceBenchmark) {
    Comparisons().push_back({comparisonName, ourBenchmark, referenceBenchmark});
    return true;
}

}  // namespace Bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Bench::RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::fflush(stdout);
    reporter.PrintRatios();
    return 0;
}
