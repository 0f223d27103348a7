#include "plugin/active_boosts_module.h"

#include "binding/field_converter.h"
#include "diagnostics/log.h"
#include "platform/utc_calendar.h"
#include "plugin/boost_dates.h"

namespace Velto::Client::ActiveBoosts {

namespace {

constexpr int64_t kMillisecondsPerSecond = 1000;

}  // namespace

ActiveBoostsModule::ActiveBoostsModule() : AppModule(kShortName, "backend") {}

void ActiveBoostsModule::RegisterTypes() {
    RegisterActiveBoostsTypes(Registry());
    RegisterActiveBoostsLcdsTypes(*this);
    BindGet(kActiveBoostsUri, [this] { return GetActiveBoosts(); });
}

bool ActiveBoostsModule::OnStart() {
    SubscribeLcds<LCDS::StoreFulfillmentNotification>(
        LCDS::kStoreFulfillmentClass,
        [this](const LCDS::StoreFulfillmentNotification& notification) {
            OnStoreFulfillment(notification);
        });
    SubscribeResource<Api::LoginDataPacket>(
        kLoginDataPacketUri, [this](const TypedResourceEvent<Api::LoginDataPacket>& event) {
            OnLoginDataPacket(event);
        });
    SubscribeResource<Api::EndOfGameStats>(
        kEndOfGameStatsUri,
        [this](const TypedResourceEvent<Api::EndOfGameStats>& event) { OnEndOfGameStats(event); });
    return true;
}

HandlerResponse<Api::ActiveBoosts> ActiveBoostsModule::GetActiveBoosts() const {
    if (activeBoosts_.summonerId == 0) {
        return HandlerResponse<Api::ActiveBoosts>::Failed(404, "Not found");
    }
    return HandlerResponse<Api::ActiveBoosts>::Ok(activeBoosts_);
}

void ActiveBoostsModule::OnStoreFulfillment(
    const LCDS::StoreFulfillmentNotification& notification) {
    if (notification.inventoryType != "BOOST") {
        return;
    }
    // A field that does not convert keeps 0: the purchase is applied whatever its data holds.
    LCDS::SummonerActiveBoostsDTO boosts;
    BindingResult status;
    ToNative(status, boosts, notification.data, "data", Registry());
    ApplyActiveBoosts(boosts);
}

void ActiveBoostsModule::OnLoginDataPacket(const TypedResourceEvent<Api::LoginDataPacket>& event) {
    if (event.eventType == PluginResourceEventType::Delete) {
        return;
    }
    firstWinTime_ = FirstWinTime(event.data.timeUntilFirstWinOfDay, Platform::UtcNowInTicks());
    RefreshActiveBoosts();
}

void ActiveBoostsModule::OnEndOfGameStats(const TypedResourceEvent<Api::EndOfGameStats>& event) {
    if (event.eventType != PluginResourceEventType::Create) {
        return;
    }
    firstWinTime_ = FirstWinTime(event.data.timeUntilNextFirstWinBonus, Platform::UtcNowInTicks());
    RefreshActiveBoosts();
}

void ActiveBoostsModule::RefreshActiveBoosts() {
    MaybeType<Failure, LCDS::SummonerActiveBoostsDTO> boosts = Await(
        CallLcds<LCDS::SummonerActiveBoostsDTO>("inventoryService", "getSummonerActiveBoosts"));
    if (boosts.IsFailure()) {
        LogMessage(LogLevel::Error, kLogGroupDbg,
                   "mek-active-boosts: Error requesting active boosts: %s",
                   boosts.GetFailure().Message());
        return;
    }
    ApplyActiveBoosts(boosts.Value());
}

void ActiveBoostsModule::ApplyActiveBoosts(const LCDS::SummonerActiveBoostsDTO& boosts) {
    activeBoosts_.ipBoostEndDate = FormatUtcTime(boosts.ipBoostEndDate / kMillisecondsPerSecond);
    activeBoosts_.ipBoostPerWinCount = boosts.ipBoostPerWinCount;
    activeBoosts_.ipLoyaltyBoost = boosts.ipLoyaltyBoost;
    activeBoosts_.summonerId = boosts.summonerId;
    activeBoosts_.xpBoostEndDate = FormatUtcTime(boosts.xpBoostEndDate / kMillisecondsPerSecond);
    activeBoosts_.xpBoostPerWinCount = boosts.xpBoostPerWinCount;
    activeBoosts_.xpLoyaltyBoost = boosts.xpLoyaltyBoost;
    activeBoosts_.firstWinOfTheDayStartTime = FormatUtcTime(firstWinTime_);
    PublishResource(PluginResourceEventType::Update, kActiveBoostsUri, activeBoosts_);
}

}  // namespace Velto::Client::ActiveBoosts
