// Helpers shared by the logging tests: a target that records what it receives, capture of the
// console streams and of the debugger channel, and a bracket that starts and stops the
// process-wide logger around a test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "diagnostics/log_manager.h"
#include "diagnostics/log_target.h"
#include "platform/debugger_output.h"

namespace LogTest {

struct ReceivedRecord {
    int32_t level;
    uint64_t groups;
    std::string message;
};

// Records every record it is given; the logger calls Write under its lock.
class RecordingLogTarget final : public Velto::LogTarget {
  public:
    explicit RecordingLogTarget(std::string name = "RecordingLogTarget", bool* destroyed = nullptr)
        : name_(std::move(name)), destroyed_(destroyed) {
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
        records.push_back({record.level, record.groups, record.message});
        return true;
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const ReceivedRecord& record : records) {
            messages.push_back(record.message);
        }
        return messages;
    }

    std::vector<ReceivedRecord> records;

  private:
    std::string name_;
    bool* destroyed_;
};

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

// Redirects a C stream at the file-descriptor level into a temporary file until Take().
class CapturedStream {
  public:
    explicit CapturedStream(FILE* stream) : stream_(stream), descriptor_(fileno(stream)) {
        std::fflush(stream_);
        saved_ = dup(descriptor_);
        file_ = std::tmpfile();
        dup2(fileno(file_), descriptor_);
    }
    ~CapturedStream() { Take(); }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    // Restores the stream and returns everything written to it meanwhile.
    std::string Take() {
        if (file_ == nullptr) {
            return {};
        }
        std::fflush(stream_);
        dup2(saved_, descriptor_);
        close(saved_);
        std::string text;
        std::rewind(file_);
        char chunk[512];
        for (std::size_t read; (read = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) {
            text.append(chunk, read);
        }
        std::fclose(file_);
        file_ = nullptr;
        return text;
    }

  private:
    FILE* stream_;
    int descriptor_;
    int saved_ = -1;
    FILE* file_ = nullptr;
};

// Collects the texts sent to the debugger channel while it lives.
class CapturedDebugger {
  public:
    CapturedDebugger() { Velto::Platform::SetDebuggerListener(&Collect, this); }
    ~CapturedDebugger() { Velto::Platform::SetDebuggerListener(nullptr, nullptr); }
    CapturedDebugger(const CapturedDebugger&) = delete;
    CapturedDebugger& operator=(const CapturedDebugger&) = delete;

    std::vector<std::string> texts;

  private:
    static void Collect(const char* text, void* context) {
        static_cast<CapturedDebugger*>(context)->texts.push_back(text);
    }
};

// The thread id as "#T" shows it, computed independently of the logger.
inline std::string ExpectedThreadId(uint32_t id) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(id));
    return text;
}

}  // namespace LogTest
