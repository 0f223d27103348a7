// Events between the host and the module: their names, resource subscriptions and deliveries,
// deferred calls, and resource events the module publishes.
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "runtime/event_names.h"
#include "tests/runtime/runtime_fixture.h"

namespace Velto::Client::Testing {
namespace {

constexpr uint32_t kGet = static_cast<uint32_t>(HttpMethod::Get);
constexpr char kUri[] = "/mek-x/v1/greeting";
constexpr char kEvent[] = "OnJsonApiEvent_mek-x_v1_greeting";

TEST(EventNames, ResourceEventNamesKeepTheFirstSegments) {
    for (const auto& [uri, name] : std::initializer_list<std::pair<const char*, const char*>>{
             {"/mek-login/v1/login-data-packet", "OnJsonApiEvent_mek-login_v1_login-data-packet"},
             {"/mek-login/v1/session/invoke", "OnJsonApiEvent_mek-login_v1_session"},
             {"/mek-platform-config/v1/namespaces/a/b/c",
              "OnJsonApiEvent_mek-platform-config_v1_namespaces_a_b"},
             {"/v1/mek-platform-config/a/b/c", "OnJsonApiEvent_v1_mek-platform-config_a"},
             {"", "OnJsonApiEvent"},
             {"//a///b//", "OnJsonApiEvent_a_b"},
         }) {
        EXPECT_EQ(EventNameForUri(uri), name) << "uri " << uri;
    }
}

TEST(EventNames, PatternStarsTakeOneSegmentWithoutBacktracking) {
    for (const auto& [pattern, path, matches] :
         std::initializer_list<std::tuple<const char*, const char*, bool>>{
             {"/mek-x/v1/items/*", "/mek-x/v1/items/42", true},
             {"/mek-x/v1/items/*", "/mek-x/v1/items/42/parts", false},
             {"/mek-x/v1/items/*", "/mek-x/v1/items", false},
             {"/a/*b", "/a/xb", false},
             {"/a/*/c", "/a/b/c", true},
         }) {
        EXPECT_EQ(MatchesUriPattern(pattern, path), matches) << pattern << " against " << path;
    }
}

// The payload of a resource event as the host sends it.
std::string EventJson(const std::string& uri, const std::string& type, const std::string& data) {
    return R"({"uri": ")" + uri + R"(", "eventType": ")" + type + R"(", "data": )" + data + "}";
}

class HostEventsTest : public RuntimeFixture {
  protected:
    // Subscribes a handler that writes a line per event it receives: type, uri, text and count.
    void Watch(const std::string& uri, std::string& seen) {
        module_->SubscribeResource<Greeting>(
            uri, [&seen](const TypedResourceEvent<Greeting>& event) {
                seen += std::to_string(static_cast<int>(event.eventType)) + " " + event.uri +
                        " \"" + event.data.text + "\" " + std::to_string(event.data.count) + "\n";
            });
    }
};

TEST_F(HostEventsTest, SubscriptionsAreCountedPerEventName) {
    std::string first;
    std::string second;
    Watch(kUri, first);
    Watch(kUri, second);
    EXPECT_EQ(Fire(kEvent, EventJson(kUri, "Update", R"({"text": "a", "count": 1})")), 1u);
    EXPECT_EQ(first, "") << "a later handler replaces the earlier one";
    EXPECT_EQ(second, "1 /mek-x/v1/greeting \"a\" 1\n");
    module_->Unsubscribe(kUri);  // one subscription is left: no host call
    module_->Unsubscribe(kUri);
    module_->Unsubscribe(kUri);  // no underflow, no host call
    module_->Unsubscribe("/never/subscribed");
    module_->Subscribe(kUri);  // counting starts again from 0
    EXPECT_EQ(Recorded(), R"(Subscribe OnJsonApiEvent_mek-x_v1_greeting handle=7 flags=0
SendRequest GET /mek-x/v1/greeting () context=7
SendRequest GET /mek-x/v1/greeting () context=7
Unsubscribe OnJsonApiEvent_mek-x_v1_greeting handle=7
Subscribe OnJsonApiEvent_mek-x_v1_greeting handle=7 flags=0
)");
}

TEST_F(HostEventsTest, AnExactUriIsFetchedAtOnceThenEventsReachExactAndPatternHandlersByPath) {
    host_.SetAnswer(kGet, "/mek-x/v1/items/42", HostAnswer::Value(Json(R"({"count": 5})")));
    std::string exact;
    std::string pattern;
    Watch("/mek-x/v1/items/42", exact);
    Watch("/mek-x/v1/items/*", pattern);
    // Subscribed before the fetch; the pattern shares the event name and is not fetched.
    EXPECT_EQ(Recorded(), R"(Subscribe OnJsonApiEvent_mek-x_v1_items handle=7 flags=0
SendRequest GET /mek-x/v1/items/42 () context=7
)");
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);

