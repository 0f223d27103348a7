// Route templates compiled into routes, and the choice of a route for one call.
//
// A template is a literal path ("/mek-active-boosts/v1/active-boosts"), matched byte for byte, or
// a path with named placeholders in braces: {name} takes one path segment, {+name} the rest of
// the path ("/" included), {#name} a fragment after "#". Captures are percent-decoded
// (DecodeUrlComponent) into the call's path parameters.
//
// Matching accepts exactly the paths, and yields exactly the captures, of the ECMAScript regular
// expression the template stands for ("{id}" as "([^/]*)", "{+rest}" as "(.*)", "{#frag}" as
// "#(.*)", every other character literal), but with stack use independent of the path's length
// and time that stays low for any template, so that any path the host sends is safe.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remoting/route_match.h"
#include "remoting/route_pattern.h"

namespace Velto {

struct FunctionDescriptor;
struct FunctionBinding;

enum class PlaceholderKind : uint32_t {
    None = 0,  // a "}" outside any placeholder: it captures nothing but takes a name slot
    Segment = 1,
    Rest = 2,
    Fragment = 3,
};

struct RoutePlaceholder {
    PlaceholderKind kind = PlaceholderKind::None;
    std::string name;
};

// One compiled route; immutable once compiled.
struct Route {
    FunctionDescriptor* function = nullptr;
    FunctionBinding* binding = nullptr;
    std::string literal;  // the whole template when it holds no "{"; empty otherwise
    RoutePattern pattern;  // used only when `literal` is empty
    std::vector<RoutePlaceholder> placeholders;  // in template order, one per "}"
};

// Compiles `routeTemplate` for `function` and `binding` (which the route only points at).
Route CompileRoute(FunctionDescriptor* function, FunctionBinding* binding,
                   std::string_view routeTemplate);

// Chooses a route, in list order, for the method, custom method and path of `match`: a route is
// tried when its binding's method is None or equal to the request's (with equal custom method
// names); among matching routes the one whose decoded captures total the fewest bytes wins, ties
// to the earlier one, and a match without any capture ends the search. On success sets the
// match's function, binding and path parameters and returns true.
bool MatchRoutes(std::span<const Route> routes, RouteMatch& match);

}  // namespace Velto
