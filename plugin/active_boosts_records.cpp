#include "plugin/active_boosts_records.h"

#include <cstddef>

#include "binding/field_converter.h"

namespace Velto::Client::ActiveBoosts {
namespace {

// The 32-bit layout the host sees. Windows aligns 64-bit members to 8 bytes and 32-bit Linux to
// 4, so every 64-bit member sits at a multiple of 8 and both builds check the same numbers.
constexpr bool kIs32Bit = sizeof(void*) == 4;
static_assert(!kIs32Bit || sizeof(Api::ActiveBoosts) == 96);
static_assert(!kIs32Bit || offsetof(Api::ActiveBoosts, ipBoostEndDate) == 8);
static_assert(!kIs32Bit || offsetof(Api::ActiveBoosts, firstWinOfTheDayStartTime) == 72);
static_assert(!kIs32Bit || sizeof(Api::LoginDataPacket) == 8);
static_assert(!kIs32Bit || sizeof(Api::EndOfGameStats) == 8);
static_assert(!kIs32Bit || sizeof(LCDS::SummonerActiveBoostsDTO) == 40);
static_assert(!kIs32Bit || offsetof(LCDS::SummonerActiveBoostsDTO, ipBoostEndDate) == 8);
static_assert(!kIs32Bit || offsetof(LCDS::SummonerActiveBoostsDTO, xpBoostEndDate) == 24);
static_assert(!kIs32Bit || offsetof(LCDS::SummonerActiveBoostsDTO, xpLoyaltyBoost) == 36);
static_assert(!kIs32Bit || sizeof(LCDS::StoreFulfillmentNotification) == 40);
static_assert(!kIs32Bit || offsetof(LCDS::StoreFulfillmentNotification, data) == 24);

}  // namespace

void RegisterActiveBoostsTypes(BindingRegistry& registry) {
    using Api::ActiveBoosts;
    registry.RegisterStruct<ActiveBoosts>("ActiveBoosts")
        .Field<uint64_t>("summonerId", offsetof(ActiveBoosts, summonerId))
        .Field<std::string>("ipBoostEndDate", offsetof(ActiveBoosts, ipBoostEndDate))
        .Field<uint32_t>("ipBoostPerWinCount", offsetof(ActiveBoosts, ipBoostPerWinCount))
        .Field<uint32_t>("ipLoyaltyBoost", offsetof(ActiveBoosts, ipLoyaltyBoost))
        .Field<std::string>("xpBoostEndDate", offsetof(ActiveBoosts, xpBoostEndDate))
        .Field<uint32_t>("xpBoostPerWinCount", offsetof(ActiveBoosts, xpBoostPerWinCount))
        .Field<uint32_t>("xpLoyaltyBoost", offsetof(ActiveBoosts, xpLoyaltyBoost))
        .Field<std::string>("firstWinOfTheDayStartTime",
                            offsetof(ActiveBoosts, firstWinOfTheDayStartTime));
    registry.RegisterStruct<Api::LoginDataPacket>("LoginDataPacket")
        .Field<uint64_t>("timeUntilFirstWinOfDay",
                         offsetof(Api::LoginDataPacket, timeUntilFirstWinOfDay));
    registry.RegisterStruct<Api::EndOfGameStats>("EndOfGameStats")
        .Field<uint64_t>("timeUntilNextFirstWinBonus",
                         offsetof(Api::EndOfGameStats, timeUntilNextFirstWinBonus));
}

void RegisterActiveBoostsLcdsTypes(AppModule& module) {
    using LCDS::StoreFulfillmentNotification;
    using LCDS::SummonerActiveBoostsDTO;
    module
        .RegisterLcdsStruct<SummonerActiveBoostsDTO>(LCDS::kSummonerActiveBoostsClass,
                                                     "ActiveBoostsLcdsSummonerActiveBoostsDTO")
        .Field<uint64_t>("summonerId", offsetof(SummonerActiveBoostsDTO, summonerId))
        .Field<int64_t>("ipBoostEndDate", offsetof(SummonerActiveBoostsDTO, ipBoostEndDate))
        .Field<uint32_t>("ipBoostPerWinCount",
                         offsetof(SummonerActiveBoostsDTO, ipBoostPerWinCount))
        .Field<uint32_t>("ipLoyaltyBoost", offsetof(SummonerActiveBoostsDTO, ipLoyaltyBoost))
        .Field<int64_t>("xpBoostEndDate", offsetof(SummonerActiveBoostsDTO, xpBoostEndDate))
        .Field<uint32_t>("xpBoostPerWinCount",
                         offsetof(SummonerActiveBoostsDTO, xpBoostPerWinCount))
        .Field<uint32_t>("xpLoyaltyBoost", offsetof(SummonerActiveBoostsDTO, xpLoyaltyBoost));
    module
        .RegisterLcdsStruct<StoreFulfillmentNotification>(
            LCDS::kStoreFulfillmentClass, "ActiveBoostsLcdsStoreFulfillmentNotification")
        .Field<std::string>("inventoryType", offsetof(StoreFulfillmentNotification, inventoryType))
        .Field<BindingProperty>("data", offsetof(StoreFulfillmentNotification, data));
}

}  // namespace Velto::Client::ActiveBoosts
