#include "diagnostics/log_manager.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "diagnostics/bounded_print.h"
#include "diagnostics/console_log_targets.h"
#include "diagnostics/line_format.h"
#include "diagnostics/log_groups.h"
#include "platform/executable_path.h"
#include "platform/local_time.h"

namespace Velto {
namespace {

constexpr int32_t kDefaultMinimumLevel = 1;       // Warn
constexpr uint64_t kDefaultSuppressedGroups = 4;  // "XTR"
constexpr uint64_t kGroupDbg = 1;
constexpr uint64_t kGroupGen = 2;
constexpr const char* kConsoleLineFormat = "#E(#T): #L| #M";

struct Executable {
    char path[1024];
    std::size_t nameOffset;
};

Executable ReadExecutable() {
    Executable executable{};
    const std::size_t length = Platform::ExecutablePath(executable.path, sizeof executable.path);
    // The name follows the last backslash of a Windows path; the last "/" counts as well, so
    // that a POSIX path also yields the program's name rather than the whole path.
    for (std::size_t i = 0; i < length; ++i) {
        if (executable.path[i] == '\\' || executable.path[i] == '/') {
            executable.nameOffset = i + 1;
        }
    }
    return executable;
}

const Executable& RunningExecutable() {
    static const Executable executable = ReadExecutable();
    return executable;
}

void SetUpBuiltIn(LogTarget& target, uint64_t included, uint64_t excluded, const char* format) {
    target.SetMinimumLevel(kDefaultMinimumLevel);
    target.SetGroups(included, excluded);
    target.SetLineFormat(format);
}

// The target filter; a table without a getter reads that setting as 0.
bool TargetPasses(LogTargetInterface& target, const LogRecord& record) {
    const int32_t minimum = target.GetMinimumLevel != nullptr ? target.GetMinimumLevel(&target) : 0;
    if (record.level < minimum) {
        return false;
    }
    if (record.groups == 0) {
        return true;
    }
    const uint64_t excluded =
        target.GetExcludedGroups != nullptr ? target.GetExcludedGroups(&target) : 0;
    if ((record.groups & excluded) != 0) {
        return false;
    }
    const uint64_t included =
        target.GetIncludedGroups != nullptr ? target.GetIncludedGroups(&target) : 0;
    return included == 0 || (record.groups & included) != 0;
}

void RemoveAll(std::vector<LogTargetInterface*>& targets, LogTargetInterface* target) {
    targets.erase(std::remove(targets.begin(), targets.end(), target), targets.end());
}

}  // namespace

struct LogManager::State {
    State() {
        SetUpBuiltIn(stdErr, kGroupDbg, kGroupGen, kConsoleLineFormat);
        SetUpBuiltIn(stdOut, kGroupGen, kGroupDbg, "#M");
        SetUpBuiltIn(debugger, kGroupDbg, 0, kConsoleLineFormat);
    }

