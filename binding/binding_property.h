// The one dynamic value of the system: empty, bool, signed, unsigned, float, string, blob, enum,
// collection or structure.
//
// A tree of values shares one StorageContext: the root creates it when it first needs storage
// (a text, a blob, an enum payload, elements or members) and destroys it with itself, and every
// element and member refers to its root's context. Texts are interned per tree, so a member name
// repeated in a hundred thousand records is stored once; payload blocks come from the tree's
// block allocator. A structure keeps its members, name and value side by side, in arrays sorted
// by name (one array, or an index of arrays for large structures); a member added after the last
// one is appended without moving the others.
//
// Layout: 16 bytes, 8-aligned, on every build (records embed values and count that size). The
// first 8 bytes are the payload; the other 8 hold the context pointer with the kind in bits 0..3
// and the ownership flag in bit 4, bits that a 32-aligned StorageContext never uses.
//
// Semantics:
// - Copying (Assign, copy construction and assignment) is deep: the copy lives in the target's
//   context, texts re-interned when the trees differ.
// - Moving (Take, move construction and assignment) swaps when both values are roots that own
//   their contexts; within one tree it hands the payload over; otherwise it copies. The source
//   is left empty.
// - Every setter first releases the current payload. Texts and bytes given to a setter may come
//   from the same tree.
// - Reads never convert: a read of another kind returns the caller's default. Const access to a
//   missing element or member returns EmptyValue().
// - When memory runs out the value keeps its kind with nothing in it (an empty text, blob,
//   collection or structure, enum 0); mutable access that cannot create an element or member
//   returns a detached scratch value whose content is discarded.
// - Members and elements live in arrays: references to a member (and member ranges) are valid
//   until its structure next gains a member, references to elements (and element spans) until
//   the collection next grows. Take a reference after the insertion, not before:
//   `tree.Member("b") = tree.Find("a")` may read a moved member when "b" is new; write
//   `BindingProperty& b = tree.Member("b"); b = tree.Find("a");`. Adding to a structure or
//   collection moves only its direct children, never what they hold, so references to values
//   further down stay valid. Texts and blobs read from a value are valid until that value
//   changes.
// - Walks recurse on nesting depth; readers of outside input bound the depth they build.
// - Not thread-safe: one tree, one thread. No operation throws.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/interned_text.h"
#include "binding/static_type.h"

namespace Velto {

class StorageContext;
class TreeAssembler;
class MemberEntry;

enum class ValueKind : uint8_t {
    Empty = 0,
    Bool = 1,
    Signed = 2,
    Unsigned = 3,
    Float = 4,
    String = 5,
    Blob = 6,
    Enum = 7,
    Collection = 8,
    Structure = 9,
};

// "empty", "bool", "signed", "unsigned", "float", "string", "blob", "enum", "collection",
// "structure"; the empty text for any other number.
const char* ValueKindName(ValueKind kind) noexcept;

// The payload of an enum value: its number and the identity of its enumeration.
struct EnumValue {
    int32_t value = 0;
    const TypeIdentity* identity = nullptr;
};

namespace PropertyDetail {
// The head of a structure's member block: a leaf of members in name order, or an index of leaves.
struct MemberBlock {
    uint32_t size;      // members held (in all leaves, for an index)
    uint32_t capacity;  // slots (or leaves) the block has room for; kIndexBit marks an index
};
struct ElementBlock;
struct BlobBlock;
struct EnumBlock;
struct Access;
template <class Entry>
class MemberRangeOf;
}  // namespace PropertyDetail

using MemberRange = PropertyDetail::MemberRangeOf<MemberEntry>;
using ConstMemberRange = PropertyDetail::MemberRangeOf<const MemberEntry>;

class alignas(8) BindingProperty {
  public:
    // An empty root: no context yet, owning the one it will create.
    constexpr BindingProperty() noexcept : payload_{}, meta_(kOwnsContextBit) {}
    BindingProperty(const BindingProperty& other) noexcept;
    BindingProperty(BindingProperty&& other) noexcept;
    template <std::integral T>
    BindingProperty(T value) noexcept : BindingProperty() {
        *this = value;
    }
    template <std::floating_point T>
    BindingProperty(T value) noexcept : BindingProperty() {
        SetFloat(static_cast<double>(value));
    }
    BindingProperty(const char* text) noexcept;  // null reads as the empty text
    BindingProperty(std::string_view text) noexcept;
    BindingProperty(const std::string& text) noexcept;
    BindingProperty(std::span<const uint8_t> bytes) noexcept;
    BindingProperty(const std::vector<uint8_t>& bytes) noexcept;
    BindingProperty(std::vector<uint8_t>&& bytes) noexcept;  // leaves `bytes` empty
    BindingProperty(EnumValue value) noexcept;
    ~BindingProperty();

