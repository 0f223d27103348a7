// The plug-in's API and a whole session, played against the built plug-in by the test host only.
// Login deletions, a failing host answer and an LCDS answer of another class are played by the
// bundled scenarios.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "host/test_host.h"

namespace {

using namespace Velto::TestHost;

constexpr uint32_t kGet = 2;
constexpr uint32_t kPost = 6;
constexpr char kLoginUri[] = "/mek-login/v1/login-data-packet";
constexpr char kLoginEvent[] = "OnJsonApiEvent_mek-login_v1_login-data-packet";
constexpr char kEndOfGameEvent[] = "OnJsonApiEvent_mek-end-of-game_v1_eog-stats-block";
constexpr char kStoreEvent[] =
    "OnLcdsEvent_com_veltogames_platform_messaging_StoreFulfillmentNotification";
constexpr char kInvoke[] = "/mek-login/v1/session/invoke";
constexpr char kResource[] = "/mek-active-boosts/v1/active-boosts";
constexpr char kBoostsClass[] = "com.veltogames.platform.summoner.boost.SummonerActiveBoostsDTO";
constexpr char kFirstWin[] = R"("firstWinOfTheDayStartTime":")";
constexpr char kInvokeArguments[] = R"(["inventoryService","getSummonerActiveBoosts",[]])";

// An LCDS boost state of the inventory service, as JSON.
std::string BoostsJson(uint64_t summonerId, int64_t ipEnd, int64_t xpEnd, uint32_t xpPerWin) {
    return R"({"summonerId":)" + std::to_string(summonerId) + R"(,"ipBoostEndDate":)" +
           std::to_string(ipEnd) + R"(,"ipBoostPerWinCount":0,"ipLoyaltyBoost":0,)" +
           R"("xpBoostEndDate":)" + std::to_string(xpEnd) + R"(,"xpBoostPerWinCount":)" +
           std::to_string(xpPerWin) + R"(,"xpLoyaltyBoost":0})";
}

// The query's answer as JSON: an LCDS object of the boosts class with `body`.
std::string LcdsAnswer(const std::string& body) {
    return std::string(R"({"typeName":")") + kBoostsClass + R"(","body":)" + body + "}";
}

HostValueTree Json(const std::string& text) {
    std::string error;
    std::optional<HostValueTree> tree = HostValueTree::FromJson(text, &error);
    EXPECT_TRUE(tree.has_value()) << error << " in " << text;
    return tree ? std::move(*tree) : HostValueTree();
}

// The query answered with an LCDS object of the boosts class with `body`.
HostAnswer BoostsAnswer(const std::string& body) {
    return HostAnswer::Value(Json(LcdsAnswer(body)));
}

// The resource's data as the plug-in publishes and serves it, its first-win time written "*".
std::string ResourceJson(uint64_t summonerId, const char* ipEnd, const char* xpEnd,
                         uint32_t xpPerWin) {
    return std::string(R"({"firstWinOfTheDayStartTime":"*","ipBoostEndDate":")") + ipEnd +
           R"(","ipBoostPerWinCount":0,"ipLoyaltyBoost":0,"summonerId":)" +
           std::to_string(summonerId) + R"(,"xpBoostEndDate":")" + xpEnd +
           R"(","xpBoostPerWinCount":)" + std::to_string(xpPerWin) + R"(,"xpLoyaltyBoost":0})";
}

std::string UtcText(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&time));
    return text;
}

int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Cuts the first-win date out of `json` into `date`, leaving "*" in its place.
std::string WithoutFirstWin(std::string json, std::string* date = nullptr) {
    const std::size_t start = json.find(kFirstWin);
    if (start == std::string::npos) {
        return json;
    }
    const std::size_t begin = start + sizeof kFirstWin - 1;
    const std::size_t end = json.find('"', begin);
    if (date != nullptr) {
        *date = json.substr(begin, end - begin);
    }
    return json.replace(begin, end - begin, "*");
}

const std::string kFirstBoosts = BoostsJson(2874410, 1500000000999, 1500086400000, 3);
const std::string kFirstResource =
    ResourceJson(2874410, "2017-07-14T02:40:00Z", "2017-07-15T02:40:00Z", 3);
const std::string kFirstUpdate =
    R"({"data":)" + kFirstResource +
    R"(,"eventType":"Update","uri":"/mek-active-boosts/v1/active-boosts"})";

