// ReadMessagePack against msgpack-c's unpack, and ReadYaml against a bare libyaml event loop
// (the floor: parsing alone) and yaml-cpp's Load, on the three shapes of bench/bench_inputs.h
// (the JSON benchmarks' data): many small records with repeated keys, numbers, and strings.
#define MSGPACK_NO_BOOST
#include <benchmark/benchmark.h>
#include <yaml.h>

#include <yaml-cpp/yaml.h>
#include <cstdint>
#include <msgpack.hpp>
#include <string>

#include "bench/bench_inputs.h"
#include "bench/side_by_side.h"
#include "formats/message_pack_reader.h"
#include "formats/yaml_reader.h"

namespace {

const Bench::Inputs& Shape(int shape) {
    return Bench::InputsFor(static_cast<Bench::Shape>(shape));
}

void OurMessagePack(benchmark::State& state, int shape) {
    const std::string& bytes = Shape(shape).messagePack;
    for (auto _ : state) {
        std::size_t consumed = 0;
        const Velto::BindingResult result = Velto::ReadMessagePack(
            reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), consumed);
        benchmark::DoNotOptimize(result.Size());
        if (!result.succeeded || consumed != bytes.size()) {
            state.SkipWithError("ReadMessagePack failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// Our tree owns its texts and bytes; by default msgpack-c points into the input instead, so the
// reference is asked to copy them too.
bool CopyEverything(msgpack::type::object_type, std::size_t, void*) {
    return false;
}

void MsgpackUnpack(benchmark::State& state, int shape) {
    const std::string& bytes = Shape(shape).messagePack;
    for (auto _ : state) {
        const msgpack::object_handle handle =
            msgpack::unpack(bytes.data(), bytes.size(), CopyEverything);
        benchmark::DoNotOptimize(handle.get().type);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void OurYaml(benchmark::State& state, int shape) {
    const std::string& text = Shape(shape).yaml;
    for (auto _ : state) {
        const Velto::BindingResult result = Velto::ReadYaml(text);
        benchmark::DoNotOptimize(result.Size());
        if (!result.succeeded) {
            state.SkipWithError("ReadYaml failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void LibyamlEvents(benchmark::State& state, int shape) {
    const std::string& text = Shape(shape).yaml;
    for (auto _ : state) {
        yaml_parser_t parser;
        yaml_parser_initialize(&parser);
        yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
        yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                                     text.size());
        yaml_event_t event;
        std::size_t events = 0;
        while (yaml_parser_parse(&parser, &event) != 0) {
            const bool end = event.type == YAML_STREAM_END_EVENT;
            yaml_event_delete(&event);
            ++events;
            if (end) {
                break;
            }
        }
        yaml_parser_delete(&parser);
        benchmark::DoNotOptimize(events);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void YamlCppLoad(benchmark::State& state, int shape) {
    const std::string& text = Shape(shape).yaml;
    for (auto _ : state) {
        const YAML::Node node = YAML::Load(text);
        benchmark::DoNotOptimize(node.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

#define MEK_SHAPE_BENCHMARKS(Name, shape)                           \
    void OurMessagePack##Name(benchmark::State& state) {            \
        OurMessagePack(state, shape);                               \
    }                                                               \
    void MsgpackUnpack##Name(benchmark::State& state) {             \
        MsgpackUnpack(state, shape);                                \
    }                                                               \
    void OurYaml##Name(benchmark::State& state) {                   \
        OurYaml(state, shape);                                      \
    }                                                               \
    void LibyamlEvents##Name(benchmark::State& state) {             \
        LibyamlEvents(state, shape);                                \
    }                                                               \
    void YamlCppLoad##Name(benchmark::State& state) {               \
        YamlCppLoad(state, shape);                                  \
    }                                                               \
    BENCHMARK(OurMessagePack##Name)->Unit(benchmark::kMillisecond); \
    BENCHMARK(MsgpackUnpack##Name)->Unit(benchmark::kMillisecond);  \
    BENCHMARK(OurYaml##Name)->Unit(benchmark::kMillisecond);        \
    BENCHMARK(LibyamlEvents##Name)->Unit(benchmark::kMillisecond);  \
    BENCHMARK(YamlCppLoad##Name)->Unit(benchmark::kMillisecond)

MEK_SHAPE_BENCHMARKS(Records, 0);
MEK_SHAPE_BENCHMARKS(Numbers, 1);
MEK_SHAPE_BENCHMARKS(Strings, 2);

// One comparison a line: each registers a static named after its line.
MEK_BENCH_COMPARE("message_pack_records_vs_msgpack_unpack", OurMessagePackRecords,
                  MsgpackUnpackRecords);
MEK_BENCH_COMPARE("message_pack_numbers_vs_msgpack_unpack", OurMessagePackNumbers,
                  MsgpackUnpackNumbers);
MEK_BENCH_COMPARE("message_pack_strings_vs_msgpack_unpack", OurMessagePackStrings,
                  MsgpackUnpackStrings);
MEK_BENCH_COMPARE("yaml_records_vs_libyaml_events", OurYamlRecords, LibyamlEventsRecords);
MEK_BENCH_COMPARE("yaml_numbers_vs_libyaml_events", OurYamlNumbers, LibyamlEventsNumbers);
MEK_BENCH_COMPARE("yaml_strings_vs_libyaml_events", OurYamlStrings, LibyamlEventsStrings);
MEK_BENCH_COMPARE("yaml_records_vs_yaml_cpp_load", OurYamlRecords, YamlCppLoadRecords);
MEK_BENCH_COMPARE("yaml_numbers_vs_yaml_cpp_load", OurYamlNumbers, YamlCppLoadNumbers);
MEK_BENCH_COMPARE("yaml_strings_vs_yaml_cpp_load", OurYamlStrings, YamlCppLoadStrings);

}  // namespace
