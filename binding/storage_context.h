// The storage shared by all values of one tree: its interned texts and its block allocator.
//
// A root value creates its context when it first needs storage and destroys it with itself,
// which frees every text and block of the tree at once. Interning looks a text up by TextHash and
// content in an open-addressed table that keeps each entry's hash beside its pointer (a probe
// past another text reads no entry), inserts it with count 0 when absent and adds one reference;
// releasing removes one and erases the entry at zero. The empty text is never interned: every
// empty string is the one process-wide EmptyText(). Not thread-safe: one tree, one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/block_allocator.h"
#include "binding/interned_text.h"

namespace Velto {

// Aligned to 32 so that values can keep their kind and ownership flag in the low bits of a
// context pointer.
class alignas(32) StorageContext {
  public:
    // A new context from the counted heap, or null when memory is exhausted.
    static StorageContext* Create() noexcept;
    // Frees everything the context holds, then the context; null is ignored.
    static void Destroy(StorageContext* context) noexcept;

    StorageContext(const StorageContext&) = delete;
    StorageContext& operator=(const StorageContext&) = delete;

    // The entry for `text` with one more reference; EmptyText() for the empty text; null when
    // memory is exhausted or the text is longer than 2^31 bytes.
    const InternedText* Intern(std::string_view text) noexcept;
    // Intern(text) through a small cache keyed by the address of the characters, for texts
    // interned again and again from one place (a record's field names); `hash`, any number fixed
    // for the text (field descriptors keep its Fnv1a), picks the cache slot. A hit is checked
    // against the cached text's content, so a reused address never yields another text. The
    // cache holds one reference to each text in it.
    const InternedText* InternStable(std::string_view text, uint32_t hash) noexcept;
    // One more reference to an entry of this context (or to EmptyText(), the one text of
    // length 0, which is never counted).
    void Retain(const InternedText* text) noexcept {
        if (text != nullptr && text->length != 0) {
            ++const_cast<InternedText*>(text)->references;
        }
    }
    // One reference less; the entry is erased at zero. Null and EmptyText() are ignored.
    void Release(const InternedText* text) noexcept;

    std::size_t TextCount() const noexcept { return textCount_; }

    BlockAllocator& Blocks() noexcept { return blocks_; }
    const BlockAllocator& Blocks() const noexcept { return blocks_; }

    // Drops every text and block at once; the context stays usable.
    void Clear() noexcept;

  private:
    StorageContext() noexcept = default;
    ~StorageContext() = default;

    struct TextSlot {
        uint32_t hash;
        const InternedText* text;  // null for a free slot
    };

    bool GrowTable() noexcept;
    uint32_t FreeSlot(uint32_t hash) const noexcept;
    void Erase(uint32_t slot) noexcept;

    struct StableSlot {
        const char* characters;
        const InternedText* text;
    };
    static constexpr uint32_t kStableSlots = 32;

    static constexpr uint32_t kFirstSlots = 16;

    void* raw_ = nullptr;  // the heap block holding the aligned context
    StableSlot stable_[kStableSlots] = {};
    TextSlot* slots_ = nullptr;  // firstSlots_ until the table first grows
    TextSlot firstSlots_[kFirstSlots];
    uint32_t slotCount_ = 0;  // a power of two, or 0 before the first text
    uint32_t textCount_ = 0;
    BlockAllocator blocks_;
};

}  // namespace Velto
