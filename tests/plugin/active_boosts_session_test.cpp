// The plug-in's API and a whole session, played against the built plug-in by the test host only.
// The bundled scenarios play each step of a session and check its events and answers; these tests
// check what a scenario cannot: the clock, the memory, and answers and packets that do not convert.
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

HostValueTree Json(const std::string& text) {
    std::string error;
    std::optional<HostValueTree> tree = HostValueTree::FromJson(text, &error);
    EXPECT_TRUE(tree.has_value()) << error << " in " << text;
    return tree ? std::move(*tree) : HostValueTree();
}

// The query answered with an LCDS object of the boosts class with `body`.
HostAnswer BoostsAnswer(const std::string& body) {
    return HostAnswer::Value(
        Json(std::string(R"({"typeName":")") + kBoostsClass + R"(","body":)" + body + "}"));
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

// An LCDS boost state of the inventory service, as JSON.
const std::string kFirstBoosts =
    R"({"summonerId":2874410,"ipBoostEndDate":1500000000999,"ipBoostPerWinCount":0,)"
    R"("ipLoyaltyBoost":0,"xpBoostEndDate":1500086400000,"xpBoostPerWinCount":3,)"
    R"("xpLoyaltyBoost":0})";
// The resource's data as the plug-in serves it after kFirstBoosts, its first-win time "*".
const std::string kFirstResource =
    R"({"firstWinOfTheDayStartTime":"*","ipBoostEndDate":"2017-07-14T02:40:00Z",)"
    R"("ipBoostPerWinCount":0,"ipLoyaltyBoost":0,"summonerId":2874410,)"
    R"("xpBoostEndDate":"2017-07-15T02:40:00Z","xpBoostPerWinCount":3,"xpLoyaltyBoost":0})";

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
        FireStoreFulfilment(R"({"summonerId":7,"xpBoostPerWinCount":"x"})");
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
        if (!answer || !answer->released) {
            return "no released answer";
        }
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

    // The calls of one kind since the last Fire: event names, or the texts of log lines.
    std::vector<std::string> Take(HostCallKind kind) {
        std::vector<std::string> texts;
        for (const HostCall& call : host_.Calls()) {
            if (call.kind == kind) {
                texts.push_back(kind == HostCallKind::SendEvent ? call.name : call.text);
            }
        }
        return texts;
    }

    // The first-win date of the latest event published since the last Fire; "unset" without one.
    std::string PublishedFirstWin() {
        std::string firstWin = "unset";
        for (const HostCall& call : host_.Calls()) {
            if (call.kind == HostCallKind::SendEvent) {
                WithoutFirstWin(call.payload.ToJson(), &firstWin);
            }
        }
        return firstWin;
    }

    // A purchase of a boost; a field of `data` that does not convert keeps 0.
    void FireStoreFulfilment(const std::string& data) {
        Fire(kStoreEvent, R"({"clientId":"c","typeName":"com.veltogames.platform.messaging.)"
                          R"(StoreFulfillmentNotification","body":{"inventoryType":"BOOST",)"
                          R"("data":)" +
                              data + "}}");
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
    EXPECT_EQ(described.at(0), std::string("function GetMekActiveBoostsV1ActiveBoosts GET \"") +
                                   kResource + "\" () returns ActiveBoosts");
    EXPECT_NE(std::find(described.begin(), described.end(),
                        "type PluginResourceEventType size=4 {Create=0, Delete=2, Update=1}"),
              described.end());
    EXPECT_EQ(host_.Description().functions.at(0).tags,
              (std::vector<std::string>{"Plugins", "Plugin mek-active-boosts"}));

    // The bundled scenarios check each step's events and answers; this test checks the clock's
    // part of the first-win time and the memory the steps take.
    const int64_t before = NowSeconds();
    StartLoggedIn();
    const int64_t after = NowSeconds();
    const std::string firstWin = PublishedFirstWin();
    EXPECT_TRUE(firstWin == UtcText(before + 3600) || firstWin == UtcText(after + 3600))
        << firstWin;
    Fire(kEndOfGameEvent, R"({"uri":"/mek-end-of-game/v1/eog-stats-block","eventType":"Create",)"
                          R"("data":{"timeUntilNextFirstWinBonus":0}})");
    // A purchase whose end date falls after February of a leap year.
    FireStoreFulfilment(R"({"summonerId":2874410,"ipBoostEndDate":1600000000000})");
    EXPECT_EQ(host_.RunDeferredCalls(), 1u);

    ASSERT_TRUE(host_.Shutdown());
    EXPECT_EQ(std::count_if(host_.Calls().begin(), host_.Calls().end(),
                            [](const HostCall& c) { return c.kind == HostCallKind::Unsubscribe; }),
              6);
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    EXPECT_EQ(BytesInUse(), baseline_) << "the session's memory is given back";
}

TEST_F(ActiveBoostsSession, BadAnswersTimesAndPacketsDoNotDisturbTheResource) {
    // A host error and an answer of another class: session and wrong-lcds-class scenarios.
    StartLoggedIn();
    host_.SetAnswer(kPost, kInvoke, BoostsAnswer(R"({"summonerId":"many"})"));
    FireLoginPacket(R"({"timeUntilFirstWinOfDay":1})");
    const std::vector<std::string> logs = Take(HostCallKind::Log);
    ASSERT_FALSE(logs.empty());
    EXPECT_TRUE(logs.back().starts_with(
        "mek-active-boosts: Error requesting active boosts: Couldn't convert LCDS DTO"))
        << logs.back();
    EXPECT_TRUE(Take(HostCallKind::SendEvent).empty());
    EXPECT_EQ(Get(), "0 " + kFirstResource);

    // A delay whose ticks overflow 64 bits, alone or added to now, gives a date that cannot be
    // written.
    for (const std::string delay : {"922337203685478", "922337203685477"}) {
        SCOPED_TRACE(delay);
        host_.SetAnswer(kPost, kInvoke, BoostsAnswer(kFirstBoosts));
        FireLoginPacket(R"({"timeUntilFirstWinOfDay":)" + delay + "}");
        EXPECT_EQ(PublishedFirstWin(), "");
        bool reported = false;
        for (const std::string& line : Take(HostCallKind::Log)) {
            reported = reported || line.find("ALE-8A14EBBK") != std::string::npos;
        }
        EXPECT_TRUE(reported);
    }

    // A packet whose data does not convert is dropped.
    FireLoginPacket(R"({"timeUntilFirstWinOfDay":"soon"})");
    EXPECT_TRUE(Take(HostCallKind::SendRequest).empty());
    EXPECT_TRUE(Take(HostCallKind::SendEvent).empty());
}

}  // namespace
