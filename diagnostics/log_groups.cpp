#include "diagnostics/log_groups.h"

#include "diagnostics/bounded_print.h"

namespace Velto {
namespace {

constexpr const char* kPredefinedNames[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"};
constexpr int kPredefinedCount = sizeof kPredefinedNames / sizeof kPredefinedNames[0];

// Packs up to three characters of `name` and a NUL, first character in the lowest byte.
uint32_t PackName(const char* name) {
    uint32_t packed = 0;
    for (int i = 0; i < 3 && name[i] != '\0'; ++i) {
        packed |= static_cast<uint32_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    }
    return packed;
}

void UnpackName(uint32_t packed, char (&name)[4]) {
    for (int i = 0; i < 4; ++i) {
        name[i] = static_cast<char>((packed >> (8 * i)) & 0xFF);
    }
}

uint64_t MaskOf(int bit) {
    return uint64_t{1} << bit;
}

}  // namespace

LogGroupTable::LogGroupTable() noexcept : lastUsed_(kPredefinedCount - 1) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        slots_[slot].store(PackName(slot < kPredefinedCount ? kPredefinedNames[slot] : "???"),
                           std::memory_order_relaxed);
    }
}

uint64_t LogGroupTable::Register(const char* name) noexcept {
    if (name == nullptr || name[0] == '\0') {
        return 0;
    }
    const uint32_t packed = PackName(name);
    // Serialises registrations so that one name never takes two slots.
    std::lock_guard guard(registration_);
    const int lastUsed = lastUsed_.load(std::memory_order_acquire);
    for (int slot = 0; slot <= lastUsed; ++slot) {
        if (slots_[slot].load(std::memory_order_relaxed) == packed) {
            return MaskOf(slot);
        }
    }
    if (lastUsed + 1 >= kSlotCount) {
        return 0;
    }
    slots_[lastUsed + 1].store(packed, std::memory_order_relaxed);
    lastUsed_.fetch_add(1, std::memory_order_release);
    return MaskOf(lastUsed + 1);
}

std::size_t LogGroupTable::ListText(char* buffer, std::size_t size, uint64_t mask) const noexcept {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    buffer[0] = '\0';
    std::size_t length = 0;
    bool first = true;
    for (int bit = 0; bit < kSlotCount; ++bit) {
        if ((mask & MaskOf(bit)) == 0) {
            continue;
        }
        if (size - length < 2) {
            break;
        }
        if (!first) {
            length += BoundedCopy(buffer + length, size - length, ";");
        }
        first = false;
        char name[4];
        UnpackName(slots_[bit].load(std::memory_order_relaxed), name);
        length += BoundedCopy(buffer + length, size - length, name);
    }
    return length;
}

int LogGroupTable::LastUsedIndex() const noexcept {
    return lastUsed_.load(std::memory_order_acquire);
}

LogGroupTable& ProcessLogGroups() noexcept {
    static LogGroupTable table;
    // Part of the table's creation, so no caller can see the table without it.
    static const uint64_t locationGroup = table.Register("LOC");
    static_cast<void>(locationGroup);
    return table;
}

namespace {

// Registers "LOC" while the library initialises, as the rest of the system expects.
[[maybe_unused]] const LogGroupTable& initialisedGroups = ProcessLogGroups();

}  // namespace

}  // namespace Velto
