// AppModule and the handshake, driven in-process through the test host's function table.
#include "runtime/app_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "diagnostics/log.h"
#include "diagnostics/log_api.h"
#include "diagnostics/log_target.h"
#include "host/test_host.h"
#include "runtime/plugin_handshake.h"

namespace {

using namespace Velto::Client;
using Velto::TestHost::HostCall;
using Velto::TestHost::HostCallKind;
using Velto::TestHost::TestHost;

class TestModule : public AppModule {
  public:
    explicit TestModule(std::string type = "backend", bool startResult = true)
        : AppModule("test-module", std::move(type)), startResult_(startResult) {}

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

std::vector<HostCallKind> KindsOf(const std::vector<HostCall>& calls) {
    std::vector<HostCallKind> kinds;
    for (const HostCall& call : calls) {
        kinds.push_back(call.kind);
    }
    return kinds;
}

TEST(AppModule, HostOperationsBeforeStartCallNothing) {
    TestModule module;
    module.HostYield();
    module.HostBeginWait("Wait: yield", 0);
    module.HostEndWait();
    module.HostSendEvent(nullptr);
    EXPECT_EQ(module.Context(), nullptr);
}

TEST(AppModule, HostOperationsCallTheirSlotsWithTheirArguments) {
    TestHost host;
    HostContext context{host.Api(), 42};
    TestModule module;
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

    const std::vector<HostCall>& calls = host.Calls();
    ASSERT_EQ(KindsOf(calls),
              (std::vector<HostCallKind>{HostCallKind::Reserved, HostCallKind::Subscribe,
                                         HostCallKind::Unsubscribe, HostCallKind::ScheduleCall,
                                         HostCallKind::Yield, HostCallKind::BeginWait,
                                         HostCallKind::EndWait}));
    EXPECT_EQ(calls[0].words, (std::array<uint32_t, 2>{3, 4}));
    EXPECT_EQ(calls[1].name, "OnSomething");
    EXPECT_EQ(calls[1].handle, 42u);
    EXPECT_EQ(calls[1].flags, 1u);
    EXPECT_EQ(calls[2].name, "OnSomething");
    EXPECT_EQ(calls[3].name, "later");
    EXPECT_DOUBLE_EQ(calls[3].delaySeconds, 0.25);
    EXPECT_EQ(calls[5].text, "Wait: yield");
}

TEST(AppModule, StartSendsTheLogToTheHostAndRunsOnStartOnce) {
    TestHost host;
    HostContext context{host.Api(), 1};
    {
        TestModule module;
        ASSERT_TRUE(module.Start(&context));
        EXPECT_EQ(module.onStartCalls, 1);
        host.ClearCalls();

        Velto::LogMessage(Velto::LogLevel::Okay, Velto::kLogGroupDbg, "boosts %d", 3);
        Velto::LogMessage(Velto::LogLevel::Error, Velto::kLogGroupDbg | Velto::kLogGroupXtr,
                          "dropped");
        ASSERT_EQ(host.Calls().size(), 1u) << "an XTR message is suppressed";
        EXPECT_EQ(host.Calls()[0].kind, HostCallKind::Log);
        EXPECT_EQ(host.Calls()[0].level, 0);
        EXPECT_EQ(host.Calls()[0].text, "boosts 3") << "the host gets the message, not a line";

        HostContext other{host.Api(), 2};
        EXPECT_FALSE(module.Start(&other)) << "a started module refuses a second start";
        EXPECT_EQ(module.Context(), &context);
        EXPECT_EQ(module.onStartCalls, 1);
    }
    host.ClearCalls();
    Velto::LogMessage(Velto::LogLevel::Always, Velto::kLogGroupDbg, "after the module");
    EXPECT_TRUE(host.Calls().empty()) << "the plug-in target leaves with its module";
}

TEST(AppModule, StartReportsTheFeaturesAnswerAndRefusesAMissingTable) {
    TestHost host;
    HostContext context{host.Api(), 1};
    TestModule failing("backend", false);
    EXPECT_FALSE(failing.Start(&context));
    EXPECT_EQ(failing.onStartCalls, 1);

    TestModule module;
    HostContext noTable{nullptr, 1};
    EXPECT_FALSE(module.Start(nullptr));
    EXPECT_FALSE(module.Start(&noTable));
    EXPECT_EQ(module.onStartCalls, 0);
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
    EXPECT_EQ(context.major, 18u);
    EXPECT_EQ(context.minor, 0u);
    EXPECT_EQ(context.patch, 0u);
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
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages[0], "Assertion failed!\n\nExpression: ALE-EECF0606");
    EXPECT_EQ(log.messages[1],
              "test-module which supports plugin API 18.0.0 is not compatible with core's plugin "
              "API 19.0.0");
    EXPECT_EQ(CompleteHandshake(nullptr, std::make_unique<TestModule>()), nullptr);
}

TEST(PluginIdentity, FullNamesFollowTheTypeAndAnUnknownTypeIsLogged) {
    RecordingTarget log;
    EXPECT_EQ(GetFullNameFromShortNameAndType("boosts", "backend"), "nuv-be-boosts");
    EXPECT_EQ(GetFullNameFromShortNameAndType("boosts", "frontend"), "nuv-fe-boosts");
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(GetFullNameFromShortNameAndType("boosts", "sidecar"), "nuv-xx-boosts");
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(
        log.messages[0],
        "            Plugin Manager| GetFullNameFromShortNameAndType(\"boosts\", \"sidecar\") "
        "called with an unknown type");
}

}  // namespace
