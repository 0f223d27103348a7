// The JSON reader and writer against RapidJSON's own document and writer and against
// nlohmann-json, on the three shapes of bench/bench_inputs.h: many small records with repeated
// keys, a numeric-heavy array, and a string-heavy document.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "bench/bench_inputs.h"
#include "bench/side_by_side.h"
#include "formats/json_reader.h"
#include "formats/json_writer.h"

namespace {

const std::string& Input(int which) {
    return Bench::InputsFor(static_cast<Bench::Shape>(which)).json;
}

void SetBytes(benchmark::State& state, int which) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Input(which).size()));
}

void ReadOurs(benchmark::State& state, int which) {
    const std::string& text = Input(which);
    for (auto _ : state) {
        Velto::BindingResult result = Velto::ReadJson(text);
        benchmark::DoNotOptimize(result);
        if (!result.succeeded) {
            state.SkipWithError("ReadJson failed");
        }
    }
    SetBytes(state, which);
}

void ReadRapidJson(benchmark::State& state, int which) {
    const std::string& text = Input(which);
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.c_str());
        benchmark::DoNotOptimize(document);
        if (document.HasParseError()) {
            state.SkipWithError("Document::Parse failed");
        }
    }
    SetBytes(state, which);
}

void ReadNlohmann(benchmark::State& state, int which) {
    const std::string& text = Input(which);
    for (auto _ : state) {
        nlohmann::json document = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(document);
    }
    SetBytes(state, which);
}

void WriteOurs(benchmark::State& state, int which) {
    const Velto::BindingResult tree = Velto::ReadJson(Input(which));
    for (auto _ : state) {
        std::string text = Velto::WriteJson(tree);
        benchmark::DoNotOptimize(text);
    }
    SetBytes(state, which);
}

void WriteRapidJson(benchmark::State& state, int which) {
    rapidjson::Document document;
    document.Parse(Input(which).c_str());
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    SetBytes(state, which);
}

constexpr int kRecords = static_cast<int>(Bench::Shape::Records);
constexpr int kNumbers = static_cast<int>(Bench::Shape::Numbers);
constexpr int kStrings = static_cast<int>(Bench::Shape::Strings);

void ReadJsonRecords(benchmark::State& state) {
    ReadOurs(state, kRecords);
}
void ReadJsonNumbers(benchmark::State& state) {
    ReadOurs(state, kNumbers);
}
void ReadJsonStrings(benchmark::State& state) {
    ReadOurs(state, kStrings);
}
void RapidJsonParseRecords(benchmark::State& state) {
    ReadRapidJson(state, kRecords);
}
void RapidJsonParseNumbers(benchmark::State& state) {
    ReadRapidJson(state, kNumbers);
}
void RapidJsonParseStrings(benchmark::State& state) {
    ReadRapidJson(state, kStrings);
}
void NlohmannParseRecords(benchmark::State& state) {
    ReadNlohmann(state, kRecords);
}
void NlohmannParseNumbers(benchmark::State& state) {
    ReadNlohmann(state, kNumbers);
}
void NlohmannParseStrings(benchmark::State& state) {
    ReadNlohmann(state, kStrings);
}
void WriteJsonRecords(benchmark::State& state) {
    WriteOurs(state, kRecords);
}
void WriteJsonNumbers(benchmark::State& state) {
    WriteOurs(state, kNumbers);
}
void WriteJsonStrings(benchmark::State& state) {
    WriteOurs(state, kStrings);
}
void RapidJsonWriteRecords(benchmark::State& state) {
    WriteRapidJson(state, kRecords);
}
void RapidJsonWriteNumbers(benchmark::State& state) {
    WriteRapidJson(state, kNumbers);
}
void RapidJsonWriteStrings(benchmark::State& state) {
    WriteRapidJson(state, kStrings);
}

BENCHMARK(ReadJsonRecords);
BENCHMARK(RapidJsonParseRecords);
BENCHMARK(NlohmannParseRecords);
BENCHMARK(ReadJsonNumbers);
BENCHMARK(RapidJsonParseNumbers);
BENCHMARK(NlohmannParseNumbers);
BENCHMARK(ReadJsonStrings);
BENCHMARK(RapidJsonParseStrings);
BENCHMARK(NlohmannParseStrings);
BENCHMARK(WriteJsonRecords);
BENCHMARK(RapidJsonWriteRecords);
BENCHMARK(WriteJsonNumbers);
BENCHMARK(RapidJsonWriteNumbers);
BENCHMARK(WriteJsonStrings);
BENCHMARK(RapidJsonWriteStrings);

MEK_BENCH_COMPARE("json_read_records_vs_rapidjson", ReadJsonRecords, RapidJsonParseRecords);
MEK_BENCH_COMPARE("json_read_numbers_vs_rapidjson", ReadJsonNumbers, RapidJsonParseNumbers);
MEK_BENCH_COMPARE("json_read_strings_vs_rapidjson", ReadJsonStrings, RapidJsonParseStrings);
MEK_BENCH_COMPARE("json_write_records_vs_rapidjson", WriteJsonRecords, RapidJsonWriteRecords);
MEK_BENCH_COMPARE("json_write_numbers_vs_rapidjson", WriteJsonNumbers, RapidJsonWriteNumbers);
MEK_BENCH_COMPARE("json_write_strings_vs_rapidjson", WriteJsonStrings, RapidJsonWriteStrings);
MEK_BENCH_COMPARE("json_read_records_vs_nlohmann", ReadJsonRecords, NlohmannParseRecords);
MEK_BENCH_COMPARE("json_read_numbers_vs_nlohmann", ReadJsonNumbers, NlohmannParseNumbers);
MEK_BENCH_COMPARE("json_read_strings_vs_nlohmann", ReadJsonStrings, NlohmannParseStrings);

}  // namespace
