#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/console_log_targets.h"
#include "diagnostics/log.h"
#include "diagnostics/log_manager.h"
#include "log_test_support.h"
#include "platform/thread_id.h"
#include "tests/platform/comma_decimal_locale.h"

namespace {

using LogTest::CapturedDebugger;
using LogTest::CapturedStream;
using LogTest::RecordingLogTarget;
using Velto::LogLevel;
using Velto::LogManager;
using Velto::LogTargetInterface;

using LogManagerTest = LogTest::LoggerSession;

// Keeps the consoles quiet in tests that watch only their own targets.
void DetachConsoles() {
    for (LogTargetInterface* target : {LogManager::StdErrTarget(), LogManager::DebuggerTarget()}) {
        target->Detach(target);
    }
}

std::string ConsoleLine(const std::string& levelText, const std::string& message) {
    return std::string(LogManager::ExecutableName()) + "(" +
           LogTest::ExpectedThreadId(Velto::Platform::CurrentThreadId()) + "): " + levelText +
           "| " + message + "\n";
}

TEST_F(LogManagerTest, DefaultsSendWarningsInDbgToStandardErrorAndTheDebugger) {
    CapturedDebugger debugger;
    CapturedStream standardError(stderr);
    CapturedStream standardOutput(stdout);
    Velto::LogMessage(LogLevel::Warn, Velto::kLogGroupDbg, "boost %d of %s", 7, "xp");
    Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupDbg, "below the minimum level");
    Velto::LogMessage(LogLevel::Error, Velto::kLogGroupGen, "only in GEN");
    const std::string output = standardOutput.Take();
    const std::string errors = standardError.Take();

    const std::string expected = ConsoleLine("  WARN", "boost 7 of xp");
    EXPECT_EQ(errors, expected);
    EXPECT_EQ(debugger.texts, std::vector<std::string>{expected});
    EXPECT_EQ(output, "") << "standard output is not attached by default";
}

TEST_F(LogManagerTest, ExecutableNameIsTheProgramNameWithoutItsFolders) {
    // Windows programs keep their ".exe".
    const std::string name = LogManager::ExecutableName();
    EXPECT_TRUE(name == "log_test" || name == "log_test.exe") << name;
    const std::string path = LogManager::ExecutablePath();
    EXPECT_GT(path.size(), name.size()) << path;
    EXPECT_TRUE(path.ends_with("/" + name) || path.ends_with("\\" + name)) << path;
}

TEST_F(LogManagerTest, MaskZeroPassesEveryTargetsGroupFilters) {
    CapturedDebugger debugger;
    LogTargetInterface* standardOutputTarget = LogManager::StdOutTarget();
    standardOutputTarget->Attach(standardOutputTarget);
    CapturedStream standardError(stderr);
    CapturedStream standardOutput(stdout);
    Velto::LogMessage(LogLevel::Warn, 0, "no group");
    const std::string output = standardOutput.Take();
    const std::string errors = standardError.Take();

    EXPECT_EQ(errors, ConsoleLine("  WARN", "no group"));
    EXPECT_EQ(debugger.texts.size(), 1u);
    EXPECT_EQ(output, "no group\n");
}

TEST_F(LogManagerTest, StartsWithItsBuiltInSettings) {
    EXPECT_EQ(LogManager::MinimumLevel(), 1);
    EXPECT_EQ(LogManager::SuppressedGroups(), Velto::kLogGroupXtr);
    EXPECT_FALSE(LogManager::IsMuted());
    EXPECT_FALSE(LogManager::ReservedFlag());
    EXPECT_EQ(LogManager::Targets(),
              (std::vector<LogTargetInterface*>{LogManager::StdErrTarget(),
                                                LogManager::DebuggerTarget()}));

    const struct {
        LogTargetInterface* target;
        const char* name;
        const char* lineFormat;
        uint64_t included;
        uint64_t excluded;
        bool attached;
    } builtIns[] = {
        {LogManager::StdErrTarget(), "StdErrLogTarget", "#E(#T): #L| #M", 1, 2, true},
        {LogManager::StdOutTarget(), "StdOutLogTarget", "#M", 2, 1, false},
        {LogManager::DebuggerTarget(), "DebuggerConsoleLogTarget", "#E(#T): #L| #M", 1, 0, true},
    };
    for (const auto& builtIn : builtIns) {
        LogTargetInterface* target = builtIn.target;
        EXPECT_STREQ(target->GetName(target), builtIn.name);
        EXPECT_STREQ(target->GetLineFormat(target), builtIn.lineFormat) << builtIn.name;
        EXPECT_EQ(target->GetMinimumLevel(target), 1) << builtIn.name;
        EXPECT_EQ(target->GetIncludedGroups(target), builtIn.included) << builtIn.name;
        EXPECT_EQ(target->GetExcludedGroups(target), builtIn.excluded) << builtIn.name;
        EXPECT_EQ(target->IsAttached(target), builtIn.attached) << builtIn.name;
    }
}

