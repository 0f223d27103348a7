#include "remoting/route.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <utility>

#include "remoting/function_binding.h"
#include "remoting/url_component.h"

namespace Velto {

namespace {

void AppendPlaceholderPattern(RoutePattern& pattern, PlaceholderKind kind) {
    switch (kind) {
        case PlaceholderKind::Segment:
            pattern.AppendGroup(RoutePattern::GroupClass::Segment);
            return;
        case PlaceholderKind::Rest:
            pattern.AppendGroup(RoutePattern::GroupClass::Line);
            return;
        case PlaceholderKind::Fragment:
            pattern.AppendLiteral("#");
            pattern.AppendGroup(RoutePattern::GroupClass::Line);
            return;
        case PlaceholderKind::None:
            return;  // a stray "}" captures nothing
    }
}

// Reads the template with the kind of the placeholder being read as its state (None outside
// braces). "+" or "#" right after "{" choose the kind; anywhere else they belong to the name.
void CompilePattern(std::string_view routeTemplate, Route& route) {
    const auto closings =
        static_cast<std::size_t>(std::count(routeTemplate.begin(), routeTemplate.end(), '}'));
    route.pattern = RoutePattern::Empty(closings);
    route.placeholders.reserve(closings);
    PlaceholderKind state = PlaceholderKind::None;
    std::string name;
    for (std::size_t at = 0; at < routeTemplate.size(); ++at) {
        const char c = routeTemplate[at];
        if (c == '{') {
            state = PlaceholderKind::Segment;
        } else if (c == '}') {
            AppendPlaceholderPattern(route.pattern, state);
            route.placeholders.push_back({state, std::move(name)});
            name.clear();
            state = PlaceholderKind::None;
        } else if (state == PlaceholderKind::None) {
            // The whole run of literal text up to the next brace goes in at once.
            std::size_t end = at;
            while (end < routeTemplate.size() && routeTemplate[end] != '{' &&
                   routeTemplate[end] != '}') {
                ++end;
            }
            route.pattern.AppendLiteral(routeTemplate.substr(at, end - at));
            at = end - 1;
        } else if (state == PlaceholderKind::Segment && name.empty() && c == '+') {
            state = PlaceholderKind::Rest;
        } else if (state == PlaceholderKind::Segment && name.empty() && c == '#') {
            state = PlaceholderKind::Fragment;
        } else {
            name.push_back(c);
        }
    }
}

// The decoded captures of `route` for `path` by placeholder name, or nothing when it does not
// match.
std::optional<NamedValues> MatchRoute(const Route& route, std::string_view path) {
    if (!route.literal.empty()) {
        return path == route.literal ? std::optional<NamedValues>(std::in_place) : std::nullopt;
    }
    // Templates have a few groups: their captures stay on the stack.
    constexpr std::size_t kInlineGroups = 8;
    const std::size_t groups = route.pattern.GroupCount();
    std::array<std::string_view, kInlineGroups> inlineCaptures;
    std::vector<std::string_view> moreCaptures(groups > kInlineGroups ? groups : 0);
    const std::span<std::string_view> captures =
        groups > kInlineGroups ? std::span(moreCaptures) : std::span(inlineCaptures).first(groups);
    if (!route.pattern.Match(path, captures)) {
        return std::nullopt;
    }
    // A compiled route has a placeholder for every group; a hand-made one may not.
    const std::size_t named = std::min(groups, route.placeholders.size());
    NamedValues parameters;
    parameters.Reserve(named);
    for (std::size_t i = 0; i < named; ++i) {
        parameters.Set(route.placeholders[i].name, DecodeUrlComponent(captures[i]));
    }
    return parameters;
}

bool AcceptsMethod(const FunctionBinding* binding, const RouteMatch& match) {
    if (binding == nullptr || binding->method == HttpMethod::None) {
        return true;
    }
    return binding->method == match.method && binding->customMethod == match.customMethod;
}

std::size_t TotalLength(const NamedValues& parameters) {
    std::size_t total = 0;
    for (const auto& [name, value] : parameters.Items()) {
        total += value.size();
    }
    return total;
}

}  // namespace

Route CompileRoute(FunctionDescriptor* function, FunctionBinding* binding,
                   std::string_view routeTemplate) {
    Route route;
    route.function = function;
    route.binding = binding;
    if (routeTemplate.find('{') == std::string_view::npos) {
        route.literal = routeTemplate;
    } else {
        CompilePattern(routeTemplate, route);
    }
    return route;
}

bool MatchRoutes(std::span<const Route> routes, RouteMatch& match) {
    bool chosen = false;
    std::size_t chosenLength = 0;
    for (const Route& route : routes) {
        if (!AcceptsMethod(route.binding, match)) {
            continue;
        }
        std::optional<NamedValues> parameters = MatchRoute(route, match.path);
        if (!parameters) {
            continue;
        }
        const std::size_t length = TotalLength(*parameters);
        if (chosen && length >= chosenLength) {
            continue;
        }
        chosen = true;
        chosenLength = length;
        match.function = route.function;
        match.binding = route.binding;
        const bool unbeatable = parameters->Empty();
        match.pathParameters = std::move(*parameters);
        if (unbeatable) {
            break;
        }
    }
    return chosen;
}

}  // namespace Velto
