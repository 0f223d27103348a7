// A semantic version, as exchanged with the host at load, and the plug-in API rule.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/format.h"

namespace Velto::Client {

struct Version {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
    std::string preRelease;  // empty for versions from the load context
    std::string build;
};

// The plug-in API version this plug-in implements.
Version PluginApiVersion();

// "major.minor.patch", then "-" and the pre-release and "+" and the build when they are set.
std::string VersionText(const Version& version);

// True when a host offering `host` can run a plug-in built for `plugin`: the same major version
// and a (minor, patch) pair at least the plug-in's.
bool IsCompatibleApiVersion(const Version& host, const Version& plugin);

}  // namespace Velto::Client

template <>
struct Velto::FormatText<Velto::Client::Version> {
    static std::string Text(const Velto::Client::Version& version) {
        return Velto::Client::VersionText(version);
    }
};
