// The records of the active-boosts feature: the served resource, the two host resources it
// watches and the two LCDS transfer objects, with their registration.
#pragma once

#include <cstdint>
#include <string>

#include "binding/binding_property.h"
#include "runtime/app_module.h"

namespace Velto::Client::ActiveBoosts {

namespace Api {

// The resource "/mek-active-boosts/v1/active-boosts"; `summonerId` 0 means no data yet.
struct ActiveBoosts {
    uint64_t summonerId = 0;
    std::string ipBoostEndDate;  // UTC text dates, "%Y-%m-%dT%H:%M:%SZ"
    uint32_t ipBoostPerWinCount = 0;
    uint32_t ipLoyaltyBoost = 0;
    std::string xpBoostEndDate;
    uint32_t xpBoostPerWinCount = 0;
    uint32_t xpLoyaltyBoost = 0;
    std::string firstWinOfTheDayStartTime;
};

// The data of "/mek-login/v1/login-data-packet"; only this member is read.
struct LoginDataPacket {
    uint64_t timeUntilFirstWinOfDay = 0;  // milliseconds from now
};

// The data of "/mek-end-of-game/v1/eog-stats-block".
struct EndOfGameStats {
    uint64_t timeUntilNextFirstWinBonus = 0;  // milliseconds from now
};

}  // namespace Api

namespace LCDS {

inline constexpr const char* kSummonerActiveBoostsClass =
    "com.veltogames.platform.summoner.boost.SummonerActiveBoostsDTO";
inline constexpr const char* kStoreFulfillmentClass =
    "com.veltogames.platform.messaging.StoreFulfillmentNotification";

// The answer of inventoryService.getSummonerActiveBoosts; dates in milliseconds since 1970 UTC.
struct SummonerActiveBoostsDTO {
    uint64_t summonerId = 0;
    int64_t ipBoostEndDate = 0;
    uint32_t ipBoostPerWinCount = 0;
    uint32_t ipLoyaltyBoost = 0;
    int64_t xpBoostEndDate = 0;
    uint32_t xpBoostPerWinCount = 0;
    uint32_t xpLoyaltyBoost = 0;
};

// Pushed after a store purchase; for "BOOST" the data has the shape of SummonerActiveBoostsDTO.
struct StoreFulfillmentNotification {
    std::string inventoryType;
    BindingProperty data;
};

}  // namespace LCDS

// Registers ActiveBoosts, LoginDataPacket and EndOfGameStats, in that order.
void RegisterActiveBoostsTypes(BindingRegistry& registry);
// Registers SummonerActiveBoostsDTO, then StoreFulfillmentNotification, as LCDS records of
// `module`.
void RegisterActiveBoostsLcdsTypes(AppModule& module);

}  // namespace Velto::Client::ActiveBoosts
