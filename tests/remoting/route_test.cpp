#include "remoting/route.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <iterator>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "remoting/function_binding.h"
#include "remoting/route_pattern.h"
#include "tests/remoting/route_regex.h"

#if defined(__linux__)
#include <pthread.h>
#endif

namespace {

using Velto::HttpMethod;
using Captures = std::optional<std::vector<std::string>>;

struct RouteSpec {
    std::string_view routeTemplate;
    HttpMethod method = HttpMethod::None;
    std::string_view customMethod = {};
    bool withoutBinding = false;
};

struct MatchCase {
    std::vector<RouteSpec> routes;
    std::string path;
    std::string chosen;  // the route's index and its parameters in template order, or "none"
    HttpMethod method = HttpMethod::Get;
    std::string customMethod = {};
};

const MatchCase kMatchCases[] = {
    // Literal templates compare byte for byte.
    {{{"/mek-active-boosts/v1/active-boosts"}}, "/mek-active-boosts/v1/active-boosts", "0"},
    {{{"/mek-active-boosts/v1/active-boosts"}}, "/mek-active-boosts/v1/active-boosts/", "none"},
    {{{""}}, "", "none"},
    // Captures are decoded after matching, so an encoded "/" stays within one segment.
    {{{"/items/{id}"}}, "/items/a%2Fb", "0 id=a/b"},
    {{{"/items/{id}"}}, "/items/", "0 id="},
    {{{"/files/{+path}"}}, "/files/x/y", "0 path=x/y"},
    {{{"/{+a}/{+b}"}}, "/x/y/z", "0 a=x/y b=z"},
    {{{"/a.b/{x}{#frag}"}}, "/a.b/k#f/g", "0 x=k frag=f/g"},
    // Names: "+" and "#" choose the kind only right after "{"; a stray "}" takes a name slot.
    {{{"/{a+b}/{+#c}"}}, "/1/2#", "0 a+b=1 #c=2#"},
    {{{"/x}/{a}"}}, "/x/v", "0 =v"},
    {{{"/{a}/{a}"}}, "/1/2", "0 a=2"},
    // Group i takes the name of the i-th "}", so the last name here is left without a group.
    {{{"/a/{x}}{+y}{#z}{#}"}}, "/a/1/2#3#4", "0 x=1 =/2 y=3 z=4"},
    {{{"/y/{"}}, "/y/", "0"},
    {{{"/y/{id"}}, "/y/1", "none"},
    // Competing routes: fewest captured bytes, ties to the earlier, no captures ends the search.
    {{{"/a/{x}"}, {"/a/{x}/{y}"}}, "/a/b", "0 x=b"},
    {{{"/a/{x}"}, {"/a/{x}/{y}"}}, "/a/b/c", "1 x=b y=c"},
    {{{"/{a}/c"}, {"/b/{c}"}}, "/b/c", "0 a=b"},
    {{{"/{a}/c"}, {"/bb/{c}"}}, "/bb/c", "1 c=c"},
    {{{"/%41%42/{c}"}, {"/{p}/abc"}}, "/%41%42/abc", "1 p=AB"},
    {{{"/{a}"}, {"/"}}, "/", "0 a="},
    {{{"/x/{a}"}, {"/x/y"}, {"/x/{b}"}}, "/x/y", "1"},
    // Methods: None takes every method; a custom method also needs the same custom name.
    {{{"/m", HttpMethod::None}}, "/m", "0", HttpMethod::Post},
    {{{"/m", HttpMethod::Get, {}, true}}, "/m", "0", HttpMethod::Post},
    {{{"/m", HttpMethod::Get}}, "/m", "none", HttpMethod::Post},
    {{{"/m", HttpMethod::Post}, {"/{m}", HttpMethod::Get}}, "/m", "1 m=m"},
    {{{"/m", HttpMethod::Custom, "PURGE"}}, "/m", "0", HttpMethod::Custom, "PURGE"},
    {{{"/m", HttpMethod::Custom, "PURGE"}}, "/m", "none", HttpMethod::Custom, "purge"},
    {{{"/m", HttpMethod::Custom, "PURGE"}}, "/m", "none", HttpMethod::Get},
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
        const auto chosen = std::find_if(routes.begin(), routes.end(), [&](const auto& route) {
            return route.binding == match.binding;
        });
        std::string outcome = matched ? std::to_string(chosen - routes.begin()) : "none";
        outcome += matched || match.binding == nullptr ? "" : " with a binding";
        for (const auto& [name, value] : match.pathParameters.Items()) {
            outcome += " " + name + "=" + value;
        }
        EXPECT_EQ(outcome, c.chosen)
            << "path '" << c.path << "' against '" << c.routes.front().routeTemplate << "'...";
    }
}

Captures PatternCaptures(std::string_view routeTemplate, std::string_view path) {
    const Velto::Route route = Velto::CompileRoute(nullptr, nullptr, routeTemplate);
    std::vector<std::string_view> views(route.pattern.GroupCount());
    if (!route.pattern.Match(path, views)) {
        return std::nullopt;
    }
    return std::vector<std::string>(views.begin(), views.end());
}

