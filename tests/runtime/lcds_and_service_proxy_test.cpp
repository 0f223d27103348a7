#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "runtime/event_names.h"
#include "runtime/service_proxy.h"
#include "tests/runtime/runtime_fixture.h"

namespace Velto::Client::Testing {
namespace {

using ::testing::StartsWith;

constexpr uint32_t kPost = static_cast<uint32_t>(HttpMethod::Post);
constexpr char kInvoke[] = "/mek-login/v1/session/invoke";
constexpr char kGreetingClass[] = "com.example.GreetingDTO";

class LcdsTest : public RuntimeFixture {
  protected:
    LcdsTest() {
        module_->RegisterLcdsStruct<Greeting>(kGreetingClass, "LcdsGreeting")
            .Field<std::string>("text", offsetof(Greeting, text))
            .Field<int32_t>("count", offsetof(Greeting, count));
    }

    void AnswerInvoke(const std::string& json) {
        host_.SetAnswer(kPost, kInvoke, HostAnswer::Value(Json(json)));
    }

    template <class T, class... Args>
    MaybeType<Failure, T> Call(const Args&... args) {
        return module_->Await(module_->CallLcds<T>("greetingService", "greet", args...));
    }
};

TEST_F(LcdsTest, ACallPostsServiceMethodAndArgumentsAndChecksTheClass) {
    AnswerInvoke(R"({"typeName": "com.example.GreetingDTO", "body": {"text": "hi", "count": 2}})");
    MaybeType<Failure, Greeting> greeting = Call<Greeting>(int32_t{5}, std::string("x"));
    ASSERT_FALSE(greeting.IsFailure()) << greeting.GetFailure().Message();
    EXPECT_EQ(greeting.Value().text, "hi");
    // A record without a class takes any type name.
    AnswerInvoke(R"({"typeName": "anything.At.All", "body": {"mood": "Busy"}})");
    MaybeType<Failure, Status> status = Call<Status>();
    ASSERT_FALSE(status.IsFailure()) << status.GetFailure().Message();
    EXPECT_EQ(status.Value().mood, Mood::Busy);
    // The future is ready: no wait.
    EXPECT_EQ(
        Recorded(),
        R"(SendRequest POST /mek-login/v1/session/invoke ("greetingService","greet",[5,"x"]) context=7
SendRequest POST /mek-login/v1/session/invoke ("greetingService","greet",[]) context=7
)");
}

TEST_F(LcdsTest, FailuresCarryTheirTextsWithCodeZero) {
    for (const auto& [answer, message] : std::initializer_list<std::pair<const char*, const char*>>{
             {R"({"typeName": "com.example.Other", "body": {"text": "hi"}})",
              "Expected 'com.example.GreetingDTO' as LCDS response for greetingService.greet, "
              "but got 'com.example.Other'"},
             {R"({"typeName": "com.example.GreetingDTO"})", ""},
             {R"({"typeName": "com.example.GreetingDTO", "body": {"count": "many"}})",
              "Couldn't convert LCDS DTO "},
         }) {
        AnswerInvoke(answer);
        EXPECT_THAT(FailureText(Call<Greeting>()), StartsWith(std::string("0 ") + message));
    }
    host_.ClearAnswers();
    EXPECT_THAT(FailureText(Call<Greeting>()), StartsWith("404 "))
        << "the request failure passes unchanged";
    EXPECT_THAT(FailureText(Call<Greeting>(Unregistered{})),
                StartsWith("0 Couldn't convert LCDS call parameters: "));
}

TEST_F(LcdsTest, MessagesAreDispatchedLaterToTheCurrentHandlerOfTheirClass) {
    std::vector<std::string> seen;
    const auto watch = [&](const std::string& tag) {
        module_->SubscribeLcds<Greeting>(kGreetingClass, [&seen, tag](const Greeting& greeting) {
            seen.push_back(tag + ":" + greeting.text);
        });
    };
    watch("first");
    watch("second");
    const std::string eventName = LcdsEventName(kGreetingClass);
    Fire(eventName, R"({"clientId": "c", "subtopic": "s", "typeName": "com.example.GreetingDTO",
                        "body": {"text": "hello"}})");
    Fire(eventName, R"({"typeName": "com.example.Unknown", "body": {"text": "nobody"}})");
    Fire(eventName, R"({"typeName": "com.example.GreetingDTO", "body": [1]})");
    // LCDS subscriptions are not counted; a class without a handler schedules nothing.
    EXPECT_EQ(Recorded(), R"~(Subscribe OnLcdsEvent_com_example_GreetingDTO handle=7 flags=1
Subscribe OnLcdsEvent_com_example_GreetingDTO handle=7 flags=1
ScheduleCall "Event: OnLcdsEvent (com.example.GreetingDTO)" 0 zero=0
ScheduleCall "Event: OnLcdsEvent (com.example.GreetingDTO)" 0 zero=0
)~");
    EXPECT_TRUE(seen.empty()) << "dispatch waits for the deferred call";

