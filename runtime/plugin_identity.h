// A plug-in's names: the short name it is loaded under and the full name derived from its type.
#pragma once

#include <string>

namespace Velto::Client {

struct PluginIdentity {
    std::string fullName;
    std::string shortName;
    std::string type;
    std::string reserved;  // always empty
};

// "nuv-be-", "nuv-fe-" or, for an unknown type, "nuv-xx-" followed by the short name. An unknown
// type is also reported in the log at level Error.
std::string GetFullNameFromShortNameAndType(const std::string& shortName, const std::string& type);

PluginIdentity MakePluginIdentity(const std::string& shortName, const std::string& type);

}  // namespace Velto::Client
