// What a log call costs: a message dropped by the level filter against a call of an empty
// function with the same arguments, and, for information, a message delivered to a target that
// discards it.
#include <benchmark/benchmark.h>

#include "bench/side_by_side.h"
#include "diagnostics/log.h"
#include "diagnostics/log_manager.h"
#include "diagnostics/log_target.h"

namespace {

using Velto::LogLevel;

[[gnu::noinline]] void EmptyLogCall(LogLevel level, uint64_t groups, const char* format, ...) {
    benchmark::DoNotOptimize(level);
    benchmark::DoNotOptimize(groups);
    benchmark::DoNotOptimize(format);
}

// Accepts every record and writes nothing.
class NullLogTarget final : public Velto::LogTarget {
  public:
    NullLogTarget() { EnableWrite(); }
    ~NullLogTarget() override { Detach(); }
    bool Write(const Velto::LogRecord& record) override {
        benchmark::DoNotOptimize(record.message);
        return true;
    }
};

// The logger with only the given target attached, for one benchmark.
class LoggerScope {
  public:
    LoggerScope() {
        Velto::LogManager::Start();
        for (Velto::LogTargetInterface* console :
             {Velto::LogManager::StdErrTarget(), Velto::LogManager::DebuggerTarget()}) {
            console->Detach(console);
        }
    }
    ~LoggerScope() { Velto::LogManager::Stop(); }
};

void FilteredLogCall(benchmark::State& state) {
    LoggerScope logger;
    int value = 0;
    for (auto _ : state) {
        Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupDbg, "boost %d of %s", ++value, "xp");
    }
}
BENCHMARK(FilteredLogCall);

void EmptyFunctionCall(benchmark::State& state) {
    int value = 0;
    for (auto _ : state) {
        EmptyLogCall(LogLevel::Okay, Velto::kLogGroupDbg, "boost %d of %s", ++value, "xp");
    }
}
BENCHMARK(EmptyFunctionCall);

void DeliveredToNullTarget(benchmark::State& state) {
    LoggerScope logger;
    NullLogTarget target;
    target.Configure({0, 0, 0, "#D| #L| #G| #M"});
    int value = 0;
    for (auto _ : state) {
        Velto::LogMessage(LogLevel::Error, Velto::kLogGroupDbg, "boost %d of %s", ++value, "xp");
    }
}
BENCHMARK(DeliveredToNullTarget);

MEK_BENCH_COMPARE("filtered log call vs empty function", FilteredLogCall, EmptyFunctionCall);

}  // namespace
