// The test host driving the fake plug-in: what it records, delivers, runs, answers and frees.
#include "host/test_host.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace Velto::TestHost;

// One line per recorded call, with the fields its kind sets.
std::string Summary(const HostCall& call) {
    std::ostringstream text;
    text << HostCallKindName(call.kind);
    switch (call.kind) {
        case HostCallKind::SendRequest: {
            const RecordedRequest& request = call.request;
            text << " " << MethodText(request.method) << " " << request.path << " args=";
            for (const RecordedArgument& argument : request.arguments) {
                text << (argument.name ? *argument.name + ":" : "") << argument.value.ToJson();
            }
            text << " context=" << request.callContext << " -> " << call.response.statusCode << " "
                 << call.response.errorMessage.value_or(call.response.body.ToJson());
            break;
        }
        case HostCallKind::Reserved:
            text << " " << call.words[0] << " " << call.words[1];
            break;
        case HostCallKind::SendEvent:
            text << " " << call.name << " flags=" << call.flags << " " << call.payload.ToJson();
            break;
        case HostCallKind::Subscribe:
            text << " " << call.name << " handle=" << call.handle << " flags=" << call.flags;
            break;
        case HostCallKind::Unsubscribe:
            text << " " << call.name << " handle=" << call.handle;
            break;
        case HostCallKind::ScheduleCall:
            text << " " << call.name << " delay=" << call.delaySeconds << " zero=" << call.zero
                 << " id=" << call.deferredId;
            break;
        case HostCallKind::BeginWait:
            text << " " << call.text << " zero=" << call.zero;
            break;
        case HostCallKind::Log:
            text << " " << LogLevelName(call.level) << " " << call.text;
            break;
        case HostCallKind::StreamRead:
            text << " stream=" << call.streamId << " capacity=" << call.capacity << " "
                 << (call.succeeded ? QuoteJson(call.text) : "failed")
                 << (call.more ? " more" : " end");
            break;
        case HostCallKind::StreamRelease:
            text << " stream=" << call.streamId;
            break;
        case HostCallKind::Yield:
        case HostCallKind::EndWait:
            break;
    }
    return text.str();
}

std::vector<std::string> Summaries(const std::vector<HostCall>& calls) {
    std::vector<std::string> lines;
    for (const HostCall& call : calls) {
        lines.push_back(Summary(call));
    }
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class FakePluginHost : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host_.OpenLibrary(MEK_FAKE_PLUGIN_PATH, &error)) << error;
    }

    void LoadAndStart(uint32_t handle = 1) {
        ASSERT_EQ(host_.Load(), LoadResult::Accepted);
        ASSERT_TRUE(host_.Start(handle));
    }

    TestHost host_;
};

TEST_F(FakePluginHost, RecordsEveryCallOfStartInOrderWithItsArguments) {
    LoadAndStart(5);
    const std::vector<std::string> expected = {
        "Subscribe OnFakeEvent handle=5 flags=1",
        R"(SendEvent OnFakeSent flags=0 {"answer":42,"items":[true,"x",null,1.5]})",
        "ScheduleCall FakeDeferred delay=0.25 zero=0 id=1",
        "BeginWait Wait: yield zero=0",
        "Yield",
        "EndWait",
        R"(SendRequest GET /fake/v1/thing args="hello" context=5 -> 404 No handler for GET /fake/v1/thing)",
        "Log ALWAYS fake plug-in started, response 404 error=No handler for GET "
        "/fake/v1/thing released",
        "Reserved 7 9",
    };
    EXPECT_EQ(Summaries(host_.Calls()), expected);
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    EXPECT_EQ(host_.OpenWaits(), 0);
    EXPECT_FALSE(host_.Calls()[6].request.hasFunctionContext);
    EXPECT_EQ(host_.Calls()[6].request.body, std::nullopt);
}

TEST_F(FakePluginHost, ExposesWhatTheHandshakeGaveBack) {
    ASSERT_EQ(host_.Load(HostVersion{18, 3, 7}), LoadResult::Accepted);
    EXPECT_EQ(host_.State(), ModuleState::Loaded);
    EXPECT_NE(host_.Module(), nullptr);
    EXPECT_EQ(host_.LoadContext().module, host_.Module());
    EXPECT_EQ(host_.LoadContext().major, 18u);
    EXPECT_EQ(host_.LoadContext().minor, 0u) << "the plug-in writes its own version back";
    EXPECT_EQ(host_.PluginName(), "fake-plugin");
    EXPECT_NE(host_.Descriptor(), nullptr);
    EXPECT_NE(host_.Exports().Start, nullptr);
    EXPECT_EQ(TestHost::FromApi(host_.Api()), &host_);
    EXPECT_EQ(TestHost::FromApi(nullptr), nullptr);
    EXPECT_TRUE(host_.Calls().empty()) << "the handshake makes no host call";
}

