// Builds a value tree from values met in document order, the way readers of outside input meet
// them: containers are opened, filled and closed, and each member of a structure is named by a
// key just before its value.
//
// Children wait on the assembler's stacks until their container closes; the container then gets
// its block once, at its final size, and a structure sorts its members once. A structure whose
// keys repeat those of the previous structure at the same depth, name for name, reuses that
// one's interned names and member order, so a collection of records costs one comparison per key
// and no sorting.
//
// Likewise the first texts of the previous container at the same depth are remembered by
// position: a text equal to the one its predecessor held there (the locale of every record, the
// tags of every list) takes another reference to it instead of being looked up. These memories
// hold no references: the assembler only ever adds to the tree, so what they point at lives
// until the tree is reset.
//
// A large collection whose size the reader knows gets its block when it opens, and its elements
// are made right there instead of on the stacks; one such collection is open at a time, which
// bounds what a reader that trusts its input's counts only as far as its length can reserve.
//
// A structure given the same key twice is not assembled: Close() fails with RepeatedKey() set,
// so that a reader can read its input again under its own rules for repeated keys. After any
// failure the partial tree lies in the root's context; resetting the root drops it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/storage_context.h"
#include "binding/text_order.h"

namespace Velto {
namespace AssemblyDetail {

// A stack of trivially copyable items in one block of the counted heap, grown by doubling.
template <class T>
class Stack {
  public:
    Stack() noexcept = default;
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;
    ~Stack();

    T* Data() noexcept { return items_; }
    std::size_t Size() const noexcept { return size_; }
    T& operator[](std::size_t index) noexcept { return items_[index]; }
    T& Back() noexcept { return items_[size_ - 1]; }

    // A new item at the top, uninitialised; null when memory runs out.
    T* Push() noexcept {
        if (size_ == capacity_ && !Grow(size_ + 1)) {
            return nullptr;
        }
        return items_ + size_++;
    }
    // Exactly `size` items, the new ones uninitialised; false when memory runs out.
    bool Resize(std::size_t size) noexcept {
        if (size > capacity_ && !Grow(size)) {
            return false;
        }
        size_ = size;
        return true;
    }
    void Truncate(std::size_t size) noexcept { size_ = size; }
    // Room for `count` more items without growing; false when memory runs out.
    bool Reserve(std::size_t count) noexcept {
        return count <= capacity_ - size_ || Grow(size_ + count);
    }

  private:
    bool Grow(std::size_t required) noexcept;

    T* items_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// What the assembler remembers of the containers at one depth.
struct DepthMemory {
    static constexpr std::size_t kTexts = 16;

    // The names and member order of the last structure closed.
    Stack<const InternedText*> names;  // as the keys came
    Stack<uint32_t> order;             // positions in `names`, in member order
    // The last text stored at each of the first child positions, or null.
    const InternedText* texts[kTexts] = {};
};

}  // namespace AssemblyDetail

class TreeAssembler {
  public:
    // Assembles into `root`, which must be a root value (it owns its context); it is reset.
    explicit TreeAssembler(BindingProperty& root) noexcept;
    TreeAssembler(const TreeAssembler&) = delete;
    TreeAssembler& operator=(const TreeAssembler&) = delete;
    ~TreeAssembler();

    // The next value, to be set as a scalar: the root while nothing is open, otherwise the next
    // element of the open collection or the member named by the last key. Valid until the next
    // call to the assembler. Null when memory runs out, when the collection already holds
    // BindingProperty::kMaxElements, or in a structure before the key.
    BindingProperty* Next() noexcept;
    // Next(), set to `value` (bool, int64_t, uint64_t or double); false where Next() gives null.
    template <class Scalar>
    bool Store(Scalar value) noexcept;
    // Next(), set to the text; false where Next() gives null or memory runs out.
    bool StoreText(std::string_view text) noexcept;
    // Names the next member of the open structure; false when memory runs out.
    bool Key(std::string_view name) noexcept { return RepeatKey(name) || NewKey(name); }
    // Key(name) when `name` is the remembered key at this position (a cheap check a reader can
    // make before preparing a key of its input); false, with nothing changed, otherwise.
    bool RepeatKey(std::string_view name) noexcept;
    // Opens a collection or structure as the next value; false as for Next(). A reader that
    // knows how many children follow says so, sparing the stacks their growth (a reader of
    // outside input bounds the number by the input it has left). A collection may then refuse
    // children beyond that many, as Next() refuses them when memory runs out.
    bool OpenCollection(std::size_t expectedChildren = 0) noexcept {
        return Open(false, expectedChildren);
    }
    bool OpenStructure(std::size_t expectedChildren = 0) noexcept {
        return Open(true, expectedChildren);
    }
    // Completes the innermost open container (a key without a value is dropped); false when
    // memory runs out or a key of the structure repeats.
    bool Close() noexcept;

    // The number of open containers.
    std::size_t Depth() const noexcept { return frames_.Size(); }
    bool RepeatedKey() const noexcept { return repeatedKey_; }

  private:
    struct alignas(8) ValueSlot {
        unsigned char bytes[sizeof(BindingProperty)];
    };
    struct Frame {
        std::size_t valueBase;  // its first child in values_ (not for the direct collection)
        std::size_t nameBase;   // its first name in names_ (structures)
        AssemblyDetail::DepthMemory* memory;
        bool isStructure;
        bool matchesMemory;  // every key so far repeats the names of its memory
    };

