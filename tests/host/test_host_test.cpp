// The test host driving the fake plug-in: what it records, delivers, runs, answers and frees.
#include "host/test_host.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/host/host_test_support.h"

namespace {

using namespace Velto::TestHost;
using namespace Velto::TestHost::Testing;

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

TEST_F(FakePluginHost, RecordsAndTranscribesEveryCallOfStartInOrder) {
    ASSERT_EQ(host_.Load(HostVersion{18, 3, 7}), LoadResult::Accepted);
    EXPECT_EQ(host_.LoadContext().module, host_.Module());
    EXPECT_EQ(host_.PluginName(), "fake-plugin");
    EXPECT_EQ(TestHost::FromApi(host_.Api()), &host_);
    EXPECT_EQ(TestHost::FromApi(nullptr), nullptr);
    EXPECT_TRUE(host_.Calls().empty()) << "the handshake makes no host call";
    ASSERT_TRUE(host_.Start(5));
    ASSERT_NE(host_.Context(), nullptr);
    EXPECT_EQ(host_.Context()->api, host_.Api()) << "the host keeps the context it hands to Start";
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    EXPECT_EQ(host_.OpenWaits(), 0);
    EXPECT_FALSE(host_.Calls()[6].request.hasFunctionContext);
    EXPECT_EQ(host_.Calls()[6].request.body, std::nullopt);
    // The plug-in writes its own version back.
    EXPECT_EQ(host_.GetTranscript().Text(), R"(-> load_mek_active_boosts(18.3.7)
<- version 18.0.0 module=ok name="fake-plugin" functions=7 types=1 events=1
-> Start(handle=5)
plugin -> Subscribe("OnFakeEvent", handle=5, flags=1)
plugin -> SendEvent("OnFakeSent", flags=0, {"answer":42,"items":[true,"x",null,1.5]})
plugin -> ScheduleCall("FakeDeferred", delay=0.25, zero=0, id=1)
plugin -> BeginWait("Wait: yield", zero=0)
plugin -> Yield()
plugin -> EndWait()
plugin -> SendRequest(GET, "/fake/v1/thing", args=["hello"], context=5)
plugin <- 404 error="No handler for GET /fake/v1/thing"
plugin -> Log(ALWAYS, "fake plug-in started, response 404 error=No handler for GET /fake/v1/thing released")
plugin -> Reserved(7, 9)
<- Start true
)");
}

// What the fake's Start logs of the answer to its request: status, body or error, release.
TEST(TestHost, AnswersWithTheScriptedAnswerTheRequestHandlerOrTheDefaultAndFreesTheAnswer) {
    const struct {
        std::optional<HostAnswer> scripted;  // set for the request's method and path
        std::optional<HostAnswer> answer;    // the handler's
        std::string outcome;
    } rows[] = {
        {std::nullopt, HostAnswer::Value(HostValueTree::Text("pong")),
         "response 200 body=text:pong released"},
        {std::nullopt, std::nullopt,
         "response 404 error=No handler for GET /fake/v1/thing released"},
        {HostAnswer::Value(HostValueTree::Text("s")),
         HostAnswer::Value(HostValueTree::Text("pong")), "response 200 body=text:s released"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.outcome);
        TestHost host;
        ASSERT_TRUE(host.OpenLibrary(MEK_FAKE_PLUGIN_PATH));
        if (row.scripted.has_value()) {
            host.SetAnswer(2, "/fake/v1/thing", *row.scripted);
        }
        std::string seen;
        host.SetRequestHandler([&](const RecordedRequest& request) {
            seen = request.path + " " + request.arguments.at(0).value.ToJson();
            return row.answer;
        });
        ASSERT_EQ(host.Load(), LoadResult::Accepted);
        ASSERT_TRUE(host.Start());
        EXPECT_EQ(seen, row.scripted.has_value() ? "" : R"(/fake/v1/thing "hello")");
        EXPECT_EQ(host.Calls().at(7).text, "fake plug-in started, " + row.outcome);
        EXPECT_EQ(host.UnreleasedResponses(), 0u);
    }
}

TEST_F(FakePluginHost, RunsTheYieldHookInsideTheWait) {
    int waitsSeen = -1;
    host_.SetYieldHook([&] {
        waitsSeen = host_.OpenWaits();
        host_.FireEvent("OnFakeEvent", HostValueTree());
    });
    LoadAndStart();
    EXPECT_EQ(waitsSeen, 1);
    // Between Yield and EndWait.
    EXPECT_EQ(host_.Calls().at(5).text, "event OnFakeEvent userData=module payload=type 0");
}

TEST_F(FakePluginHost, HandlesMisplacedLifecycleStepsSafely) {
    EXPECT_FALSE(host_.Shutdown()) << "nothing is loaded yet";
    ASSERT_EQ(host_.Load(), LoadResult::Accepted);
    EXPECT_TRUE(host_.Shutdown()) << "a module that never started";
    EXPECT_TRUE(host_.Calls().empty());
    // The fake reports the numbers 1 to 6 whenever it is asked, even after its shutdown.
    ASSERT_TRUE(host_.GetMemoryStats().has_value());
    EXPECT_EQ(host_.GetTranscript().Lines().back(),
              "<- memory peakBytesInUse=1 allocationsAtPeak=2 bytesAllocated=3 "
              "allocationCount=4 bytesFreed=5 freeCount=6");

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
    for (const char* note : {"host: Shutdown skipped: no module loaded",
                             "host: Shutdown of a module that was never started",
                             "host: Start called again on a started module",
                             "host: Shutdown skipped: the module was already shut down",
                             "host: Start skipped: no live module",
                             "host: dropped 1 deferred call(s) the module left"}) {
        EXPECT_TRUE(Contains(lines, note)) << "missing note: " << note;
    }
    EXPECT_STREQ(HostCallKindName(host_.Calls().back().kind), "Unsubscribe");
    EXPECT_TRUE(host_.Subscriptions().empty());
    EXPECT_TRUE(host_.PendingDeferredCalls().empty());
    EXPECT_EQ(host_.FireEvent("OnFakeEvent", HostValueTree()), 0u) << "none is left to deliver";
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
    EXPECT_TRUE(
        host_.GetTranscript().Text().ends_with("host: dropped 1 deferred call(s) the "
                                               "module left\nhost: library unloaded\n"))
        << host_.GetTranscript().Text();
    EXPECT_EQ(host_.Load(), LoadResult::NotCalled);
}

RecordedRequest Request(uint32_t method, std::string path, std::string customMethod = {}) {
    RecordedRequest request;
    request.method = method;
    request.path = std::move(path);
    request.customMethod = std::move(customMethod);
    return request;
}

class FakePluginCalls : public FakePluginHost {
  protected:
    void SetUp() override {
        FakePluginHost::SetUp();
        LoadAndStart();
        host_.ClearCalls();
    }
};

// The scenario tests call a function by name, with a custom method, and after a method that does
// not fit; requests no function fits are in NotesACallThatFitsNothingAndCallsNothing.
TEST_F(FakePluginCalls, ChoosesTheEntryByRouteAndMethod) {
    const std::pair<RecordedRequest, std::string> rows[] = {
        {Request(2, "/fake/v1/thing"), "GetThing 200"},
        {Request(2, "/fake/v1/items/7"), "GetItem 200"},
        {Request(3, "Ping"), "Ping 200"},
        {Request(7, "/fake/v1/items/7"), "GetItem 404"},
        {Request(8, "/fake/v1/cache#all", "WIPE"), "Purge 404"},
    };
    for (const auto& [request, chosen] : rows) {
        SCOPED_TRACE(MethodText(request.method, request.customMethod) + " " + request.path);
        const std::optional<FunctionAnswer> answer = host_.CallFunction(request);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->function + " " + std::to_string(answer->statusCode), chosen);
        if (answer->statusCode == 404) {
            EXPECT_EQ(answer->errorMessage, "Invalid function") << "the plug-in refuses it";
        }
    }
}

