// Fuzzes route matching: the first byte gives the template's length, the template follows and
// the rest is the path. Any template and path must compile and match without a crash, in bounded
// time and stack; the captures lie in order within the path, and a segment holds no "/". When
// both are short enough for std::regex, its match and captures must be exactly ours.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "remoting/route.h"
#include "tests/remoting/route_regex.h"

namespace {

constexpr std::size_t kRegexLimit = 32;

using Fuzz::Check;

void CheckCapturesWithin(const Velto::Route& route, std::string_view path,
                         const std::vector<std::string_view>& captures) {
    const char* previousEnd = path.data();
    std::size_t group = 0;
    for (const Velto::RoutePlaceholder& placeholder : route.placeholders) {
        if (placeholder.kind == Velto::PlaceholderKind::None) {
            continue;
        }
        const std::string_view capture = captures[group++];
        Check(capture.data() >= previousEnd && capture.data() + capture.size() <= path.end());
        if (placeholder.kind == Velto::PlaceholderKind::Segment) {
            Check(capture.find('/') == std::string_view::npos);
        }
        previousEnd = capture.data() + capture.size();
    }
}

// Our captures against std::regex's; a regex the library refuses to run counts as agreement.
void CheckAgainstRegex(std::string_view routeTemplate, std::string_view path,
                       const std::optional<std::vector<std::string_view>>& captures) {
    std::optional<std::vector<std::string>> expected;
    try {
        const std::regex regex =
            RouteTesting::CompileRegex(RouteTesting::RegexOfTemplate(routeTemplate).regex);
        expected = RouteTesting::RegexCaptures(regex, path);
    } catch (const std::regex_error&) {
        return;
    }
    Check(captures.has_value() == expected.has_value());
    if (captures) {
        Check(std::equal(captures->begin(), captures->end(), expected->begin(), expected->end()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t templateSize = std::min<std::size_t>(data[0], input.size());
    const std::string_view routeTemplate = std::string_view(input).substr(0, templateSize);
    const std::string_view path = std::string_view(input).substr(templateSize);

    const Velto::Route route = Velto::CompileRoute(nullptr, nullptr, routeTemplate);
    Velto::RouteMatch match;
    match.path = path;
    const bool matched = Velto::MatchRoutes({&route, 1}, match);
    if (!route.literal.empty()) {
        Check(matched == (path == routeTemplate) && match.pathParameters.Empty());
        return 0;
    }
    std::vector<std::string_view> captures(route.pattern.GroupCount());
    const bool patternMatched = route.pattern.Match(path, captures);
    Check(matched == patternMatched);
    if (patternMatched) {
        CheckCapturesWithin(route, path, captures);
    }
    if (!routeTemplate.empty() && routeTemplate.size() <= kRegexLimit &&
        path.size() <= kRegexLimit) {
        CheckAgainstRegex(routeTemplate, path,
                          patternMatched ? std::optional(captures) : std::nullopt);
    }
    return 0;
}