    // The open collection that makes its elements in its own block.
    struct DirectCollection {
        std::size_t frames = 0;  // frames_.Size() while it is innermost; 0 while none is open
        BindingProperty* elements = nullptr;
        std::size_t size = 0;
        std::size_t capacity = 0;
    };
    // Collections expected to hold fewer children are built on the stacks.
    static constexpr std::size_t kDirectCollectionMinimum = 64;

    StorageContext* Context() noexcept;
    // Whether the innermost open container is the direct collection.
    bool InDirectCollection() const noexcept { return frames_.Size() == direct_.frames; }
    // The position in its container of the child last made.
    std::size_t LastChildPosition() noexcept {
        return InDirectCollection() ? direct_.size - 1
                                    : values_.Size() - 1 - frames_.Back().valueBase;
    }
    void DropLastChild() noexcept {
        if (InDirectCollection()) {
            --direct_.size;
        } else {
            values_.Truncate(values_.Size() - 1);
        }
    }
    // The value that the innermost open container becomes.
    BindingProperty& Target() noexcept;
    bool NewKey(std::string_view name) noexcept;
    // Interns a text for the child at `position` of the open container and remembers it there;
    // null when memory runs out.
    const InternedText* InternText(std::string_view text, std::size_t position) noexcept;
    bool StoreRootText(std::string_view text) noexcept;
    // Room for the next child of the open container, not yet made; null as for Next().
    ValueSlot* NextSlot() noexcept;
    bool Open(bool isStructure, std::size_t expectedChildren) noexcept;
    // The memory of the next depth, reached for the first time; false when memory runs out.
    bool AddDepthMemory() noexcept;
    BindingProperty* Values(std::size_t index) noexcept {
        return reinterpret_cast<BindingProperty*>(values_.Data() + index);
    }
    bool CloseStructure(const Frame& frame, BindingProperty& target) noexcept;
    // Sorts the names of the structure `frame` into its memory; false when a name repeats.
    bool Remember(const Frame& frame) noexcept;

    BindingProperty& root_;
    StorageContext* context_ = nullptr;
    AssemblyDetail::Stack<ValueSlot> values_;
    AssemblyDetail::Stack<const InternedText*> names_;
    AssemblyDetail::Stack<Frame> frames_;
    AssemblyDetail::Stack<AssemblyDetail::DepthMemory*> memories_;  // one per depth reached
    DirectCollection direct_;
    bool repeatedKey_ = false;
};

// The calls made for every value and key, inline.

inline TreeAssembler::ValueSlot* TreeAssembler::NextSlot() noexcept {
    if (InDirectCollection()) {
        return direct_.size < direct_.capacity
                   ? reinterpret_cast<ValueSlot*>(direct_.elements + direct_.size++)
                   : nullptr;
    }
    const Frame& frame = frames_.Back();
    const std::size_t children = values_.Size() - frame.valueBase;
    if (frame.isStructure ? names_.Size() - frame.nameBase != children + 1
                          : children >= BindingProperty::kMaxElements) {
        return nullptr;
    }
    return values_.Push();
}

inline BindingProperty* TreeAssembler::Next() noexcept {
    if (frames_.Size() == 0) {
        return &root_;
    }
    ValueSlot* slot = NextSlot();
    if (slot == nullptr) {
        return nullptr;
    }
    BindingProperty::MakeChild(slot, context_);
    return reinterpret_cast<BindingProperty*>(slot);
}

template <class Scalar>
inline bool TreeAssembler::Store(Scalar value) noexcept {
    if (frames_.Size() == 0) {
        root_ = value;
        return true;
    }
    ValueSlot* slot = NextSlot();
    if (slot == nullptr) {
        return false;
    }
    BindingProperty::MakeChild(slot, context_, value);
    return true;
}

inline bool TreeAssembler::StoreText(std::string_view text) noexcept {
    if (frames_.Size() == 0) {
        return StoreRootText(text);
    }
    ValueSlot* slot = NextSlot();
    if (slot == nullptr) {
        return false;
    }
    const std::size_t position = LastChildPosition();
    const InternedText* interned = position < AssemblyDetail::DepthMemory::kTexts
                                       ? frames_.Back().memory->texts[position]
                                       : nullptr;
    if (interned != nullptr && SameText(interned->View(), text)) {
        context_->Retain(interned);
    } else if ((interned = InternText(text, position)) == nullptr) {
        DropLastChild();
        return false;
    }
    BindingProperty::MakeChild(slot, context_, interned);
    return true;
}

inline bool TreeAssembler::RepeatKey(std::string_view name) noexcept {
    Frame& frame = frames_.Back();
    if (!frame.matchesMemory) {
        return false;
    }
    AssemblyDetail::Stack<const InternedText*>& names = frame.memory->names;
    const std::size_t position = names_.Size() - frame.nameBase;
    if (position >= names.Size() || !SameText(names[position]->View(), name)) {
        return false;
    }
    const InternedText** slot = names_.Push();
    if (slot == nullptr) {
        return false;
    }
    *slot = names[position];
    context_->Retain(*slot);
    return true;
}

}  // namespace Velto
