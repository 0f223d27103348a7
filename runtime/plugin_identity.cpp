#include "runtime/plugin_identity.h"

#include "diagnostics/format.h"
#include "diagnostics/log.h"

namespace Velto::Client {

std::string GetFullNameFromShortNameAndType(const std::string& shortName, const std::string& type) {
    if (type == "backend") {
        return "nuv-be-" + shortName;
    }
    if (type == "frontend") {
        return "nuv-fe-" + shortName;
    }
    const std::string message =
        Format("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
               shortName, type);
    LogMessage(LogLevel::Error, kLogGroupDbg, "            Plugin Manager| %s", message.c_str());
    return "nuv-xx-" + shortName;
}

PluginIdentity MakePluginIdentity(const std::string& shortName, const std::string& type) {
    return PluginIdentity{GetFullNameFromShortNameAndType(shortName, type), shortName, type, {}};
}

}  // namespace Velto::Client