TEST_F(FakePluginHost, KeepsTheContextItHandsToStart) {
    LoadAndStart(9);
    ASSERT_NE(host_.Context(), nullptr);
    EXPECT_EQ(host_.Context()->api, host_.Api());
    EXPECT_EQ(host_.Context()->handle, 9u);
}

TEST_F(FakePluginHost, DeliversFiredEventsWithTheSubscriptionsUserData) {
    LoadAndStart();
    ASSERT_EQ(host_.Subscriptions().size(), 1u);
    EXPECT_EQ(host_.Subscriptions()[0].userData, host_.Module());
    host_.ClearCalls();

    const std::optional<HostValueTree> payload = HostValueTree::FromJson(R"({"uri":"/x"})");
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ(host_.FireEvent("OnFakeEvent", *payload), 1u);
    EXPECT_EQ(host_.FireEvent("OnOtherEvent", *payload), 0u);
    EXPECT_EQ(
        Summaries(host_.Calls()),
        std::vector<std::string>{"Log OKAY event OnFakeEvent userData=module payload=type 10"});
}

TEST_F(FakePluginHost, RunsQueuedDeferredCallsOnce) {
    LoadAndStart();
    ASSERT_EQ(host_.PendingDeferredCalls().size(), 1u);
    EXPECT_EQ(host_.PendingDeferredCalls()[0].name, "FakeDeferred");
    EXPECT_EQ(host_.PendingDeferredCalls()[0].delaySeconds, 0.25);
    host_.ClearCalls();

    EXPECT_EQ(host_.RunDeferredCalls(), 1u);
    EXPECT_EQ(host_.RunDeferredCalls(), 0u);
    EXPECT_TRUE(host_.PendingDeferredCalls().empty());
    EXPECT_EQ(Summaries(host_.Calls()),
              std::vector<std::string>{"Log OKAY deferred FakeDeferred userData=module"});
}

TEST_F(FakePluginHost, AnswersWithTheRequestHandlerAndFreesTheAnswerOnRelease) {
    std::vector<std::string> seen;
    host_.SetRequestHandler([&](const RecordedRequest& request) -> std::optional<HostAnswer> {
        seen.push_back(MethodText(request.method) + " " + request.path + " " +
                       request.arguments.at(0).value.ToJson());
        return HostAnswer::Value(HostValueTree::Text("pong"));
    });
    LoadAndStart();
    EXPECT_EQ(seen, std::vector<std::string>{R"(GET /fake/v1/thing "hello")"});
    const HostCall& request = host_.Calls()[6];
    EXPECT_EQ(request.response.statusCode, 200u);
    EXPECT_EQ(request.response.errorMessage, std::nullopt);
    EXPECT_EQ(request.response.body.ToJson(), R"("pong")");
    EXPECT_EQ(host_.Calls()[7].text, "fake plug-in started, response 200 body=text:pong released");
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
}

TEST_F(FakePluginHost, FallsBackToTheDefaultAnswerWhenTheHandlerDeclines) {
    host_.SetRequestHandler([](const RecordedRequest&) { return std::optional<HostAnswer>(); });
    LoadAndStart();
    EXPECT_EQ(host_.Calls()[6].response.statusCode, 404u);
    EXPECT_EQ(host_.Calls()[6].response.errorMessage, "No handler for GET /fake/v1/thing");
}

TEST_F(FakePluginHost, RunsTheYieldHookInsideTheWait) {
    int waitsSeen = -1;
    host_.SetYieldHook([&] {
        waitsSeen = host_.OpenWaits();
        host_.FireEvent("OnFakeEvent", HostValueTree());
    });
    LoadAndStart();
    EXPECT_EQ(waitsSeen, 1);
    const std::vector<std::string> calls = Summaries(host_.Calls());
    ASSERT_GE(calls.size(), 7u);
    EXPECT_EQ(calls[3], "BeginWait Wait: yield zero=0");
    EXPECT_EQ(calls[4], "Yield");
    EXPECT_EQ(calls[5], "Log OKAY event OnFakeEvent userData=module payload=type 0");
    EXPECT_EQ(calls[6], "EndWait");
}

