// Which function of an API description a call goes to, and the route templates behind it.
#include "host/function_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Velto::TestHost;

TEST(RouteMatches, MatchesLiteralsAndEachKindOfPlaceholder) {
    struct Case {
        const char* route;
        const char* path;
        bool matches;
    };
    const Case cases[] = {
        {"/a/b", "/a/b", true},
        {"/a/b", "/a/b/", false},
        {"/a/b", "/a", false},
        {"", "", true},
        {"/items/{id}", "/items/7", true},
        {"/items/{id}", "/items/", true},
        {"/items/{id}", "/items/a/b", false},
        {"/items/{id}", "/items", false},
        {"/items/{id}/tags", "/items/7/tags", true},
        {"/items/{id}/tags", "/items/7/x/tags", false},
        {"/a/{x}.{y}", "/a/b.c", true},
        {"/files/{+rest}", "/files/a/b/c", true},
        {"/files/{+rest}", "/files/", true},
        {"/files/{+rest}/end", "/files/a/b/end", true},
        {"/files/{+rest}/end", "/files/a/b", false},
        {"/doc{#part}", "/doc#a/b", true},
        {"/doc{#part}", "/doc#", true},
        {"/doc{#part}", "/doc", false},
        {"/doc{#part}", "/doc/a", false},
        {"/a/{x", "/a/{x", false},
        {"/a/{x", "/a/b", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RouteMatches(c.route, c.path), c.matches) << c.route << " against " << c.path;
    }
}

FunctionDescription Function(const char* name, const char* route, uint32_t method,
                             const char* customMethod = "") {
    FunctionDescription function;
    function.name = name;
    function.route = route;
    function.method = method;
    function.customMethod = customMethod;
    return function;
}

TEST(ChooseFunction, PrefersAFittingMethodAndFallsBackToTheRoute) {
    const std::vector<FunctionDescription> functions = {
        Function("GetThing", "/thing", 2),       Function("GetItem", "/items/{id}", 2),
        Function("PostItem", "/items/{id}", 6),  Function("Ping", "", 0),
        Function("Purge", "/cache", 8, "PURGE"), Function("Any", "/any/{+rest}", 0),
    };
    struct Case {
        uint32_t method;
        const char* customMethod;
        const char* path;
        const char* function;  // explicit name, or empty
        const char* chosen;    // empty: none
    };
    const Case cases[] = {
        {2, "", "/thing", "", "GetThing"},
        {2, "", "/thing?a=1&b", "", "GetThing"},
        {2, "", "/thing/", "", ""},
        {2, "", "/items/7", "", "GetItem"},
        {6, "", "/items/7?x", "", "PostItem"},
        {7, "", "/items/7", "", "GetItem"},
        {1, "", "/thing", "", "GetThing"},
        {3, "", "Ping", "", "Ping"},
        {3, "", "Ping?x=1", "", "Ping"},
        {2, "", "/Ping", "", ""},
        {8, "PURGE", "/cache", "", "Purge"},
        {8, "purge", "/cache", "", "Purge"},
        {5, "", "/any/a/b", "", "Any"},
        {2, "", "/nothing", "", ""},
        {2, "", "/nothing", "PostItem", "PostItem"},
        {2, "", "/thing", "Nope", ""},
    };
    for (const Case& c : cases) {
        RecordedRequest request;
        request.method = c.method;
        request.customMethod = c.customMethod;
        request.path = c.path;
        const std::optional<std::size_t> index = ChooseFunction(functions, request, c.function);
        EXPECT_EQ(index.has_value() ? functions[*index].name : "", c.chosen)
            << MethodText(c.method, c.customMethod) << " " << c.path << " function=" << c.function;
    }
}

TEST(ChooseFunction, TakesTheFirstOfSeveralFittingFunctions) {
    const std::vector<FunctionDescription> functions = {
        Function("Wrong", "/a/{x}", 6),
        Function("First", "/a/{x}", 0),
        Function("Second", "/a/b", 2),
    };
    RecordedRequest request;
    request.method = 2;
    request.path = "/a/b";
    EXPECT_EQ(ChooseFunction(functions, request), 1u);
    request.method = 6;
    EXPECT_EQ(ChooseFunction(functions, request), 0u);
}

}  // namespace