    BindingProperty& operator=(const BindingProperty& other) noexcept {
        Assign(other);
        return *this;
    }
    BindingProperty& operator=(BindingProperty&& other) noexcept {
        Take(other);
        return *this;
    }
    // bool gives "bool"; signed integers "signed", sign-extended; unsigned ones "unsigned".
    template <std::integral T>
    BindingProperty& operator=(T value) noexcept {
        if constexpr (std::is_same_v<T, bool>) {
            SetBool(value);
        } else if constexpr (std::is_signed_v<T>) {
            SetSigned(static_cast<int64_t>(value));
        } else {
            SetUnsigned(static_cast<uint64_t>(value));
        }
        return *this;
    }
    template <std::floating_point T>
    BindingProperty& operator=(T value) noexcept {
        SetFloat(static_cast<double>(value));
        return *this;
    }
    BindingProperty& operator=(const char* text) noexcept;
    BindingProperty& operator=(std::string_view text) noexcept;
    BindingProperty& operator=(const std::string& text) noexcept;
    BindingProperty& operator=(std::span<const uint8_t> bytes) noexcept;
    BindingProperty& operator=(const std::vector<uint8_t>& bytes) noexcept;
    BindingProperty& operator=(std::vector<uint8_t>&& bytes) noexcept;
    BindingProperty& operator=(EnumValue value) noexcept;

    void SetBool(bool value) noexcept;
    void SetSigned(int64_t value) noexcept;
    void SetUnsigned(uint64_t value) noexcept;
    void SetFloat(double value) noexcept;
    void SetString(std::string_view text) noexcept;
    void SetBlob(std::span<const uint8_t> bytes) noexcept;
    void SetEnum(int32_t value, const TypeIdentity* identity) noexcept;

    // Become an empty collection or structure, unless already one (then nothing changes).
    BindingProperty& MakeCollection() noexcept;
    BindingProperty& MakeStructure() noexcept;

    // Deep copy of `other` into this value's context.
    void Assign(const BindingProperty& other) noexcept;
    // Moves `other` here (see the semantics above); `other` is left empty.
    void Take(BindingProperty& other) noexcept;
    // Releases the payload; the kind becomes "empty".
    void Reset() noexcept;

    ValueKind Kind() const noexcept { return static_cast<ValueKind>(meta_ & kKindMask); }
    bool IsEmpty() const noexcept { return Kind() == ValueKind::Empty; }
    // Whether this is a root that owns (or will own) its context.
    bool OwnsContext() const noexcept { return (meta_ & kOwnsContextBit) != 0; }

    bool GetBool(bool fallback = false) const noexcept;
    int64_t GetSigned(int64_t fallback = 0) const noexcept;
    uint64_t GetUnsigned(uint64_t fallback = 0) const noexcept;
    double GetFloat(double fallback = 0.0) const noexcept;
    // For a string, its text, NUL-terminated (data()[size()] is '\0').
    std::string_view GetString(std::string_view fallback = {}) const noexcept;
    std::span<const uint8_t> GetBlob(std::span<const uint8_t> fallback = {}) const noexcept;
    EnumValue GetEnum(EnumValue fallback = {}) const noexcept;

    // 0 for "empty"; the length of a text or blob; the element or member count; 1 for scalars.
    std::size_t Size() const noexcept;
    // True for "empty", false, 0, 0.0, an empty text, blob, collection or structure, enum 0.
    bool IsZero() const noexcept;

