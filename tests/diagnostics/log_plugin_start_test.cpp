#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "diagnostics/log.h"
#include "diagnostics/log_manager.h"
#include "diagnostics/plugin_logging.h"
#include "log_test_support.h"

namespace {

using LogTest::RecordingLogTarget;
using Velto::LogLevel;
using Velto::LogManager;
using Velto::LogTarget;

// Stands in for the host's target: it receives the level and the message text.
std::unique_ptr<LogTarget> MakeHostTarget(RecordingLogTarget** made) {
    auto target = std::make_unique<RecordingLogTarget>("PluginLogTarget");
    *made = target.get();
    return target;
}

class PluginLoggingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(LogManager::Exists()) << "an earlier test left the logger alive";
        Velto::StartLogging();
    }
    void TearDown() override {
        // As a module does: its target goes first, then its share of the logger.
        moduleTarget.reset();
        Velto::StopLogging();
        EXPECT_FALSE(LogManager::Exists());
    }

    std::unique_ptr<LogTarget> moduleTarget;
};

TEST_F(PluginLoggingTest, ReplacesTheConsolesWithTheHostTarget) {
    RecordingLogTarget* host = nullptr;
    Velto::StartPluginLogging(moduleTarget, [&] { return MakeHostTarget(&host); });
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(moduleTarget.get(), host);

    for (Velto::LogTargetInterface* console :
         {LogManager::StdOutTarget(), LogManager::StdErrTarget(), LogManager::DebuggerTarget()}) {
        EXPECT_FALSE(console->IsAttached(console)) << console->GetName(console);
    }
    EXPECT_EQ(LogManager::MinimumLevel(), 0);
    EXPECT_EQ(LogManager::SuppressedGroups(), Velto::kLogGroupXtr);
    EXPECT_TRUE(host->IsAttached());
    EXPECT_EQ(host->MinimumLevel(), 0);
    EXPECT_EQ(host->IncludedGroups(), 0u);
    EXPECT_EQ(host->ExcludedGroups(), 0u);
    EXPECT_STREQ(host->LineFormat(), "#D| #L| #G| #M");
    EXPECT_EQ(LogManager::Targets(), std::vector<Velto::LogTargetInterface*>{host->Interface()});
}

TEST_F(PluginLoggingTest, HostTargetReceivesOkayMessagesButNotExtraOnes) {
    RecordingLogTarget* host = nullptr;
    Velto::StartPluginLogging(moduleTarget, [&] { return MakeHostTarget(&host); });
    Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupDbg, "okay %s", "message");
    Velto::LogMessage(LogLevel::Always, Velto::kLogGroupDbg | Velto::kLogGroupXtr, "extra");
    Velto::LogMessage(LogLevel::Error, Velto::kLogGroupGen, "general");
    ASSERT_EQ(host->records.size(), 2u);
    EXPECT_EQ(host->records[0].level, 0);
    EXPECT_EQ(host->records[0].message, "okay message");
    EXPECT_EQ(host->records[1].level, 2);
    EXPECT_EQ(host->records[1].message, "general");
}

TEST_F(PluginLoggingTest, DoesNothingWhenAPluginTargetIsAttached) {
    RecordingLogTarget* host = nullptr;
    Velto::StartPluginLogging(moduleTarget, [&] { return MakeHostTarget(&host); });
    LogManager::SetMinimumLevel(2);
    bool called = false;
    Velto::StartPluginLogging(moduleTarget, [&] {
        called = true;
        return std::unique_ptr<LogTarget>();
    });
    EXPECT_FALSE(called);
    EXPECT_EQ(moduleTarget.get(), host);
    EXPECT_EQ(LogManager::MinimumLevel(), 2) << "a second start must change nothing";
}

TEST_F(PluginLoggingTest, DestroysTheTargetTheModuleHeldBefore) {
    bool destroyed = false;
    moduleTarget = std::make_unique<RecordingLogTarget>("EarlierTarget", &destroyed);
    moduleTarget->Attach();
    RecordingLogTarget* host = nullptr;
    Velto::StartPluginLogging(moduleTarget, [&] { return MakeHostTarget(&host); });
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(moduleTarget.get(), host);
    EXPECT_EQ(LogManager::FindTarget("EarlierTarget"), nullptr);
}

TEST_F(PluginLoggingTest, KeepsTheModuleTargetWhenNoTargetIsMade) {
    bool destroyed = false;
    moduleTarget = std::make_unique<RecordingLogTarget>("EarlierTarget", &destroyed);
    Velto::StartPluginLogging(moduleTarget, [] { return std::unique_ptr<LogTarget>(); });
    Velto::StartPluginLogging(moduleTarget, nullptr);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(LogManager::FindTarget("PluginLogTarget"), nullptr);
}

TEST(PluginLoggingLifetime, LastStopDetachesTheHostTarget) {
    ASSERT_FALSE(LogManager::Exists());
    std::unique_ptr<LogTarget> moduleTarget;
    Velto::StartLogging();
    RecordingLogTarget* host = nullptr;
    Velto::StartPluginLogging(moduleTarget, [&] { return MakeHostTarget(&host); });
    Velto::StopLogging();
    EXPECT_FALSE(LogManager::Exists());
    EXPECT_FALSE(host->IsAttached());
    moduleTarget.reset();
    EXPECT_FALSE(LogManager::Exists()) << "destroying a detached target must not revive the logger";
}

}  // namespace
