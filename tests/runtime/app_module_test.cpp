// AppModule, the handshake and API versions, driven in-process through the test host's table.
#include "runtime/app_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/format.h"
#include "diagnostics/log.h"
#include "diagnostics/log_api.h"
#include "diagnostics/log_target.h"
#include "host/test_host.h"
#include "runtime/plugin_handshake.h"
#include "runtime/version.h"
#include "tests/runtime/runtime_fixture.h"

namespace {

using namespace Velto::Client;
using Velto::Client::Testing::Render;
using Velto::TestHost::TestHost;

class TestModule : public AppModule {
  public:
    explicit TestModule(bool startResult = true)
        : AppModule("test-module", "backend"), startResult_(startResult) {}

    void RegisterTypes() override { ++registerTypesCalls; }
    bool OnStart() override {
        ++onStartCalls;
        return startResult_;
    }

    int registerTypesCalls = 0;
    int onStartCalls = 0;

  private:
    bool startResult_;
};

// Collects the messages the logger delivers while it is attached.
class RecordingTarget final : public Velto::LogTarget {
  public:
    RecordingTarget() {
        EnableWrite();
        Velto::LogTargetConfig config;
        config.minimumLevel = 0;
        Configure(config);
    }
    ~RecordingTarget() override { Detach(); }
    bool Write(const Velto::LogRecord& record) override {
        messages.push_back(record.message);
        return true;
    }
    std::vector<std::string> messages;
};

TEST(AppModule, HostOperationsCallTheirSlotsWithTheirArgumentsOnlyOnceStarted) {
    TestModule module;
    module.HostYield();
    module.HostBeginWait("Wait: yield", 0);
    module.HostEndWait();
    module.HostSendEvent(nullptr);
    EXPECT_EQ(module.Context(), nullptr) << "before Start, host operations call nothing";

    TestHost host;
    HostContext context{host.Api(), 42};
    ASSERT_TRUE(module.Start(&context));
    EXPECT_EQ(module.Context(), &context);
    EXPECT_EQ(module.ConnectionHandle(), 42u);
    host.ClearCalls();
    module.HostReserved(3, 4);
    module.HostSubscribe(
        "OnSomething", 42, [](HostEvent*) {}, &module, 1);
    module.HostUnsubscribe("OnSomething", 42);
    module.HostScheduleCall(
        "later", [](void*) {}, &module, 0.25, 0);
    module.HostYield();
    module.HostBeginWait("Wait: yield", 0);
    module.HostEndWait();
    EXPECT_EQ(Render(host.Calls()), R"(Reserved 3 4
Subscribe OnSomething handle=42 flags=1
Unsubscribe OnSomething handle=42
ScheduleCall "later" 0.25 zero=0
Yield
BeginWait "Wait: yield" zero=0
EndWait
)");
}

TEST(AppModule, StartSendsTheLogToTheHostAndRunsOnStartOnce) {
    TestHost host;
    HostContext context{host.Api(), 1};
    {
        TestModule failing(false);
        EXPECT_FALSE(failing.Start(&context)) << "Start answers what OnStart answers";
    }
    {
        TestModule module;
        ASSERT_TRUE(module.Start(&context));
        EXPECT_EQ(module.onStartCalls, 1);
        host.ClearCalls();

        Velto::LogMessage(Velto::LogLevel::Okay, Velto::kLogGroupDbg, "boosts %d", 3);
        Velto::LogMessage(Velto::LogLevel::Error, Velto::kLogGroupDbg | Velto::kLogGroupXtr,
                          "dropped");
        HostContext other{host.Api(), 2};
        EXPECT_FALSE(module.Start(&other)) << "a started module refuses a second start";
        EXPECT_EQ(module.Context(), &context);
        EXPECT_EQ(module.onStartCalls, 1);

        TestHost secondHost;
        HostContext secondContext{secondHost.Api(), 3};
        TestModule second;
        ASSERT_TRUE(second.Start(&secondContext));
        Velto::LogMessage(Velto::LogLevel::Okay, Velto::kLogGroupDbg, "still the first");
        // The host gets the message, not a line; an XTR message is suppressed; a second started
        // module leaves the log with the first.
        EXPECT_EQ(Render(host.Calls()), "Log OKAY boosts 3\nLog OKAY still the first\n");
        EXPECT_EQ(Render(secondHost.Calls()), R"(Subscribe OnServiceProxyUuidEvent handle=3 flags=1
Subscribe OnServiceProxyMethodEvent handle=3 flags=1
Subscribe OnServiceProxyAsyncEvent handle=3 flags=1
)");
    }
    host.ClearCalls();
    Velto::LogMessage(Velto::LogLevel::Always, Velto::kLogGroupDbg, "after the module");
    EXPECT_TRUE(host.Calls().empty()) << "the plug-in target leaves with its module";
}

TEST(Handshake, FillsTheContextAndPreparesTheModule) {
    PluginLoadContext context{18, 2, 7, nullptr, nullptr, nullptr, nullptr};
    auto owned = std::make_unique<TestModule>();
    TestModule* module = owned.get();
    ASSERT_EQ(CompleteHandshake(&context, std::move(owned)), module);
    std::unique_ptr<AppModule> destroyAtEnd(module);

    EXPECT_EQ(module->registerTypesCalls, 1);
    EXPECT_EQ(VersionText(module->HostVersion()), "18.2.7");
    EXPECT_EQ(module->Identity().fullName, "nuv-be-test-module");
    EXPECT_EQ(module->Identity().shortName, "test-module");
    EXPECT_EQ(module->Identity().type, "backend");
    EXPECT_EQ(module->ApiTags(), (std::vector<std::string>{"Plugins", "Plugin test-module"}));
    EXPECT_EQ(VersionText({context.major, context.minor, context.patch, "", ""}), "18.0.0");
    EXPECT_EQ(context.exports, module->ExportTable());
    EXPECT_EQ(context.module, module);
    EXPECT_STREQ(context.name, "test-module");
    EXPECT_EQ(context.apiDescriptor, module->Descriptor());
}

TEST(Handshake, RefusesAnIncompatibleHostBeforeAnyOtherStep) {
    RecordingTarget log;
    PluginLoadContext context{19, 0, 0, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(CompleteHandshake(&context, std::make_unique<TestModule>()), nullptr);
    EXPECT_EQ(context.major, 19u) << "a refused context keeps what the host wrote";
    EXPECT_EQ(context.module, nullptr);
    EXPECT_EQ(log.messages,
              (std::vector<std::string>{
                  "Assertion failed!\n\nExpression: ALE-EECF0606",
                  "test-module which supports plugin API 18.0.0 is not compatible with core's "
                  "plugin API 19.0.0"}));
    EXPECT_EQ(CompleteHandshake(nullptr, std::make_unique<TestModule>()), nullptr);
}

TEST(PluginIdentity, FullNamesFollowTheTypeAndAnUnknownTypeIsLogged) {
    RecordingTarget log;
    EXPECT_EQ(GetFullNameFromShortNameAndType("boosts", "backend"), "nuv-be-boosts");
    EXPECT_EQ(GetFullNameFromShortNameAndType("boosts", "frontend"), "nuv-fe-boosts");
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(GetFullNameFromShortNameAndType("boosts", "sidecar"), "nuv-xx-boosts");
    EXPECT_EQ(log.messages,
              std::vector<std::string>{
                  "            Plugin Manager| GetFullNameFromShortNameAndType(\"boosts\", "
                  "\"sidecar\") called with an unknown type"});
}

TEST(Version, TextHasTheNumbersThenTheOptionalSuffixes) {
    for (const auto& [version, text] : std::initializer_list<std::pair<Version, const char*>>{
             {{18, 0, 0, "", ""}, "18.0.0"},
             {{4294967295u, 4294967295u, 4294967295u, "", ""}, "4294967295.4294967295.4294967295"},
             {{1, 2, 3, "rc", "b"}, "1.2.3-rc+b"},
         }) {
        EXPECT_EQ(VersionText(version), text);
        EXPECT_EQ(Velto::Format("[%1]", version), std::string("[") + text + "]")
            << "a version formats through its text form";
    }
    EXPECT_EQ(Velto::Format("%1$-8s|", Version{1, 2, 3, "", ""}), "1.2.3   |")
        << "width and alignment apply to the text form";
}

TEST(Version, HostsOfTheSameMajorAndAtLeastTheMinorAndPatchAreCompatible) {
    const Version plugin{18, 2, 1, "", ""};
    for (const auto& [host, compatible] :
         std::initializer_list<std::pair<Version, bool>>{{{18, 2, 1, "", ""}, true},
                                                         {{19, 2, 1, "", ""}, false},
                                                         {{18, 2, 0, "", ""}, false},
                                                         {{18, 3, 0, "", ""}, true}}) {
        EXPECT_EQ(IsCompatibleApiVersion(host, plugin), compatible) << VersionText(host);
    }
}

}  // namespace
