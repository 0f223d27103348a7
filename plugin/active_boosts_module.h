// The module of the active-boosts plug-in: serves "/mek-active-boosts/v1/active-boosts", kept
// current from the inventory service's boost query (on every login data packet and every new
// end-of-game block) and from store fulfilments of boosts, and announces every change.
//
// All handlers run on the host's threads, one at a time (resource events synchronously, store
// fulfilments in deferred calls); the state carries no lock.
#pragma once

#include <cstdint>

#include "plugin/active_boosts_records.h"
#include "remoting/handler_response.h"
#include "runtime/app_module.h"

namespace Velto::Client::ActiveBoosts {

inline constexpr const char* kShortName = "mek-active-boosts";
inline constexpr const char* kActiveBoostsUri = "/mek-active-boosts/v1/active-boosts";
inline constexpr const char* kLoginDataPacketUri = "/mek-login/v1/login-data-packet";
inline constexpr const char* kEndOfGameStatsUri = "/mek-end-of-game/v1/eog-stats-block";

class ActiveBoostsModule final : public AppModule {
  public:
    ActiveBoostsModule();

    // The records, the LCDS records and the GET route of the resource.
    void RegisterTypes() override;
    // Subscribes to store fulfilments, login data packets and end-of-game blocks, in that order.
    bool OnStart() override;

    // The resource, or 404 "Not found" before any boost state was applied.
    HandlerResponse<Api::ActiveBoosts> GetActiveBoosts() const;

  private:
    void OnStoreFulfillment(const LCDS::StoreFulfillmentNotification& notification);
    void OnLoginDataPacket(const TypedResourceEvent<Api::LoginDataPacket>& event);
    void OnEndOfGameStats(const TypedResourceEvent<Api::EndOfGameStats>& event);
    // Queries the boosts over LCDS and applies them; a failure is logged and changes nothing.
    void RefreshActiveBoosts();
    // Copies `boosts` into the resource (dates as UTC text) and publishes it.
    void ApplyActiveBoosts(const LCDS::SummonerActiveBoostsDTO& boosts);

    Api::ActiveBoosts activeBoosts_;
    int64_t firstWinTime_ = 0;  // seconds since 1970 UTC
};

}  // namespace Velto::Client::ActiveBoosts