// The fake's echo of a call of `function`: its method, custom method, path, then `rest`.
std::string Echo(const char* function, int method, const char* customMethod, const char* path,
                 const char* rest = R"("headers":[],"arguments":[],"contentType":"",)"
                                    R"("body":null,"bodySize":0,"context":0)") {
    return std::string(R"({"function":")") + function + R"(","method":)" + std::to_string(method) +
           R"(,"customMethod":)" + customMethod + R"(,"path":")" + path + "\"," + rest + "}";
}

TEST_F(FakePluginCalls, FillsTheRequestAsTheHostDoes) {
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
    const std::pair<RecordedRequest, std::string> rows[] = {
        {Request(2, "/fake/v1/thing"), Echo("GetThing", 2, "null", "/fake/v1/thing")},
        {Request(8, "/fake/v1/cache#all", "PURGE"),
         Echo("Purge", 8, R"("PURGE")", "/fake/v1/cache#all")},
        {Request(8, "Ping"), Echo("Ping", 8, "null", "Ping")},
        {full, Echo("Ping", 6, "null", "Ping?count=1",
                    R"("headers":["x-a: 1","x-b: "],"arguments":["-=signed:5","count=text:x"],)"
                    R"("contentType":"application/json","body":"7b7d","bodySize":2,"context":77)")},
        {binary, Echo("Ping", 2, "null", "Ping",
                      R"("headers":[],"arguments":[],"contentType":"application/x-msgpack",)"
                      R"("body":"81a16100","bodySize":4,"context":0)")},
    };
    for (const auto& [request, echo] : rows) {
        SCOPED_TRACE(MethodText(request.method, request.customMethod) + " " + request.path);
        const std::optional<FunctionAnswer> answer = host_.CallFunction(request);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->body.ToJson(), echo);
    }
}

TEST_F(FakePluginCalls, NotesACallThatFitsNothingAndCallsNothing) {
    EXPECT_FALSE(host_.CallFunction(Request(2, "/nothing?x=1")).has_value());
    EXPECT_FALSE(host_.CallFunction(Request(2, "/fake/v1/thing"), "Nope").has_value());
    EXPECT_TRUE(host_.Calls().empty());
    EXPECT_TRUE(host_.GetTranscript().Text().ends_with(
        R"(host: no function fits GET "/nothing?x=1"; nothing called
host: no function is named "Nope"; nothing called
)")) << host_.GetTranscript().Text();
    ASSERT_TRUE(host_.Shutdown());
    EXPECT_FALSE(host_.CallFunction(Request(2, "/fake/v1/thing")).has_value());
    EXPECT_EQ(host_.GetTranscript().Lines().back(),
              R"(host: call of GET "/fake/v1/thing" skipped: no API description)");
}

}  // namespace
