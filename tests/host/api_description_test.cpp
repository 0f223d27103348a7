// The plain-data copy of an API description (the defensive walk, the readable type texts and the
// JSON form), and the routes a path matches. Which function a call goes to, and the fake plug-in's
// description, are tested with the host.
#include "host/api_description.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/function_choice.h"

namespace {

using namespace Velto::TestHost;
using namespace Velto::Client;

TEST(ApiDescription, CopiesNothingFromANullDescriptor) {
    const ApiDescription description = ApiDescription::CopyOf(nullptr);
    EXPECT_EQ(description.ToJson(), R"({"functions":[],"types":[],"events":[]})");
}

TEST(ApiDescription, StopsAtTheCountOrTheFirstNullLinkAndReadsNullTextsAsEmpty) {
    ApiArgumentRecord arguments[2] = {{&arguments[1], "a", nullptr, 6, 0, nullptr, 1},
                                      {nullptr, nullptr, nullptr, 17, 0, "Item", 0}};
    ApiArgumentLocationEntry locations[1] = {{nullptr, 4}};
    ApiFunctionEntry entries[3] = {};
    entries[0].next = &entries[1];
    entries[0].signature.arguments = arguments;
    entries[0].signature.argumentCount = 9;  // more than are linked
    entries[0].signature.tagCount = 3;       // with a null tag array
    entries[0].argumentLocations = locations;
    entries[1].next = &entries[2];
    entries[1].signature.name = "Second";
    const char* tags[] = {"t", nullptr};
    entries[1].signature.tags = tags;
    entries[1].signature.tagCount = 2;
    entries[1].route = "/r";
    entries[1].method = 8;
    entries[1].customMethod = "PURGE";
    entries[2].signature.name = "BeyondTheCount";

    ApiEnumValueRecord values[2] = {{&values[1], "B", nullptr, 2}, {nullptr, "A", nullptr, -1}};
    ApiFieldRecord fields[1] = {{nullptr, "f", nullptr, 4, 15, 17, "Item", 1}};
    ApiTypeRecord types[3] = {
        {&types[1], "E", nullptr, 4, nullptr, nullptr, 0, nullptr, values, 1},
        {&types[2], nullptr, nullptr, 8, nullptr, nullptr, 0, fields, values, 5},
        {nullptr, "Empty", nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, 3},
    };
    ApiEventRecord events[1] = {{nullptr, "OnX", nullptr, nullptr, nullptr, nullptr, 0}};
    const ApiDescriptor descriptor{entries, 2, types, 3, events, 4};

    const ApiDescription description = ApiDescription::CopyOf(&descriptor);
    // A null name, route or tag reads as empty; the second argument, past the location list,
    // has none.
    EXPECT_EQ(description.Summaries(),
              (std::vector<std::string>{
                  R"(function  ANY by name (a?: int32 in header, : Item) returns void)",
                  R"(function Second PURGE "/r" () returns void)",
                  "type E size=4 {B=2}",
                  "type  size=8 {f?: vector<Item> @4}",
                  "type Empty size=0 {}",
                  "event OnX",
              }));
    // The same description as one JSON object, as a JSON transcript writes it.
    EXPECT_EQ(description.ToJson(),
              R"({"functions":[{"name":"","route":"","method":"ANY","arguments":[)"
              R"({"name":"a","type":"int32","optional":true,"location":"header"},)"
              R"({"name":"","type":"Item","optional":false,"location":"anywhere"}],)"
              R"("returns":"void","tags":[]},)"
              R"({"name":"Second","route":"/r","method":"PURGE","arguments":[],"returns":"void",)"
              R"("tags":["t",""]}],)"
              R"("types":[{"name":"E","size":4,"values":[{"name":"B","value":2}]},)"
              R"({"name":"","size":8,"fields":[{"name":"f","offset":4,"type":"vector<Item>",)"
              R"("optional":true}]},)"
              R"({"name":"Empty","size":0,"fields":[]}],)"
              R"("events":[{"name":"OnX","dataType":""}]})");
}

TEST(TypeDescription, NamesKindsAndRegisteredTypes) {
    struct Case {
        TypeDescription type;
        const char* text;
    };
    const Case cases[] = {
        {{0, 0, ""}, "void"},
        {{12, 0, "ignored"}, "string"},
        {{16, 0, "Colour"}, "Colour"},
        {{16, 0, ""}, "enum"},
        {{17, 0, "Item"}, "Item"},
        {{15, 6, ""}, "vector<int32>"},
        {{15, 17, "Item"}, "vector<Item>"},
        {{19, 13, ""}, "map<object>"},
        {{20, 0, ""}, "unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.type.ToText(), c.text);
    }
    EXPECT_EQ(LocationName(2), "path");
    EXPECT_EQ(LocationName(6), "6");
}

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
        {"/items/{id}", "/items/7", true},
        {"/items/{id}", "/items/", true},
        {"/items/{id}", "/items/a/b", false},
        {"/files/{+rest}", "/files/a/b/c", true},
        {"/files/{+rest}/end", "/files/a/b", false},
        {"/doc{#part}", "/doc#a/b", true},
        {"/doc{#part}", "/doc", false},
        {"/a/{x", "/a/{x", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RouteMatches(c.route, c.path), c.matches) << c.route << " against " << c.path;
    }
}

}  // namespace
