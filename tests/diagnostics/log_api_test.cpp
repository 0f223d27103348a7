// The logger's function table as other modules call it, and the table of each target.
#include "diagnostics/log_api.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>

#include "diagnostics/log.h"
#include "log_test_support.h"

namespace {

using LogTest::RecordingLogTarget;
using LogTest::StateOf;
using LogTest::TargetState;
using Velto::LogManager;
using Velto::LogTargetInterface;

const Velto::LogApi& Api() {
    return *Velto::GetLogApi();
}

void LogThroughTable(int32_t level, uint64_t groups, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void LogThroughTable(int32_t level, uint64_t groups, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Api().LogV(level, groups, format, arguments);
    va_end(arguments);
}

TEST(LogApiTable, IsOneTableOfVersionOneWhoseStartAndStopBracketTheLogger) {
    EXPECT_EQ(Velto::GetLogApi(), Velto::GetLogApi());
    EXPECT_EQ(Api().Version(), 1);
    ASSERT_FALSE(LogManager::Exists());
    Api().Start();
    EXPECT_TRUE(LogManager::Exists());
    Api().Stop();
    EXPECT_FALSE(LogManager::Exists());
    Api().Stop();
    EXPECT_FALSE(LogManager::Exists()) << "a stop too many must not create the logger";
}

// None of these may create the logger.
TEST(LogApiTable, ToleratesBadInput) {
    char buffer[8] = "unset";
    const Velto::LogRecord record{{}, 0, 0, "m"};
    const Velto::LogTime time{};
    EXPECT_EQ(Api().GroupListText(nullptr, 8, 1), 0u);
    EXPECT_EQ(Api().GroupListText(buffer, 0, 1), 0u);
    EXPECT_EQ(Api().FormatLine(nullptr, 8, "#M", &record), 0u);
    EXPECT_EQ(Api().FormatLine(buffer, 0, "#M", &record), 0u);
    EXPECT_STREQ(buffer, "unset") << "size 0 writes nothing";
    EXPECT_EQ(Api().FormatLine(buffer, sizeof buffer, nullptr, &record), 1u);
    EXPECT_STREQ(buffer, "\n");
    EXPECT_EQ(Api().FormatLine(buffer, sizeof buffer, "#M", nullptr), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(Api().TimestampText(nullptr, 8, &time), 0u);
    EXPECT_EQ(Api().TimestampText(buffer, sizeof buffer, nullptr), 0u);
    EXPECT_EQ(Api().FileNameTimestampText(buffer, 0, &time), 0u);
    EXPECT_EQ(Api().FileNameTimestampText(buffer, sizeof buffer, nullptr), 0u);
    EXPECT_STREQ(Api().LevelText(99), "");
    EXPECT_STREQ(Api().LevelText(-5), "");
    EXPECT_EQ(Api().RegisterGroup(nullptr), 0u);
    EXPECT_EQ(Api().RegisterGroup(""), 0u);
    Api().LocalTimeNow(nullptr);
    Api().RemoveTarget(nullptr);
    EXPECT_FALSE(LogManager::Exists());
}

using LogApiTest = LogTest::LoggerSession;

TEST_F(LogApiTest, SetsAndReadsTheLoggersFilter) {
    Api().SetMinimumLevel(2);
    EXPECT_EQ(Api().GetMinimumLevel(), 2);
    Api().SetSuppressedGroups(0x4u, 0x80000000u);
    EXPECT_EQ(Api().GetSuppressedGroups(), 0x8000000000000004u) << "low half first";
    Api().Mute();
    EXPECT_TRUE(LogManager::IsMuted());
    Api().Unmute();
    EXPECT_FALSE(LogManager::IsMuted());
    Api().SetReservedFlag();
    EXPECT_TRUE(LogManager::ReservedFlag());
    Api().ClearReservedFlag();
    EXPECT_FALSE(LogManager::ReservedFlag());
}

TEST_F(LogApiTest, AddsFindsAndRemovesTargets) {
    RecordingLogTarget target("TableTarget");
    Api().AddTarget(target.Interface());
    Api().AddTarget(nullptr);
    EXPECT_EQ(Api().FindTarget("TableTarget"), target.Interface());
    EXPECT_EQ(Api().FindTarget(nullptr), nullptr);
    EXPECT_EQ(Api().StdOutTarget(), LogManager::StdOutTarget());
    EXPECT_EQ(Api().StdErrTarget(), LogManager::StdErrTarget());
    EXPECT_EQ(Api().DebuggerTarget(), LogManager::DebuggerTarget());
    Api().RemoveTarget(target.Interface());
    Api().RemoveTarget(nullptr);
    EXPECT_EQ(Api().FindTarget("TableTarget"), nullptr);
}

TEST_F(LogApiTest, FormatsLinesAndTimesWithTheProcessContext) {
    const Velto::LogRecord record{{2025, 12, 31, 23, 59, 58, 999}, 3, Velto::kLogGroupLoc, "m"};
    char line[128];
    const std::size_t length = Api().FormatLine(line, sizeof line, "#E #G #L #M", &record);
    EXPECT_EQ(length, std::strlen(line));
    EXPECT_EQ(std::string(line), std::string(Api().ExecutableName()) + " LOC ALWAYS m\n");

    char text[32];
    Api().TimestampText(text, sizeof text, &record.time);
    EXPECT_STREQ(text, "2025-12-31T23:59:58.999");
    Api().FileNameTimestampText(text, sizeof text, &record.time);
    EXPECT_STREQ(text, "2025-12-31T23-59-58");
    EXPECT_STREQ(Api().LevelText(1), "  WARN");
    Velto::LogTime now{};
    Api().LocalTimeNow(&now);
    EXPECT_GE(now.year, 2020);
}

using QuietLogApiTest = LogTest::QuietLoggerSession;

TEST_F(QuietLogApiTest, LogsThroughTheVariableArgumentEntry) {
    LogThroughTable(2, Velto::kLogGroupNet, "%s has %d boosts", "player", 3);
    LogThroughTable(0, 0, "below the minimum level");
    LogThroughTable(3, 0, nullptr);
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].level, 2);
    EXPECT_EQ(log.records[0].groups, Velto::kLogGroupNet);
    EXPECT_EQ(log.records[0].message, "player has 3 boosts");
}

// A target whose own class never enables writing keeps the table's "writes nothing" entry.
class SilentTarget final : public Velto::LogTarget {
  public:
    ~SilentTarget() override { Detach(); }
    bool Write(const Velto::LogRecord&) override {
        ++writes;
        return true;
    }
    int writes = 0;
};

TEST_F(LogApiTest, TargetTableReachesTheTarget) {
    RecordingLogTarget target("Recorder");
    LogTargetInterface* table = target.Interface();
    EXPECT_EQ(table->Version(table), 1);
    EXPECT_EQ(StateOf(table), (TargetState{"Recorder", "#D| #L| #G| #M", 1, 0, 0, false}));
    table->SetMinimumLevel(table, 3);
    table->SetGroups(table, 0x3u, 0x1u, 0x2u, 0x0u);  // included & ~excluded, low halves first
    table->Attach(table);
    EXPECT_EQ(StateOf(table),
              (TargetState{"Recorder", "#D| #L| #G| #M", 3, 0x100000001u, 0x2u, true}));
    table->Detach(table);
    EXPECT_FALSE(table->IsAttached(table));

    const Velto::LogRecord record{{}, 1, 0, "direct"};
    EXPECT_TRUE(table->Write(table, &record));
    EXPECT_FALSE(table->Write(table, nullptr));
    EXPECT_EQ(target.Messages(), std::vector<std::string>{"direct"});

    SilentTarget silent;
    EXPECT_FALSE(silent.Interface()->Write(silent.Interface(), &record));
    EXPECT_EQ(silent.writes, 0);
    EXPECT_STREQ(silent.Name(), "LogTarget");
}

TEST(LogTargetTable, IgnoresANullTable) {
    RecordingLogTarget target;
    const LogTargetInterface table = *target.Interface();
    EXPECT_EQ(table.Version(nullptr), 1);
    table.SetMinimumLevel(nullptr, 2);
    table.SetGroups(nullptr, 1, 0, 0, 0);
    table.Attach(nullptr);
    EXPECT_EQ(StateOf(&table, nullptr), (TargetState{"", "", 0, 0, 0, false}));
    table.Detach(nullptr);
    EXPECT_FALSE(table.Write(nullptr, nullptr));
    EXPECT_FALSE(LogManager::Exists());
}

}  // namespace
