// The process-wide logger: its built-in settings and consoles, the filters on the way to each
// target, the list of targets, the logger's lifetime, the start of logging in a plug-in, and the
// function tables through which other modules reach the logger and each target.
#include "diagnostics/log_manager.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "diagnostics/console_log_targets.h"
#include "diagnostics/line_format.h"
#include "diagnostics/log.h"
#include "diagnostics/log_api.h"
#include "diagnostics/plugin_logging.h"
#include "log_test_support.h"
#include "platform/debugger_output.h"
#include "platform/thread_id.h"
#include "tests/platform/comma_decimal_locale.h"

namespace {

using LogTest::RecordingLogTarget;
using LogTest::StateOf;
using Velto::LogLevel;
using Velto::LogManager;
using Velto::LogTarget;
using Velto::LogTargetInterface;

using LogManagerTest = LogTest::LoggerSession;
using QuietLogManagerTest = LogTest::QuietLoggerSession;

TEST_F(LogManagerTest, StartsWithItsBuiltInSettings) {
    EXPECT_EQ(LogManager::MinimumLevel(), 1);
    EXPECT_EQ(LogManager::SuppressedGroups(), Velto::kLogGroupXtr);
    EXPECT_FALSE(LogManager::IsMuted());
    EXPECT_FALSE(LogManager::ReservedFlag());
    EXPECT_EQ(LogManager::Targets(),
              (std::vector<LogTargetInterface*>{LogManager::StdErrTarget(),
                                                LogManager::DebuggerTarget()}));
    // "#E" is the program's name without its folders; Windows programs keep their ".exe".
    const std::string name = LogManager::ExecutableName();
    EXPECT_TRUE(name == "log_test" || name == "log_test.exe") << name;
    EXPECT_GT(std::strlen(LogManager::ExecutablePath()), name.size());
}

// Standard output is attached too, to see each console's groups, format and output decide:
// standard error and the debugger take "DBG" but standard error excludes "GEN", and standard
// output takes "GEN" and excludes "DBG".
TEST_F(LogManagerTest, ConsolesPrintWhatTheirFiltersAdmit) {
    LogTargetInterface* standardOutput = LogManager::StdOutTarget();
    standardOutput->Attach(standardOutput);
    EXPECT_EQ(LogManager::FindTarget("StdOutLogTarget"), standardOutput);
    std::string debugger;
    Velto::Platform::SetDebuggerListener(
        [](const char* text, void* seen) { *static_cast<std::string*>(seen) += text; }, &debugger);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    Velto::LogMessage(LogLevel::Warn, Velto::kLogGroupDbg, "a warning in DBG");
    Velto::LogMessage(LogLevel::Error, Velto::kLogGroupGen, "an error in GEN");
    Velto::LogMessage(LogLevel::Error, Velto::kLogGroupDbg | Velto::kLogGroupGen, "in both");
    Velto::Platform::SetDebuggerListener(nullptr, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "an error in GEN\n");
    char thread[32];
    Velto::ThreadIdText(thread, sizeof thread, Velto::Platform::CurrentThreadId());
    const std::string prefix = LogManager::ExecutableName() + ("(" + std::string(thread) + "): ");
    const std::string warning = prefix + "  WARN| a warning in DBG\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), warning);
    EXPECT_EQ(debugger, warning + prefix + " ERROR| in both\n");
}

TEST_F(LogManagerTest, StandardOutputFlushesEveryLineWhenAsked) {
    Velto::StdOutLogTarget target;
    EXPECT_FALSE(target.FlushesEveryLine());
    target.SetFlushEveryLine(true);
    target.Configure({1, 0, 0, "out: #M"});
    testing::internal::CaptureStdout();
    Velto::LogMessage(LogLevel::Warn, Velto::kLogGroupGen, "flushed");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "out: flushed\n");
}

// The logger's switch, level and suppressed groups apply first, then each target's level and
// groups: one included group is enough, one excluded group wins, and no group passes both.
TEST_F(QuietLogManagerTest, DropsWhatTheLoggersOrTheTargetsFiltersRefuse) {
    LogManager::Mute();
    Velto::LogMessage(LogLevel::Always, 0, "muted");
    LogManager::Unmute();
    Velto::LogMessage(LogLevel::Okay, 0, "below the minimum");
    Velto::LogMessage(LogLevel::Always, Velto::kLogGroupXtr | Velto::kLogGroupTst, "suppressed");
    LogManager::SetMinimumLevel(0);
    LogManager::SetSuppressedGroups(0);
    Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupXtr, "now passes");
    log.Configure({2, Velto::kLogGroupNet, Velto::kLogGroupGen, "#M"});
    Velto::LogMessage(LogLevel::Warn, 0, "below the target's level");
    Velto::LogMessage(LogLevel::Error, Velto::kLogGroupDbg, "in no included group");
    Velto::LogMessage(LogLevel::Error, Velto::kLogGroupNet | Velto::kLogGroupGen, "excluded");
    Velto::LogMessage(LogLevel::Error, Velto::kLogGroupNet | Velto::kLogGroupDbg, "included");
    Velto::LogMessage(LogLevel::Error, 0, "in no group");
    EXPECT_EQ(log.records, (std::vector<std::string>{"0 0x4 now passes", "2 0x41 included",
                                                     "2 0x0 in no group"}));
}

