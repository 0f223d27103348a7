// The plug-in's API as the host sees it: the description handed over at load, and calls made
// through its function entries, with the built library loaded by the test host.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "host/test_host.h"

namespace {

using Velto::TestHost::FunctionAnswer;
using Velto::TestHost::LoadResult;
using Velto::TestHost::RecordedRequest;
using Velto::TestHost::TestHost;

class ActiveBoostsApi : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host_.OpenLibrary(MEK_PLUGIN_PATH, &error)) << error;
        ASSERT_EQ(host_.Load(), LoadResult::Accepted);
    }

    FunctionAnswer Call(uint32_t method, const std::string& path) {
        RecordedRequest request;
        request.method = method;
        request.path = path;
        std::optional<FunctionAnswer> answer =
            host_.CallFunction(request, "GetMekActiveBoostsV1ActiveBoosts");
        return answer ? std::move(*answer) : FunctionAnswer{};
    }

    TestHost host_;
};

TEST_F(ActiveBoostsApi, DescribesTheResourceRouteItsTypesAndEvents) {
    const Velto::TestHost::ApiDescription description = host_.Description();
    ASSERT_EQ(description.functions.size(), 1u);
    const Velto::TestHost::FunctionDescription& get = description.functions.front();
    EXPECT_EQ(get.name, "GetMekActiveBoostsV1ActiveBoosts");
    EXPECT_EQ(get.route, "/mek-active-boosts/v1/active-boosts");
    EXPECT_EQ(get.method, 2u);
    EXPECT_TRUE(get.arguments.empty());
    EXPECT_EQ(get.returns.kind, 17u);
    EXPECT_EQ(get.returns.typeName, "ActiveBoosts");
    EXPECT_EQ(get.tags, (std::vector<std::string>{"Plugins", "Plugin mek-active-boosts"}));

    const auto type = [&](const std::string& name) {
        const auto found = std::find_if(description.types.begin(), description.types.end(),
                                        [&](const auto& record) { return record.name == name; });
        return found != description.types.end() ? *found : Velto::TestHost::TypeRecordDescription{};
    };
    const auto boosts = type("ActiveBoosts");
    ASSERT_EQ(boosts.fields.size(), 8u);
    EXPECT_EQ(boosts.fields.front().name, "summonerId");
    EXPECT_EQ(boosts.fields.back().name, "firstWinOfTheDayStartTime");
    const auto eventType = type("PluginResourceEventType");
    ASSERT_EQ(eventType.values.size(), 3u);
    EXPECT_EQ(eventType.values[0].name, "Create");
    EXPECT_EQ(eventType.values[1].name, "Delete");
    EXPECT_EQ(eventType.values[1].value, 2);
    EXPECT_EQ(type("BindingFullApiHelp").fields.size(), 3u);
    EXPECT_FALSE(description.events.empty());
}

TEST_F(ActiveBoostsApi, AnswersTheResourceThroughItsFunctionEntry) {
    const struct {
        uint32_t method;
        const char* path;
        uint32_t status;
        const char* error;
    } cases[] = {
        {2, "/mek-active-boosts/v1/active-boosts", 404, "Not found"},
        {6, "/mek-active-boosts/v1/active-boosts", 404, "Invalid function"},
        {2, "/mek-active-boosts/v1/active-boosts/", 404, "Invalid function"},
    };
    for (const auto& test : cases) {
        const FunctionAnswer answer = Call(test.method, test.path);
        EXPECT_EQ(answer.statusCode, test.status) << test.path;
        EXPECT_EQ(answer.errorMessage.value_or(""), test.error) << test.path;
        EXPECT_TRUE(answer.released);
    }
}

}  // namespace