TEST_F(LogManagerTest, DropsMutedLowLevelAndSuppressedMessages) {
    RecordingLogTarget target;
    target.Configure({0, 0, 0, "#M"});
    LogManager::Mute();
    Velto::LogMessage(LogLevel::Always, 0, "muted");
    LogManager::Unmute();
    Velto::LogMessage(LogLevel::Okay, 0, "below the minimum");
    Velto::LogMessage(LogLevel::Always, Velto::kLogGroupXtr | Velto::kLogGroupTst, "suppressed");
    LogManager::SetMinimumLevel(0);
    LogManager::SetSuppressedGroups(0);
    Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupXtr, "now passes");
    EXPECT_EQ(target.Messages(), std::vector<std::string>{"now passes"});
}

TEST_F(LogManagerTest, AppliesEachTargetsLevelAndGroupFilters) {
    DetachConsoles();
    LogManager::SetMinimumLevel(0);
    const uint64_t net = Velto::kLogGroupNet;
    const uint64_t gen = Velto::kLogGroupGen;
    const struct {
        const char* what;
        Velto::LogTargetConfig config;
        int32_t level;
        uint64_t groups;
        bool received;
    } cases[] = {
        {"included NET, mask 0", {0, net, 0, "#M"}, 0, 0, true},
        {"included NET, in NET", {0, net, 0, "#M"}, 0, net, true},
        {"included NET, only in GEN", {0, net, 0, "#M"}, 0, gen, false},
        {"included NET, in NET and GEN", {0, net, 0, "#M"}, 0, net | gen, true},
        {"excluded GEN, in NET and GEN", {0, 0, gen, "#M"}, 0, net | gen, false},
        {"excluded GEN, mask 0", {0, 0, gen, "#M"}, 0, 0, true},
        {"no filters, any group", {0, 0, 0, "#M"}, 0, uint64_t{1} << 40, true},
        {"below the target's level", {2, 0, 0, "#M"}, 1, 0, false},
        {"at the target's level", {2, 0, 0, "#M"}, 2, 0, true},
    };
    for (const auto& entry : cases) {
        RecordingLogTarget target;
        target.Configure(entry.config);
        Velto::LogMessage(static_cast<LogLevel>(entry.level), entry.groups, "probe");
        EXPECT_EQ(target.records.size(), entry.received ? 1u : 0u) << entry.what;
    }
}

TEST_F(LogManagerTest, PrintsNumbersWithAPointUnderACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    RecordingLogTarget target;
    target.Configure({0, 0, 0, "#M"});
    Velto::LogMessage(LogLevel::Always, 0, "%.1f of %d", 2.5, 1000);
    EXPECT_EQ(target.Messages(), std::vector<std::string>{"2.5 of 1000"});
}

// A reader on another thread may still hold the text when the format changes.
TEST_F(LogManagerTest, HandedOutLineFormatsOutliveAChangeOfFormat) {
    RecordingLogTarget target;
    target.Configure({1, 0, 0, std::string(40, 'a')});
    LogTargetInterface* table = target.Interface();
    const char* kept = table->GetLineFormat(table);
    for (const char* format : {"#M", "#D #M", "a longer format that needs its own heap block #M"}) {
        target.Configure({1, 0, 0, format});
        EXPECT_STREQ(table->GetLineFormat(table), format);
    }
    EXPECT_EQ(std::string(kept), std::string(40, 'a')) << "the first format was freed or changed";
}

