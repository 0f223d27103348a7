// A route template written as the ECMAScript regular expression it stands for, the plain way, so
// that tests and fuzzers can check the route matcher against std::regex on short paths (the
// library's matcher recurses per character and backtracks, so long paths are out of its reach).
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace RouteTesting {

struct RegexRoute {
    std::string regex;               // valid ECMAScript whenever the template holds "{"
    std::vector<std::string> names;  // one per "}", in order: group i takes names[i - 1]
};

// "{name}" as "([^/]*)", "{+name}" as "(.*)", "{#name}" as "#(.*)"; a "}" outside braces adds
// only a name; every other character literal, with the twelve special ones escaped.
inline RegexRoute RegexOfTemplate(std::string_view routeTemplate) {
    static constexpr std::string_view kSpecial = "^$.*+?()[]|\\";
    static constexpr const char* kGroups[] = {"", "([^/]*)", "(.*)", "#(.*)"};
    RegexRoute route;
    int state = 0;
    std::string name;
    for (const char c : routeTemplate) {
        if (c == '{') {
            state = 1;
        } else if (c == '}') {
            route.regex += kGroups[state];
            route.names.push_back(name);
            name.clear();
            state = 0;
        } else if (state == 0) {
            if (kSpecial.find(c) != std::string_view::npos) {
                route.regex += '\\';
            }
            route.regex += c;
        } else if (state == 1 && name.empty() && (c == '+' || c == '#')) {
            state = c == '+' ? 2 : 3;
        } else {
            name += c;
        }
    }
    return route;
}

inline std::regex CompileRegex(const std::string& text) {
    return std::regex(text, std::regex::ECMAScript | std::regex::optimize);
}

// The texts of groups 1, 2, ... of a full match, or nothing when `path` does not match.
inline std::optional<std::vector<std::string>> RegexCaptures(const std::regex& regex,
                                                             std::string_view path) {
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_match(path.begin(), path.end(), match, regex)) {
        return std::nullopt;
    }
    std::vector<std::string> captures;
    for (std::size_t i = 1; i < match.size(); ++i) {
        captures.push_back(match[i].str());
    }
    return captures;
}

}  // namespace RouteTesting