    // Collections. The largest index that can be created.
    static constexpr std::size_t kMaxElements = std::size_t{1} << 26;

    // Becomes a collection if it is not one, appends empty elements until `index` exists and
    // returns that element.
    BindingProperty& At(std::size_t index) noexcept;
    // The element, or EmptyValue() when this is not a collection or `index` is out of range.
    const BindingProperty& At(std::size_t index) const noexcept;
    // At(Size()) of a collection: a new empty element at the end.
    BindingProperty& Append() noexcept;
    // Becomes a collection if it is not one and makes room for `count` elements. False when
    // memory runs out or `count` exceeds kMaxElements.
    bool Reserve(std::size_t count) noexcept;
    // The elements; empty unless this is a collection.
    std::span<BindingProperty> Elements() noexcept;
    std::span<const BindingProperty> Elements() const noexcept;

    // Structures. Members are ordered by name, compared byte by byte as unsigned characters.
    // Becomes a structure if it is not one and returns the member, inserting an empty one when
    // absent.
    BindingProperty& Member(std::string_view name) noexcept;
    // Member(name) for a caller that already knows `hash`, which must be Fnv1a(name), and whose
    // `name` characters stay where they are (field descriptors keep both): a new member's name is
    // interned through the context's cache of such texts instead of the text table.
    BindingProperty& Member(std::string_view name, uint32_t hash) noexcept;
    // The member, or EmptyValue() when absent or when this is not a structure. Never allocates.
    const BindingProperty& Find(std::string_view name) const noexcept;
    // Find(name), looking first at the member in position `position` of the name order: readers
    // of records find each field where a complete input has it, without a search.
    const BindingProperty& FindNear(std::string_view name, std::size_t position) const noexcept;
    // Becomes a structure if it is not one and makes room for `count` members (up to one leaf of
    // the member index); false when memory runs out.
    bool ReserveMembers(std::size_t count) noexcept;
    // The members in name order.
    MemberRange Members() noexcept;
    ConstMemberRange Members() const noexcept;

    // The shared, process-wide empty value.
    static const BindingProperty& EmptyValue() noexcept;

  private:
    friend struct PropertyDetail::Access;
    friend class TreeAssembler;

    // For TreeAssembler, which makes children in stacks of its own and hands each container its
    // children once, when it is complete. Children move bytewise.
    //
    // This root's context, created when missing; null when memory is exhausted.
    StorageContext* Storage() noexcept;
    // This value, an empty child, becomes a collection of the `count` values at `elements`, moved
    // in. False, with nothing moved, when memory runs out.
    bool AdoptElements(BindingProperty* elements, std::size_t count) noexcept;
    // This value, an empty child, becomes a structure of `count` members: value values[order[k]]
    // named names[order[k]], whose references it takes over; the names, all different, must come
    // sorted. False, with nothing moved, when memory runs out.
    bool AdoptMembers(BindingProperty* values, const InternedText* const* names,
                      const uint32_t* order, std::size_t count) noexcept;
    // This value, empty, becomes an empty collection with room for `capacity` elements, for
    // children made in place: the address of the first, or null when memory runs out or
    // `capacity` exceeds kMaxElements. SetElementCount(count) then makes the first `count` its
    // elements.
    BindingProperty* PrepareElements(std::size_t capacity) noexcept;
    void SetElementCount(std::size_t count) noexcept;

    static constexpr uint64_t kKindMask = 0x0F;
    static constexpr uint64_t kOwnsContextBit = 0x10;
    static constexpr uint64_t kContextMask = ~uint64_t{0x1F};

    union Payload {
        uint64_t bits;
        bool boolean;
        int64_t signedValue;
        uint64_t unsignedValue;
        double floatValue;
        const InternedText* text;
        PropertyDetail::BlobBlock* blob;
        PropertyDetail::EnumBlock* enumeration;
        PropertyDetail::ElementBlock* collection;
        PropertyDetail::MemberBlock* structure;
    };

    StorageContext* Context() const noexcept {
        return reinterpret_cast<StorageContext*>(static_cast<uintptr_t>(meta_ & kContextMask));
    }

