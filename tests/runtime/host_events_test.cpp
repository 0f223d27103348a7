// Events between the host and the module: their names, resource subscriptions and deliveries,
// deferred calls, and resource events the module publishes.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "runtime/event_names.h"
#include "tests/runtime/runtime_fixture.h"

namespace Velto::Client::Testing {
namespace {

constexpr uint32_t kGet = static_cast<uint32_t>(HttpMethod::Get);
constexpr char kUri[] = "/mek-x/v1/greeting";
constexpr char kEvent[] = "OnJsonApiEvent_mek-x_v1_greeting";

TEST(EventNames, ResourceEventNamesKeepTheFirstSegments) {
    const struct {
        const char* uri;
        const char* name;
    } cases[] = {
        {"/mek-login/v1/login-data-packet", "OnJsonApiEvent_mek-login_v1_login-data-packet"},
        {"/mek-login/v1/session/invoke", "OnJsonApiEvent_mek-login_v1_session"},
        {"/mek-platform-config/v1/namespaces/a/b/c",
         "OnJsonApiEvent_mek-platform-config_v1_namespaces_a_b"},
        {"/mek-platform-config", "OnJsonApiEvent_mek-platform-config"},
        {"/v1/mek-platform-config/a/b/c", "OnJsonApiEvent_v1_mek-platform-config_a"},
        {"", "OnJsonApiEvent"},
        {"/", "OnJsonApiEvent"},
        {"//a///b//", "OnJsonApiEvent_a_b"},
        {"no-slash/x", "OnJsonApiEvent_no-slash_x"},
        {"/mek-x/v1/items/*", "OnJsonApiEvent_mek-x_v1_items"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EventNameForUri(c.uri), c.name) << "uri " << c.uri;
    }
}

TEST(EventNames, PatternStarsTakeOneSegmentWithoutBacktracking) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        {"/mek-x/v1/items/*", "/mek-x/v1/items/42", true},
        {"/mek-x/v1/items/*", "/mek-x/v1/items/", true},
        {"/mek-x/v1/items/*", "/mek-x/v1/items/42/parts", false},
        {"/mek-x/v1/items/*", "/mek-x/v1/items", false},
        {"/a/*b", "/a/xb", false},
        {"/a/*/c", "/a/b/c", true},
        {"/a/*/c", "/a//c", true},
        {"*", "", true},
        {"*", "/", false},
        {"", "", true},
        {"/exact", "/exact", true},
        {"/exact", "/exactly", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesUriPattern(c.pattern, c.path), c.matches)
            << c.pattern << " against " << c.path;
    }
}

// The payload of a resource event as the host sends it.
std::string EventJson(const std::string& uri, const std::string& type, const std::string& data) {
    return R"({"uri": ")" + uri + R"(", "eventType": ")" + type + R"(", "data": )" + data + "}";
}

class HostEventsTest : public RuntimeFixture {
  protected:
    // Subscribes a handler that records what it receives.
    void Watch(const std::string& uri, std::vector<TypedResourceEvent<Greeting>>& seen) {
        module_->SubscribeResource<Greeting>(
            uri, [&seen](const TypedResourceEvent<Greeting>& event) { seen.push_back(event); });
    }
};

TEST_F(HostEventsTest, SubscriptionsAreCountedPerEventName) {
    std::vector<TypedResourceEvent<Greeting>> first;
    std::vector<TypedResourceEvent<Greeting>> second;
    Watch(kUri, first);
    Watch(kUri, second);
    ASSERT_EQ(CallsOf(HostCallKind::Subscribe).size(), 1u);
    const HostCall subscribe = CallsOf(HostCallKind::Subscribe)[0];
    EXPECT_EQ(subscribe.name, kEvent);
    EXPECT_EQ(subscribe.handle, 7u);
    EXPECT_EQ(subscribe.flags, 0u);

    EXPECT_EQ(Fire(kEvent, EventJson(kUri, "Update", R"({"text": "a", "count": 1})")), 1u);
    EXPECT_TRUE(first.empty()) << "a later handler replaces the earlier one";
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].eventType, PluginResourceEventType::Update);
    EXPECT_EQ(second[0].data.text, "a");

    module_->Unsubscribe(kUri);
    EXPECT_TRUE(CallsOf(HostCallKind::Unsubscribe).empty()) << "one subscription is left";
    module_->Unsubscribe(kUri);
    ASSERT_EQ(CallsOf(HostCallKind::Unsubscribe).size(), 1u);
    EXPECT_EQ(CallsOf(HostCallKind::Unsubscribe)[0].handle, 7u);
    module_->Unsubscribe(kUri);
    module_->Unsubscribe("/never/subscribed");
    EXPECT_EQ(CallsOf(HostCallKind::Unsubscribe).size(), 1u) << "no underflow, no host call";

    module_->Subscribe(kUri);
    EXPECT_EQ(CallsOf(HostCallKind::Subscribe).size(), 2u) << "counting starts again from 0";
}

