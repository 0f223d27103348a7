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
    module_->SubscribeLcds<Status>("com.example.StatusDTO", [this](const Status& status) {
        module_->PublishResource(PluginResourceEventType::Update, "/mek-x/v1/status", status);
    });
    TestHost::ScenarioError error;
    const std::optional<TestHost::Scenario> scenario = TestHost::Scenario::Parse(
        R"(fire OnLcdsEvent_com_example_StatusDTO {"typeName": "com.example.StatusDTO", "body": {"mood": "Busy"}}
expect no event
run-deferred
expect event OnJsonApiEvent_mek-x_v1_status {"uri": "/mek-x/v1/status", "eventType": "Update", "data": {"mood": "Busy", "notes": []}}
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
