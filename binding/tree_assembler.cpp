#include "binding/tree_assembler.h"

#include <algorithm>
#include <new>
#include <type_traits>

#include "binding/storage_context.h"
#include "binding/text_order.h"
#include "diagnostics/memory_statistics.h"

namespace Velto {
namespace AssemblyDetail {

template <class T>
Stack<T>::~Stack() {
    CountedRelease(items_);
}

template <class T>
bool Stack<T>::Grow(std::size_t required) noexcept {
    static_assert(std::is_trivially_copyable_v<T>, "items move bytewise");
    const std::size_t capacity = std::max<std::size_t>({required, capacity_ * 2, 16});
    if (capacity > SIZE_MAX / sizeof(T)) {
        return false;
    }
    void* grown = CountedReallocate(items_, capacity * sizeof(T));
    if (grown == nullptr) {
        return false;
    }
    items_ = static_cast<T*>(grown);
    capacity_ = capacity;
    return true;
}

namespace {

bool NameBefore(const InternedText* first, const InternedText* second) {
    return CompareText(first->View(), second->View()) < 0;
}

// Sorts `count` positions in `order` by the names they point at.
void SortByName(uint32_t* order, const InternedText* const* names, std::size_t count) {
    const auto before = [names](uint32_t first, uint32_t second) {
        return NameBefore(names[first], names[second]);
    };
    // Records have few members: a plain insertion sort beats the library's set-up.
    constexpr std::size_t kInsertionSortLimit = 16;
    if (count > kInsertionSortLimit) {
        std::sort(order, order + count, before);
        return;
    }
    for (std::size_t next = 1; next < count; ++next) {
        const uint32_t moving = order[next];
        std::size_t slot = next;
        for (; slot > 0 && before(moving, order[slot - 1]); --slot) {
            order[slot] = order[slot - 1];
        }
        order[slot] = moving;
    }
}

}  // namespace
}  // namespace AssemblyDetail

TreeAssembler::TreeAssembler(BindingProperty& root) noexcept : root_(root) {
    root_.Reset();
}

TreeAssembler::~TreeAssembler() {
    for (std::size_t depth = 0; depth < memories_.Size(); ++depth) {
        memories_[depth]->~DepthMemory();
        CountedRelease(memories_[depth]);
    }
}

StorageContext* TreeAssembler::Context() noexcept {
    if (context_ == nullptr) {
        context_ = root_.Storage();
    }
    return context_;
}

bool TreeAssembler::StoreRootText(std::string_view text) noexcept {
    root_.SetString(text);
    return true;
}

const InternedText* TreeAssembler::InternText(std::string_view text,
                                              std::size_t position) noexcept {
    const InternedText* interned = context_->Intern(text);
    if (interned != nullptr && position < AssemblyDetail::DepthMemory::kTexts) {
        frames_.Back().memory->texts[position] = interned;
    }
    return interned;
}

bool TreeAssembler::NewKey(std::string_view name) noexcept {
    frames_.Back().matchesMemory = false;
    const InternedText** slot = names_.Push();
    if (slot == nullptr) {
        return false;
    }
    *slot = context_->Intern(name);
    if (*slot == nullptr) {
        names_.Truncate(names_.Size() - 1);
        return false;
    }
    return true;
}

bool TreeAssembler::Open(bool isStructure, std::size_t expectedChildren) noexcept {
    BindingProperty* target = Next();
    if (target == nullptr || Context() == nullptr ||
        (memories_.Size() == frames_.Size() && !AddDepthMemory())) {
        return false;
    }
    const bool direct = !isStructure && expectedChildren >= kDirectCollectionMinimum &&
                        direct_.frames == 0 && expectedChildren <= BindingProperty::kMaxElements;
    BindingProperty* elements = nullptr;
    if (direct) {
        elements = target->PrepareElements(expectedChildren);
        if (elements == nullptr) {
            return false;
        }
    } else if (!values_.Reserve(expectedChildren) ||
               (isStructure && !names_.Reserve(expectedChildren))) {
        return false;
    }
    Frame* frame = frames_.Push();
    if (frame == nullptr) {
        return false;
    }
    *frame = Frame{values_.Size(), names_.Size(), memories_[frames_.Size() - 1], isStructure, true};
    if (direct) {
        direct_ = DirectCollection{frames_.Size(), elements, 0, expectedChildren};
    }
    return true;
}

bool TreeAssembler::AddDepthMemory() noexcept {
    void* memory = CountedAllocate(sizeof(AssemblyDetail::DepthMemory));
    AssemblyDetail::DepthMemory** slot = memory != nullptr ? memories_.Push() : nullptr;
    if (slot == nullptr) {
        CountedRelease(memory);
        return false;
    }
    *slot = ::new (memory) AssemblyDetail::DepthMemory();
    return true;
}

BindingProperty& TreeAssembler::Target() noexcept {
    if (frames_.Size() == 1) {
        return root_;
    }
    if (frames_.Size() - 1 == direct_.frames) {
        return direct_.elements[direct_.size - 1];
    }
    return *Values(frames_.Back().valueBase - 1);
}

bool TreeAssembler::Close() noexcept {
    const Frame frame = frames_.Back();
    BindingProperty& target = Target();
    bool closed = false;
    if (InDirectCollection()) {
        target.SetElementCount(direct_.size);
        direct_ = DirectCollection{};
        closed = true;
    } else if (frame.isStructure) {
        closed = CloseStructure(frame, target);
    } else {
        closed = target.AdoptElements(Values(frame.valueBase), values_.Size() - frame.valueBase);
    }
    if (closed) {
        values_.Truncate(frame.valueBase);
        names_.Truncate(frame.nameBase);
        frames_.Truncate(frames_.Size() - 1);
    }
    return closed;
}

bool TreeAssembler::CloseStructure(const Frame& frame, BindingProperty& target) noexcept {
    const std::size_t count = values_.Size() - frame.valueBase;
    if (names_.Size() - frame.nameBase > count) {
        context_->Release(names_.Back());
        names_.Truncate(names_.Size() - 1);
    }
    const bool repeatsMemory = frame.matchesMemory && frame.memory->names.Size() == count;
    if (!repeatsMemory && !Remember(frame)) {
        return false;
    }
    return target.AdoptMembers(Values(frame.valueBase), names_.Data() + frame.nameBase,
                               frame.memory->order.Data(), count);
}

bool TreeAssembler::Remember(const Frame& frame) noexcept {
    AssemblyDetail::DepthMemory& memory = *frame.memory;
    const std::size_t count = names_.Size() - frame.nameBase;
    if (!memory.names.Resize(count) || !memory.order.Resize(count)) {
        memory.names.Truncate(0);
        memory.order.Truncate(0);
        return false;
    }
    const InternedText* const* names = names_.Data() + frame.nameBase;
    std::copy(names, names + count, memory.names.Data());
    uint32_t* order = memory.order.Data();
    for (std::size_t position = 0; position < count; ++position) {
        order[position] = static_cast<uint32_t>(position);
    }
    AssemblyDetail::SortByName(order, names, count);
    // Equal texts of one tree are one entry.
    for (std::size_t position = 1; position < count; ++position) {
        if (names[order[position]] == names[order[position - 1]]) {
            repeatedKey_ = true;
            memory.names.Truncate(0);
            memory.order.Truncate(0);
            return false;
        }
    }
    return true;
}

// Every stack the assembler keeps, grown here for the inline calls of other files too.
template class AssemblyDetail::Stack<TreeAssembler::ValueSlot>;
template class AssemblyDetail::Stack<TreeAssembler::Frame>;
template class AssemblyDetail::Stack<const InternedText*>;
template class AssemblyDetail::Stack<uint32_t>;
template class AssemblyDetail::Stack<AssemblyDetail::DepthMemory*>;

}  // namespace Velto
