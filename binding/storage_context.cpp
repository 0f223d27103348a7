#include "binding/storage_context.h"

#include <cstring>
#include <new>

#include "binding/fnv1a.h"
#include "diagnostics/memory_statistics.h"

namespace Velto {
namespace {

struct EmptyTextStorage {
    InternedText entry;
    char text[1];
};
static_assert(offsetof(EmptyTextStorage, text) == sizeof(InternedText),
              "the characters of a text follow its entry");

constinit const EmptyTextStorage kEmptyText{{nullptr, kFnv1aOffsetBasis, 0, 0}, {'\0'}};

constexpr uint32_t kInitialBuckets = 16;
constexpr std::size_t kLongestText = 0x7FFFFFFF;

// Entries hold a pointer, so their blocks are rounded to the pointer's alignment.
std::size_t EntrySize(std::size_t length) {
    const std::size_t size = sizeof(InternedText) + length + 1;
    return (size + alignof(InternedText) - 1) & ~(alignof(InternedText) - 1);
}

// Equality without a library call for the short texts field names are.
bool SameCharacters(std::string_view first, std::string_view second) {
    if (first.size() != second.size()) {
        return false;
    }
    for (std::size_t index = 0; index < first.size(); ++index) {
        if (first[index] != second[index]) {
            return false;
        }
    }
    return true;
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
    auto* context = ::new (reinterpret_cast<void*>(aligned)) StorageContext();
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
    return Intern(text, Fnv1a(text));
}

const InternedText* StorageContext::Intern(std::string_view text, uint32_t hash) noexcept {
    if (text.empty()) {
        return &EmptyText();
    }
    if (text.size() > kLongestText || (buckets_ == nullptr && !GrowBuckets())) {
        return nullptr;
    }
    InternedText*& bucket = buckets_[hash & (bucketCount_ - 1)];
    for (InternedText* entry = bucket; entry != nullptr; entry = entry->next) {
        if (entry->hash == hash && entry->View() == text) {
            ++entry->references;
            return entry;
        }
    }
    auto* entry = static_cast<InternedText*>(blocks_.Allocate(EntrySize(text.size())));
    if (entry == nullptr) {
        return nullptr;
    }
    entry->next = bucket;
    entry->hash = hash;
    entry->references = 1;
    entry->length = static_cast<uint32_t>(text.size());
    char* characters = reinterpret_cast<char*>(entry + 1);
    std::memcpy(characters, text.data(), text.size());
    characters[text.size()] = '\0';
    bucket = entry;
    ++textCount_;
    // A failed growth only makes chains longer.
    if (textCount_ > bucketCount_) {
        GrowBuckets();
    }
    return entry;
}

const InternedText* StorageContext::InternStable(std::string_view text, uint32_t hash) noexcept {
    StableSlot& slot =
        stable_[(reinterpret_cast<std::uintptr_t>(text.data()) >> 3) & (kStableSlots - 1)];
    if (slot.characters == text.data() && SameCharacters(slot.text->View(), text)) {
        ++const_cast<InternedText*>(slot.text)->references;
        return slot.text;
    }
    const InternedText* interned = Intern(text, hash);
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

void StorageContext::Retain(const InternedText* text) noexcept {
    if (text != nullptr && text != &EmptyText()) {
        ++const_cast<InternedText*>(text)->references;
    }
}

void StorageContext::Release(const InternedText* text) noexcept {
    if (text == nullptr || text == &EmptyText()) {
        return;
    }
    auto* entry = const_cast<InternedText*>(text);
    if (--entry->references != 0) {
        return;
    }
    InternedText** link = &buckets_[entry->hash & (bucketCount_ - 1)];
    while (*link != entry) {
        link = &(*link)->next;
    }
    *link = entry->next;
    --textCount_;
    blocks_.Release(entry, EntrySize(entry->length));
}

bool StorageContext::GrowBuckets() noexcept {
    const uint32_t count = bucketCount_ != 0 ? bucketCount_ * 2 : kInitialBuckets;
    if (count < bucketCount_) {
        return false;
    }
    auto** buckets = static_cast<InternedText**>(blocks_.Allocate(count * sizeof(InternedText*)));
    if (buckets == nullptr) {
        return false;
    }
    std::memset(buckets, 0, count * sizeof(InternedText*));
    for (uint32_t index = 0; index < bucketCount_; ++index) {
        for (InternedText* entry = buckets_[index]; entry != nullptr;) {
            InternedText* next = entry->next;
            InternedText*& bucket = buckets[entry->hash & (count - 1)];
            entry->next = bucket;
            bucket = entry;
            entry = next;
        }
    }
    blocks_.Release(buckets_, bucketCount_ * sizeof(InternedText*));
    buckets_ = buckets;
    bucketCount_ = count;
    return true;
}

void StorageContext::Clear() noexcept {
    std::memset(stable_, 0, sizeof stable_);
    blocks_.Clear();
    buckets_ = nullptr;
    bucketCount_ = 0;
    textCount_ = 0;
}

}  // namespace Velto
