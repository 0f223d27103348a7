#include <string>
#include <vector>

#include "tests/runtime/runtime_fixture.h"

namespace Velto::Client::Testing {
namespace {

using PublicationTest = RuntimeFixture;

TEST_F(PublicationTest, AnUpdateIsSentUnderItsOwnNameThenTheGeneralOne) {
    module_->PublishResource(PluginResourceEventType::Update, "/mek-active-boosts/v1/active-boosts",
                             Greeting{"boost", 3});
    const std::vector<HostCall> events = CallsOf(HostCallKind::SendEvent);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, "OnJsonApiEvent_mek-active-boosts_v1_active-boosts");
    EXPECT_EQ(events[1].name, "OnJsonApiEvent");
    const std::string payload = R"({"data":{"count":3,"text":"boost"},"eventType":"Update",)"
                                R"("uri":"/mek-active-boosts/v1/active-boosts"})";
    for (const HostCall& event : events) {
        EXPECT_EQ(event.payload.ToJson(), payload);
        EXPECT_EQ(event.flags, 0u);
    }
}

TEST_F(PublicationTest, AnEmptyUriIsSentOnceAndUnconvertibleRecordsNever) {
    module_->PublishResource(PluginResourceEventType::Delete, "", Greeting{});
    const std::vector<HostCall> events = CallsOf(HostCallKind::SendEvent);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "OnJsonApiEvent");

    host_.ClearCalls();
    module_->PublishResource(PluginResourceEventType::Update, "/mek-x/v1/y", Unregistered{});
    EXPECT_TRUE(host_.Calls().empty());

    PluginResourceEvent event;
    event.uri = "/mek-x/v1/y";
    event.eventType = static_cast<PluginResourceEventType>(7);
    const MaybeType<Failure, void> sent = module_->SendResourceEvent("OnJsonApiEvent", event, 0);
    ASSERT_FALSE(sent.IsFailure());
    EXPECT_EQ(CallsOf(HostCallKind::SendEvent)[0].payload.ToJson(),
              R"({"data":null,"eventType":7,"uri":"/mek-x/v1/y"})")
        << "an enumeration number without a name is sent as its number";
}

}  // namespace
}  // namespace Velto::Client::Testing
