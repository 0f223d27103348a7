// The console log targets: standard error, standard output and the debugger's output channel.
//
// Each expands its line format for a record into a line buffer on the stack and, holding its
// own lock, outputs the line in one call. Output errors are ignored.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "diagnostics/log_target.h"

namespace Velto {

class BaseConsoleLogTarget : public LogTarget {
  public:
    const char* Name() const noexcept override;
    // Pushes out whatever the console holds back.
    virtual void Flush() noexcept = 0;

  protected:
    BaseConsoleLogTarget() noexcept = default;

    // Expands the line for `record` and passes it to `output`, both under the target's lock.
    template <class Output>
    bool WriteLine(const LogRecord& record, Output output) {
        char line[kLogLineSize];
        std::lock_guard guard(Lock());
        ExpandLine(line, sizeof line, record);
        output(line);
        return true;
    }
};

class StdErrLogTarget final : public BaseConsoleLogTarget {
  public:
    StdErrLogTarget() noexcept;
    ~StdErrLogTarget() override;
    const char* Name() const noexcept override;
    bool Write(const LogRecord& record) override;
    void Flush() noexcept override;
};

class StdOutLogTarget final : public BaseConsoleLogTarget {
  public:
    StdOutLogTarget() noexcept;
    ~StdOutLogTarget() override;
    const char* Name() const noexcept override;
    bool Write(const LogRecord& record) override;
    void Flush() noexcept override;

    // Off by default: standard output is then flushed only by Flush and the C library.
    void SetFlushEveryLine(bool on) noexcept;
    bool FlushesEveryLine() const noexcept;

  private:
    std::atomic<int32_t> flushEveryLine_{0};  // 1 = on
};

// Writes through Velto::Platform::WriteDebuggerOutput.
class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
  public:
    DebuggerConsoleLogTarget() noexcept;
    ~DebuggerConsoleLogTarget() override;
    const char* Name() const noexcept override;
    bool Write(const LogRecord& record) override;
    void Flush() noexcept override;
};

}  // namespace Velto
