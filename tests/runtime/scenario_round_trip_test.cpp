// The road of one event, played by a scenario against a small module that does what a feature
// does: a served login packet is fetched at start, a fired update triggers an LCDS call whose
// canned answer is awaited and published, and an LCDS message is dispatched from a deferred call.
#include <string>
#include <vector>

#include "host/scenario.h"
#include "tests/runtime/runtime_fixture.h"

namespace Velto::Client::Testing {
namespace {

struct LoginPacket {
    uint64_t timeUntilFirstWinOfDay = 0;
};

struct Boosts {
    uint64_t summonerId = 0;
    int32_t xpBoostPerWinCount = 0;
};

constexpr char kBoostsClass[] = "com.example.boost.BoostsDTO";

class BoostsLikeModule final : public AppModule {
  public:
    BoostsLikeModule() : AppModule("scenario-test", "backend") {}

    void RegisterTypes() override {
        Registry()
            .RegisterStruct<LoginPacket>("LoginPacket")
            .Field<uint64_t>("timeUntilFirstWinOfDay",
                             offsetof(LoginPacket, timeUntilFirstWinOfDay));
        RegisterLcdsStruct<Boosts>(kBoostsClass, "TestLcdsBoosts")
            .Field<uint64_t>("summonerId", offsetof(Boosts, summonerId))
            .Field<int32_t>("xpBoostPerWinCount", offsetof(Boosts, xpBoostPerWinCount));
    }

    bool OnStart() override {
        SubscribeResource<LoginPacket>(
            "/mek-login/v1/login-data-packet",
            [this](const TypedResourceEvent<LoginPacket>& event) {
                firstWinTimes.push_back(event.data.timeUntilFirstWinOfDay);
                Refresh();
            });
        SubscribeLcds<Boosts>(kBoostsClass, [this](const Boosts& boosts) { Publish(boosts); });
        return true;
    }

    std::vector<uint64_t> firstWinTimes;

  private:
    void Refresh() {
        MaybeType<Failure, Boosts> boosts =
            Await(CallLcds<Boosts>("inventoryService", "getSummonerActiveBoosts"));
        if (!boosts.IsFailure()) {
            Publish(boosts.Value());
        }
    }
    void Publish(const Boosts& boosts) {
        PublishResource(PluginResourceEventType::Update, "/scenario-test/v1/boosts", boosts);
    }
};

std::vector<std::string> Play(TestHost::TestHost& host, const std::string& text) {
    TestHost::ScenarioError error;
    std::optional<TestHost::Scenario> scenario = TestHost::Scenario::Parse(text, &error);
    EXPECT_TRUE(scenario.has_value()) << error.ToString();
    TestHost::ScenarioContext context{host};
    host.GetTranscript().Clear();
    EXPECT_TRUE(scenario.has_value() && scenario->Run(context, &error)) << error.ToString();
    return host.GetTranscript().Lines();
}

TEST(ScenarioRoundTrip, AServedPacketAnAnsweredLcdsCallAndALcdsMessageReachTheHost) {
    TestHost::TestHost host;
    Play(host, R"(serve /mek-login/v1/login-data-packet {"timeUntilFirstWinOfDay": 5400000}
answer POST /mek-login/v1/session/invoke value {"typeName": "com.example.boost.BoostsDTO", "body": {"summonerId": 42, "xpBoostPerWinCount": 3}}
)");
    BoostsLikeModule module;
    RegisterRuntimeTypes(module.Registry());
    module.RegisterTypes();
    HostContext context{host.Api(), 1};
    ASSERT_TRUE(module.Start(&context));
    EXPECT_EQ(module.firstWinTimes, (std::vector<uint64_t>{5400000})) << "fetched at start";

    host.ClearCalls();
    Play(
        host,
        R"(fire OnJsonApiEvent_mek-login_v1_login-data-packet {"uri": "/mek-login/v1/login-data-packet", "eventType": "Update", "data": {"timeUntilFirstWinOfDay": 60000}}
fire OnLcdsEvent_com_example_boost_BoostsDTO {"typeName": "com.example.boost.BoostsDTO", "body": {"summonerId": 42, "xpBoostPerWinCount": 4}}
run-deferred
)");
    EXPECT_EQ(module.firstWinTimes, (std::vector<uint64_t>{5400000, 60000}));
    EXPECT_EQ(
        Render(host.Calls()),
        R"~(SendRequest POST /mek-login/v1/session/invoke ("inventoryService","getSummonerActiveBoosts",[]) context=1
SendEvent OnJsonApiEvent_scenario-test_v1_boosts flags=0 {"data":{"summonerId":42,"xpBoostPerWinCount":3},"eventType":"Update","uri":"/scenario-test/v1/boosts"}
SendEvent OnJsonApiEvent flags=0 {"data":{"summonerId":42,"xpBoostPerWinCount":3},"eventType":"Update","uri":"/scenario-test/v1/boosts"}
ScheduleCall "Event: OnLcdsEvent (com.example.boost.BoostsDTO)" 0 zero=0
SendEvent OnJsonApiEvent_scenario-test_v1_boosts flags=0 {"data":{"summonerId":42,"xpBoostPerWinCount":4},"eventType":"Update","uri":"/scenario-test/v1/boosts"}
SendEvent OnJsonApiEvent flags=0 {"data":{"summonerId":42,"xpBoostPerWinCount":4},"eventType":"Update","uri":"/scenario-test/v1/boosts"}
)~");
    EXPECT_EQ(host.UnreleasedResponses(), 0u);
    module.Shutdown();
}

}  // namespace
}  // namespace Velto::Client::Testing