TEST_F(QuietLogManagerTest, PrintsNumbersWithAPointUnderACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    Velto::LogMessage(LogLevel::Always, 0, "%.1f of %d", 2.5, 1000);
    EXPECT_EQ(log.records, std::vector<std::string>{"3 0x0 2.5 of 1000"});
}

TEST_F(QuietLogManagerTest, SerialisesDeliveryFromManyThreads) {
    constexpr int kThreads = 4;
    constexpr int kMessages = 500;
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i) {
                Velto::LogMessage(LogLevel::Error, 0, "thread %d message %d", t, i);
            }
        });
    }
    threads.clear();  // joins them
    EXPECT_EQ(log.records.size(), static_cast<std::size_t>(kThreads * kMessages));
}

// A reader on another thread may still hold the text when the format changes.
TEST_F(LogManagerTest, HandedOutLineFormatsOutliveAChangeOfFormat) {
    RecordingLogTarget target;
    target.Configure({1, 0, 0, std::string(40, 'a')});
    LogTargetInterface* table = target.Interface();
    const char* kept = table->GetLineFormat(table);
    target.Configure({1, 0, 0, "a longer format that needs its own heap block #M"});
    EXPECT_STREQ(table->GetLineFormat(table), "a longer format that needs its own heap block #M");
    EXPECT_EQ(std::string(kept), std::string(40, 'a')) << "the first format was freed or changed";
}

// A target is listed once however often it is attached, configured or added, and leaves the list
// when it is detached or destroyed, also when its table was added directly. Messages go to the
// listed targets in list order.
TEST_F(QuietLogManagerTest, ListsEachLiveTargetOnce) {
    RecordingLogTarget target;
    target.Configure({1, 0, 0, "#M"});
    target.Attach();
    LogManager::AddTarget(target.Interface());
    EXPECT_EQ(LogManager::Targets(),
              (std::vector<LogTargetInterface*>{log.Interface(), target.Interface()}));
    target.Detach();
    EXPECT_FALSE(target.IsAttached());
    {
        RecordingLogTarget attached;
        RecordingLogTarget listedOnly;
        attached.Attach();
        LogManager::AddTarget(listedOnly.Interface());
    }
    EXPECT_EQ(LogManager::Targets(), std::vector<LogTargetInterface*>{log.Interface()})
        << "a detached or destroyed target is still listed";

    std::vector<std::string> order;
    RecordingLogTarget second("second", nullptr, &order);
    RecordingLogTarget first("first", nullptr, &order);
    second.Attach();
    first.Attach();
    Velto::LogMessage(LogLevel::Error, 0, "reaches only live, attached targets in list order");
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
    EXPECT_TRUE(target.records.empty()) << "the detached target received it";
}

// A target made of the table alone, as a C caller would build it; the getters it lacks read as 0.
// It records its calls as words.
struct PlainTarget {
    LogTargetInterface table;
    std::string calls;
};

void RecordCall(LogTargetInterface* self, const char* call) {
    reinterpret_cast<PlainTarget*>(self)->calls += call;
}

// A log call creates the logger without counting a start; each start needs its stop, and the
// last stop detaches every listed target and ends the logger, which a later start makes anew.
TEST(LogManagerLifetime, LastStopDetachesTargetsAndDestroysTheLogger) {
    ASSERT_FALSE(LogManager::Exists());
    Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupDbg, "dropped, but creates the logger");
    EXPECT_TRUE(LogManager::Exists());
    LogManager::Start();
    LogManager::Start();
    auto target = std::make_unique<RecordingLogTarget>();
    target->Attach();
    PlainTarget plain{};
    plain.table.GetName = [](LogTargetInterface*) { return "PlainTarget"; };
    plain.table.Write = [](LogTargetInterface* self, const Velto::LogRecord* record) {
        RecordCall(self, record->message);
        return true;
    };
    plain.table.Detach = [](LogTargetInterface* self) { RecordCall(self, " detached"); };
    LogManager::AddTarget(&plain.table);
    EXPECT_EQ(LogManager::FindTarget("PlainTarget"), &plain.table);
    LogManager::SetMinimumLevel(0);
    Velto::LogMessage(LogLevel::Okay, Velto::kLogGroupGen, "passes the plain target's level 0");
    LogManager::Stop();
    EXPECT_TRUE(target->IsAttached()) << "one start is still counted";
    LogManager::Stop();
    EXPECT_FALSE(LogManager::Exists());
    EXPECT_FALSE(target->IsAttached());
    EXPECT_EQ(plain.calls, "passes the plain target's level 0 detached");
    target.reset();
    EXPECT_FALSE(LogManager::Exists()) << "destroying a detached target revived the logger";

    LogManager::Start();
    EXPECT_EQ(LogManager::MinimumLevel(), 1) << "a new logger starts from its defaults";
    LogManager::Stop();
    EXPECT_FALSE(LogManager::Exists());
}