TEST_F(FakePluginHost, ReportsARefusedLoadAndStartsNothing) {
    EXPECT_EQ(host_.Load(HostVersion{19, 0, 0}), LoadResult::Refused);
    EXPECT_EQ(host_.State(), ModuleState::Refused);
    EXPECT_EQ(host_.Module(), nullptr);
    EXPECT_EQ(host_.LoadContext().major, 19u) << "a refused load leaves the context as passed";
    EXPECT_EQ(host_.Descriptor(), nullptr);
    EXPECT_FALSE(host_.Start());
    EXPECT_TRUE(host_.Calls().empty());
    const std::vector<std::string>& lines = host_.GetTranscript().Lines();
    EXPECT_TRUE(Contains(lines, "<- version 19.0.0 module=null"));
    EXPECT_TRUE(Contains(lines, "host: Start skipped: no live module"));
    EXPECT_EQ(host_.Load(), LoadResult::Accepted) << "a refused load may be retried";
}

TEST_F(FakePluginHost, HandlesMisplacedLifecycleStepsSafely) {
    LoadAndStart();
    EXPECT_FALSE(host_.Start()) << "the plug-in refuses a second Start";
    EXPECT_EQ(host_.State(), ModuleState::Started);
    std::string error;
    EXPECT_EQ(host_.Load(HostVersion{}, &error), LoadResult::NotCalled);
    EXPECT_EQ(error, "a module is already loaded");
    EXPECT_TRUE(host_.Shutdown());
    EXPECT_FALSE(host_.Shutdown());
    EXPECT_FALSE(host_.Start());
    EXPECT_EQ(host_.State(), ModuleState::ShutDown);

    const std::vector<std::string>& lines = host_.GetTranscript().Lines();
    for (const char* note : {"host: Start called again on a started module",
                             "host: Shutdown skipped: the module was already shut down",
                             "host: Start skipped: no live module",
                             "host: dropped 1 deferred call(s) the module left"}) {
        EXPECT_TRUE(Contains(lines, note)) << "missing note: " << note;
    }
    EXPECT_EQ(Summary(host_.Calls().back()), "Unsubscribe OnFakeEvent handle=1");
    EXPECT_TRUE(host_.Subscriptions().empty());
    EXPECT_TRUE(host_.PendingDeferredCalls().empty());
}

TEST_F(FakePluginHost, ShutsDownAModuleThatNeverStarted) {
    ASSERT_EQ(host_.Load(), LoadResult::Accepted);
    EXPECT_TRUE(host_.Shutdown());
    EXPECT_TRUE(host_.Calls().empty());
    EXPECT_TRUE(Contains(host_.GetTranscript().Lines(),
                         "host: Shutdown of a module that was never started"));
}

TEST_F(FakePluginHost, ReadsMemoryStatisticsEvenAfterShutdown) {
    LoadAndStart();
    ASSERT_TRUE(host_.Shutdown());
    const std::optional<MemoryStats> stats = host_.GetMemoryStats();
    ASSERT_TRUE(stats.has_value());
    EXPECT_EQ(stats->peakBytesInUse, 1u);
    EXPECT_EQ(stats->freeCount, 6u);
    EXPECT_EQ(host_.GetTranscript().Lines().back(),
              "<- memory peakBytesInUse=1 allocationsAtPeak=2 bytesAllocated=3 "
              "allocationCount=4 bytesFreed=5 freeCount=6");
}

TEST_F(FakePluginHost, WritesAReadableTranscript) {
    LoadAndStart();
    const std::vector<std::string>& lines = host_.GetTranscript().Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "-> load_mek_active_boosts(18.0.0)");
    EXPECT_EQ(lines[1],
              R"(<- version 18.0.0 module=ok name="fake-plugin" functions=7 types=2 events=1)");
    EXPECT_EQ(lines[2], "-> Start(handle=1)");
    for (
        const char* line : {
            R"(plugin -> Subscribe("OnFakeEvent", handle=1, flags=1))",
            R"(plugin -> SendEvent("OnFakeSent", flags=0, {"answer":42,"items":[true,"x",null,1.5]}))",
            R"(plugin -> ScheduleCall("FakeDeferred", delay=0.25, zero=0, id=1))",
            R"(plugin -> BeginWait("Wait: yield", zero=0))",
            "plugin -> Yield()",
            "plugin -> EndWait()",
            R"(plugin -> SendRequest(GET, "/fake/v1/thing", args=["hello"], context=1))",
            R"(plugin <- 404 error="No handler for GET /fake/v1/thing")",
            R"(plugin -> Log(ALWAYS, "fake plug-in started, response 404 error=No handler for GET /fake/v1/thing released"))",
            "plugin -> Reserved(7, 9)",
            "<- Start true",
        }) {
        EXPECT_TRUE(Contains(lines, line)) << "missing line: " << line;
    }
}

