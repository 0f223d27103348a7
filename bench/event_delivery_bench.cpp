// The delivery of a host event to a typed resource handler, next to the bare conversion of its
// payload: 100,000 login-data-packet events per run, each decoded, dispatched to the handler of
// its URI and converted into the handler's record. The delivery machinery (handler lookup,
// decoding into the event record, dispatch, the typed conversion) should add less than half of
// what FromHostValue of the same payload costs.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "bench/side_by_side.h"
#include "binding/host_value_conversion.h"
#include "host/test_host.h"
#include "runtime/app_module.h"

namespace {

constexpr int kEventsPerRun = 100000;
constexpr char kUri[] = "/mek-login/v1/login-data-packet";
constexpr char kEventName[] = "OnJsonApiEvent_mek-login_v1_login-data-packet";

struct LoginDataPacket {
    uint64_t timeUntilFirstWinOfDay = 0;
};

class DeliveryModule final : public Velto::Client::AppModule {
  public:
    DeliveryModule() : AppModule("delivery-bench", "backend") {}

    void RegisterTypes() override {
        Registry()
            .RegisterStruct<LoginDataPacket>("LoginDataPacket")
            .Field<uint64_t>("timeUntilFirstWinOfDay",
                             offsetof(LoginDataPacket, timeUntilFirstWinOfDay));
    }

    uint64_t received = 0;
};

// A login data packet of the size a client sees: the one member the handler reads among
// summoner data, settings and a list of game configurations.
std::string LoginPacketJson() {
    std::string configs;
    for (int index = 0; index < 24; ++index) {
        configs += (index == 0 ? "" : ",");
        configs += R"({"id": )" + std::to_string(index) +
                   R"(, "gameMode": "CLASSIC", "mapId": 11, "pickMode": "DraftModeSinglePlayer",)"
                   R"( "maxAllowableBans": 10, "allowTrades": true, "exclusivePick": false,)"
                   R"( "teamSize": 5, "duplicatePick": false, "name": "GAME_CFG_)" +
                   std::to_string(index) + R"("})";
    }
    return R"({"uri": ")" + std::string(kUri) +
           R"(", "eventType": "Update", "data": {)"
           R"("timeUntilFirstWinOfDay": 5400000, "platformId": "EUW1", "minutesUntilShutdown": 0,)"
           R"( "matchmakingDelay": 0, "restrictedChatGamesRemaining": 0, "leaverPenaltyLevel": 0,)"
           R"( "allSummonerData": {"summoner": {"summonerId": 123456789, "acctId": 987654321,)"
           R"( "name": "Player One", "profileIconId": 4368, "summonerLevel": 187,)"
           R"( "expPoints": 1234, "expToNextLevel": 2880, "revisionDate": 1700000000000},)"
           R"( "summonerLevelAndPoints": {"infPoints": 0, "expPoints": 1234, "summonerLevel": 187}},)"
           R"( "gameTypeConfigs": [)" +
           configs +
           R"(],)"
           R"( "clientSystemStates": {"queueThrottleDTO": {}, "freeToPlayChampionIdList": [1, 2, 3,)"
           R"( 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20],)"
           R"( "observerModeEnabled": true, "practiceGameEnabled": true, "minNumPlayersForPracticeGame": 1},)"
           R"( "broadcastNotification": {"broadcastMessages": []}, "inGhostGame": false}})";
}

// A started module subscribed to the login data packet, and the event the host delivers.
struct DeliverySetup {
    DeliverySetup() {
        Velto::Client::RegisterRuntimeTypes(module.Registry());
        module.RegisterTypes();
        context = Velto::Client::HostContext{host.Api(), 1};
        module.Start(&context);
        module.SubscribeResource<LoginDataPacket>(
            kUri, [this](const Velto::Client::TypedResourceEvent<LoginDataPacket>& event) {
                module.received += event.data.timeUntilFirstWinOfDay;
            });
        payload = *Velto::TestHost::HostValueTree::FromJson(LoginPacketJson());
        for (const Velto::TestHost::Subscription& subscription : host.Subscriptions()) {
            if (subscription.eventName == kEventName) {
                callback = subscription.callback;
                event =
                    Velto::Client::HostEvent{kEventName, payload.Value(), 0, subscription.userData};
            }
        }
    }

    Velto::TestHost::TestHost host;
    Velto::Client::HostContext context{};
    DeliveryModule module;
    Velto::TestHost::HostValueTree payload;
    Velto::Client::HostEventCallback callback = nullptr;
    Velto::Client::HostEvent event{};
};

void EventDelivery(benchmark::State& state) {
    DeliverySetup setup;
    if (setup.callback == nullptr) {
        state.SkipWithError("no subscription");
        return;
    }
    for (auto _ : state) {
        for (int index = 0; index < kEventsPerRun; ++index) {
            setup.callback(&setup.event);
        }
    }
    if (setup.module.received == 0) {
        state.SkipWithError("the handler was not reached");
    }
    state.SetItemsProcessed(state.iterations() * kEventsPerRun);
}
BENCHMARK(EventDelivery)->Unit(benchmark::kMillisecond);

void BareFromHostValue(benchmark::State& state) {
    const Velto::TestHost::HostValueTree payload =
        *Velto::TestHost::HostValueTree::FromJson(LoginPacketJson());
    for (auto _ : state) {
        for (int index = 0; index < kEventsPerRun; ++index) {
            Velto::Client::HostResponse scratch{};
            Velto::BindingProperty property;
            if (!Velto::FromHostValue(scratch, property, payload.Value(), "<result>")) {
                state.SkipWithError("conversion failed");
                return;
            }
            benchmark::DoNotOptimize(property.Size());
        }
    }
    state.SetItemsProcessed(state.iterations() * kEventsPerRun);
}
BENCHMARK(BareFromHostValue)->Unit(benchmark::kMillisecond);

MEK_BENCH_COMPARE("event delivery vs FromHostValue", EventDelivery, BareFromHostValue);

}  // namespace