    watch("third");
    EXPECT_EQ(host_.RunDeferredCalls(), 2u);
    EXPECT_EQ(seen, (std::vector<std::string>{"third:hello"})) << "the bad body is dropped";
}

using ServiceProxyTest = RuntimeFixture;

TEST_F(ServiceProxyTest, ResponsesAreStoredUntilAPendingRequestTakesThem) {
    ServiceProxy& proxy = module_->GetServiceProxy();
    Fire("OnServiceProxyUuidEvent", R"({"uuid": "u1", "payload": "one"})");
    Fire("OnServiceProxyUuidEvent", R"({"uuid": "u1", "payload": "two"})");
    ASSERT_EQ(proxy.StoredResponses().size(), 1u);
    EXPECT_EQ(proxy.StoredResponses().at("u1").payload, "two");

    std::vector<std::string> fulfilled;
    proxy.AddPendingRequest("store.buy", [&](const ServiceProxy::Response& response) {
        fulfilled.push_back(response.payload);
    });
    Fire("OnServiceProxyMethodEvent",
         R"({"serviceName": "store", "methodName": "buy", "payload": "ok"})");
    EXPECT_EQ(fulfilled, (std::vector<std::string>{"ok"}));
    EXPECT_EQ(proxy.PendingRequestCount(), 0u);
    EXPECT_EQ(proxy.StoredResponses().count("store.buy"), 0u);
    EXPECT_EQ(proxy.StoredResponses().count("u1"), 1u);
    EXPECT_EQ(Recorded(), "Log ALWAYS Fulfilled service proxy request: store.buy\n");
}

TEST_F(ServiceProxyTest, ARequestWhoseHandlerThrowsStaysPendingForTheNextResponse) {
    ServiceProxy& proxy = module_->GetServiceProxy();
    std::vector<std::string> seen;
    proxy.AddPendingRequest("store.buy", [&](const ServiceProxy::Response& response) {
        seen.push_back(response.payload);
        if (seen.size() == 1) {
            throw std::runtime_error("not yet");
        }
    });
    const char* const buy = R"({"serviceName": "store", "methodName": "buy", "payload": ")";
    Fire("OnServiceProxyMethodEvent", std::string(buy) + "first\"}");
    Fire("OnServiceProxyMethodEvent", std::string(buy) + "second\"}");
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(proxy.PendingRequestCount(), 0u);
}

constexpr char kPing[] = R"({"serviceName": "chat", "methodName": "ping"})";
constexpr char kNoPingHandler[] =
    "Could not find registered handler for async service proxy event chat.ping";

// Without a handler, the event is logged as missing (see the re-entry test below).
TEST_F(ServiceProxyTest, AsyncEventsGoToTheirHandlerAndAreNotStored) {
    int calls = 0;
    module_->GetServiceProxy().AddAsyncHandler("chat.ping",
                                               [&](const ServiceProxy::Response&) { ++calls; });
    Fire("OnServiceProxyAsyncEvent", kPing);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Recorded(), "");
    EXPECT_TRUE(module_->GetServiceProxy().StoredResponses().empty()) << "async is not stored";
}

// The host's log slot may deliver a service-proxy event on the same thread, and a handler may
// store further responses: nothing waits for the lock the same thread holds, each pending
// handler runs once, and a request stored while its key is being fulfilled stays.
TEST_F(ServiceProxyTest, HandlersAndTheHostsLogSlotMayReenter) {
    ServiceProxy& proxy = module_->GetServiceProxy();
    std::vector<std::string> order;
    const auto fire = [this](const std::string& service, const std::string& method) {
        Fire("OnServiceProxyMethodEvent",
             R"({"serviceName": ")" + service + R"(", "methodName": ")" + method + R"("})");
    };
    proxy.AddPendingRequest("store.buy", [&](const ServiceProxy::Response&) {
        order.push_back("buy");
        fire("store", "buy");
        fire("store", "gift");
        proxy.AddPendingRequest(
            "store.buy", [&](const ServiceProxy::Response&) { order.push_back("next buy"); });
    });
    proxy.AddPendingRequest("store.gift",
                            [&](const ServiceProxy::Response&) { order.push_back("gift"); });
    host_.SetLogHook([&](int32_t, const std::string& text) {
        order.push_back(text);
        if (text.ends_with("chat.ping")) {
            fire("store", "buy");
        }
    });
    Fire("OnServiceProxyAsyncEvent", kPing);
    EXPECT_EQ(order, (std::vector<std::string>{kNoPingHandler, "buy", "gift",
                                               "Fulfilled service proxy request: store.gift",
                                               "Fulfilled service proxy request: store.buy"}));
    EXPECT_EQ(proxy.PendingRequestCount(), 1u) << "the request stored by the handler stays";
    EXPECT_EQ(proxy.StoredResponses().count("store.buy"), 1u)
        << "the response stored by the handler stays";
    proxy.FulfilPendingServiceProxyRequest();
    EXPECT_EQ(order.back(), "Fulfilled service proxy request: store.buy");
    EXPECT_EQ(order[order.size() - 2], "next buy");
}

}  // namespace
}  // namespace Velto::Client::Testing
