// The host's names for events, and the URI patterns that resource handlers subscribe with.
#pragma once

#include <string>
#include <string_view>

namespace Velto::Client {

// "OnJsonApiEvent" joined by "_" with the URI's first non-empty "/"-separated segments: three of
// them, or five when the first is "mek-platform-config". "/mek-login/v1/login-data-packet" gives
// "OnJsonApiEvent_mek-login_v1_login-data-packet"; the empty URI gives "OnJsonApiEvent".
std::string EventNameForUri(std::string_view uri);

// "OnLcdsEvent_" followed by the LCDS class name with every "." replaced by "_".
std::string LcdsEventName(std::string_view lcdsClassName);

// Whether `path` matches `pattern`, in which each "*" stands for the characters up to the next "/"
// (or the end) and every other character for itself. A "*" takes all it can, without
// backtracking, so "/a/*b" never matches anything.
bool MatchesUriPattern(std::string_view pattern, std::string_view path) noexcept;

}  // namespace Velto::Client
