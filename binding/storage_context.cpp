#include "binding/storage_context.h"

#include <cstring>
#include <new>

#include "binding/text_hash.h"
#include "binding/text_order.h"
#include "diagnostics/memory_statistics.h"

namespace Velto {
namespace {

struct EmptyTextStorage {
    InternedText entry;
    char text[1];
};
static_assert(offsetof(EmptyTextStorage, text) == sizeof(InternedText),
              "the characters of a text follow its entry");

constinit const EmptyTextStorage kEmptyText{{0, 0, 0}, {'\0'}};

constexpr std::size_t kLongestText = 0x7FFFFFFF;

// Blocks of entries are rounded to the entry's alignment.
std::size_t EntrySize(std::size_t length) {
    const std::size_t size = sizeof(InternedText) + length + 1;
    return (size + alignof(InternedText) - 1) & ~(alignof(InternedText) - 1);
}

}  // namespace

const InternedText& EmptyText() noexcept {
    return kEmptyText.entry;
}

StorageContext* StorageContext::Create() noexcept {
    void* raw = CountedAllocate(sizeof(StorageContext) + alignof(StorageContext) - 1);
    if (raw == nullptr) {
        return nullptr;
    }
    const auto aligned = (reinterpret_cast<std::uintptr_t>(raw) + alignof(StorageContext) - 1) &
                         ~std::uintptr_t{alignof(StorageContext) - 1};
    // Default- rather than value-initialised: the block allocator's inline chunks need no zeroing.
    auto* context = ::new (reinterpret_cast<void*>(aligned)) StorageContext;
    context->raw_ = raw;
    return context;
}

void StorageContext::Destroy(StorageContext* context) noexcept {
    if (context == nullptr) {
        return;
    }
    void* raw = context->raw_;
    context->~StorageContext();
    CountedRelease(raw);
}

const InternedText* StorageContext::Intern(std::string_view text) noexcept {
    if (text.empty()) {
        return &EmptyText();
    }
    if (text.size() > kLongestText || (slots_ == nullptr && !GrowTable())) {
        return nullptr;
    }
    const uint32_t hash = TextHash(text);
    const uint32_t mask = slotCount_ - 1;
    uint32_t index = hash & mask;
    for (; slots_[index].text != nullptr; index = (index + 1) & mask) {
        const TextSlot& slot = slots_[index];
        if (slot.hash == hash && SameText(slot.text->View(), text)) {
            ++const_cast<InternedText*>(slot.text)->references;
            return slot.text;
        }
    }
    // Keep the table at most three quarters full; a failed growth is fine while a slot is free.
    if ((textCount_ + 1u) * 4u > slotCount_ * 3u) {
        if (GrowTable()) {
            index = FreeSlot(hash);
        } else if (textCount_ + 1u >= slotCount_) {
            return nullptr;
        }
    }
    auto* entry = static_cast<InternedText*>(blocks_.Allocate(EntrySize(text.size())));
    if (entry == nullptr) {
        return nullptr;
    }
    entry->hash = hash;
    entry->references = 1;
    entry->length = static_cast<uint32_t>(text.size());
    char* characters = reinterpret_cast<char*>(entry + 1);
    std::memcpy(characters, text.data(), text.size());
    characters[text.size()] = '\0';
    slots_[index] = TextSlot{hash, entry};
    ++textCount_;
    return entry;
}

const InternedText* StorageContext::InternStable(std::string_view text, uint32_t hash) noexcept {
    StableSlot& slot = stable_[hash & (kStableSlots - 1)];
    if (slot.characters == text.data() && SameText(slot.text->View(), text)) {
        ++const_cast<InternedText*>(slot.text)->references;
        return slot.text;
    }
    const InternedText* interned = Intern(text);
    if (interned == nullptr || interned == &EmptyText()) {
        return interned;
    }
    if (slot.characters != nullptr) {
        Release(slot.text);
    }
    Retain(interned);
    slot = StableSlot{text.data(), interned};
    return interned;
}

void StorageContext::Release(const InternedText* text) noexcept {
    if (text == nullptr || text == &EmptyText()) {
        return;
    }
    auto* entry = const_cast<InternedText*>(text);
    if (--entry->references != 0) {
        return;
    }
    const uint32_t mask = slotCount_ - 1;
    uint32_t index = entry->hash & mask;
    while (slots_[index].text != entry) {
        index = (index + 1) & mask;
    }
    Erase(index);
    --textCount_;
    blocks_.Release(entry, EntrySize(entry->length));
}

uint32_t StorageContext::FreeSlot(uint32_t hash) const noexcept {
    const uint32_t mask = slotCount_ - 1;
    uint32_t index = hash & mask;
    while (slots_[index].text != nullptr) {
        index = (index + 1) & mask;
    }
    return index;
}

// Frees the slot, moving back later texts of its run whose home is not between the freed slot
// and where they are, so that every text stays reachable from its home without tombstones.
void StorageContext::Erase(uint32_t slot) noexcept {
    const uint32_t mask = slotCount_ - 1;
    uint32_t hole = slot;
    for (uint32_t next = (hole + 1) & mask; slots_[next].text != nullptr;
         next = (next + 1) & mask) {
        const uint32_t home = slots_[next].hash & mask;
        const bool stays = ((next - home) & mask) < ((next - hole) & mask);
        if (!stays) {
            slots_[hole] = slots_[next];
            hole = next;
        }
    }
    slots_[hole] = TextSlot{0, nullptr};
}

// The first table lives in the context itself: most trees hold a few texts, and then need no
// block for it.
bool StorageContext::GrowTable() noexcept {
    if (slots_ == nullptr) {
        std::memset(static_cast<void*>(firstSlots_), 0, sizeof firstSlots_);
        slots_ = firstSlots_;
        slotCount_ = kFirstSlots;
        return true;
    }
    const uint32_t count = slotCount_ * 2;
    if (count < slotCount_) {
        return false;
    }
    auto* slots = static_cast<TextSlot*>(blocks_.Allocate(count * sizeof(TextSlot)));
    if (slots == nullptr) {
        return false;
    }
    std::memset(static_cast<void*>(slots), 0, count * sizeof(TextSlot));
    TextSlot* old = slots_;
    const uint32_t oldCount = slotCount_;
    slots_ = slots;
    slotCount_ = count;
    for (uint32_t index = 0; index < oldCount; ++index) {
        if (old[index].text != nullptr) {
            slots_[FreeSlot(old[index].hash)] = old[index];
        }
    }
    if (old != firstSlots_) {
        blocks_.Release(old, oldCount * sizeof(TextSlot));
    }
    return true;
}

void StorageContext::Clear() noexcept {
    std::memset(stable_, 0, sizeof stable_);
    blocks_.Clear();
    slots_ = nullptr;
    slotCount_ = 0;
    textCount_ = 0;
}

}  // namespace Velto