TEST_F(HostEventsTest, AnExactUriIsFetchedAtOnceThenEventsReachExactAndPatternHandlersByPath) {
    host_.SetAnswer(kGet, "/mek-x/v1/items/42", HostAnswer::Value(Json(R"({"count": 5})")));
    std::vector<TypedResourceEvent<Greeting>> exact;
    std::vector<TypedResourceEvent<Greeting>> pattern;
    Watch("/mek-x/v1/items/42", exact);
    Watch("/mek-x/v1/items/*", pattern);
    EXPECT_EQ(Kinds(),
              (std::vector<HostCallKind>{HostCallKind::Subscribe, HostCallKind::SendRequest}))
        << "subscribed before the fetch; the pattern shares the event name and is not fetched";
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    ASSERT_EQ(exact.size(), 1u);
    EXPECT_EQ(exact[0].eventType, PluginResourceEventType::Create) << "the fetched value";
    EXPECT_EQ(exact[0].data.count, 5);

    const std::string name = "OnJsonApiEvent_mek-x_v1_items";
    Fire(name, EventJson("mek-x/v1/items/42", "Update", R"({"count": 1})"));
    Fire(name, EventJson("/mek-x/v1/items/7", "Update", R"({"count": 2})"));
    Fire(name, EventJson("/mek-x/v1/items/7/parts", "Update", R"({"count": 3})"));
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_EQ(exact[1].uri, "mek-x/v1/items/42") << "the record keeps the uri as sent";
    ASSERT_EQ(pattern.size(), 2u);
    EXPECT_EQ(pattern[0].data.count, 1);
    EXPECT_EQ(pattern[1].data.count, 2);
}

TEST_F(HostEventsTest, DeletesSkipConversionAndBadPayloadsAreDropped) {
    std::vector<TypedResourceEvent<Greeting>> seen;
    Watch(kUri, seen);
    const struct {
        const char* payload;
        std::size_t delivered;
    } cases[] = {
        {R"({"uri": "/mek-x/v1/greeting", "eventType": "Delete", "data": "not a record"})", 1},
        {R"({"uri": "/mek-x/v1/greeting", "eventType": "Update", "data": "not a record"})", 0},
        {R"({"uri": "/mek-x/v1/greeting", "eventType": "Explode", "data": {}})", 0},
        {R"([1, 2, 3])", 0},
        {R"({"uri": "/mek-x/v1/other", "eventType": "Update", "data": {}})", 0},
        {R"({"uri": "/mek-x/v1/greeting", "eventType": 1, "data": {"count": 9}})", 1},
    };
    for (const auto& c : cases) {
        const std::size_t before = seen.size();
        Fire(kEvent, c.payload);
        EXPECT_EQ(seen.size() - before, c.delivered) << c.payload;
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].eventType, PluginResourceEventType::Delete);
    EXPECT_EQ(seen[0].data.text, "");
    EXPECT_EQ(seen[0].data.count, 0);
}

