// The module of the active-boosts plug-in.
#pragma once

#include "runtime/app_module.h"

namespace Velto::Client::ActiveBoosts {

inline constexpr const char* kShortName = "mek-active-boosts";

class ActiveBoostsModule final : public AppModule {
  public:
    ActiveBoostsModule();
};

}  // namespace Velto::Client::ActiveBoosts