    // For TreeAssembler: raw memory at `slot` becomes a child value of `context`, empty or
    // holding the scalar given.
    static void MakeChild(void* slot, StorageContext* context) noexcept {
        Fill(slot, context, ValueKind::Empty, Payload{});
    }
    static void MakeChild(void* slot, StorageContext* context, bool value) noexcept {
        Fill(slot, context, ValueKind::Bool, Payload{.boolean = value});
    }
    static void MakeChild(void* slot, StorageContext* context, int64_t value) noexcept {
        Fill(slot, context, ValueKind::Signed, Payload{.signedValue = value});
    }
    static void MakeChild(void* slot, StorageContext* context, uint64_t value) noexcept {
        Fill(slot, context, ValueKind::Unsigned, Payload{.unsignedValue = value});
    }
    static void MakeChild(void* slot, StorageContext* context, double value) noexcept {
        Fill(slot, context, ValueKind::Float, Payload{.floatValue = value});
    }
    // `text`, interned in `context`, with the reference it holds.
    static void MakeChild(void* slot, StorageContext* context, const InternedText* text) noexcept {
        Fill(slot, context, ValueKind::String, Payload{.text = text});
    }
    static void Fill(void* slot, StorageContext* context, ValueKind kind,
                     Payload payload) noexcept {
        auto* value = ::new (slot) BindingProperty();
        value->payload_ = payload;
        value->meta_ = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(context)) |
                       static_cast<uint64_t>(kind);
    }

    Payload payload_;
    uint64_t meta_;
};

static_assert(sizeof(BindingProperty) == 16, "records embed values and count their size");
static_assert(alignof(BindingProperty) == 8, "records embed values and count their alignment");

// One member of a structure: its value and its interned name, held in its structure's leaf.
class MemberEntry {
  public:
    MemberEntry(const MemberEntry&) = delete;
    MemberEntry& operator=(const MemberEntry&) = delete;

    // NUL-terminated.
    std::string_view Name() const noexcept { return name_->View(); }
    const BindingProperty& Value() const noexcept { return value_; }
    BindingProperty& Value() noexcept { return value_; }

  private:
    friend struct PropertyDetail::Access;
    MemberEntry() = default;

    BindingProperty value_;
    const InternedText* name_ = nullptr;
};

static_assert(sizeof(MemberEntry) == 24, "leaves hold members side by side");

namespace PropertyDetail {

inline constexpr uint32_t kIndexBit = 0x80000000u;

inline MemberEntry* Entries(MemberBlock* leaf) noexcept {
    return reinterpret_cast<MemberEntry*>(leaf + 1);
}

// Walks the leaves of a member block in order.
template <class Entry>
class MemberIterator {
  public:
    MemberIterator(MemberBlock* const* leaves, uint32_t leaf) noexcept
        : leaves_(leaves), leaf_(leaf) {}

    Entry& operator*() const noexcept { return Entries(leaves_[leaf_])[index_]; }
    Entry* operator->() const noexcept { return &**this; }
    MemberIterator& operator++() noexcept {
        if (++index_ == leaves_[leaf_]->size) {
            ++leaf_;
            index_ = 0;
        }
        return *this;
    }
    bool operator==(const MemberIterator& other) const noexcept {
        return leaf_ == other.leaf_ && index_ == other.index_;
    }

  private:
    MemberBlock* const* leaves_;
    uint32_t leaf_;
    uint32_t index_ = 0;
};

// The members of a structure in key order, mutable or not as `Entry` is.
template <class Entry>
class MemberRangeOf {
  public:
    using iterator = MemberIterator<Entry>;
    MemberRangeOf(MemberBlock* const* leaves, uint32_t leafCount) noexcept
        : leaves_(leaves), leafCount_(leafCount) {}
    iterator begin() const noexcept { return iterator(leaves_, 0); }
    iterator end() const noexcept { return iterator(leaves_, leafCount_); }

  private:
    MemberBlock* const* leaves_;
    uint32_t leafCount_;
};

}  // namespace PropertyDetail

}  // namespace Velto