// Starting plug-in logging detaches the consoles and lowers the logger's level to Okay; only a
// new target replaces the module's earlier one, and gets the default line format, that level and
// no group filters. As in a module, its target goes before its share of the logger.
TEST_F(LogManagerTest, ReplacesTheModulesTargetOnlyWithANewOne) {
    bool destroyed = false;
    std::unique_ptr<LogTarget> moduleTarget =
        std::make_unique<RecordingLogTarget>("EarlierTarget", &destroyed);
    Velto::StartPluginLogging(moduleTarget, [] { return std::unique_ptr<LogTarget>(); });
    Velto::StartPluginLogging(moduleTarget, nullptr);
    EXPECT_FALSE(destroyed) << "no new target was made";
    EXPECT_EQ(LogManager::FindTarget("PluginLogTarget"), nullptr);

    moduleTarget->Attach();
    RecordingLogTarget* host = nullptr;  // stands in for the host's target
    Velto::StartPluginLogging(moduleTarget, [&] {
        auto made = std::make_unique<RecordingLogTarget>("PluginLogTarget");
        host = made.get();
        return std::unique_ptr<LogTarget>(std::move(made));
    });
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(moduleTarget.get(), host);
    EXPECT_EQ(LogManager::Targets(), std::vector<LogTargetInterface*>{host->Interface()})
        << "the consoles and the earlier target are gone";
    EXPECT_EQ(StateOf(host->Interface()),
              "PluginLogTarget \"#D| #L| #G| #M\" level 0 groups +0x0 -0x0 attached");
}

const Velto::LogApi& api = *Velto::GetLogApi();

[[gnu::format(printf, 3, 4)]] void LogThroughTable(int32_t level, uint64_t groups,
                                                   const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    api.LogV(level, groups, format, arguments);
    va_end(arguments);
}

