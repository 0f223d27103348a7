#include "diagnostics/log_api.h"

#include "diagnostics/line_format.h"
#include "diagnostics/log_groups.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_manager.h"
#include "platform/local_time.h"

namespace Velto {
namespace {

uint64_t Join(uint32_t low, uint32_t high) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

// Leaves an empty text in a buffer that a function could not fill.
std::size_t WriteEmpty(char* buffer, std::size_t size) {
    if (buffer != nullptr && size != 0) {
        buffer[0] = '\0';
    }
    return 0;
}

int32_t Version() {
    return 1;
}

void Start() {
    LogManager::Start();
}

void Stop() {
    LogManager::Stop();
}

void SetMinimumLevel(int32_t level) {
    LogManager::SetMinimumLevel(level);
}

int32_t GetMinimumLevel() {
    return LogManager::MinimumLevel();
}

void SetSuppressedGroups(uint32_t low, uint32_t high) {
    LogManager::SetSuppressedGroups(Join(low, high));
}

uint64_t GetSuppressedGroups() {
    return LogManager::SuppressedGroups();
}

void Mute() {
    LogManager::Mute();
}

void Unmute() {
    LogManager::Unmute();
}

void SetReservedFlag() {
    LogManager::SetReservedFlag(true);
}

void ClearReservedFlag() {
    LogManager::SetReservedFlag(false);
}

void AddTarget(LogTargetInterface* target) {
    LogManager::AddTarget(target);
}

void RemoveTarget(LogTargetInterface* target) {
    LogManager::RemoveTarget(target);
}

LogTargetInterface* FindTarget(const char* name) {
    return LogManager::FindTarget(name);
}

LogTargetInterface* StdOutTarget() {
    return LogManager::StdOutTarget();
}

LogTargetInterface* StdErrTarget() {
    return LogManager::StdErrTarget();
}

LogTargetInterface* DebuggerTarget() {
    return LogManager::DebuggerTarget();
}

uint64_t RegisterGroup(const char* name) {
    return ProcessLogGroups().Register(name);
}

std::size_t GroupListText(char* buffer, std::size_t size, uint64_t mask) {
    return ProcessLogGroups().ListText(buffer, size, mask);
}

std::size_t FormatLine(char* buffer, std::size_t size, const char* lineFormat,
                       const LogRecord* record) {
    if (record == nullptr) {
        return WriteEmpty(buffer, size);
    }
    return LogManager::FormatLine(buffer, size, lineFormat, *record);
}

const char* LevelText(int32_t level) {
    return LogLevelText(level);
}

const char* ExecutableName() {
    return LogManager::ExecutableName();
}

void LocalTimeNow(LogTime* time) {
    if (time != nullptr) {
        *time = Platform::LocalTimeNow();
    }
}

std::size_t TimestampTextOf(char* buffer, std::size_t size, const LogTime* time) {
    if (time == nullptr) {
        return WriteEmpty(buffer, size);
    }
    return TimestampText(buffer, size, *time);
}

std::size_t FileNameTimestampTextOf(char* buffer, std::size_t size, const LogTime* time) {
    if (time == nullptr) {
        return WriteEmpty(buffer, size);
    }
    return FileNameTimestampText(buffer, size, *time);
}

void LogV(int32_t level, uint64_t groups, const char* format, va_list arguments) {
    if (!LogManager::Admits(level, groups)) {
        return;
    }
    LogManager::Deliver(level, groups, format, arguments);
}

constexpr LogApi kLogApi = {
    &Version,
    &Start,
    &Stop,
    &SetMinimumLevel,
    &GetMinimumLevel,
    &SetSuppressedGroups,
    &GetSuppressedGroups,
    &Mute,
    &Unmute,
    &SetReservedFlag,
    &ClearReservedFlag,
    &AddTarget,
    &RemoveTarget,
    &FindTarget,
    &StdOutTarget,
    &StdErrTarget,
    &DebuggerTarget,
    &RegisterGroup,
    &GroupListText,
    &FormatLine,
    &LevelText,
    &ExecutableName,
    &LocalTimeNow,
    &TimestampTextOf,
    &FileNameTimestampTextOf,
    &LogV,
};

}  // namespace

const LogApi* GetLogApi() noexcept {
    return &kLogApi;
}

}  // namespace Velto