// A module of the built plug-in, loaded after a first session made the allocations that last as
// long as the library (type identities, the logger), so that the memory of the second is
// measured alone.
class ActiveBoostsSession : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host_.OpenLibrary(MEK_PLUGIN_PATH, &error)) << error;
        ASSERT_EQ(host_.Load(), LoadResult::Accepted);
        StartLoggedIn();
        FireStoreFulfilment("BOOST");
        host_.RunDeferredCalls();
        Get();
        host_.Shutdown();
        host_.ClearCalls();
        baseline_ = BytesInUse();
        ASSERT_EQ(host_.Load(), LoadResult::Accepted);
    }

    // A GET of the resource through the function entry the host chooses: "status error" or
    // "status value".
    std::string Get() {
        RecordedRequest request;
        request.method = kGet;
        request.path = kResource;
        const std::optional<FunctionAnswer> answer = host_.CallFunction(request);
        if (!answer) {
            return "no function";
        }
        EXPECT_TRUE(answer->released);
        return std::to_string(answer->statusCode) + " " +
               (answer->errorMessage ? *answer->errorMessage
                                     : WithoutFirstWin(answer->body.ToJson()));
    }

    int64_t BytesInUse() {
        const std::optional<Velto::Client::MemoryStats> stats = host_.GetMemoryStats();
        return stats ? static_cast<int64_t>(stats->bytesAllocated - stats->bytesFreed) : -1;
    }

    // Starts with the login data packet the host holds and the query answered with `query`.
    void StartLoggedIn(HostAnswer query = BoostsAnswer(kFirstBoosts)) {
        host_.SetAnswer(kGet, kLoginUri,
                        HostAnswer::Value(Json(R"({"timeUntilFirstWinOfDay":3600000})")));
        host_.SetAnswer(kPost, kInvoke, std::move(query));
        ASSERT_TRUE(host_.Start());
    }

    // The calls since the last Take, of one kind, as "name payload" or "METHOD path arguments"
    // texts (log lines as their message).
    std::vector<std::string> Take(HostCallKind kind) {
        std::vector<std::string> texts;
        for (const HostCall& call : host_.Calls()) {
            if (call.kind != kind) {
                continue;
            }
            if (kind == HostCallKind::SendEvent) {
                texts.push_back(call.name + " " + WithoutFirstWin(call.payload.ToJson()));
            } else if (kind == HostCallKind::SendRequest) {
                std::string arguments;
                for (const auto& argument : call.request.arguments) {
                    arguments += (arguments.empty() ? "" : ",") + argument.value.ToJson();
                }
                texts.push_back(MethodText(call.request.method) + " " + call.request.path + " [" +
                                arguments + "]");
            } else {
                texts.push_back(call.text);
            }
        }
        return texts;
    }

    std::vector<std::string> Events() { return Take(HostCallKind::SendEvent); }

    // The first-win date of the latest event published since the last Take; "unset" without one.
    std::string PublishedFirstWin() {
        std::string firstWin = "unset";
        for (const HostCall& call : host_.Calls()) {
            if (call.kind == HostCallKind::SendEvent) {
                WithoutFirstWin(call.payload.ToJson(), &firstWin);
            }
        }
        return firstWin;
    }

    void FireStoreFulfilment(
        const std::string& inventoryType,
        const std::string& data = R"({"summonerId":7,"xpBoostPerWinCount":"x"})") {
        Fire(kStoreEvent, R"({"clientId":"c","typeName":"com.veltogames.platform.messaging.)"
                          R"(StoreFulfillmentNotification","body":{"inventoryType":")" +
                              inventoryType + R"(","data":)" + data + "}}");
    }

    void FireLoginPacket(const std::string& data) {
        Fire(kLoginEvent, std::string(R"({"uri":")") + kLoginUri +
                              R"(","eventType":"Update","data":)" + data + "}");
    }

    void Fire(const char* event, const std::string& payload) {
        host_.ClearCalls();
        host_.FireEvent(event, Json(payload));
    }

    TestHost host_;
    int64_t baseline_ = 0;
};

