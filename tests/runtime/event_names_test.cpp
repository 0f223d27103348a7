#include "runtime/event_names.h"

#include <gtest/gtest.h>

#include <string>

namespace Velto::Client {
namespace {

TEST(EventNames, ResourceEventNamesKeepTheFirstSegments) {
    const struct {
        const char* uri;
        const char* name;
    } cases[] = {
        {"/mek-login/v1/login-data-packet", "OnJsonApiEvent_mek-login_v1_login-data-packet"},
        {"/mek-login/v1/session/invoke", "OnJsonApiEvent_mek-login_v1_session"},
        {"/mek-platform-config/v1/namespaces/a/b/c",
         "OnJsonApiEvent_mek-platform-config_v1_namespaces_a_b"},
        {"/mek-platform-config", "OnJsonApiEvent_mek-platform-config"},
        {"/v1/mek-platform-config/a/b/c", "OnJsonApiEvent_v1_mek-platform-config_a"},
        {"", "OnJsonApiEvent"},
        {"/", "OnJsonApiEvent"},
        {"//a///b//", "OnJsonApiEvent_a_b"},
        {"no-slash/x", "OnJsonApiEvent_no-slash_x"},
        {"/mek-x/v1/items/*", "OnJsonApiEvent_mek-x_v1_items"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(EventNameForUri(entry.uri), entry.name) << "uri " << entry.uri;
    }
}

TEST(EventNames, LcdsEventNamesReplaceEveryDot) {
    EXPECT_EQ(LcdsEventName("com.veltogames.platform.messaging.StoreFulfillmentNotification"),
              "OnLcdsEvent_com_veltogames_platform_messaging_StoreFulfillmentNotification");
    EXPECT_EQ(LcdsEventName(""), "OnLcdsEvent_");
    EXPECT_EQ(LcdsEventName(".."), "OnLcdsEvent___");
}

TEST(EventNames, PatternStarsTakeOneSegmentWithoutBacktracking) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        {"/mek-x/v1/items/*", "/mek-x/v1/items/42", true},
        {"/mek-x/v1/items/*", "/mek-x/v1/items/", true},
        {"/mek-x/v1/items/*", "/mek-x/v1/items/42/parts", false},
        {"/mek-x/v1/items/*", "/mek-x/v1/items", false},
        {"/a/*b", "/a/xb", false},
        {"/a/*/c", "/a/b/c", true},
        {"/a/*/c", "/a//c", true},
        {"*", "", true},
        {"*", "/", false},
        {"", "", true},
        {"/exact", "/exact", true},
        {"/exact", "/exactly", false},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(MatchesUriPattern(entry.pattern, entry.path), entry.matches)
            << entry.pattern << " against " << entry.path;
    }
}

}  // namespace
}  // namespace Velto::Client