// Only Start may create the logger.
TEST(LogApiTable, ToleratesBadInputAndBracketsTheLoggerWithStartAndStop) {
    ASSERT_FALSE(LogManager::Exists());
    char buffer[8] = "unset";
    const Velto::LogRecord record{{}, 0, 0, "m"};
    EXPECT_EQ(api.GroupListText(nullptr, 8, 1), 0u);
    EXPECT_EQ(api.FormatLine(nullptr, 8, "#M", &record), 0u);
    EXPECT_EQ(api.FormatLine(buffer, sizeof buffer, "#M", nullptr), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(api.TimestampText(buffer, sizeof buffer, nullptr), 0u);
    EXPECT_EQ(api.FileNameTimestampText(buffer, sizeof buffer, nullptr), 0u);
    api.LocalTimeNow(nullptr);
    api.Stop();
    EXPECT_FALSE(LogManager::Exists());
    api.Start();
    EXPECT_TRUE(LogManager::Exists());
    api.Stop();
    EXPECT_FALSE(LogManager::Exists());
}

TEST_F(LogManagerTest, SetsTheLoggersFilterAndListOfTargets) {
    api.SetMinimumLevel(2);
    api.SetSuppressedGroups(0x4u, 0x80000000u);  // low half first
    api.Mute();
    api.SetReservedFlag();
    EXPECT_EQ(std::tuple(api.GetMinimumLevel(), api.GetSuppressedGroups(), LogManager::IsMuted(),
                         LogManager::ReservedFlag()),
              std::tuple(2, 0x8000000000000004u, true, true));
    api.Unmute();
    api.ClearReservedFlag();
    EXPECT_EQ(std::pair(LogManager::IsMuted(), LogManager::ReservedFlag()),
              std::pair(false, false));

    RecordingLogTarget target("TableTarget");
    api.AddTarget(target.Interface());
    api.AddTarget(nullptr);
    EXPECT_EQ(api.FindTarget("TableTarget"), target.Interface());
    EXPECT_EQ(api.FindTarget(nullptr), nullptr);
    EXPECT_EQ((std::tuple(api.StdOutTarget(), api.StdErrTarget(), api.DebuggerTarget())),
              (std::tuple(LogManager::StdOutTarget(), LogManager::StdErrTarget(),
                          LogManager::DebuggerTarget())));
    api.RemoveTarget(target.Interface());
    api.RemoveTarget(nullptr);
    EXPECT_EQ(api.FindTarget("TableTarget"), nullptr);
}

TEST_F(LogManagerTest, FormatsLinesAndTimesWithTheProcessContext) {
    const Velto::LogRecord record{{2025, 12, 31, 23, 59, 58, 999}, 3, Velto::kLogGroupLoc, "m"};
    char line[128];
    const std::size_t length = api.FormatLine(line, sizeof line, "#E #G #L #M", &record);
    EXPECT_EQ(length, std::strlen(line));
    EXPECT_EQ(std::string(line), std::string(api.ExecutableName()) + " LOC ALWAYS m\n");
    EXPECT_EQ(api.RegisterGroup("LOC"), Velto::kLogGroupLoc) << "the process table holds LOC";

    char text[32];
    EXPECT_EQ(api.TimestampText(text, sizeof text, &record.time), 23u);
    EXPECT_STREQ(text, "2025-12-31T23:59:58.999");
    EXPECT_EQ(api.FileNameTimestampText(text, sizeof text, &record.time), 19u);
    EXPECT_STREQ(text, "2025-12-31T23-59-58");
    EXPECT_STREQ(api.LevelText(1), "  WARN");
    EXPECT_EQ(api.Version(), 1);
    Velto::LogTime now{};
    api.LocalTimeNow(&now);
    EXPECT_GE(now.year, 2020);
}

// A message is cut at 4095 characters; a null format logs nothing.
TEST_F(QuietLogManagerTest, LogsThroughTheApiTablesVariableArgumentEntry) {
    LogThroughTable(2, Velto::kLogGroupNet, "%s has %d boosts", "player", 3);
    LogThroughTable(0, 0, "below the minimum level");
    LogThroughTable(3, 0, nullptr);
    LogThroughTable(2, 0, "%s", std::string(5000, 'z').c_str());
    EXPECT_EQ(log.records, (std::vector<std::string>{"2 0x40 player has 3 boosts",
                                                     "2 0x0 " + std::string(4095, 'z')}));
}

// A target whose own class never enables writing keeps the table's "writes nothing" entry.
class SilentTarget final : public Velto::LogTarget {
  public:
    bool Write(const Velto::LogRecord&) override { return true; }
};

TEST_F(LogManagerTest, TargetTableReachesTheTarget) {
    RecordingLogTarget target("Recorder");
    LogTargetInterface* table = target.Interface();
    EXPECT_EQ(table->Version(table), 1);
    EXPECT_EQ(StateOf(table), "Recorder \"#D| #L| #G| #M\" level 1 groups +0x0 -0x0 detached");
    table->SetMinimumLevel(table, 3);
    table->SetGroups(table, 0x3u, 0x1u, 0x2u, 0x0u);  // included & ~excluded, low halves first
    table->Attach(table);
    EXPECT_EQ(StateOf(table),
              "Recorder \"#D| #L| #G| #M\" level 3 groups +0x100000001 -0x2 attached");
    table->Detach(table);
    EXPECT_FALSE(table->IsAttached(table));

    const Velto::LogRecord record{{}, 1, 0, "direct"};
    EXPECT_TRUE(table->Write(table, &record));
    EXPECT_FALSE(table->Write(table, nullptr));
    EXPECT_EQ(target.records, std::vector<std::string>{"1 0x0 direct"});

    SilentTarget silent;
    EXPECT_FALSE(silent.Interface()->Write(silent.Interface(), &record));
    EXPECT_STREQ(silent.Name(), "LogTarget");
}

TEST(LogTargetTable, IgnoresANullTable) {
    RecordingLogTarget target;
    const LogTargetInterface table = *target.Interface();
    EXPECT_EQ(table.Version(nullptr), 1);
    table.SetMinimumLevel(nullptr, 2);
    table.SetGroups(nullptr, 1, 0, 0, 0);
    table.Attach(nullptr);
    EXPECT_EQ(StateOf(&table, nullptr), " \"\" level 0 groups +0x0 -0x0 detached");
    table.Detach(nullptr);
    EXPECT_FALSE(table.Write(nullptr, nullptr));
    EXPECT_FALSE(LogManager::Exists());
}

}  // namespace
