#include "runtime/version.h"

#include <tuple>

namespace Velto::Client {

Version PluginApiVersion() {
    return Version{18, 0, 0, {}, {}};
}

std::string VersionText(const Version& version) {
    // Three 32-bit numbers and two dots always fit in 33 bytes.
    char numbers[33];
    FormatInto(numbers, sizeof numbers, "%1.%2.%3", version.major, version.minor, version.patch);
    std::string text = numbers;
    if (!version.preRelease.empty()) {
        text += '-';
        text += version.preRelease;
    }
    if (!version.build.empty()) {
        text += '+';
        text += version.build;
    }
    return text;
}

bool IsCompatibleApiVersion(const Version& host, const Version& plugin) {
    return host.major == plugin.major &&
           std::tie(host.minor, host.patch) >= std::tie(plugin.minor, plugin.patch);
}

}  // namespace Velto::Client
