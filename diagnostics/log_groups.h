// The table of log groups: 64 slots, bit i of a message's group mask standing for slot i.
//
// Slots 0 to 7 are predefined ("DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"); every
// other slot reads "???" until a name is registered into it. The process-wide table also holds
// "LOC" at bit 8, registered before any use of the table.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace Velto {

class LogGroupTable {
  public:
    static constexpr int kSlotCount = 64;

    // A table holding only the eight predefined groups (last used index 7).
    LogGroupTable() noexcept;
    LogGroupTable(const LogGroupTable&) = delete;
    LogGroupTable& operator=(const LogGroupTable&) = delete;

    // Returns the mask of the group called `name` (its first three characters count), adding
    // the name in the next free slot when it is not there yet. Returns 0 when the table is
    // full, or for a null or empty name. Thread-safe.
    uint64_t Register(const char* name) noexcept;

    // Writes the names of the groups set in `mask`, in ascending bit order and joined by ";",
    // into `buffer` of `size` bytes, always NUL-terminated when `size` is not 0; a name is
    // started only while at least two bytes of room remain, and cut to fit. Returns the length
    // written. A null buffer or size 0 writes nothing. Thread-safe, takes no lock.
    std::size_t ListText(char* buffer, std::size_t size, uint64_t mask) const noexcept;

    // The index of the highest slot in use (7 for a new table, 63 when full).
    int LastUsedIndex() const noexcept;

  private:
    // A name packed into one word (three characters and a NUL), so readers never see half of
    // a name that another thread is storing.
    std::atomic<uint32_t> slots_[kSlotCount];
    std::atomic<int> lastUsed_;
    std::mutex registration_;
};

// The process-wide table used by the logger ("LOC" already registered at bit 8).
LogGroupTable& ProcessLogGroups() noexcept;

}  // namespace Velto
