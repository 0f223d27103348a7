#include "runtime/event_names.h"

#include <algorithm>
#include <cstddef>

namespace Velto::Client {

namespace {

constexpr std::string_view kResourceEventName = "OnJsonApiEvent";
constexpr std::string_view kPlatformConfigSegment = "mek-platform-config";
constexpr std::size_t kMaxParts = 4;
constexpr std::size_t kMaxPlatformConfigParts = 6;
constexpr std::string_view kLcdsEventPrefix = "OnLcdsEvent_";

}  // namespace

std::string EventNameForUri(std::string_view uri) {
    std::string name(kResourceEventName);
    std::size_t parts = 1;
    std::size_t limit = kMaxParts;
    std::size_t position = 0;
    while (parts < limit) {
        const std::size_t begin = uri.find_first_not_of('/', position);
        if (begin == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(uri.find('/', begin), uri.size());
        const std::string_view segment = uri.substr(begin, end - begin);
        if (parts == 1 && segment == kPlatformConfigSegment) {
            limit = kMaxPlatformConfigParts;
        }
        name += '_';
        name += segment;
        ++parts;
        position = end;
    }
    return name;
}

std::string LcdsEventName(std::string_view lcdsClassName) {
    std::string name(kLcdsEventPrefix);
    name += lcdsClassName;
    std::replace(name.begin() + kLcdsEventPrefix.size(), name.end(), '.', '_');
    return name;
}

bool MatchesUriPattern(std::string_view pattern, std::string_view path) noexcept {
    std::size_t at = 0;
    for (const char character : pattern) {
        if (character == '*') {
            while (at < path.size() && path[at] != '/') {
                ++at;
            }
        } else if (at < path.size() && path[at] == character) {
            ++at;
        } else {
            return false;
        }
    }
    return at == path.size();
}

}  // namespace Velto::Client
