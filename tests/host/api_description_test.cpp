// The plain-data copy of an API description: the defensive walk and the readable type texts.
// The copy of the fake plug-in's description, and its printed forms, are tested with the host.
#include "host/api_description.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Velto::TestHost;
using namespace Velto::Client;

TEST(ApiDescription, CopiesNothingFromANullDescriptor) {
    const ApiDescription description = ApiDescription::CopyOf(nullptr);
    EXPECT_TRUE(description.functions.empty());
    EXPECT_TRUE(description.types.empty());
    EXPECT_TRUE(description.events.empty());
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
    ASSERT_EQ(description.functions.size(), 2u);
    const FunctionDescription& first = description.functions[0];
    EXPECT_EQ(first.name, "");
    EXPECT_EQ(first.route, "");
    EXPECT_TRUE(first.tags.empty());
    ASSERT_EQ(first.arguments.size(), 2u);
    EXPECT_EQ(first.arguments[0].name, "a");
    EXPECT_TRUE(first.arguments[0].optional);
    EXPECT_EQ(first.arguments[0].location, 4u);
    EXPECT_EQ(first.arguments[1].name, "");
    EXPECT_EQ(first.arguments[1].type.typeName, "Item");
    EXPECT_EQ(first.arguments[1].location, 0u) << "no location entry left for it";
    const FunctionDescription& second = description.functions[1];
    EXPECT_EQ(second.tags, (std::vector<std::string>{"t", ""}));
    EXPECT_EQ(description.Summaries(),
              (std::vector<std::string>{
                  R"(function  ANY by name (a?: int32 in header, : Item) returns void)",
                  R"(function Second PURGE "/r" () returns void)",
                  "type E size=4 {B=2}",
                  "type  size=8 {f?: vector<Item> @4}",
                  "type Empty size=0 {}",
                  "event OnX",
              }));
}

TEST(TypeDescription, NamesKindsAndRegisteredTypes) {
    struct Case {
        TypeDescription type;
        const char* text;
    };
    const Case cases[] = {
        {{0, 0, ""}, "void"},
        {{1, 0, ""}, "bool"},
        {{12, 0, "ignored"}, "string"},
        {{14, 0, ""}, "blob"},
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

}  // namespace