TEST_F(HostEventsTest, StaleForeignOrLateDeliveriesAndCallsReachNothing) {
    std::vector<TypedResourceEvent<Greeting>> seen;
    Watch(kUri, seen);
    int runs = 0;
    const auto now = AppModule::MonotonicClock::now();
    module_->Schedule(
        "later", [&] { ++runs; }, now);
    module_->Schedule(
        "much later", [&] { ++runs; }, now);
    const HostValueTree payload = Json(EventJson(kUri, "Update", R"({"count": 1})"));
    int foreign = 0;
    host_.FireEvent(kEvent, payload, nullptr);
    host_.FireEvent(kEvent, payload, &foreign);
    EXPECT_TRUE(seen.empty()) << "a delivery with another module's data reaches nothing";

    host_.SetKeepCallbacksAfterShutdown(true);
    module_->Shutdown();
    EXPECT_EQ(CallsOf(HostCallKind::Unsubscribe).size(), 4u)
        << "the resource event and the three service-proxy events";
    host_.FireEvent(kEvent, payload);
    host_.RunDeferredCalls();
    EXPECT_TRUE(seen.empty()) << "no handler after Shutdown";
    EXPECT_EQ(runs, 0) << "no deferred call after Shutdown";

    module_->Schedule(
        "after", [&] { ++runs; }, now);
    module_.reset();
    host_.FireEvent(kEvent, payload);
    Fire("OnServiceProxyUuidEvent", R"({"uuid": "u"})");
    host_.RunDeferredCalls();
    EXPECT_TRUE(seen.empty()) << "nothing reaches a destroyed module";
    EXPECT_EQ(runs, 0) << "a call left by a destroyed module is disarmed";
}

TEST_F(HostEventsTest, ScheduleAsksForTheRemainingDelayAndRunsEachCallOnce) {
    int runs = 0;
    const auto now = AppModule::MonotonicClock::now();
    EXPECT_EQ(module_->Schedule(
                  "past", [&] { ++runs; }, now - std::chrono::seconds(3)),
              1u);
    EXPECT_EQ(module_->Schedule(
                  "soon", [&] { ++runs; }, now + std::chrono::seconds(2)),
              2u);
    EXPECT_EQ(module_->Schedule("empty", {}, now), 0u);
    const std::vector<HostCall> scheduled = CallsOf(HostCallKind::ScheduleCall);
    ASSERT_EQ(scheduled.size(), 2u);
    EXPECT_EQ(scheduled[0].name, "past");
    EXPECT_EQ(scheduled[0].delaySeconds, 0.0);
    EXPECT_GT(scheduled[1].delaySeconds, 1.5);
    EXPECT_LE(scheduled[1].delaySeconds, 2.0);
    EXPECT_EQ(scheduled[1].zero, 0u);

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
    EXPECT_EQ(Logs(),
              std::vector<std::string>{"Unhandled exception in deferred call: outer failed"});
}

using PublicationTest = RuntimeFixture;

TEST_F(PublicationTest, AnEventGoesUnderItsOwnNameThenTheGeneralOneAndNeverUnconvertible) {
    module_->PublishResource(PluginResourceEventType::Update, "/mek-x/v1/y", Greeting{"boost", 3});
    const std::vector<HostCall> events = CallsOf(HostCallKind::SendEvent);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, "OnJsonApiEvent_mek-x_v1_y");
    EXPECT_EQ(events[1].name, "OnJsonApiEvent");
    EXPECT_EQ(events[1].payload.ToJson(), events[0].payload.ToJson()) << "one payload for both";
    EXPECT_EQ(events[1].flags, 0u);

    // With an empty uri, only under the general name.
    host_.ClearCalls();
    module_->PublishResource(PluginResourceEventType::Delete, "", Greeting{});
    ASSERT_EQ(CallsOf(HostCallKind::SendEvent).size(), 1u);
    EXPECT_EQ(CallsOf(HostCallKind::SendEvent)[0].name, "OnJsonApiEvent");

    host_.ClearCalls();
    module_->PublishResource(PluginResourceEventType::Update, "/mek-x/v1/y", Unregistered{});
    EXPECT_TRUE(host_.Calls().empty());

    PluginResourceEvent event;
    event.uri = "/mek-x/v1/y";
    event.eventType = static_cast<PluginResourceEventType>(7);
    ASSERT_FALSE(module_->SendResourceEvent("OnJsonApiEvent", event, 0).IsFailure());
    EXPECT_EQ(CallsOf(HostCallKind::SendEvent)[0].payload.ToJson(),
              R"({"data":null,"eventType":7,"uri":"/mek-x/v1/y"})")
        << "an enumeration number without a name is sent as its number";
}

}  // namespace
}  // namespace Velto::Client::Testing
