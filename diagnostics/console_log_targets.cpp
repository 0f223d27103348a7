#include "diagnostics/console_log_targets.h"

#include <cstdio>

#include "platform/debugger_output.h"

namespace Velto {

const char* BaseConsoleLogTarget::Name() const noexcept {
    return "BaseConsoleLogTarget";
}

StdErrLogTarget::StdErrLogTarget() noexcept {
    EnableWrite();
}

StdErrLogTarget::~StdErrLogTarget() {
    Detach();
}

const char* StdErrLogTarget::Name() const noexcept {
    return "StdErrLogTarget";
}

bool StdErrLogTarget::Write(const LogRecord& record) {
    return WriteLine(record, [](const char* line) { std::fputs(line, stderr); });
}

void StdErrLogTarget::Flush() noexcept {
    std::fflush(stderr);
}

StdOutLogTarget::StdOutLogTarget() noexcept {
    EnableWrite();
}

StdOutLogTarget::~StdOutLogTarget() {
    Detach();
}

const char* StdOutLogTarget::Name() const noexcept {
    return "StdOutLogTarget";
}

bool StdOutLogTarget::Write(const LogRecord& record) {
    const bool flush = FlushesEveryLine();
    return WriteLine(record, [flush](const char* line) {
        std::fputs(line, stdout);
        if (flush) {
            std::fflush(stdout);
        }
    });
}

void StdOutLogTarget::Flush() noexcept {
    std::fflush(stdout);
}

void StdOutLogTarget::SetFlushEveryLine(bool on) noexcept {
    flushEveryLine_.store(on ? 1 : 0);
}

bool StdOutLogTarget::FlushesEveryLine() const noexcept {
    return flushEveryLine_.load() == 1;
}

DebuggerConsoleLogTarget::DebuggerConsoleLogTarget() noexcept {
    EnableWrite();
}

DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() {
    Detach();
}

const char* DebuggerConsoleLogTarget::Name() const noexcept {
    return "DebuggerConsoleLogTarget";
}

bool DebuggerConsoleLogTarget::Write(const LogRecord& record) {
    return WriteLine(record, [](const char* line) { Platform::WriteDebuggerOutput(line); });
}

// The debugger channel holds nothing back.
void DebuggerConsoleLogTarget::Flush() noexcept {}

}  // namespace Velto
