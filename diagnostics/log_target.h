// A log target: where the logger's records go, each target with its own filter and line format.
//
// The logger drives every target through the target's LogTargetInterface, a table of plain
// functions embedded in the target, so targets written against the table alone (without this
// class) can be attached too. A LogTarget fills the table with functions that reach its members
// and virtual operations.
//
// Filter rules, applied by the logger to each record: a record below the target's minimum level
// is skipped; a record with a group mask other than 0 is skipped when the mask shares a bit with
// the excluded groups, or when the included groups are not 0 and share no bit with the mask.
//
// Locking: the logger's lock (LogManager::Lock) is taken before the target's own lock, never
// after. Attach and Detach take the logger's lock and must not be called while holding the
// target's lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "diagnostics/log_record.h"
#include "platform/recursive_lock.h"

namespace Velto {

// The target's function table. Every function takes the table's address first; the functions a
// LogTarget installs ignore calls with a null table.
struct LogTargetInterface {
    int32_t (*Version)(LogTargetInterface* self);  // returns 1
    void (*SetMinimumLevel)(LogTargetInterface* self, int32_t level);
    int32_t (*GetMinimumLevel)(LogTargetInterface* self);
    // Both masks as two 32-bit halves, low half first; stored as LogTarget::SetGroups does.
    void (*SetGroups)(LogTargetInterface* self, uint32_t includedLow, uint32_t includedHigh,
                      uint32_t excludedLow, uint32_t excludedHigh);
    uint64_t (*GetIncludedGroups)(LogTargetInterface* self);
    uint64_t (*GetExcludedGroups)(LogTargetInterface* self);
    const char* (*GetName)(LogTargetInterface* self);
    // The text stays valid while the library is loaded (LogTarget::LineFormat).
    const char* (*GetLineFormat)(LogTargetInterface* self);
    void (*Attach)(LogTargetInterface* self);
    void (*Detach)(LogTargetInterface* self);
    bool (*IsAttached)(LogTargetInterface* self);
    // Writes one record; a null record writes nothing and returns false.
    bool (*Write)(LogTargetInterface* self, const LogRecord* record);
};

// The line format every target starts with.
inline constexpr const char* kDefaultLineFormat = "#D| #L| #G| #M";

// Settings applied together by LogTarget::Configure.
struct LogTargetConfig {
    int32_t minimumLevel = 1;
    uint64_t includedGroups = 0;  // 0 = all groups
    uint64_t excludedGroups = 0;
    std::string lineFormat = kDefaultLineFormat;
};

class LogTarget {
  public:
    virtual ~LogTarget();
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;

    // Takes the target off the logger's list if it is attached.
    virtual void Detach() noexcept;
    // The class name, e.g. "LogTarget" or "StdErrLogTarget".
    virtual const char* Name() const noexcept;
    // The current line format. The text is never changed or freed while the library is loaded,
    // so it may be kept and read on any thread, even after the format is changed.
    virtual const char* LineFormat() const noexcept;
    // Writes one record; called by the logger under its lock. Returns whether it wrote.
    virtual bool Write(const LogRecord& record) = 0;

    // Puts the target on the logger's list unless it is attached already (creating the logger
    // if it does not exist), so a target is never listed twice.
    void Attach() noexcept;
    bool IsAttached() const noexcept;

    // Detaches the target, sets the minimum level, line format and groups under the target's
    // lock, then attaches it.
    void Configure(const LogTargetConfig& config);

    void SetMinimumLevel(int32_t level) noexcept;
    int32_t MinimumLevel() const noexcept;
    // Stores `excluded` as given and `included` without the excluded bits (included & ~excluded).
    void SetGroups(uint64_t included, uint64_t excluded) noexcept;
    uint64_t IncludedGroups() const noexcept;
    uint64_t ExcludedGroups() const noexcept;
    // Null reads as the empty format (a line of just a newline). The text is copied.
    void SetLineFormat(const char* format);

    // The table the logger drives this target through; lives as long as the target.
    LogTargetInterface* Interface() noexcept { return &binding_.table; }

  protected:
    // Starts detached, minimum level 1, all groups, line format "#D| #L| #G| #M". The table's
    // Write function writes nothing and returns false until EnableWrite is called.
    LogTarget() noexcept;

    // Called by a concrete target's constructor: from now on the table's Write function calls
    // the virtual Write. A concrete target calls Detach() in its destructor, so that no record
    // can reach it once its own part is gone.
    void EnableWrite() noexcept;

    // The target's own lock, serialising its output and its configuration.
    Platform::RecursiveLock& Lock() const noexcept { return lock_; }

    // Expands the line format for `record` into `buffer`; call with the target's lock held.
    std::size_t ExpandLine(char* buffer, std::size_t size, const LogRecord& record) const noexcept;

  private:
    struct InterfaceFunctions;
    // The table first, so that the table's address leads back to its target.
    struct Binding {
        LogTargetInterface table;
        LogTarget* owner;
    };

    Binding binding_;
    std::atomic<bool> attached_{false};
    mutable Platform::RecursiveLock lock_;
    std::atomic<int32_t> minimumLevel_{1};
    std::atomic<uint64_t> includedGroups_{0};
    std::atomic<uint64_t> excludedGroups_{0};
    // Points to a string literal or to a text interned for the life of the library.
    std::atomic<const char*> lineFormat_{kDefaultLineFormat};
};

}  // namespace Velto
