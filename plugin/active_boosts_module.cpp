#include "plugin/active_boosts_module.h"

namespace Velto::Client::ActiveBoosts {

ActiveBoostsModule::ActiveBoostsModule() : AppModule(kShortName, "backend") {}

}  // namespace Velto::Client::ActiveBoosts