// Random templates and paths over small alphabets, so that paths often match and the regular
// expression's special characters, line ends and "#" show up in both.
class RouteGenerator {
  public:
    std::string Template() {
        static constexpr std::string_view kPieces[] = {
            "a",    "b",       "/",   "/",   "#",    ".",    "*",    "+",  "?",  "(",
            ")",    "[",       "]",   "|",   "\\",   "^",    "$",    "\n", "\r", "-",
            "\xe9", {"\0", 1}, "{a}", "{b}", "{+a}", "{+b}", "{#a}", "}",  "{"};
        std::string text;
        for (int count = Below(7); count >= 0; --count) {
            text += kPieces[Below(std::size(kPieces))];
        }
        return text;
    }

    // A path made from the template by filling its placeholders, or a free one.
    std::string Path(std::string_view routeTemplate) {
        std::string path;
        const bool filled = Below(4) != 0;
        bool inBraces = false;
        for (const char c : routeTemplate) {
            if (!filled || c == '{') {
                path += Filler();
            }
            if (filled && !inBraces && c != '{' && c != '}') {
                path += c;
            }
            inBraces = c == '{' || (inBraces && c != '}');
        }
        return path.substr(0, 24);
    }

  private:
    int Below(std::size_t bound) {
        return std::uniform_int_distribution<int>(0, static_cast<int>(bound) - 1)(engine_);
    }

    std::string Filler() {
        static constexpr std::string_view kBytes = "ab/#\n\r+.%2f\xe9";
        std::string text;
        for (int count = Below(4); count > 0; --count) {
            text += kBytes[Below(kBytes.size())];
        }
        return text;
    }

    std::mt19937 engine_{20261207};
};

TEST(RoutePattern, MatchesLikeTheRegularExpressionOfItsTemplate) {
    RouteGenerator generator;
    int compared = 0;
    int matched = 0;
    for (int templates = 0; templates < 4000; ++templates) {
        const std::string routeTemplate = generator.Template();
        if (routeTemplate.find('{') == std::string::npos) {
            continue;
        }
        const RouteTesting::RegexRoute regexRoute = RouteTesting::RegexOfTemplate(routeTemplate);
        const std::regex regex = RouteTesting::CompileRegex(regexRoute.regex);
        for (int paths = 0; paths < 8; ++paths) {
            const std::string path = generator.Path(routeTemplate);
            const Captures expected = RouteTesting::RegexCaptures(regex, path);
            ASSERT_EQ(PatternCaptures(routeTemplate, path), expected)
                << "template '" << routeTemplate << "', regex '" << regexRoute.regex << "', path '"
                << path << "'";
            ++compared;
            matched += expected.has_value() ? 1 : 0;
        }
    }
    EXPECT_GT(compared, 5000);
    EXPECT_GT(matched, compared / 5) << "too few matching paths to tell anything";
}

struct LongPathCase {
    std::string routeTemplate;
    std::string path;
    Captures captures;
};

// The group sizes, or "none": a failure should not print megabytes.
std::string Sizes(const Captures& captures) {
    std::string sizes = captures ? "" : "none ";
    for (const std::string& capture : captures.value_or(std::vector<std::string>{})) {
        sizes += std::to_string(capture.size()) + " ";
    }
    return sizes;
}

void ExpectLongPathCases() {
    constexpr std::size_t kHalf = std::size_t{1} << 19;
    std::string segments;
    while (segments.size() < kHalf) {
        segments += "seg/";
    }
    const std::string tail(kHalf, 'e');
    const std::string as(2 * kHalf, 'a');
    const std::string tenRests = "/{+a}{+b}{+c}{+d}{+e}{+f}{+g}{+h}{+i}{+j}/end";
    const LongPathCase cases[] = {
        // The first rest group takes all it can while the others still match.
        {"/{+a}/{b}/{+c}x{d}/{+e}", "/" + segments + "/b/cx/" + tail,
         std::vector<std::string>{segments, "b", "c", "", tail}},
        // Paths that almost match: a backtracker would try about m^k splits for k groups.
        {tenRests, "/" + as + "/en", std::nullopt},
        {tenRests, "/" + as + "/end",
         std::vector<std::string>{as, "", "", "", "", "", "", "", "", ""}},
        {"{a}{b}{c}{d}/", as, std::nullopt},
        {"{+a}ab{b}ab{+c}", as + "ab", std::nullopt},
    };
    for (const LongPathCase& c : cases) {
        const Captures captures = PatternCaptures(c.routeTemplate, c.path);
        EXPECT_TRUE(captures == c.captures)
            << c.routeTemplate << " on a path of " << c.path.size() << " bytes: groups of "
            << Sizes(captures) << "bytes instead of " << Sizes(c.captures);
    }
}

// Quickly, and without needing stack in proportion to the path where a thread's stack can be
// chosen.
TEST(RoutePattern, MatchesMebibytePathsQuicklyOnASmallStack) {
#if defined(__linux__)
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 64 * 1024), 0);
    pthread_t thread;
    const auto run = [](void*) -> void* {
        ExpectLongPathCases();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, nullptr), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);
#else
    ExpectLongPathCases();
#endif
}

}  // namespace
