#include "diagnostics/log_target.h"

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>

#include "diagnostics/log_manager.h"

namespace Velto {
namespace {

// Every line format any target has had, kept for the life of the library: a format handed out
// through the C table may be read on another thread after the target has moved on to another.
// Few distinct formats exist, so the set stays small.
const char* Interned(const char* format) {
    static std::mutex lock;
    static std::set<std::string, std::less<>> formats;
    const std::lock_guard<std::mutex> guard(lock);
    return formats.emplace(format).first->c_str();
}

}  // namespace

struct LogTarget::InterfaceFunctions {
    static_assert(std::is_standard_layout_v<Binding>);

    static LogTarget* Owner(LogTargetInterface* self) {
        return self != nullptr ? reinterpret_cast<Binding*>(self)->owner : nullptr;
    }

    static uint64_t Join(uint32_t low, uint32_t high) {
        return (static_cast<uint64_t>(high) << 32) | low;
    }

    static int32_t Version(LogTargetInterface*) { return 1; }

    static void SetMinimumLevel(LogTargetInterface* self, int32_t level) {
        if (LogTarget* target = Owner(self)) {
            target->SetMinimumLevel(level);
        }
    }

    static int32_t GetMinimumLevel(LogTargetInterface* self) {
        const LogTarget* target = Owner(self);
        return target != nullptr ? target->MinimumLevel() : 0;
    }

    static void SetGroups(LogTargetInterface* self, uint32_t includedLow, uint32_t includedHigh,
                          uint32_t excludedLow, uint32_t excludedHigh) {
        if (LogTarget* target = Owner(self)) {
            target->SetGroups(Join(includedLow, includedHigh), Join(excludedLow, excludedHigh));
        }
    }

    static uint64_t GetIncludedGroups(LogTargetInterface* self) {
        const LogTarget* target = Owner(self);
        return target != nullptr ? target->IncludedGroups() : 0;
    }

    static uint64_t GetExcludedGroups(LogTargetInterface* self) {
        const LogTarget* target = Owner(self);
        return target != nullptr ? target->ExcludedGroups() : 0;
    }

    static const char* GetName(LogTargetInterface* self) {
        const LogTarget* target = Owner(self);
        return target != nullptr ? target->Name() : "";
    }

    static const char* GetLineFormat(LogTargetInterface* self) {
        const LogTarget* target = Owner(self);
        return target != nullptr ? target->LineFormat() : "";
    }

    static void Attach(LogTargetInterface* self) {
        if (LogTarget* target = Owner(self)) {
            target->Attach();
        }
    }

    static void Detach(LogTargetInterface* self) {
        if (LogTarget* target = Owner(self)) {
            target->Detach();
        }
    }

    static bool IsAttached(LogTargetInterface* self) {
        const LogTarget* target = Owner(self);
        return target != nullptr && target->IsAttached();
    }

    static bool WriteNothing(LogTargetInterface*, const LogRecord*) { return false; }

    static bool WriteThroughTarget(LogTargetInterface* self, const LogRecord* record) {
        LogTarget* target = Owner(self);
        if (target == nullptr || record == nullptr) {
            return false;
        }
        // Nothing may be thrown back into the logger, which may have been called from C.
        try {
            return target->Write(*record);
        } catch (...) {
            return false;
        }
    }
};

LogTarget::LogTarget() noexcept
    : binding_{{
                   &InterfaceFunctions::Version,
                   &InterfaceFunctions::SetMinimumLevel,
                   &InterfaceFunctions::GetMinimumLevel,
                   &InterfaceFunctions::SetGroups,
                   &InterfaceFunctions::GetIncludedGroups,
                   &InterfaceFunctions::GetExcludedGroups,
                   &InterfaceFunctions::GetName,
                   &InterfaceFunctions::GetLineFormat,
                   &InterfaceFunctions::Attach,
                   &InterfaceFunctions::Detach,
                   &InterfaceFunctions::IsAttached,
                   &InterfaceFunctions::WriteNothing,
               },
               this} {}

LogTarget::~LogTarget() {
    Detach();
    // Also covers a table that was put on the list directly rather than through Attach, so the
    // logger never keeps the address of a destroyed target.
    LogManager::RemoveTarget(Interface());
}

void LogTarget::Detach() noexcept {
    std::lock_guard guard(LogManager::Lock());
    if (!attached_.exchange(false)) {
        return;
    }
    LogManager::RemoveTarget(Interface());
}

const char* LogTarget::Name() const noexcept {
    return "LogTarget";
}

const char* LogTarget::LineFormat() const noexcept {
    return lineFormat_.load();
}

void LogTarget::Attach() noexcept {
    std::lock_guard guard(LogManager::Lock());
    if (attached_.exchange(true)) {
        return;
    }
    LogManager::AddTarget(Interface());
}

bool LogTarget::IsAttached() const noexcept {
    return attached_.load();
}

void LogTarget::Configure(const LogTargetConfig& config) {
    Detach();
    {
        std::lock_guard guard(lock_);
        SetMinimumLevel(config.minimumLevel);
        SetLineFormat(config.lineFormat.c_str());
        SetGroups(config.includedGroups, config.excludedGroups);
    }
    Attach();
}

void LogTarget::SetMinimumLevel(int32_t level) noexcept {
    minimumLevel_.store(level);
}

int32_t LogTarget::MinimumLevel() const noexcept {
    return minimumLevel_.load();
}

void LogTarget::SetGroups(uint64_t included, uint64_t excluded) noexcept {
    std::lock_guard guard(lock_);
    excludedGroups_.store(excluded);
    includedGroups_.store(included & ~excluded);
}

uint64_t LogTarget::IncludedGroups() const noexcept {
    return includedGroups_.load();
}

uint64_t LogTarget::ExcludedGroups() const noexcept {
    return excludedGroups_.load();
}

void LogTarget::SetLineFormat(const char* format) {
    const char* interned = Interned(format != nullptr ? format : "");
    std::lock_guard guard(lock_);
    lineFormat_.store(interned);
}

void LogTarget::EnableWrite() noexcept {
    binding_.table.Write = &InterfaceFunctions::WriteThroughTarget;
}

std::size_t LogTarget::ExpandLine(char* buffer, std::size_t size,
                                  const LogRecord& record) const noexcept {
    return LogManager::FormatLine(buffer, size, lineFormat_.load(), record);
}

}  // namespace Velto
