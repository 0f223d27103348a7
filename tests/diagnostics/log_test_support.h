// Helpers shared by the logging tests: a target that records what it receives, and brackets that
// start and stop the process-wide logger around a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "diagnostics/log_manager.h"
#include "diagnostics/log_target.h"

namespace LogTest {

// Records every record it is given as "<level> <groups in hex> <message>" (the logger calls Write
// under its lock). A journal shared by several targets shows the order in which they were given a
// record.
class RecordingLogTarget final : public Velto::LogTarget {
  public:
    explicit RecordingLogTarget(std::string name = "RecordingLogTarget", bool* destroyed = nullptr,
                                std::vector<std::string>* journal = nullptr)
        : name_(std::move(name)), destroyed_(destroyed), journal_(journal) {
        EnableWrite();
    }
    ~RecordingLogTarget() override {
        Detach();
        if (destroyed_ != nullptr) {
            *destroyed_ = true;
        }
    }

    const char* Name() const noexcept override { return name_.c_str(); }
    bool Write(const Velto::LogRecord& record) override {
        std::ostringstream line;
        line << record.level << " 0x" << std::hex << record.groups << " " << record.message;
        records.push_back(line.str());
        if (journal_ != nullptr) {
            journal_->push_back(name_);
        }
        return true;
    }

    std::vector<std::string> records;

  private:
    std::string name_;
    bool* destroyed_;
    std::vector<std::string>* journal_;
};

// What a target's table reports about the target, as one text; `self` may differ from `table`, to
// see how the table's entries treat a null target.
inline std::string StateOf(const Velto::LogTargetInterface* table,
                           Velto::LogTargetInterface* self) {
    std::ostringstream out;
    out << table->GetName(self) << " \"" << table->GetLineFormat(self) << "\" level "
        << table->GetMinimumLevel(self) << " groups +0x" << std::hex
        << table->GetIncludedGroups(self) << " -0x" << table->GetExcludedGroups(self)
        << (table->IsAttached(self) ? " attached" : " detached");
    return out.str();
}
inline std::string StateOf(Velto::LogTargetInterface* table) {
    return StateOf(table, table);
}

// Starts the logger for one test and stops it again; the logger must not exist before, so
// every test sees the logger's defaults and leaves no logger behind.
class LoggerSession : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Velto::LogManager::Exists()) << "an earlier test left the logger alive";
        Velto::LogManager::Start();
    }
    void TearDown() override {
        Velto::LogManager::Stop();
        EXPECT_FALSE(Velto::LogManager::Exists()) << "the test left a start without its stop";
    }
};

// A session whose consoles stay quiet: only `log` receives the messages, each as "#M".
class QuietLoggerSession : public LoggerSession {
  protected:
    void SetUp() override {
        LoggerSession::SetUp();
        for (Velto::LogTargetInterface* console :
             {Velto::LogManager::StdErrTarget(), Velto::LogManager::DebuggerTarget()}) {
            console->Detach(console);
        }
        log.Configure({0, 0, 0, "#M"});
    }

    RecordingLogTarget log;
};

}  // namespace LogTest