TEST_F(FakePluginHost, UnloadsOnlyAfterShuttingTheModuleDown) {
    LoadAndStart();
    std::string error;
    EXPECT_FALSE(host_.OpenLibrary(MEK_FAKE_PLUGIN_PATH, &error));
    EXPECT_EQ(error, "a module of the open library is still alive");
    host_.Unload();
    EXPECT_FALSE(host_.IsLibraryOpen());
    EXPECT_EQ(host_.State(), ModuleState::None);
    EXPECT_EQ(host_.Exports().GetMemoryStats, nullptr);
    const std::vector<std::string>& lines = host_.GetTranscript().Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "host: dropped 1 deferred call(s) the module left");
    EXPECT_EQ(lines.back(), "host: library unloaded");
    EXPECT_EQ(host_.Load(), LoadResult::NotCalled);
}

RecordedRequest Request(uint32_t method, std::string path, std::string customMethod = {}) {
    RecordedRequest request;
    request.method = method;
    request.path = std::move(path);
    request.customMethod = std::move(customMethod);
    return request;
}

// The function called, the status and the error or the body (or the stream), e.g.
// "Fail 503 Not today".
std::string Outcome(const std::optional<FunctionAnswer>& answer) {
    if (!answer.has_value()) {
        return "none";
    }
    std::string text = answer->function + " " + std::to_string(answer->statusCode) + " ";
    if (answer->errorMessage.has_value()) {
        return text + *answer->errorMessage;
    }
    return text + answer->stream.value_or(answer->body.ToJson());
}

class FakePluginCalls : public FakePluginHost {
  protected:
    void SetUp() override {
        FakePluginHost::SetUp();
        LoadAndStart();
        host_.ClearCalls();
    }

    // How often the plug-in logged `line` since the calls were last cleared.
    std::size_t Logged(const std::string& line) const {
        return std::count_if(host_.Calls().begin(), host_.Calls().end(), [&](const HostCall& c) {
            return c.kind == HostCallKind::Log && c.text == line;
        });
    }
};

TEST_F(FakePluginCalls, ChoosesTheEntryByRouteNameAndMethodOrByExplicitName) {
    struct Case {
        RecordedRequest request;
        std::string function;
        std::string chosen;  // the function called and its status
    };
    const Case cases[] = {
        {Request(2, "/fake/v1/thing"), "", "GetThing 200"},
        {Request(2, "/fake/v1/items/7"), "", "GetItem 200"},
        {Request(6, "/fake/v1/items/7?verbose"), "", "PostItem 200"},
        {Request(3, "Ping"), "", "Ping 200"},
        {Request(2, "/fake/v1/files/a/b"), "", "Stream 200"},
        {Request(8, "/fake/v1/cache#all", "PURGE"), "", "Purge 200"},
        {Request(7, "/fake/v1/items/7"), "", "GetItem 404"},
        {Request(8, "/fake/v1/cache#all", "WIPE"), "", "Purge 404"},
        {Request(2, "/fake/v1/cache#all"), "", "Purge 404"},
        {Request(2, "/nothing"), "Ping", "Ping 200"},
        {Request(2, "/nothing"), "", "none"},
        {Request(2, "/fake/v1/thing/"), "", "none"},
        {Request(2, "/fake/v1/thing"), "Nope", "none"},
    };
    for (const Case& c : cases) {
        const std::optional<FunctionAnswer> answer = host_.CallFunction(c.request, c.function);
        const std::string chosen =
            answer ? answer->function + " " + std::to_string(answer->statusCode) : "none";
        EXPECT_EQ(chosen, c.chosen) << MethodText(c.request.method, c.request.customMethod) << " "
                                    << c.request.path << " function=" << c.function;
        if (answer && answer->statusCode == 404) {
            EXPECT_EQ(answer->errorMessage, "Invalid function") << "the plug-in refuses it";
        }
    }
}

