#include "remoting/route.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "remoting/function_binding.h"

namespace {

using Velto::HttpMethod;
using Parameters = std::unordered_map<std::string, std::string>;

struct RouteSpec {
    std::string_view routeTemplate;
    HttpMethod method = HttpMethod::None;
    std::string_view customMethod = {};
    bool withoutBinding = false;
};

struct MatchCase {
    std::vector<RouteSpec> routes;
    std::string path;
    int chosen;  // index into routes, -1: no match
    Parameters parameters = {};
    HttpMethod method = HttpMethod::Get;
    std::string customMethod = {};
};

const MatchCase kMatchCases[] = {
    // Literal templates compare byte for byte.
    {{{"/mek-active-boosts/v1/active-boosts"}}, "/mek-active-boosts/v1/active-boosts", 0},
    {{{"/mek-active-boosts/v1/active-boosts"}}, "/mek-active-boosts/v1/active-boosts/", -1},
    {{{"/a}b"}}, "/a}b", 0},
    {{{"/a}b"}}, "/ab", -1},
    {{{"GetThing"}}, "GetThing", 0},
    {{{""}}, "", -1},
    // Captures are decoded after matching, so an encoded "/" stays within one segment.
    {{{"/items/{id}"}}, "/items/a%2Fb", 0, {{"id", "a/b"}}},
    {{{"/items/{id}"}}, "/items/a/b", -1},
    {{{"/items/{id}"}}, "/items/", 0, {{"id", ""}}},
    {{{"/items/{id}"}}, "/Items/a", -1},
    {{{"/files/{+path}"}}, "/files/x/y", 0, {{"path", "x/y"}}},
    {{{"/files/{+path}"}}, "/files/x+y", 0, {{"path", "x y"}}},
    {{{"/files/{+path}"}}, "/files/x\ny", -1},
    {{{"/{+a}/{+b}"}}, "/x/y/z", 0, {{"a", "x/y"}, {"b", "z"}}},
    {{{"/a.b/{x}{#frag}"}}, "/a.b/k#f/g", 0, {{"x", "k"}, {"frag", "f/g"}}},
    {{{"/a.b/{x}{#frag}"}}, "/aXb/k#f", -1},
    {{{"/(a|b)*/{x}"}}, "/(a|b)*/v", 0, {{"x", "v"}}},
    // Names: "+" and "#" choose the kind only right after "{"; a stray "}" takes a name slot.
    {{{"/{a+b}/{+#c}"}}, "/1/2#", 0, {{"a+b", "1"}, {"#c", "2#"}}},
    {{{"/x}/{a}"}}, "/x/v", 0, {{"", "v"}}},
    {{{"/{a}/{a}"}}, "/1/2", 0, {{"a", "2"}}},
    {{{"/y/{"}}, "/y/", 0},
    {{{"/y/{id"}}, "/y/1", -1},
    // Competing routes: fewest captured bytes, ties to the earlier, no captures ends the search.
    {{{"/a/{x}"}, {"/a/{x}/{y}"}}, "/a/b", 0, {{"x", "b"}}},
    {{{"/a/{x}"}, {"/a/{x}/{y}"}}, "/a/b/c", 1, {{"x", "b"}, {"y", "c"}}},
    {{{"/{a}/c"}, {"/b/{c}"}}, "/b/c", 0, {{"a", "b"}}},
    {{{"/{a}/c"}, {"/bb/{c}"}}, "/bb/c", 1, {{"c", "c"}}},
    {{{"/%41%42/{c}"}, {"/{p}/abc"}}, "/%41%42/abc", 1, {{"p", "AB"}}},
    {{{"/{a}"}, {"/"}}, "/", 0, {{"a", ""}}},
    {{{"/x/{a}"}, {"/x/y"}, {"/x/{b}"}}, "/x/y", 1},
    {{{"/y/{"}, {"/y/{z}"}}, "/y/", 0},
    // Methods: None takes every method; a custom method also needs the same custom name.
    {{{"/m", HttpMethod::None}}, "/m", 0, {}, HttpMethod::Post},
    {{{"/m", HttpMethod::None}}, "/m", 0, {}, HttpMethod::Custom, "PURGE"},
    {{{"/m", HttpMethod::Get, {}, true}}, "/m", 0, {}, HttpMethod::Post},
    {{{"/m", HttpMethod::Get}}, "/m", -1, {}, HttpMethod::Post},
    {{{"/m", HttpMethod::Post}, {"/{m}", HttpMethod::Get}}, "/m", 1, {{"m", "m"}}},
    {{{"/m", HttpMethod::Custom, "PURGE"}}, "/m", 0, {}, HttpMethod::Custom, "PURGE"},
    {{{"/m", HttpMethod::Custom, "PURGE"}}, "/m", -1, {}, HttpMethod::Custom, "purge"},
    {{{"/m", HttpMethod::Custom, "PURGE"}}, "/m", -1, {}, HttpMethod::Get},
};

TEST(Route, ChoosesTheRouteAndDecodesItsCaptures) {
    for (const MatchCase& c : kMatchCases) {
        std::deque<Velto::FunctionBinding> bindings;
        std::vector<Velto::Route> routes;
        for (const RouteSpec& spec : c.routes) {
            Velto::FunctionBinding& binding = bindings.emplace_back();
            binding.method = spec.method;
            binding.customMethod = spec.customMethod;
            routes.push_back(Velto::CompileRoute(nullptr, spec.withoutBinding ? nullptr : &binding,
                                                 spec.routeTemplate));
        }
        Velto::RouteMatch match;
        match.method = c.method;
        match.customMethod = c.customMethod;
        match.path = c.path;
        const bool matched = Velto::MatchRoutes(routes, match);
        const std::string where = "path '" + c.path + "' against '" +
                                  std::string(c.routes.front().routeTemplate) + "'...";
        ASSERT_EQ(matched, c.chosen >= 0) << where;
        if (!matched) {
            EXPECT_EQ(match.binding, nullptr) << where;
            continue;
        }
        EXPECT_EQ(match.binding, routes[c.chosen].binding) << where;
        EXPECT_EQ(match.pathParameters, c.parameters) << where;
    }
}

TEST(Route, CompilesPlaceholdersInTemplateOrder) {
    using Velto::PlaceholderKind;
    const Velto::Route route = Velto::CompileRoute(nullptr, nullptr, "/a/{x}}{+y}{#z}{#}");
    EXPECT_TRUE(route.literal.empty());
    ASSERT_EQ(route.placeholders.size(), 5u);
    const std::pair<PlaceholderKind, std::string_view> expected[] = {
        {PlaceholderKind::Segment, "x"}, {PlaceholderKind::None, ""},
        {PlaceholderKind::Rest, "y"},    {PlaceholderKind::Fragment, "z"},
        {PlaceholderKind::Fragment, ""},
    };
    for (std::size_t i = 0; i < route.placeholders.size(); ++i) {
        EXPECT_EQ(route.placeholders[i].kind, expected[i].first) << "placeholder " << i;
        EXPECT_EQ(route.placeholders[i].name, expected[i].second) << "placeholder " << i;
    }
    EXPECT_EQ(route.pattern.GroupCount(), 4u);
}

}  // namespace
