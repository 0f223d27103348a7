// Which function of the plug-in's API description a call of the host goes to.
//
// The host picks the entry itself and hands the request to that entry's routine; the plug-in
// then checks the method and path against the entry's own route. So the choice prefers an entry
// whose method fits, but falls back to one whose route alone fits, leaving it to the plug-in to
// refuse the method.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "host/api_description.h"
#include "host/host_call.h"

namespace Velto::TestHost {

// Whether `path` matches the route template `route`. A template without "{" matches only its own
// text. Placeholders: "{x}" matches a run of characters without "/" (possibly empty), "{+x}" any
// rest, "{#x}" a "#" followed by any rest. A template with an unclosed "{" matches nothing.
bool RouteMatches(std::string_view route, std::string_view path);

// The index in `functions` of the function `request` goes to, or none:
// - with a `function` name, the first function of that name, whatever the path and method;
// - otherwise the first function addressed by the request's path without its query (by route, or
//   by name for a function without a route) whose method is 0 or the request's (for method 8
//   with the same custom name); failing that, the first one addressed by the path alone.
std::optional<std::size_t> ChooseFunction(const std::vector<FunctionDescription>& functions,
                                          const RecordedRequest& request,
                                          std::string_view function = {});

}  // namespace Velto::TestHost