TEST_F(FakePluginCalls, FillsTheRequestAsTheHostDoes) {
    RecordedRequest custom = Request(8, "/fake/v1/cache#all", "PURGE");
    RecordedRequest unnamedCustom = Request(8, "Ping");
    RecordedRequest ignoredCustom = Request(5, "Ping", "PURGE");
    RecordedRequest full = Request(6, "Ping?count=1");
    full.headers = {{"x-a", "1"}, {"x-b", ""}};
    full.arguments.push_back(RecordedArgument{std::nullopt, HostValueTree::Signed(5)});
    full.arguments.push_back(RecordedArgument{"count", HostValueTree::Text("x")});
    full.contentType = "application/json";
    full.body = "{}";
    full.callContext = 77;
    RecordedRequest binary = Request(2, "Ping");
    binary.contentType = "application/x-msgpack";
    binary.body = std::string("\x81\xa1\x61\x00", 4);
    const std::pair<RecordedRequest, const char*> cases[] = {
        {Request(2, "/fake/v1/thing"),
         R"({"function":"GetThing","method":2,"customMethod":null,"path":"/fake/v1/thing",)"
         R"("headers":[],"arguments":[],"contentType":"","body":null,"bodySize":0,"context":0})"},
        {custom,
         R"({"function":"Purge","method":8,"customMethod":"PURGE","path":"/fake/v1/cache#all",)"
         R"("headers":[],"arguments":[],"contentType":"","body":null,"bodySize":0,"context":0})"},
        {unnamedCustom,
         R"({"function":"Ping","method":8,"customMethod":null,"path":"Ping","headers":[],)"
         R"("arguments":[],"contentType":"","body":null,"bodySize":0,"context":0})"},
        {ignoredCustom,
         R"({"function":"Ping","method":5,"customMethod":null,"path":"Ping","headers":[],)"
         R"("arguments":[],"contentType":"","body":null,"bodySize":0,"context":0})"},
        {full, R"({"function":"Ping","method":6,"customMethod":null,"path":"Ping?count=1",)"
               R"("headers":["x-a: 1","x-b: "],"arguments":["-=signed:5","count=text:x"],)"
               R"("contentType":"application/json","body":"7b7d","bodySize":2,"context":77})"},
        {binary, R"({"function":"Ping","method":2,"customMethod":null,"path":"Ping","headers":[],)"
                 R"("arguments":[],"contentType":"application/x-msgpack","body":"81a16100",)"
                 R"("bodySize":4,"context":0})"},
    };
    for (const auto& [request, echo] : cases) {
        const std::optional<FunctionAnswer> answer = host_.CallFunction(request);
        ASSERT_TRUE(answer.has_value()) << request.path;
        EXPECT_EQ(answer->body.ToJson(), echo);
    }
}

TEST_F(FakePluginCalls, CopiesTheAnswerAndReleasesTheResponseOnce) {
    struct Case {
        RecordedRequest request;
        std::string outcome;
        std::size_t streamReleases;
    };
    const Case cases[] = {
        {Request(2, "/fake/v1/thing"), "GetThing 200 {", 0},
        {Request(6, "/fake/v1/fail"), "Fail 503 Not today", 0},
        {Request(4, "/fake/v1/items/1"), "GetItem 404 Invalid function", 0},
        {Request(2, "/fake/v1/files/x"), "Stream 200 [1,2,3]", 1},
    };
    for (const Case& c : cases) {
        host_.ClearCalls();
        const std::optional<FunctionAnswer> answer = host_.CallFunction(c.request);
        EXPECT_EQ(Outcome(answer).rfind(c.outcome, 0), 0u) << Outcome(answer);
        EXPECT_EQ(Logged("released response"), 1u) << c.request.path;
        EXPECT_EQ(Logged("released stream"), c.streamReleases) << c.request.path;
        EXPECT_TRUE(answer && answer->released);
    }
}