TEST_F(LogManagerTest, ConfigureRemovesExcludedBitsFromIncludedAndAttaches) {
    RecordingLogTarget target;
    target.Configure({2, Velto::kLogGroupDbg | Velto::kLogGroupGen, Velto::kLogGroupGen, "[#M]"});
    EXPECT_TRUE(target.IsAttached());
    EXPECT_EQ(target.MinimumLevel(), 2);
    EXPECT_EQ(target.IncludedGroups(), Velto::kLogGroupDbg);
    EXPECT_EQ(target.ExcludedGroups(), Velto::kLogGroupGen);
    EXPECT_STREQ(target.LineFormat(), "[#M]");

    target.Configure({1, 0, 0, "#M"});
    const std::vector<LogTargetInterface*> targets = LogManager::Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), target.Interface()), 1)
        << "configuring an attached target lists it once";
    EXPECT_EQ(targets.back(), target.Interface()) << "configure re-attaches at the end";
}

TEST_F(LogManagerTest, AttachingTwiceListsTheTargetOnce) {
    RecordingLogTarget target;
    target.Attach();
    target.Attach();
    LogManager::AddTarget(target.Interface());
    std::vector<LogTargetInterface*> targets = LogManager::Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), target.Interface()), 1);

    target.Detach();
    EXPECT_FALSE(target.IsAttached());
    targets = LogManager::Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), target.Interface()), 0);
}

TEST_F(LogManagerTest, DeliversInAttachOrderAndOnlyToAttachedTargets) {
    DetachConsoles();
    std::vector<std::string> order;
    class OrderTarget final : public Velto::LogTarget {
      public:
        OrderTarget(std::vector<std::string>& order, std::string name)
            : order_(order), name_(std::move(name)) {
            EnableWrite();
        }
        ~OrderTarget() override { Detach(); }
        bool Write(const Velto::LogRecord&) override {
            order_.push_back(name_);
            return true;
        }

      private:
        std::vector<std::string>& order_;
        std::string name_;
    };
    OrderTarget second(order, "second");
    OrderTarget first(order, "first");
    OrderTarget detached(order, "detached");
    second.Attach();
    first.Attach();
    Velto::LogMessage(LogLevel::Error, 0, "one");
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
}

TEST_F(LogManagerTest, FindsAttachedTargetsByExactName) {
    RecordingLogTarget target("PluginLogTarget");
    EXPECT_EQ(LogManager::FindTarget("PluginLogTarget"), nullptr) << "not attached yet";
    target.Attach();
    EXPECT_EQ(LogManager::FindTarget("PluginLogTarget"), target.Interface());
    EXPECT_EQ(LogManager::FindTarget("pluginlogtarget"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(LogManager::FindTarget("PluginLog"), nullptr);
    EXPECT_EQ(LogManager::FindTarget(nullptr), nullptr);
    EXPECT_EQ(LogManager::FindTarget("StdErrLogTarget"), LogManager::StdErrTarget());
    EXPECT_EQ(LogManager::FindTarget("StdOutLogTarget"), nullptr) << "standard output is detached";
}

TEST_F(LogManagerTest, CutsMessagesAtFourThousandNinetyFiveCharacters) {
    DetachConsoles();
    RecordingLogTarget target;
    target.Configure({0, 0, 0, "#M"});
    const std::string longText(5000, 'z');
    Velto::LogMessage(LogLevel::Error, 0, "%s", longText.c_str());
    ASSERT_EQ(target.records.size(), 1u);
    EXPECT_EQ(target.records[0].message, std::string(4095, 'z'));
    Velto::LogMessage(LogLevel::Error, 0, nullptr);
    EXPECT_EQ(target.records.size(), 1u) << "a null format logs nothing";
}

TEST_F(LogManagerTest, DestroyedTargetsLeaveTheList) {
    DetachConsoles();
    auto attached = std::make_unique<RecordingLogTarget>();
    attached->Attach();
    LogTargetInterface* attachedTable = attached->Interface();
    auto listedOnly = std::make_unique<RecordingLogTarget>();
    LogManager::AddTarget(listedOnly->Interface());
    LogTargetInterface* listedTable = listedOnly->Interface();
    attached.reset();
    listedOnly.reset();
    const std::vector<LogTargetInterface*> targets = LogManager::Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), attachedTable), 0);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), listedTable), 0)
        << "a table added directly must not outlive its target on the list";
    Velto::LogMessage(LogLevel::Error, 0, "reaches only live targets");
}