    // Declared first so that it outlives the built-in targets while they are destroyed.
    std::vector<LogTargetInterface*> targets;
    int references = 0;
    StdErrLogTarget stdErr;
    StdOutLogTarget stdOut;
    DebuggerConsoleLogTarget debugger;
};

Platform::RecursiveLock& LogManager::Lock() noexcept {
    // Never destroyed: targets with static storage may detach during the process's exit, after
    // function-local statics are gone. Static storage rather than the heap, so unloading the
    // library leaves nothing behind.
    alignas(Platform::RecursiveLock) static unsigned char storage[sizeof(Platform::RecursiveLock)];
    static Platform::RecursiveLock* const lock = new (storage) Platform::RecursiveLock;
    return *lock;
}

LogManager::State& LogManager::Instance() noexcept {
    if (State* state = state_.load(std::memory_order_acquire)) {
        return *state;
    }
    std::lock_guard guard(Lock());
    if (State* state = state_.load(std::memory_order_acquire)) {
        return *state;
    }
    muted_.store(false);
    reserved_.store(false);
    minimumLevel_.store(kDefaultMinimumLevel);
    suppressedGroups_.store(kDefaultSuppressedGroups);
    State* created = new State;
    state_.store(created, std::memory_order_release);
    created->stdErr.Attach();
    created->debugger.Attach();
    return *created;
}

void LogManager::Destroy() noexcept {
    State* state = state_.load(std::memory_order_acquire);
    while (!state->targets.empty()) {
        LogTargetInterface* target = state->targets.back();
        if (target->Detach != nullptr) {
            target->Detach(target);
        }
        // A table whose Detach did not take it off the list still leaves it.
        RemoveAll(state->targets, target);
    }
    state_.store(nullptr, std::memory_order_release);
    delete state;
}

void LogManager::Start() noexcept {
    std::lock_guard guard(Lock());
    ++Instance().references;
}

void LogManager::Stop() noexcept {
    std::lock_guard guard(Lock());
    State* state = state_.load(std::memory_order_acquire);
    if (state == nullptr || state->references == 0) {
        return;
    }
    if (--state->references == 0) {
        Destroy();
    }
}

bool LogManager::Exists() noexcept {
    return state_.load(std::memory_order_acquire) != nullptr;
}

void LogManager::Deliver(int32_t level, uint64_t groups, const char* format,
                         va_list arguments) noexcept {
    if (format == nullptr) {
        return;
    }
    char message[kLogMessageSize];
    BoundedPrintV(message, sizeof message, format, arguments);
    const LogRecord record{Platform::LocalTimeNow(), level, groups, message};
    std::lock_guard guard(Lock());
    Instance();
    // The list is read afresh at every step: a target may attach or detach targets while it
    // writes.
    for (std::size_t index = 0;; ++index) {
        State* state = state_.load(std::memory_order_acquire);
        if (state == nullptr || index >= state->targets.size()) {
            break;
        }
        LogTargetInterface* target = state->targets[index];
        if (target->Write != nullptr && TargetPasses(*target, record)) {
            target->Write(target, &record);
        }
    }
}

void LogManager::SetMinimumLevel(int32_t level) noexcept {
    Instance();
    minimumLevel_.store(level);
}

int32_t LogManager::MinimumLevel() noexcept {
    Instance();
    return minimumLevel_.load();
}

void LogManager::SetSuppressedGroups(uint64_t groups) noexcept {
    Instance();
    suppressedGroups_.store(groups);
}

uint64_t LogManager::SuppressedGroups() noexcept {
    Instance();
    return suppressedGroups_.load();
}

void LogManager::Mute() noexcept {
    Instance();
    muted_.store(true);
}

void LogManager::Unmute() noexcept {
    Instance();
    muted_.store(false);
}

bool LogManager::IsMuted() noexcept {
    Instance();
    return muted_.load();
}

void LogManager::SetReservedFlag(bool on) noexcept {
    Instance();
    reserved_.store(on);
}

bool LogManager::ReservedFlag() noexcept {
    Instance();
    return reserved_.load();
}

void LogManager::AddTarget(LogTargetInterface* target) noexcept {
    if (target == nullptr) {
        return;
    }
    std::lock_guard guard(Lock());
    std::vector<LogTargetInterface*>& targets = Instance().targets;
    if (std::find(targets.begin(), targets.end(), target) == targets.end()) {
        targets.push_back(target);
    }
}

void LogManager::RemoveTarget(LogTargetInterface* target) noexcept {
    std::lock_guard guard(Lock());
    if (State* state = state_.load(std::memory_order_acquire)) {
        RemoveAll(state->targets, target);
    }
}

LogTargetInterface* LogManager::FindTarget(const char* name) noexcept {
    if (name == nullptr) {
        return nullptr;
    }
    std::lock_guard guard(Lock());
    for (LogTargetInterface* target : Instance().targets) {
        const char* targetName = target->GetName != nullptr ? target->GetName(target) : nullptr;
        if (targetName != nullptr && std::strcmp(targetName, name) == 0) {
            return target;
        }
    }
    return nullptr;
}

std::vector<LogTargetInterface*> LogManager::Targets() {
    std::lock_guard guard(Lock());
    return Instance().targets;
}

LogTargetInterface* LogManager::StdOutTarget() noexcept {
    return Instance().stdOut.Interface();
}

LogTargetInterface* LogManager::StdErrTarget() noexcept {
    return Instance().stdErr.Interface();
}

LogTargetInterface* LogManager::DebuggerTarget() noexcept {
    return Instance().debugger.Interface();
}

const char* LogManager::ExecutablePath() noexcept {
    return RunningExecutable().path;
}

const char* LogManager::ExecutableName() noexcept {
    const Executable& executable = RunningExecutable();
    return executable.path + executable.nameOffset;
}

std::size_t LogManager::FormatLine(char* buffer, std::size_t size, const char* format,
                                   const LogRecord& record) noexcept {
    return ExpandLineFormat(buffer, size, format, record,
                            LineContext{ExecutableName(), ProcessLogGroups()});
}

}  // namespace Velto