TEST_F(FakePluginCalls, CopiesHeadersAndAnErrorsNullBody) {
    const std::optional<FunctionAnswer> echo = host_.CallFunction(Request(2, "/fake/v1/thing"));
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(echo->headers,
              (std::vector<std::pair<std::string, std::string>>{{"x-fake", "echo"}}));
    EXPECT_EQ(echo->errorMessage, std::nullopt);
    EXPECT_EQ(echo->stream, std::nullopt);
    const std::optional<FunctionAnswer> failure = host_.CallFunction(Request(2, "/fake/v1/fail"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->body.Type(), Velto::Client::kHostNull);
    EXPECT_TRUE(failure->headers.empty());
}

TEST_F(FakePluginCalls, ReadsAStreamToItsEndThenReleasesIt) {
    const std::optional<FunctionAnswer> answer = host_.CallFunction(Request(2, "/fake/v1/files/x"));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->stream, "[1,2,3]");
    EXPECT_EQ(answer->streamReads, 3u) << "the fake delivers three bytes per read";
    EXPECT_EQ(answer->streamEnd, StreamEnd::Finished);
    EXPECT_EQ(answer->streamLength, 7u);
    EXPECT_EQ(answer->body.Type(), Velto::Client::kHostNull);
    const std::vector<std::string> logs = {host_.Calls().at(0).text, host_.Calls().at(1).text};
    EXPECT_EQ(logs, (std::vector<std::string>{"released stream", "released response"}));
}

TEST_F(FakePluginCalls, NotesACallThatFitsNothingAndCallsNothing) {
    EXPECT_FALSE(host_.CallFunction(Request(2, "/nothing?x=1")).has_value());
    EXPECT_FALSE(host_.CallFunction(Request(2, "/fake/v1/thing"), "Nope").has_value());
    EXPECT_TRUE(host_.Calls().empty());
    const std::vector<std::string>& lines = host_.GetTranscript().Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              R"(host: no function fits GET "/nothing?x=1"; nothing called)");
    EXPECT_EQ(lines.back(), R"(host: no function is named "Nope"; nothing called)");
    ASSERT_TRUE(host_.Shutdown());
    EXPECT_FALSE(host_.CallFunction(Request(2, "/fake/v1/thing")).has_value());
    EXPECT_EQ(host_.GetTranscript().Lines().back(),
              R"(host: call of GET "/fake/v1/thing" skipped: no API description)");
}

TEST_F(FakePluginCalls, WritesTheCallAndItsAnswerToTheTranscript) {
    RecordedRequest request = Request(6, "/fake/v1/items/7?verbose");
    request.headers = {{"x-trace", "1"}};
    request.arguments.push_back(RecordedArgument{std::nullopt, HostValueTree::Signed(5)});
    request.contentType = "application/x-msgpack";
    request.body = std::string("\x81\xa1\x61\x01", 4);
    host_.GetTranscript().Clear();
    host_.CallFunction(request);
    host_.CallFunction(Request(2, "/fake/v1/fail"));
    host_.CallFunction(Request(2, "/fake/v1/files/x"));
    EXPECT_EQ(
        host_.GetTranscript().Lines(),
        (std::vector<std::string>{
            R"(-> PostItem(POST, "/fake/v1/items/7?verbose", args=[5], headers={"x-trace":"1"}, )"
            R"(contentType="application/x-msgpack", bodyHex=81a16101, context=0))",
            R"(plugin -> Log(OKAY, "released response"))",
            R"(<- 200 headers={"x-fake":"echo"})"
            "\n    {\n"
            R"(      "function": "PostItem",)"
            "\n"
            R"(      "method": 6,)"
            "\n"
            R"(      "customMethod": null,)"
            "\n"
            R"(      "path": "/fake/v1/items/7?verbose",)"
            "\n"
            R"(      "headers": [)"
            "\n"
            R"(        "x-trace: 1")"
            "\n      ],\n"
            R"(      "arguments": [)"
            "\n"
            R"(        "-=signed:5")"
            "\n      ],\n"
            R"(      "contentType": "application/x-msgpack",)"
            "\n"
            R"(      "body": "81a16101",)"
            "\n"
            R"(      "bodySize": 4,)"
            "\n"
            R"(      "context": 0)"
            "\n    }",
            R"(-> Fail(GET, "/fake/v1/fail", context=0))",
            R"(plugin -> Log(OKAY, "released response"))",
            R"(<- 503 error="Not today")",
            R"(-> Stream(GET, "/fake/v1/files/x", context=0))",
            R"(plugin -> Log(OKAY, "released stream"))",
            R"(plugin -> Log(OKAY, "released response"))",
            R"(<- 200 stream="[1,2,3]" length=7 reads=3)",
        }));
}