    const std::string name = "OnJsonApiEvent_mek-x_v1_items";
    Fire(name, EventJson("mek-x/v1/items/42", "Update", R"({"count": 1})"));
    Fire(name, EventJson("/mek-x/v1/items/7", "Update", R"({"count": 2})"));
    Fire(name, EventJson("/mek-x/v1/items/7/parts", "Update", R"({"count": 3})"));
    // The fetched value comes as a creation; an event keeps the uri as sent.
    EXPECT_EQ(exact, R"(0 /mek-x/v1/items/42 "" 5
1 mek-x/v1/items/42 "" 1
)");
    EXPECT_EQ(pattern, R"(1 mek-x/v1/items/42 "" 1
1 /mek-x/v1/items/7 "" 2
)");
}

TEST_F(HostEventsTest, AThrowingHandlerIsLoggedAndTheOthersStillReceiveTheEvent) {
    // The fetch runs inside the host's Start, which no exception may leave.
    host_.SetAnswer(kGet, kUri, HostAnswer::Value(Json(R"({"count": 5})")));
    const auto fail = [](const TypedResourceEvent<Greeting>& event) {
        throw std::runtime_error("count " + std::to_string(event.data.count));
    };
    EXPECT_NO_THROW(module_->SubscribeResource<Greeting>(kUri, fail));
    std::string seen;
    Watch("/mek-x/v1/*", seen);
    Fire(kEvent, EventJson(kUri, "Update", R"({"count": 6})"));
    EXPECT_EQ(Render(CallsOf(HostCallKind::Log)),
              "Log ERROR Unhandled exception in /mek-x/v1/greeting: count 5\n"
              "Log ERROR Unhandled exception in /mek-x/v1/greeting: count 6\n");
    EXPECT_EQ(seen, "1 /mek-x/v1/greeting \"\" 6\n") << "the pattern handler after the exact one";
}

TEST_F(HostEventsTest, DeletesSkipConversionAndBadPayloadsAreDropped) {
    std::string seen;
    Watch(kUri, seen);
    // Only the delete and the update with a numbered type arrive.
    for (const char* payload : {
             R"({"uri": "/mek-x/v1/greeting", "eventType": "Delete", "data": "not a record"})",
             R"({"uri": "/mek-x/v1/greeting", "eventType": "Update", "data": "not a record"})",
             R"({"uri": "/mek-x/v1/greeting", "eventType": "Explode", "data": {}})",
             R"([1, 2, 3])",
             R"({"uri": "/mek-x/v1/other", "eventType": "Update", "data": {}})",
             R"({"uri": "/mek-x/v1/greeting", "eventType": 1, "data": {"count": 9}})",
         }) {
        Fire(kEvent, payload);
    }
    EXPECT_EQ(seen, R"(2 /mek-x/v1/greeting "" 0
1 /mek-x/v1/greeting "" 9
)");
}

TEST_F(HostEventsTest, StaleForeignOrLateDeliveriesAndCallsReachNothing) {
    std::string seen;
    Watch(kUri, seen);
    int runs = 0;
    const auto run = [&runs] { ++runs; };
    const auto now = AppModule::MonotonicClock::now();
    module_->Schedule("later", run, now);
    module_->Schedule("much later", run, now);
    const HostValueTree payload = Json(EventJson(kUri, "Update", R"({"count": 1})"));
    int foreign = 0;
    host_.FireEvent(kEvent, payload, nullptr);
    host_.FireEvent(kEvent, payload, &foreign);
    EXPECT_TRUE(seen.empty()) << "a delivery with another module's data reaches nothing";

    host_.SetKeepCallbacksAfterShutdown(true);
    module_->Shutdown();
    // The resource event and the three service-proxy events.
    EXPECT_EQ(Render(CallsOf(HostCallKind::Unsubscribe)),
              R"(Unsubscribe OnJsonApiEvent_mek-x_v1_greeting handle=7
Unsubscribe OnServiceProxyAsyncEvent handle=7
Unsubscribe OnServiceProxyMethodEvent handle=7
Unsubscribe OnServiceProxyUuidEvent handle=7
)");
    host_.FireEvent(kEvent, payload);
    host_.RunDeferredCalls();
    EXPECT_TRUE(seen.empty()) << "no handler after Shutdown";
    EXPECT_EQ(runs, 0) << "no deferred call after Shutdown";

    module_->Schedule("after", run, now);
    module_.reset();
    host_.FireEvent(kEvent, payload);
    Fire("OnServiceProxyUuidEvent", R"({"uuid": "u"})");
    host_.RunDeferredCalls();
    EXPECT_TRUE(seen.empty()) << "nothing reaches a destroyed module";
    EXPECT_EQ(runs, 0) << "a call left by a destroyed module is disarmed";
}

TEST_F(HostEventsTest, ScheduleAsksForTheRemainingDelayAndRunsEachCallOnce) {
    int runs = 0;
    const auto run = [&runs] { ++runs; };
    const auto now = AppModule::MonotonicClock::now();
    EXPECT_EQ(module_->Schedule("past", run, now - std::chrono::seconds(3)), 1u);
    EXPECT_EQ(module_->Schedule("soon", run, now + std::chrono::seconds(2)), 2u);
    EXPECT_EQ(module_->Schedule("empty", {}, now), 0u);
    std::vector<HostCall> scheduled = CallsOf(HostCallKind::ScheduleCall);
    ASSERT_EQ(scheduled.size(), 2u);
    EXPECT_GT(scheduled[1].delaySeconds, 1.5);
    EXPECT_LE(scheduled[1].delaySeconds, 2.0);
    scheduled[1].delaySeconds = 2;
    EXPECT_EQ(Render(scheduled), R"(ScheduleCall "past" 0 zero=0
ScheduleCall "soon" 2 zero=0
)");
    EXPECT_EQ(host_.RunDeferredCalls(), 2u);
    EXPECT_EQ(runs, 2);
}

// What the host was handed for a call is never handed out again: a late or repeated run of it
// runs nothing, however the freed memory of its entry is reused.
TEST_F(HostEventsTest, ALateRunOfAFinishedCallNeverRunsANewerOne) {
    std::vector<std::string> runs;
    const auto now = AppModule::MonotonicClock::now();
    module_->Schedule(
        "first", [&runs] { runs.push_back("first"); }, now);
    const TestHost::DeferredCall finished = host_.PendingDeferredCalls().back();
    host_.RunDeferredCalls();
    module_->Schedule(
        "second", [&runs] { runs.push_back("second"); }, now);
    finished.callback(finished.userData);
    finished.callback(finished.userData);
    EXPECT_EQ(runs, std::vector<std::string>{"first"}) << "the newer call ran early";
    host_.RunDeferredCalls();
    EXPECT_EQ(runs, (std::vector<std::string>{"first", "second"}));
}

TEST_F(HostEventsTest, TwoConcurrentRunsOfOneCallRunItOnce) {
    std::atomic<int> runs{0};
    module_->Schedule(
        "slow",
        [&runs] {
            ++runs;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        },
        AppModule::MonotonicClock::now());
    const TestHost::DeferredCall call = host_.PendingDeferredCalls().back();
    std::thread other([&call] { call.callback(call.userData); });
    call.callback(call.userData);
    other.join();
    EXPECT_EQ(runs.load(), 1);
}

TEST_F(HostEventsTest, ADeferredCallMayScheduleAnotherAndExceptionsStayInside) {
    std::vector<std::string> order;
    module_->Schedule(
        "outer",
        [&] {
            order.push_back("outer");
            module_->Schedule(
                "inner", [&] { order.push_back("inner"); }, AppModule::MonotonicClock::now());
            throw std::runtime_error("outer failed");
        },
        AppModule::MonotonicClock::now());
    EXPECT_EQ(host_.RunDeferredCalls(), 1u);
    EXPECT_EQ(host_.RunDeferredCalls(), 1u);
    EXPECT_EQ(order, (std::vector<std::string>{"outer", "inner"}));
    EXPECT_EQ(Render(CallsOf(HostCallKind::Log)),
              "Log ERROR Unhandled exception in deferred call: outer failed\n");
}

using PublicationTest = RuntimeFixture;

TEST_F(PublicationTest, AnEventGoesUnderItsOwnNameThenTheGeneralOneAndNeverUnconvertible) {
    module_->PublishResource(PluginResourceEventType::Update, "/mek-x/v1/y", Greeting{"boost", 3});
    // With an empty uri, only under the general name; an unconvertible value not at all.
    module_->PublishResource(PluginResourceEventType::Delete, "", Greeting{});
    module_->PublishResource(PluginResourceEventType::Update, "/mek-x/v1/y", Unregistered{});
    // An enumeration number without a name is sent as its number.
    PluginResourceEvent event;
    event.uri = "/mek-x/v1/y";
    event.eventType = static_cast<PluginResourceEventType>(7);
    ASSERT_FALSE(module_->SendResourceEvent("OnJsonApiEvent", event, 0).IsFailure());
    EXPECT_EQ(
        Recorded(),
        R"(SendEvent OnJsonApiEvent_mek-x_v1_y flags=0 {"data":{"count":3,"text":"boost"},"eventType":"Update","uri":"/mek-x/v1/y"}
SendEvent OnJsonApiEvent flags=0 {"data":{"count":3,"text":"boost"},"eventType":"Update","uri":"/mek-x/v1/y"}
SendEvent OnJsonApiEvent flags=0 {"data":{"count":0,"text":""},"eventType":"Delete","uri":""}
SendEvent OnJsonApiEvent_mek-x_v1_y flags=0 {"data":null,"eventType":7,"uri":"/mek-x/v1/y"}
SendEvent OnJsonApiEvent flags=0 {"data":null,"eventType":7,"uri":"/mek-x/v1/y"}
)");
}

}  // namespace
}  // namespace Velto::Client::Testing
