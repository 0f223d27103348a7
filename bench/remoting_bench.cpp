// The host's calls into the plug-in's API, end to end through the routine of a function entry
// (request in, arguments bound, function invoked, response written and released), each next to
// a reference:
// - a GET of a literal route answering a record, next to the bare conversion of the same record
//   into a host value, which any dispatch must pay: the dispatch should add less than half;
// - a templated route with one placeholder and a query of three typed arguments, next to the
//   same dispatch with the route compiled into a std::regex and matched on every call; both
//   share the binding of the arguments, the call and the response after the match;
// - within that call, the route alone (the template compiled and matched against the path, its
//   capture decoded into the path parameters) next to the same done with std::regex: ours
//   should take a tenth of its time or less.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <regex>
#include <string>
#include <string_view>

#include "bench/side_by_side.h"
#include "binding/host_value_conversion.h"
#include "remoting/api_description.h"
#include "remoting/dispatch.h"
#include "remoting/function_registration.h"
#include "remoting/route.h"
#include "remoting/url_component.h"

namespace {

using Velto::HttpMethod;
using Velto::Client::ApiFunctionEntry;
using Velto::Client::HostRequest;
using Velto::Client::HostResponse;

constexpr char kRecordRoute[] = "/mek-active-boosts/v1/active-boosts";
// The placeholder takes the query in too: routes match the whole path text.
constexpr char kItemsRoute[] = "/items/{+item}";
constexpr char kItemsPath[] = "/items/12345?count=7&enabled=true&label=first%20item";

// The shape of the plug-in's resource: eight fields, three of them dates.
struct Boosts {
    uint64_t summonerId = 2874410;
    std::string ipBoostEndDate = "2017-07-14T02:40:00Z";
    uint32_t ipBoostPerWinCount = 0;
    uint32_t ipLoyaltyBoost = 0;
    std::string xpBoostEndDate = "2017-07-15T02:40:00Z";
    uint32_t xpBoostPerWinCount = 3;
    uint32_t xpLoyaltyBoost = 0;
    std::string firstWinOfTheDayStartTime = "2026-12-07T16:00:00Z";
};

class BenchApi {
  public:
    BenchApi() {
        registry_.RegisterStruct<Boosts>("Boosts")
            .Field<uint64_t>("summonerId", offsetof(Boosts, summonerId))
            .Field<std::string>("ipBoostEndDate", offsetof(Boosts, ipBoostEndDate))
            .Field<uint32_t>("ipBoostPerWinCount", offsetof(Boosts, ipBoostPerWinCount))
            .Field<uint32_t>("ipLoyaltyBoost", offsetof(Boosts, ipLoyaltyBoost))
            .Field<std::string>("xpBoostEndDate", offsetof(Boosts, xpBoostEndDate))
            .Field<uint32_t>("xpBoostPerWinCount", offsetof(Boosts, xpBoostPerWinCount))
            .Field<uint32_t>("xpLoyaltyBoost", offsetof(Boosts, xpLoyaltyBoost))
            .Field<std::string>("firstWinOfTheDayStartTime",
                                offsetof(Boosts, firstWinOfTheDayStartTime));
        Velto::BindCallable(registry_, bindings_, "GetBoosts",
                            [this] { return Velto::HandlerResponse<Boosts>::Ok(boosts_); })
            .Route(kRecordRoute)
            .Method(HttpMethod::Get);
        Velto::BindCallable(registry_, bindings_, "GetItem",
                            [](std::string item, int32_t count, bool enabled, std::string label) {
                                return static_cast<int64_t>(item.size()) + count +
                                       (enabled ? 1 : 0) + static_cast<int64_t>(label.size());
                            },
                            {"item", "count", "enabled", "label"})
            .Route(kItemsRoute)
            .Method(HttpMethod::Get);
        description_.Build(nullptr, registry_, bindings_, &Velto::HandleHostCall);
    }

    const ApiFunctionEntry& Entry(std::string_view name) {
        const Velto::Client::ApiDescriptor& descriptor = *description_.Descriptor();
        for (uint32_t index = 0; index < descriptor.functionCount; ++index) {
            if (name == descriptor.functions[index].signature.name) {
                return descriptor.functions[index];
            }
        }
        std::abort();
    }

    const Velto::BindingRegistry& Registry() const { return registry_; }
    const Boosts& Record() const { return boosts_; }