TEST_F(FakePluginCalls, DescribesTheApiAsLinesOrAsOneJsonObject) {
    host_.GetTranscript().Clear();
    const ApiDescription description = host_.Describe();
    EXPECT_EQ(description.functions.size(), 7u);
    EXPECT_EQ(host_.GetTranscript().Lines(),
              (std::vector<std::string>{
                  "<- description functions=7 types=2 events=1",
                  R"(<- function GetThing GET "/fake/v1/thing" () returns FakeItem)",
                  R"(<- function GetItem GET "/fake/v1/items/{id}" (id: string in path, )"
                  R"(verbose?: bool in query) returns FakeItem)",
                  R"(<- function PostItem POST "/fake/v1/items/{id}" (id: string in path, )"
                  R"(item: FakeItem in body) returns FakeItem)",
                  "<- function Ping ANY by name (count: int32) returns string",
                  R"(<- function Fail ANY "/fake/v1/fail" () returns void)",
                  R"(<- function Stream GET "/fake/v1/files/{+rest}" () returns vector<int32>)",
                  R"(<- function Purge PURGE "/fake/v1/cache{#part}" () returns void)",
                  "<- type FakeItem size=32 {id: int32 @0, name?: string @8}",
                  "<- type FakeColour size=4 {Blue=2, Red=1}",
                  "<- event OnFakeEvent FakeItem",
              }));

    host_.GetTranscript().SetFormat(TranscriptFormat::Json);
    host_.GetTranscript().Clear();
    host_.Describe();
    ASSERT_EQ(host_.GetTranscript().Lines().size(), 1u);
    rapidjson::Document document;
    document.Parse(host_.GetTranscript().Lines()[0].c_str());
    ASSERT_FALSE(document.HasParseError());
    const rapidjson::Value& json = document["description"];
    EXPECT_EQ(json["functions"].Size(), 7u);
    const rapidjson::Value& postItem = json["functions"][2];
    EXPECT_STREQ(postItem["method"].GetString(), "POST");
    EXPECT_STREQ(postItem["arguments"][1]["location"].GetString(), "body");
    EXPECT_STREQ(postItem["arguments"][1]["type"].GetString(), "FakeItem");
    EXPECT_STREQ(postItem["tags"][1].GetString(), "Plugin fake-plugin");
    EXPECT_EQ(json["types"][1]["values"][0]["value"].GetInt(), 2);
    EXPECT_STREQ(json["events"][0]["dataType"].GetString(), "FakeItem");
}

TEST(TestHost, WritesJsonLinesThatParse) {
    TestHost host(TranscriptFormat::Json);
    ASSERT_TRUE(host.OpenLibrary(MEK_FAKE_PLUGIN_PATH));
    ASSERT_EQ(host.Load(), LoadResult::Accepted);
    ASSERT_TRUE(host.Start());
    host.FireEvent("OnFakeEvent", HostValueTree::Text("a\nb"));
    ASSERT_TRUE(host.Shutdown());
    ASSERT_GT(host.GetTranscript().Lines().size(), 10u);
    for (const std::string& line : host.GetTranscript().Lines()) {
        rapidjson::Document document;
        document.Parse(line.c_str());
        ASSERT_FALSE(document.HasParseError()) << line;
        ASSERT_TRUE(document.IsObject()) << line;
        EXPECT_TRUE(document.HasMember("line") && document.HasMember("from") &&
                    document.HasMember("call"))
            << line;
    }
}

TEST(TestHost, ShutsALiveModuleDownWhenDestroyed) {
    std::ostringstream echo;
    {
        TestHost host;
        host.GetTranscript().EchoTo(&echo);
        ASSERT_TRUE(host.OpenLibrary(MEK_FAKE_PLUGIN_PATH));
        ASSERT_EQ(host.Load(), LoadResult::Accepted);
        ASSERT_TRUE(host.Start());
    }
    const std::string text = echo.str();
    EXPECT_NE(text.find("-> Shutdown()\nplugin -> Unsubscribe(\"OnFakeEvent\", handle=1)\n"),
              std::string::npos)
        << text;
}

TEST(TestHost, ExplainsWhyALoadCannotBeCalled) {
    TestHost host;
    std::string error;
    EXPECT_EQ(host.Load(HostVersion{}, &error), LoadResult::NotCalled);
    EXPECT_EQ(error, "no plug-in library is open");
    EXPECT_FALSE(host.OpenLibrary("/nonexistent/plugin.so", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(host.GetMemoryStats().has_value());
    EXPECT_FALSE(host.Shutdown());
}

}  // namespace
