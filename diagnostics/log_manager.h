// The process-wide logger: it filters messages by level and group, stamps them with the local
// time and offers them to every attached log target in the order the targets were attached.
//
// The logger comes into being on first use (a log call, Start, or any operation below marked
// "creates") and lives until the Stop that brings the start count back to 0. At creation it has
// minimum level 1 (Warn), suppresses group "XTR", is not muted, and owns three built-in
// targets, all with minimum level 1: standard error ("#E(#T): #L| #M", groups "DBG", excluding
// "GEN", attached), standard output ("#M", groups "GEN", excluding "DBG", not attached) and the
// debugger channel ("#E(#T): #L| #M", groups "DBG", attached).
//
// Every operation is thread-safe. The filter state is atomic, so Admits takes no lock, formats
// nothing and reads no clock. Delivery holds the logger's lock, which is taken before any
// target's own lock. Stopping the logger for the last time must not race with log calls on
// other threads.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "diagnostics/log_record.h"
#include "diagnostics/log_target.h"
#include "platform/recursive_lock.h"

namespace Velto {

class LogManager {
  public:
    // Counts one more user; the first creates the logger if it does not exist yet.
    static void Start() noexcept;
    // Counts one user less; at 0 the logger detaches every listed target (last to first),
    // destroys its built-in targets and ceases to exist. A Stop without a Start does nothing.
    static void Stop() noexcept;
    static bool Exists() noexcept;

    // Creates. Whether a message of `level` and `groups` passes the logger's own filter: not
    // muted, level not below the minimum, no group in common with the suppressed groups.
    static bool Admits(int32_t level, uint64_t groups) noexcept;
    // Creates. Formats the message into a 4096-byte buffer (cut at 4095 characters), stamps it
    // with the local time and offers it to the attached targets whose filters pass it. Does not
    // apply Admits; a null format delivers nothing.
    static void Deliver(int32_t level, uint64_t groups, const char* format,
                        va_list arguments) noexcept __attribute__((format(printf, 3, 0)));

    // All of these create.
    static void SetMinimumLevel(int32_t level) noexcept;
    static int32_t MinimumLevel() noexcept;
    static void SetSuppressedGroups(uint64_t groups) noexcept;
    static uint64_t SuppressedGroups() noexcept;
    static void Mute() noexcept;
    static void Unmute() noexcept;
    static bool IsMuted() noexcept;
    // A flag kept for the function table; it changes nothing.
    static void SetReservedFlag(bool on) noexcept;
    static bool ReservedFlag() noexcept;

    // Creates. Appends `target` to the list unless it is listed already; null is ignored. This
    // does not touch a LogTarget's attached flag (LogTarget::Attach does that, then calls this).
    static void AddTarget(LogTargetInterface* target) noexcept;
    // Removes every listing of `target`. Does not create the logger.
    static void RemoveTarget(LogTargetInterface* target) noexcept;
    // Creates. The first listed target whose name is exactly `name`, or null (also for null).
    static LogTargetInterface* FindTarget(const char* name) noexcept;
    // Creates. A snapshot of the list, in delivery order.
    static std::vector<LogTargetInterface*> Targets();

    // Create. The built-in targets' tables; valid until the logger ceases to exist.
    static LogTargetInterface* StdOutTarget() noexcept;
    static LogTargetInterface* StdErrTarget() noexcept;
    static LogTargetInterface* DebuggerTarget() noexcept;

    // The running program's full path (up to 1023 characters) and its name for "#E": the part
    // after the last "\" or "/". Read once per process; never null.
    static const char* ExecutablePath() noexcept;
    static const char* ExecutableName() noexcept;

    // Expands `format` for `record` with this process's executable name and log groups; see
    // ExpandLineFormat for the rules. Takes no lock.
    static std::size_t FormatLine(char* buffer, std::size_t size, const char* format,
                                  const LogRecord& record) noexcept;

    // The logger's lock (recursive). It outlives the logger, so a target destroyed at any time,
    // even during the process's exit, can still take itself off the list safely.
    static Platform::RecursiveLock& Lock() noexcept;

  private:
    struct State;

    // Returns the logger, creating it first if needed.
    static State& Instance() noexcept;
    static void Destroy() noexcept;

    static inline constinit std::atomic<State*> state_{nullptr};
    static inline constinit std::atomic<bool> muted_{false};
    static inline constinit std::atomic<bool> reserved_{false};
    static inline constinit std::atomic<int32_t> minimumLevel_{1};
    static inline constinit std::atomic<uint64_t> suppressedGroups_{4};
};

inline bool LogManager::Admits(int32_t level, uint64_t groups) noexcept {
    if (state_.load(std::memory_order_acquire) == nullptr) {
        Instance();
    }
    return !muted_.load(std::memory_order_relaxed) &&
           level >= minimumLevel_.load(std::memory_order_relaxed) &&
           (groups & suppressedGroups_.load(std::memory_order_relaxed)) == 0;
}

}  // namespace Velto