TEST_F(LogManagerTest, StandardOutputFlushesEveryLineWhenAsked) {
    Velto::StdOutLogTarget target;
    EXPECT_FALSE(target.FlushesEveryLine());
    target.SetFlushEveryLine(true);
    target.Configure({1, 0, 0, "out: #M"});
    CapturedStream captured(stdout);
    Velto::LogMessage(LogLevel::Warn, Velto::kLogGroupGen, "flushed");
    const std::string output = captured.Take();
    EXPECT_EQ(output, "out: flushed\n");
}

TEST_F(LogManagerTest, SerialisesDeliveryFromManyThreads) {
    DetachConsoles();
    RecordingLogTarget target;
    target.Configure({0, 0, 0, "#M"});
    constexpr int kThreads = 4;
    constexpr int kMessages = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i) {
                Velto::LogMessage(LogLevel::Error, 0, "thread %d message %d", t, i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(target.records.size(), static_cast<std::size_t>(kThreads * kMessages));
}

TEST(LogManagerLifetime, LastStopDetachesTargetsAndDestroysTheLogger) {
    ASSERT_FALSE(LogManager::Exists());
    LogManager::Stop();
    EXPECT_FALSE(LogManager::Exists()) << "a stop without a start must not create the logger";

    LogManager::Start();
    LogManager::Start();
    RecordingLogTarget target;
    target.Attach();
    LogManager::SetMinimumLevel(3);
    LogManager::Stop();
    EXPECT_TRUE(LogManager::Exists()) << "one start is still counted";
    EXPECT_TRUE(target.IsAttached());

    LogManager::Stop();
    EXPECT_FALSE(LogManager::Exists());
    EXPECT_FALSE(target.IsAttached()) << "the last stop detaches every target";

    LogManager::Start();
    EXPECT_EQ(LogManager::MinimumLevel(), 1) << "a new logger starts from its defaults";
    EXPECT_FALSE(target.IsAttached());
    LogManager::Stop();
    EXPECT_FALSE(LogManager::Exists());
}

TEST(LogManagerLifetime, LogCallCreatesTheLoggerWithoutCountingAStart) {
    ASSERT_FALSE(LogManager::Exists());
    CapturedDebugger debugger;
    Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupDbg, "dropped, but creates the logger");
    EXPECT_TRUE(LogManager::Exists());
    EXPECT_TRUE(debugger.texts.empty());
    LogManager::Start();
    LogManager::Stop();
    EXPECT_FALSE(LogManager::Exists()) << "the first stop after one start ends it";
}

// A target made of the table alone, as a C caller would build it.
struct PlainTarget {
    LogTargetInterface table;
    int writes = 0;
    int detaches = 0;
};

PlainTarget& PlainOf(LogTargetInterface* self) {
    return *reinterpret_cast<PlainTarget*>(self);
}

TEST(LogManagerLifetime, DrivesTargetsMadeOfTheTableAlone) {
    ASSERT_FALSE(LogManager::Exists());
    PlainTarget plain{};
    plain.table.GetName = [](LogTargetInterface*) { return "PlainTarget"; };
    plain.table.Write = [](LogTargetInterface* self, const Velto::LogRecord*) {
        ++PlainOf(self).writes;
        return true;
    };
    plain.table.Detach = [](LogTargetInterface* self) { ++PlainOf(self).detaches; };

    LogManager::Start();
    LogManager::AddTarget(&plain.table);
    EXPECT_EQ(LogManager::FindTarget("PlainTarget"), &plain.table);
    {
        CapturedStream standardError(stderr);
        Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupGen, "missing getters read as 0");
    }
    EXPECT_EQ(plain.writes, 0) << "the logger's own minimum level still applies";
    LogManager::SetMinimumLevel(0);
    {
        CapturedStream standardError(stderr);
        Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupGen, "missing getters read as 0");
    }
    EXPECT_EQ(plain.writes, 1);
    LogManager::Stop();
    EXPECT_EQ(plain.detaches, 1) << "the last stop detaches every listed target";
    EXPECT_FALSE(LogManager::Exists());
}

}  // namespace