  private:
    Velto::BindingRegistry registry_;
    Velto::FunctionBindings bindings_;
    Velto::ApiDescription description_;
    Boosts boosts_;
};

BenchApi& Api() {
    static BenchApi api;
    return api;
}

HostRequest GetRequest(const ApiFunctionEntry& entry, const char* path) {
    HostRequest request{};
    request.method = static_cast<uint32_t>(HttpMethod::Get);
    request.path = path;
    request.functionContext = entry.callContext;
    return request;
}

void Check(const HostResponse& response, benchmark::State& state) {
    if (response.errorFlag != 0) {
        state.SkipWithError(response.errorMessage);
    }
}

// GETs of `path` through the routine of the function entry named `name`, as the host calls it.
void GetThroughHostCall(benchmark::State& state, std::string_view name, const char* path) {
    const ApiFunctionEntry& entry = Api().Entry(name);
    HostRequest request = GetRequest(entry, path);
    for (auto _ : state) {
        HostResponse response{};
        entry.call(&response, &request);
        Check(response, state);
        response.release(&response);
    }
}

void BM_GetRecordThroughHostCall(benchmark::State& state) {
    GetThroughHostCall(state, "GetBoosts", kRecordRoute);
}
BENCHMARK(BM_GetRecordThroughHostCall);

void BM_RecordToHostValue(benchmark::State& state) {
    const Velto::BindingRegistry& registry = Api().Registry();
    for (auto _ : state) {
        Velto::BindingResult value;
        Velto::FromNative(value, Api().Record(), registry);
        Velto::Client::HostValue hostValue{};
        Velto::ToHostValue(hostValue, value, &registry);
        Velto::FreeHostValue(hostValue);
    }
}
BENCHMARK(BM_RecordToHostValue);
MEK_BENCH_COMPARE("literal GET through HandleHostCall vs record to host value",
                  BM_GetRecordThroughHostCall, BM_RecordToHostValue);

void BM_TemplatedRouteThroughHostCall(benchmark::State& state) {
    GetThroughHostCall(state, "GetItem", kItemsPath);
}
BENCHMARK(BM_TemplatedRouteThroughHostCall);

// The template compiled as an ECMAScript expression, as a dispatcher that compiles its route
// for every call with std::regex would: "{+item}" becomes "(.*)".
void MatchWithStdRegex(const Velto::FunctionBinding& binding, Velto::RouteMatch& match) {
    const std::regex pattern("/items/(.*)", std::regex::ECMAScript | std::regex::optimize);
    std::smatch groups;
    if (std::regex_match(match.path, groups, pattern)) {
        match.function = binding.function;
        match.binding = const_cast<Velto::FunctionBinding*>(&binding);
        match.pathParameters.Set("item", Velto::DecodeUrlComponent(groups[1].str()));
    }
}

Velto::RouteMatch ItemsMatch() {
    Velto::RouteMatch match;
    match.method = HttpMethod::Get;
    match.path = kItemsPath;
    return match;
}

const Velto::FunctionBinding& ItemsBinding() {
    const ApiFunctionEntry& entry = Api().Entry("GetItem");
    return *static_cast<const Velto::FunctionCallContext*>(entry.callContext)->binding;
}

void BM_TemplatedRouteWithStdRegex(benchmark::State& state) {
    const Velto::FunctionBinding& binding = ItemsBinding();
    HostRequest request = GetRequest(Api().Entry("GetItem"), kItemsPath);
    for (auto _ : state) {
        Velto::RouteMatch match = ItemsMatch();
        MatchWithStdRegex(binding, match);
        HostResponse response{};
        Velto::DispatchMatched(&response, request, match);
        Check(response, state);
        response.release(&response);
    }
}
BENCHMARK(BM_TemplatedRouteWithStdRegex);
MEK_BENCH_COMPARE("templated route with query through HandleHostCall vs std::regex dispatch",
                  BM_TemplatedRouteThroughHostCall, BM_TemplatedRouteWithStdRegex);

void BM_RouteCompiledAndMatched(benchmark::State& state) {
    const Velto::FunctionBinding& binding = ItemsBinding();
    auto& matched = const_cast<Velto::FunctionBinding&>(binding);
    for (auto _ : state) {
        Velto::RouteMatch match = ItemsMatch();
        const Velto::Route routes[] = {
            Velto::CompileRoute(matched.function, &matched, binding.route)};
        benchmark::DoNotOptimize(Velto::MatchRoutes(routes, match));
        benchmark::DoNotOptimize(match.pathParameters);
    }
}
BENCHMARK(BM_RouteCompiledAndMatched);

void BM_RouteWithStdRegex(benchmark::State& state) {
    const Velto::FunctionBinding& binding = ItemsBinding();
    for (auto _ : state) {
        Velto::RouteMatch match = ItemsMatch();
        MatchWithStdRegex(binding, match);
        benchmark::DoNotOptimize(match.pathParameters);
    }
}
BENCHMARK(BM_RouteWithStdRegex);
MEK_BENCH_COMPARE("templated route compiled and matched vs std::regex", BM_RouteCompiledAndMatched,
                  BM_RouteWithStdRegex);

}  // namespace