TEST_F(ActiveBoostsSession, DescribesTheResourceAndKeepsItCurrentFromStartToShutdown) {
    // The resource's function and event type as the host's clients see them.
    const std::vector<std::string> described = host_.Description().Summaries();
    for (const std::string& line :
         {std::string("function GetMekActiveBoostsV1ActiveBoosts GET \"") + kResource +
              "\" () returns ActiveBoosts",
          std::string("type PluginResourceEventType size=4 {Create=0, Delete=2, Update=1}")}) {
        SCOPED_TRACE(line);
        EXPECT_NE(std::find(described.begin(), described.end(), line), described.end());
    }
    EXPECT_EQ(host_.Description().functions.at(0).tags,
              (std::vector<std::string>{"Plugins", "Plugin mek-active-boosts"}));

    EXPECT_EQ(Get(), "404 Not found");
    const int64_t before = NowSeconds();
    // The query's answer comes streamed, in two pieces; the plug-in releases the stream.
    const std::string answer = LcdsAnswer(kFirstBoosts);
    StartLoggedIn(HostAnswer::Stream(
        {StreamPiece{answer.substr(0, 40), true}, StreamPiece{answer.substr(40), false}}));
    const int64_t after = NowSeconds();
    EXPECT_EQ(Take(HostCallKind::SendRequest),
              (std::vector<std::string>{"GET /mek-login/v1/login-data-packet []",
                                        std::string("POST ") + kInvoke + " " + kInvokeArguments,
                                        "GET /mek-end-of-game/v1/eog-stats-block []"}));
    EXPECT_EQ(Events(), (std::vector<std::string>{
                            "OnJsonApiEvent_mek-active-boosts_v1_active-boosts " + kFirstUpdate,
                            "OnJsonApiEvent " + kFirstUpdate}));
    const std::string firstWin = PublishedFirstWin();
    EXPECT_TRUE(firstWin == UtcText(before + 3600) || firstWin == UtcText(after + 3600))
        << firstWin;
    EXPECT_EQ(Get(), "0 " + kFirstResource);

    // A new end-of-game block queries again, and a purchase is applied in the deferred call
    // without one; the session scenario checks each step, this test the memory they take.
    Fire(kEndOfGameEvent, R"({"uri":"/mek-end-of-game/v1/eog-stats-block","eventType":"Create",)"
                          R"("data":{"timeUntilNextFirstWinBonus":0}})");
    EXPECT_EQ(Take(HostCallKind::SendRequest).size(), 1u);
    FireStoreFulfilment("BOOST", BoostsJson(2874410, 1600000000000, 1500086400000, 5));
    EXPECT_EQ(host_.RunDeferredCalls(), 1u);
    EXPECT_EQ(Get(),
              "0 " + ResourceJson(2874410, "2020-09-13T12:26:40Z", "2017-07-15T02:40:00Z", 5));

    ASSERT_TRUE(host_.Shutdown());
    EXPECT_EQ(std::count_if(host_.Calls().begin(), host_.Calls().end(),
                            [](const HostCall& c) { return c.kind == HostCallKind::Unsubscribe; }),
              6);
    EXPECT_TRUE(host_.Subscriptions().empty()) << "every subscription ends";
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    EXPECT_EQ(host_.UnreleasedStreams(), 0u);
    EXPECT_EQ(BytesInUse(), baseline_) << "the session's memory is given back";
}

TEST_F(ActiveBoostsSession, AFailedQueryIsLoggedAndKeepsThePreviousState) {
    StartLoggedIn();
    const struct {
        const char* name;
        HostAnswer answer;
        std::string log;
    } cases[] = {
        // A host error and an answer of another class: session and wrong-lcds-class scenarios.
        {"no body", BoostsAnswer("null"), "mek-active-boosts: Error requesting active boosts: "},
        {"body that does not convert", BoostsAnswer(R"({"summonerId":"many"})"),
         "mek-active-boosts: Error requesting active boosts: Couldn't convert LCDS DTO"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        host_.SetAnswer(kPost, kInvoke, test.answer);
        FireLoginPacket(R"({"timeUntilFirstWinOfDay":1})");
        const std::vector<std::string> logs = Take(HostCallKind::Log);
        ASSERT_FALSE(logs.empty());
        EXPECT_EQ(logs.back().substr(0, test.log.size()), test.log) << logs.back();
        EXPECT_TRUE(Events().empty());
        EXPECT_EQ(Get(), "0 " + kFirstResource);
    }
}

TEST_F(ActiveBoostsSession, BadTimesAndPacketsDoNotDisturbTheResource) {
    StartLoggedIn();
    // A delay whose ticks overflow 64 bits gives a date that cannot be written.
    FireLoginPacket(R"({"timeUntilFirstWinOfDay":922337203685478})");
    EXPECT_EQ(PublishedFirstWin(), "");
    bool reported = false;
    for (const std::string& line : Take(HostCallKind::Log)) {
        reported = reported || line.find("ALE-8A14EBBK") != std::string::npos;
    }
    EXPECT_TRUE(reported);

    // An end date a day before 1970 cannot be written either; a field that does not convert
    // keeps 0.
    FireStoreFulfilment("BOOST",
                        R"({"summonerId":1,"ipBoostEndDate":-86400000,"xpBoostPerWinCount":"x"})");
    host_.RunDeferredCalls();
    EXPECT_EQ(Get(), "0 " + ResourceJson(1, "", "1970-01-01T00:00:00Z", 0));

    // Only a fulfilment of inventory type BOOST, spelt exactly so, is applied.
    for (const char* inventoryType : {"boost", "BOOSTS", ""}) {
        SCOPED_TRACE(inventoryType);
        FireStoreFulfilment(inventoryType);
        host_.RunDeferredCalls();
        EXPECT_TRUE(Events().empty());
    }

    // A packet whose data does not convert is dropped.
    FireLoginPacket(R"({"timeUntilFirstWinOfDay":"soon"})");
    EXPECT_TRUE(Take(HostCallKind::SendRequest).empty());
    EXPECT_TRUE(Events().empty());
}

}  // namespace
