// A scenario played in-process against a started module, as a feature is driven: a fired LCDS
// message waits for the deferred call the scenario runs, and what the handler publishes is what
// the scenario's expect lines name.
#include <optional>
#include <string>

#include "host/scenario.h"
#include "tests/runtime/runtime_fixture.h"

namespace Velto::Client::Testing {
namespace {

using ScenarioRoundTrip = RuntimeFixture;

TEST_F(ScenarioRoundTrip, AFiredLcdsMessageIsPublishedFromTheDeferredCall) {
    module_->RegisterLcdsStruct<Greeting>("com.example.GreetingDTO", "LcdsGreeting")
        .Field<std::string>("text", offsetof(Greeting, text))
        .Field<int32_t>("count", offsetof(Greeting, count));
    module_->SubscribeLcds<Greeting>("com.example.GreetingDTO", [this](const Greeting& greeting) {
        module_->PublishResource(PluginResourceEventType::Update, "/mek-x/v1/greeting", greeting);
    });
    TestHost::ScenarioError error;
    const std::optional<TestHost::Scenario> scenario = TestHost::Scenario::Parse(
        R"(fire OnLcdsEvent_com_example_GreetingDTO {"typeName": "com.example.GreetingDTO", "body": {"text": "hi", "count": 2}}
expect no event
run-deferred
expect event OnJsonApiEvent_mek-x_v1_greeting {"uri": "/mek-x/v1/greeting", "eventType": "Update", "data": {"text": "hi", "count": 2}}
)",
        &error);
    ASSERT_TRUE(scenario.has_value()) << error.ToString();
    TestHost::ScenarioContext context{host_};
    host_.GetTranscript().Clear();
    EXPECT_TRUE(scenario->Run(context, &error)) << error.ToString();
    EXPECT_FALSE(host_.GetTranscript().Lines().empty()) << "the played steps are in the transcript";
}

}  // namespace
}  // namespace Velto::Client::Testing
