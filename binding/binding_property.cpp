#include "binding/binding_property.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "binding/storage_context.h"
#include "binding/text_order.h"

namespace Velto {
namespace PropertyDetail {

// A collection: its elements follow the header.
struct ElementBlock {
    uint32_t size;
    uint32_t capacity;
};

// A blob: its bytes follow the size.
struct BlobBlock {
    uint32_t size;
};

struct EnumBlock {
    int32_t value;
    const TypeIdentity* identity;
};

// A structure with more members than one leaf holds: the leaf pointers follow the header.
struct IndexBlock {
    MemberBlock head;  // total member count; leaf capacity with kIndexBit
    uint32_t leafCount;
    uint32_t reserved;
};

static_assert(alignof(StorageContext) >= 32, "the low five bits of a context pointer are free");
static_assert(sizeof(ElementBlock) % alignof(BindingProperty) == 0);
static_assert(sizeof(MemberBlock) % alignof(MemberEntry) == 0);

namespace {

constexpr std::size_t LeafBytes(std::size_t capacity) {
    return sizeof(MemberBlock) + capacity * sizeof(MemberEntry);
}
constexpr std::size_t ElementBytes(std::size_t capacity) {
    return sizeof(ElementBlock) + capacity * sizeof(BindingProperty);
}
constexpr std::size_t IndexBytes(std::size_t leafCapacity) {
    return sizeof(IndexBlock) + leafCapacity * sizeof(MemberBlock*);
}
constexpr std::size_t BlobBytes(std::size_t size) {
    return sizeof(BlobBlock) + size;
}

// A leaf fills at most the largest pooled block; a structure beyond that becomes an index of
// leaves, so inserting anywhere never moves more than one leaf's slots.
constexpr uint32_t kLeafCapacity = static_cast<uint32_t>(
    (BlockAllocator::kLargestPooledBlock - sizeof(MemberBlock)) / sizeof(MemberEntry));
// A structure's first leaf has room for a few members: most get more than one.
constexpr std::size_t kFirstLeafMembers = 4;

// Doubles (at least to `required`), then takes whatever the rounded block has room for.
uint32_t GrownCapacity(std::size_t current, std::size_t required, std::size_t header,
                       std::size_t element, std::size_t limit) {
    const std::size_t wanted = std::min(std::max(required, current * 2), limit);
    const std::size_t room =
        (BlockAllocator::BlockSize(header + wanted * element) - header) / element;
    return static_cast<uint32_t>(std::min(room, limit));
}

bool IsIndex(const MemberBlock* block) {
    return (block->capacity & kIndexBit) != 0;
}

MemberBlock** IndexLeaves(MemberBlock* block) {
    return reinterpret_cast<MemberBlock**>(reinterpret_cast<IndexBlock*>(block) + 1);
}

BindingProperty* ElementsOf(ElementBlock* block) {
    return reinterpret_cast<BindingProperty*>(block + 1);
}

uint8_t* BytesOf(BlobBlock* block) {
    return reinterpret_cast<uint8_t*>(block + 1);
}

struct Position {
    uint32_t leaf;
    uint32_t index;
    bool found;
};

// Byte-wise order of a member's name against `name`.
int Compare(const MemberEntry& entry, std::string_view name) {
    return CompareText(entry.Name(), name);
}

// Where `name` is, or where it belongs, in the leaf.
Position LocateInLeaf(MemberBlock* leaf, uint32_t leafIndex, std::string_view name) {
    MemberEntry* entries = Entries(leaf);
    // Members often arrive in order: check the end first.
    const int last = Compare(entries[leaf->size - 1], name);
    if (last <= 0) {
        return last == 0 ? Position{leafIndex, leaf->size - 1, true}
                         : Position{leafIndex, leaf->size, false};
    }
    uint32_t low = 0;
    uint32_t high = leaf->size - 1;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        if (Compare(entries[middle], name) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return Position{leafIndex, low, Compare(entries[low], name) == 0};
}

MemberEntry& EntryAt(MemberBlock* block, Position position) {
    MemberBlock* leaf = IsIndex(block) ? IndexLeaves(block)[position.leaf] : block;
    return Entries(leaf)[position.index];
}

Position Locate(MemberBlock* block, std::string_view name) {
    if (block == nullptr || block->size == 0) {
        return Position{0, 0, false};
    }
    if (!IsIndex(block)) {
        return LocateInLeaf(block, 0, name);
    }
    // The first leaf whose last member is not before the key; the last leaf when all are.
    MemberBlock** leaves = IndexLeaves(block);
    const uint32_t count = reinterpret_cast<IndexBlock*>(block)->leafCount;
    uint32_t low = 0;
    uint32_t high = count - 1;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        MemberBlock* leaf = leaves[middle];
        if (Compare(Entries(leaf)[leaf->size - 1], name) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return LocateInLeaf(leaves[low], low, name);
}

}  // namespace

struct Access {
    static uint64_t Meta(StorageContext* context, ValueKind kind, bool owns) {
        return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(context)) |
               static_cast<uint64_t>(kind) | (owns ? BindingProperty::kOwnsContextBit : 0);
    }

    static void SetKind(BindingProperty& value, ValueKind kind) {
        value.meta_ = (value.meta_ & ~BindingProperty::kKindMask) | static_cast<uint64_t>(kind);
    }

    static void Install(BindingProperty& value, ValueKind kind, BindingProperty::Payload payload) {
        value.payload_ = payload;
        SetKind(value, kind);
    }

    static StorageContext* Context(const BindingProperty& value) { return value.Context(); }

    // The value's context; a root without one creates it. Null when memory is exhausted.
    static StorageContext* EnsureContext(BindingProperty& value) {
        StorageContext* context = value.Context();
        if (context != nullptr || !value.OwnsContext()) {
            return context;
        }
        context = StorageContext::Create();
        if (context != nullptr) {
            value.meta_ |= static_cast<uint64_t>(reinterpret_cast<uintptr_t>(context));
        }
        return context;
    }

    // An empty value sharing `context`, as elements and members are made.
    static void MakeChild(BindingProperty* slot, StorageContext* context) {
        ::new (static_cast<void*>(slot)) BindingProperty();
        slot->meta_ = Meta(context, ValueKind::Empty, false);
    }

    // Returns every text and block of the payload, one by one; the value becomes empty.
    static void Release(BindingProperty& value) {
        StorageContext* context = value.Context();
        if (context != nullptr) {
            ReleaseIn(*context, value);
        }
        value.payload_.bits = 0;
        SetKind(value, ValueKind::Empty);
    }

    static void ReleaseIn(StorageContext& context, BindingProperty& value) {
        BlockAllocator& blocks = context.Blocks();
        switch (value.Kind()) {
            case ValueKind::String:
                context.Release(value.payload_.text);
                break;
            case ValueKind::Blob:
                if (BlobBlock* blob = value.payload_.blob) {
                    blocks.Release(blob, BlobBytes(blob->size));
                }
                break;
            case ValueKind::Enum:
                blocks.Release(value.payload_.enumeration, sizeof(EnumBlock));
                break;
            case ValueKind::Collection:
                if (ElementBlock* block = value.payload_.collection) {
                    BindingProperty* elements = ElementsOf(block);
                    for (uint32_t index = 0; index < block->size; ++index) {
                        ReleaseIn(context, elements[index]);
                    }
                    blocks.Release(block, ElementBytes(block->capacity));
                }
                break;
            case ValueKind::Structure:
                if (value.payload_.structure != nullptr) {
                    ReleaseMembers(context, value.payload_.structure);
                }
                break;
            default:
                break;
        }
    }

    static void ReleaseLeaf(StorageContext& context, MemberBlock* leaf) {
        MemberEntry* entries = Entries(leaf);
        for (uint32_t index = 0; index < leaf->size; ++index) {
            ReleaseIn(context, entries[index].value_);
            context.Release(entries[index].name_);
        }
        context.Blocks().Release(leaf, LeafBytes(leaf->capacity));
    }

    static void ReleaseMembers(StorageContext& context, MemberBlock* block) {
        if (!IsIndex(block)) {
            ReleaseLeaf(context, block);
            return;
        }
        auto* index = reinterpret_cast<IndexBlock*>(block);
        MemberBlock** leaves = IndexLeaves(block);
        for (uint32_t leaf = 0; leaf < index->leafCount; ++leaf) {
            ReleaseLeaf(context, leaves[leaf]);
        }
        context.Blocks().Release(block, IndexBytes(block->capacity & ~kIndexBit));
    }

    // Releases the payload: a root drops its whole context at once.
    static void Reset(BindingProperty& value) {
        StorageContext* context = value.Context();
        if (context != nullptr && value.OwnsContext()) {
            context->Clear();
        } else if (context != nullptr) {
            ReleaseIn(*context, value);
        }
        value.payload_.bits = 0;
        SetKind(value, ValueKind::Empty);
    }

    // Collections.

    static ElementBlock* Collection(const BindingProperty& value) {
        return value.Kind() == ValueKind::Collection ? value.payload_.collection : nullptr;
    }

    // Room for `required` elements: grown geometrically, or to exactly `required` (rounded to
    // its block) when `exact`.
    static bool EnsureElementRoom(BindingProperty& value, std::size_t required, bool exact) {
        ElementBlock* block = value.payload_.collection;
        const std::size_t capacity = block != nullptr ? block->capacity : 0;
        if (required <= capacity) {
            return true;
        }
        if (required > BindingProperty::kMaxElements) {
            return false;
        }
        StorageContext* context = EnsureContext(value);
        if (context == nullptr) {
            return false;
        }
        const uint32_t grown =
            GrownCapacity(exact ? 0 : capacity, required, sizeof(ElementBlock),
                          sizeof(BindingProperty), BindingProperty::kMaxElements);
        // Elements move bytewise: they hold no pointers to themselves.
        void* moved = context->Blocks().Reallocate(
            block, block != nullptr ? ElementBytes(capacity) : 0, ElementBytes(grown));
        if (moved == nullptr) {
            return false;
        }
        auto* resized = static_cast<ElementBlock*>(moved);
        if (block == nullptr) {
            resized->size = 0;
        }
        resized->capacity = grown;
        value.payload_.collection = resized;
        return true;
    }

    static BindingProperty* Element(BindingProperty& value, std::size_t index) {
        if (index >= BindingProperty::kMaxElements) {
            return nullptr;
        }
        ElementBlock* block = value.payload_.collection;
        const std::size_t size = block != nullptr ? block->size : 0;
        if (index < size) {
            return ElementsOf(block) + index;
        }
        if (!EnsureElementRoom(value, index + 1, false)) {
            return nullptr;
        }
        block = value.payload_.collection;
        StorageContext* context = value.Context();
        BindingProperty* elements = ElementsOf(block);
        for (std::size_t added = size; added <= index; ++added) {
            MakeChild(elements + added, context);
        }
        block->size = static_cast<uint32_t>(index + 1);
        return elements + index;
    }

    // Structures.

    static MemberBlock* Structure(const BindingProperty& value) {
        return value.Kind() == ValueKind::Structure ? value.payload_.structure : nullptr;
    }

    static MemberBlock* const* Leaves(const BindingProperty& value, uint32_t& count) {
        MemberBlock* block = Structure(value);
        if (block == nullptr || block->size == 0) {
            count = 0;
            return nullptr;
        }
        if (IsIndex(block)) {
            count = reinterpret_cast<IndexBlock*>(block)->leafCount;
            return IndexLeaves(block);
        }
        count = 1;
        return &value.payload_.structure;
    }

    static MemberBlock* NewLeaf(BlockAllocator& blocks, uint32_t capacity) {
        auto* leaf = static_cast<MemberBlock*>(blocks.Allocate(LeafBytes(capacity)));
        if (leaf != nullptr) {
            leaf->size = 0;
            leaf->capacity = capacity;
        }
        return leaf;
    }

    // Grows a leaf that is not full-sized; false when memory is exhausted.
    static bool GrowLeaf(BlockAllocator& blocks, MemberBlock*& leaf, std::size_t required) {
        const uint32_t grown = GrownCapacity(leaf->capacity, required, sizeof(MemberBlock),
                                             sizeof(MemberEntry), kLeafCapacity);
        void* moved = blocks.Reallocate(leaf, LeafBytes(leaf->capacity), LeafBytes(grown));
        if (moved == nullptr) {
            return false;
        }
        leaf = static_cast<MemberBlock*>(moved);
        leaf->capacity = grown;
        return true;
    }

    // Opens a gap at `index` and returns it, still to be constructed. Members move bytewise:
    // they hold no pointers to themselves.
    static MemberEntry* InsertInLeaf(MemberBlock* leaf, uint32_t index) {
        MemberEntry* entries = Entries(leaf);
        if (index < leaf->size) {
            std::memmove(static_cast<void*>(entries + index + 1), entries + index,
                         (leaf->size - index) * sizeof(MemberEntry));
        }
        ++leaf->size;
        return entries + index;
    }

    // Turns a full single leaf into an index of one leaf.
    static IndexBlock* MakeIndex(BlockAllocator& blocks, MemberBlock* leaf) {
        constexpr uint32_t kInitialLeaves = 4;
        auto* index = static_cast<IndexBlock*>(blocks.Allocate(IndexBytes(kInitialLeaves)));
        if (index != nullptr) {
            index->head = MemberBlock{leaf->size, kInitialLeaves | kIndexBit};
            index->leafCount = 1;
            index->reserved = 0;
            IndexLeaves(&index->head)[0] = leaf;
        }
        return index;
    }

    // The room for a new member at `position` of `value`'s structure, still to be constructed;
    // null, with the structure as it was, when memory is exhausted.
    static MemberEntry* Place(BindingProperty& value, Position position, BlockAllocator& blocks) {
        MemberBlock* block = value.payload_.structure;
        if (block == nullptr) {
            block = NewLeaf(blocks, GrownCapacity(0, kFirstLeafMembers, sizeof(MemberBlock),
                                                  sizeof(MemberEntry), kLeafCapacity));
            if (block == nullptr) {
                return nullptr;
            }
            value.payload_.structure = block;
        }
        if (!IsIndex(block)) {
            if (block->size < block->capacity ||
                (block->capacity < kLeafCapacity && GrowLeaf(blocks, block, block->size + 1u))) {
                value.payload_.structure = block;
                return InsertInLeaf(block, position.index);
            }
            if (block->capacity < kLeafCapacity) {
                return nullptr;
            }
            IndexBlock* index = MakeIndex(blocks, block);
            if (index == nullptr) {
                return nullptr;
            }
            value.payload_.structure = &index->head;
        }
        return PlaceInIndex(value, position, blocks);
    }

    static MemberEntry* PlaceInIndex(BindingProperty& value, Position position,
                                     BlockAllocator& blocks) {
        auto* index = reinterpret_cast<IndexBlock*>(value.payload_.structure);
        MemberBlock*& leaf = IndexLeaves(&index->head)[position.leaf];
        if (leaf->size < leaf->capacity ||
            (leaf->capacity < kLeafCapacity && GrowLeaf(blocks, leaf, leaf->size + 1u))) {
            ++index->head.size;
            return InsertInLeaf(leaf, position.index);
        }
        if (leaf->capacity < kLeafCapacity || !EnsureLeafSlot(blocks, value)) {
            return nullptr;
        }
        MemberBlock* added = NewLeaf(blocks, kLeafCapacity);
        if (added == nullptr) {
            return nullptr;
        }
        index = reinterpret_cast<IndexBlock*>(value.payload_.structure);
        MemberBlock** leaves = IndexLeaves(&index->head);
        MemberBlock* full = leaves[position.leaf];
        // Appending past the last member starts a new leaf, so members given in order fill
        // leaves completely; anywhere else the full leaf is split in half.
        const bool appending =
            position.leaf + 1 == index->leafCount && position.index == full->size;
        const uint32_t keep = appending ? full->size : full->size / 2;
        std::memcpy(static_cast<void*>(Entries(added)), Entries(full) + keep,
                    (full->size - keep) * sizeof(MemberEntry));
        added->size = full->size - keep;
        full->size = keep;
        std::memmove(leaves + position.leaf + 2, leaves + position.leaf + 1,
                     (index->leafCount - position.leaf - 1) * sizeof(MemberBlock*));
        leaves[position.leaf + 1] = added;
        ++index->leafCount;
        ++index->head.size;
        if (!appending && position.index <= keep) {
            return InsertInLeaf(full, position.index);
        }
        return InsertInLeaf(added, position.index - keep);
    }

    static bool EnsureLeafSlot(BlockAllocator& blocks, BindingProperty& value) {
        auto* index = reinterpret_cast<IndexBlock*>(value.payload_.structure);
        const uint32_t capacity = index->head.capacity & ~kIndexBit;
        if (index->leafCount < capacity) {
            return true;
        }
        const uint32_t grown = capacity * 2;
        void* moved = blocks.Reallocate(index, IndexBytes(capacity), IndexBytes(grown));
        if (moved == nullptr) {
            return false;
        }
        index = static_cast<IndexBlock*>(moved);
        index->head.capacity = grown | kIndexBit;
        value.payload_.structure = &index->head;
        return true;
    }

    static Position EndPosition(const BindingProperty& value) {
        MemberBlock* block = value.payload_.structure;
        if (block == nullptr || !IsIndex(block)) {
            return Position{0, block != nullptr ? block->size : 0, false};
        }
        auto* index = reinterpret_cast<IndexBlock*>(block);
        return Position{index->leafCount - 1, IndexLeaves(block)[index->leafCount - 1]->size,
                        false};
    }

    // Inserts member `name` at `position`, taking over one reference to `name`; on failure the
    // reference is dropped and the result is null.
    static BindingProperty* AddMember(BindingProperty& value, Position position,
                                      const InternedText* name, StorageContext* context) {
        MemberEntry* slot = Place(value, position, context->Blocks());
        if (slot == nullptr) {
            context->Release(name);
            return nullptr;
        }
        MemberEntry* entry = ::new (static_cast<void*>(slot)) MemberEntry();
        MakeChild(&entry->value_, context);
        entry->name_ = name;
        return &entry->value_;
    }

    static bool ReserveLeaf(BindingProperty& value, std::size_t count) {
        MemberBlock* block = value.payload_.structure;
        const std::size_t wanted = std::min<std::size_t>(count, kLeafCapacity);
        if (block != nullptr && (IsIndex(block) || block->capacity >= wanted)) {
            return true;
        }
        if (wanted == 0) {
            return true;
        }
        StorageContext* context = EnsureContext(value);
        if (context == nullptr) {
            return false;
        }
        const uint32_t capacity =
            GrownCapacity(0, wanted, sizeof(MemberBlock), sizeof(MemberEntry), kLeafCapacity);
        if (block == nullptr) {
            block = NewLeaf(context->Blocks(), capacity);
        } else if (!GrowLeaf(context->Blocks(), block, capacity)) {
            return false;
        }
        if (block == nullptr) {
            return false;
        }
        value.payload_.structure = block;
        return true;
    }

    // Assembly from children made elsewhere.

    static bool AdoptElements(BindingProperty& value, BindingProperty* elements,
                              std::size_t count) {
        if (count == 0) {
            SetKind(value, ValueKind::Collection);
            return true;
        }
        StorageContext* context = EnsureContext(value);
        if (context == nullptr || count > BindingProperty::kMaxElements) {
            return false;
        }
        const uint32_t capacity = GrownCapacity(
            0, count, sizeof(ElementBlock), sizeof(BindingProperty), BindingProperty::kMaxElements);
        auto* block =
            static_cast<ElementBlock*>(context->Blocks().Allocate(ElementBytes(capacity)));
        if (block == nullptr) {
            return false;
        }
        block->size = static_cast<uint32_t>(count);
        block->capacity = capacity;
        std::memcpy(static_cast<void*>(ElementsOf(block)), elements,
                    count * sizeof(BindingProperty));
        Install(value, ValueKind::Collection, {.collection = block});
        return true;
    }

    // Fills `leaf` with the `count` members that `order` lists from `first` on.
    static void FillLeaf(MemberBlock* leaf, BindingProperty* values,
                         const InternedText* const* names, const uint32_t* order, std::size_t first,
                         std::size_t count) {
        MemberEntry* entries = Entries(leaf);
        for (std::size_t member = 0; member < count; ++member) {
            const uint32_t from = order[first + member];
            MemberEntry* entry = ::new (static_cast<void*>(entries + member)) MemberEntry();
            std::memcpy(static_cast<void*>(&entry->value_), values + from, sizeof(BindingProperty));
            entry->name_ = names[from];
        }
        leaf->size = static_cast<uint32_t>(count);
    }

    static bool AdoptMembers(BindingProperty& value, BindingProperty* values,
                             const InternedText* const* names, const uint32_t* order,
                             std::size_t count) {
        if (count == 0) {
            SetKind(value, ValueKind::Structure);
            return true;
        }
        StorageContext* context = EnsureContext(value);
        if (context == nullptr) {
            return false;
        }
        BlockAllocator& blocks = context->Blocks();
        if (count <= kLeafCapacity) {
            MemberBlock* leaf = NewLeaf(blocks, GrownCapacity(0, count, sizeof(MemberBlock),
                                                              sizeof(MemberEntry), kLeafCapacity));
            if (leaf == nullptr) {
                return false;
            }
            FillLeaf(leaf, values, names, order, 0, count);
            Install(value, ValueKind::Structure, {.structure = leaf});
            return true;
        }
        // Full leaves, as members given in order fill them.
        const std::size_t leafCount = (count + kLeafCapacity - 1) / kLeafCapacity;
        const auto capacity = static_cast<uint32_t>(std::max<std::size_t>(leafCount, 4));
        auto* index = static_cast<IndexBlock*>(blocks.Allocate(IndexBytes(capacity)));
        if (index == nullptr) {
            return false;
        }
        MemberBlock** leaves = IndexLeaves(&index->head);
        for (std::size_t leaf = 0; leaf < leafCount; ++leaf) {
            leaves[leaf] = NewLeaf(blocks, kLeafCapacity);
            if (leaves[leaf] == nullptr) {
                for (std::size_t made = 0; made < leaf; ++made) {
                    blocks.Release(leaves[made], LeafBytes(kLeafCapacity));
                }
                blocks.Release(index, IndexBytes(capacity));
                return false;
            }
        }
        for (std::size_t leaf = 0; leaf < leafCount; ++leaf) {
            const std::size_t first = leaf * kLeafCapacity;
            FillLeaf(leaves[leaf], values, names, order, first,
                     std::min<std::size_t>(kLeafCapacity, count - first));
        }
        index->head = MemberBlock{static_cast<uint32_t>(count), capacity | kIndexBit};
        index->leafCount = static_cast<uint32_t>(leafCount);
        index->reserved = 0;
        Install(value, ValueKind::Structure, {.structure = &index->head});
        return true;
    }

    // Copies.

    // Makes `target`, an empty value, a deep copy of `source` in `target`'s context.
    static void CopyInto(BindingProperty& target, const BindingProperty& source) {
        switch (source.Kind()) {
            case ValueKind::Empty:
                return;
            case ValueKind::String:
                Install(target, ValueKind::String, {.text = TextFor(target, source)});
                return;
            case ValueKind::Blob:
                Install(target, ValueKind::Blob, {.blob = BlobFor(target, source.GetBlob())});
                return;
            case ValueKind::Enum:
                Install(target, ValueKind::Enum,
                        {.enumeration = EnumFor(target, source.GetEnum())});
                return;
            case ValueKind::Collection:
                SetKind(target, ValueKind::Collection);
                CopyElements(target, source);
                return;
            case ValueKind::Structure:
                SetKind(target, ValueKind::Structure);
                CopyMembers(target, source);
                return;
            default:
                Install(target, source.Kind(), source.payload_);
                return;
        }
    }

    // `source`'s text as held by `target`'s tree: shared within one tree, re-interned across.
    static const InternedText* TextFor(BindingProperty& target, const BindingProperty& source) {
        const InternedText* text = source.payload_.text;
        if (text == nullptr || text == &EmptyText()) {
            return &EmptyText();
        }
        StorageContext* context = EnsureContext(target);
        if (context == nullptr) {
            return nullptr;
        }
        if (context == source.Context()) {
            context->Retain(text);
            return text;
        }
        return context->Intern(text->View());
    }

    static BlobBlock* BlobFor(BindingProperty& target, std::span<const uint8_t> bytes) {
        if (bytes.empty() || bytes.size() > BlockAllocator::kLargestBlock) {
            return nullptr;
        }
        StorageContext* context = EnsureContext(target);
        if (context == nullptr) {
            return nullptr;
        }
        auto* blob = static_cast<BlobBlock*>(context->Blocks().Allocate(BlobBytes(bytes.size())));
        if (blob != nullptr) {
            blob->size = static_cast<uint32_t>(bytes.size());
            std::memcpy(BytesOf(blob), bytes.data(), bytes.size());
        }
        return blob;
    }

    static EnumBlock* EnumFor(BindingProperty& target, EnumValue value) {
        StorageContext* context = EnsureContext(target);
        if (context == nullptr) {
            return nullptr;
        }
        auto* block = static_cast<EnumBlock*>(context->Blocks().Allocate(sizeof(EnumBlock)));
        if (block != nullptr) {
            *block = EnumBlock{value.value, value.identity};
        }
        return block;
    }

    static void CopyElements(BindingProperty& target, const BindingProperty& source) {
        const std::span<const BindingProperty> elements = source.Elements();
        if (elements.empty() || !EnsureElementRoom(target, elements.size(), true)) {
            return;
        }
        for (std::size_t index = 0; index < elements.size(); ++index) {
            CopyInto(*Element(target, index), elements[index]);
        }
    }

    static void CopyMembers(BindingProperty& target, const BindingProperty& source) {
        const std::size_t size = source.Size();
        if (size == 0 || !ReserveLeaf(target, size)) {
            return;
        }
        StorageContext* context = target.Context();
        const bool sameTree = context == source.Context();
        for (const MemberEntry& member : source.Members()) {
            const InternedText* name = member.name_;
            if (sameTree) {
                context->Retain(name);
            } else {
                name = context->Intern(member.Name());
            }
            // Members come in order, so each one goes at the end.
            BindingProperty* slot =
                name != nullptr ? AddMember(target, EndPosition(target), name, context) : nullptr;
            if (slot == nullptr) {
                return;
            }
            CopyInto(*slot, member.value_);
        }
    }

    // Replaces `value`'s payload by one already built in its context, releasing the old one
    // member by member (the new payload may have come from it).
    static void Replace(BindingProperty& value, ValueKind kind, BindingProperty::Payload payload) {
        Release(value);
        Install(value, kind, payload);
    }

    // Moves `source`'s payload into `target` of the same tree.
    static void Handover(BindingProperty& target, BindingProperty& source) {
        const BindingProperty::Payload payload = source.payload_;
        const ValueKind kind = source.Kind();
        source.payload_.bits = 0;
        SetKind(source, ValueKind::Empty);
        Replace(target, kind, payload);
    }

    static void Swap(BindingProperty& first, BindingProperty& second) {
        std::swap(first.payload_, second.payload_);
        std::swap(first.meta_, second.meta_);
    }

    // The member `name`, inserted when absent with the text `intern(context)` gives for it.
    template <class Intern>
    static BindingProperty& FindOrAddMember(BindingProperty& value, std::string_view name,
                                            Intern intern) {
        if (BindingProperty* appended = AppendToLeaf(value, name, intern)) {
            return *appended;
        }
        if (value.Kind() == ValueKind::Structure) {
            const Position position = Locate(value.payload_.structure, name);
            if (position.found) {
                return EntryAt(value.payload_.structure, position).Value();
            }
            StorageContext* context = EnsureContext(value);
            const InternedText* interned = context != nullptr ? intern(*context) : nullptr;
            BindingProperty* member =
                interned != nullptr ? AddMember(value, position, interned, context) : nullptr;
            return member != nullptr ? *member : Scratch();
        }
        // The name may be a text of this very value: intern it before the payload goes.
        StorageContext* context = EnsureContext(value);
        const InternedText* interned = context != nullptr ? intern(*context) : nullptr;
        Replace(value, ValueKind::Structure, {.structure = nullptr});
        BindingProperty* member = interned != nullptr
                                      ? AddMember(value, Position{0, 0, false}, interned, context)
                                      : nullptr;
        return member != nullptr ? *member : Scratch();
    }

    // A new last member `name` when it sorts after every member of a single leaf with room
    // (writers of records visit fields in name order); null when the general path must decide.
    template <class Intern>
    static BindingProperty* AppendToLeaf(BindingProperty& value, std::string_view name,
                                         Intern intern) {
        MemberBlock* leaf = Structure(value);
        if (leaf == nullptr || IsIndex(leaf) || leaf->size == 0 || leaf->size == leaf->capacity ||
            Compare(Entries(leaf)[leaf->size - 1], name) >= 0) {
            return nullptr;
        }
        StorageContext* context = value.Context();
        const InternedText* interned = intern(*context);
        if (interned == nullptr) {
            return nullptr;
        }
        MemberEntry* entry = ::new (static_cast<void*>(Entries(leaf) + leaf->size++)) MemberEntry();
        MakeChild(&entry->value_, context);
        entry->name_ = interned;
        return &entry->value_;
    }

    // Where failed mutable accesses point: a root of its own whose content is thrown away.
    static BindingProperty& Scratch() {
        thread_local BindingProperty scratch;
        scratch.Reset();
        return scratch;
    }
};

}  // namespace PropertyDetail

using PropertyDetail::Access;

namespace {

constexpr const char* kValueKindNames[] = {
    "empty",  "bool", "signed", "unsigned",   "float",
    "string", "blob", "enum",   "collection", "structure",
};

}  // namespace

const char* ValueKindName(ValueKind kind) noexcept {
    const auto index = static_cast<std::size_t>(kind);
    return index < sizeof kValueKindNames / sizeof kValueKindNames[0] ? kValueKindNames[index] : "";
}

BindingProperty::BindingProperty(const BindingProperty& other) noexcept : BindingProperty() {
    Assign(other);
}

BindingProperty::BindingProperty(BindingProperty&& other) noexcept : BindingProperty() {
    Take(other);
}

BindingProperty::BindingProperty(const char* text) noexcept : BindingProperty() {
    SetString(text != nullptr ? std::string_view(text) : std::string_view());
}

BindingProperty::BindingProperty(std::string_view text) noexcept : BindingProperty() {
    SetString(text);
}

BindingProperty::BindingProperty(const std::string& text) noexcept : BindingProperty() {
    SetString(text);
}

BindingProperty::BindingProperty(std::span<const uint8_t> bytes) noexcept : BindingProperty() {
    SetBlob(bytes);
}

BindingProperty::BindingProperty(const std::vector<uint8_t>& bytes) noexcept : BindingProperty() {
    SetBlob(bytes);
}

BindingProperty::BindingProperty(std::vector<uint8_t>&& bytes) noexcept : BindingProperty() {
    *this = std::move(bytes);
}

BindingProperty::BindingProperty(EnumValue value) noexcept : BindingProperty() {
    SetEnum(value.value, value.identity);
}

BindingProperty::~BindingProperty() {
    if (OwnsContext()) {
        StorageContext::Destroy(Context());
    }
}

BindingProperty& BindingProperty::operator=(const char* text) noexcept {
    SetString(text != nullptr ? std::string_view(text) : std::string_view());
    return *this;
}

BindingProperty& BindingProperty::operator=(std::string_view text) noexcept {
    SetString(text);
    return *this;
}

BindingProperty& BindingProperty::operator=(const std::string& text) noexcept {
    SetString(text);
    return *this;
}

BindingProperty& BindingProperty::operator=(std::span<const uint8_t> bytes) noexcept {
    SetBlob(bytes);
    return *this;
}

BindingProperty& BindingProperty::operator=(const std::vector<uint8_t>& bytes) noexcept {
    SetBlob(bytes);
    return *this;
}

BindingProperty& BindingProperty::operator=(std::vector<uint8_t>&& bytes) noexcept {
    SetBlob(bytes);
    std::vector<uint8_t>().swap(bytes);
    return *this;
}

BindingProperty& BindingProperty::operator=(EnumValue value) noexcept {
    SetEnum(value.value, value.identity);
    return *this;
}

void BindingProperty::SetBool(bool value) noexcept {
    Access::Reset(*this);
    Access::Install(*this, ValueKind::Bool, {.boolean = value});
}

void BindingProperty::SetSigned(int64_t value) noexcept {
    Access::Reset(*this);
    Access::Install(*this, ValueKind::Signed, {.signedValue = value});
}

void BindingProperty::SetUnsigned(uint64_t value) noexcept {
    Access::Reset(*this);
    Access::Install(*this, ValueKind::Unsigned, {.unsignedValue = value});
}

void BindingProperty::SetFloat(double value) noexcept {
    Access::Reset(*this);
    Access::Install(*this, ValueKind::Float, {.floatValue = value});
}

void BindingProperty::SetString(std::string_view text) noexcept {
    const InternedText* interned = &EmptyText();
    if (!text.empty()) {
        StorageContext* context = Access::EnsureContext(*this);
        interned = context != nullptr ? context->Intern(text) : nullptr;
    }
    Access::Replace(*this, ValueKind::String, {.text = interned});
}

void BindingProperty::SetBlob(std::span<const uint8_t> bytes) noexcept {
    PropertyDetail::BlobBlock* blob = Access::BlobFor(*this, bytes);
    Access::Replace(*this, ValueKind::Blob, {.blob = blob});
}

void BindingProperty::SetEnum(int32_t value, const TypeIdentity* identity) noexcept {
    Access::Reset(*this);
    Access::Install(*this, ValueKind::Enum,
                    {.enumeration = Access::EnumFor(*this, EnumValue{value, identity})});
}

BindingProperty& BindingProperty::MakeCollection() noexcept {
    if (Kind() != ValueKind::Collection) {
        Access::Reset(*this);
        Access::SetKind(*this, ValueKind::Collection);
    }
    return *this;
}

BindingProperty& BindingProperty::MakeStructure() noexcept {
    if (Kind() != ValueKind::Structure) {
        Access::Reset(*this);
        Access::SetKind(*this, ValueKind::Structure);
    }
    return *this;
}

void BindingProperty::Assign(const BindingProperty& other) noexcept {
    if (this == &other) {
        return;
    }
    StorageContext* context = Context();
    if (context == nullptr || context != other.Context()) {
        // Different trees cannot overlap: drop the old payload, then copy.
        Access::Reset(*this);
        Access::CopyInto(*this, other);
        return;
    }
    // `other` may lie inside this value: copy it aside first.
    BindingProperty copy;
    Access::MakeChild(&copy, context);
    Access::CopyInto(copy, other);
    Access::Handover(*this, copy);
}

void BindingProperty::Take(BindingProperty& other) noexcept {
    if (this == &other) {
        return;
    }
    if (OwnsContext() && other.OwnsContext()) {
        Access::Swap(*this, other);
        other.Reset();
        return;
    }
    StorageContext* context = Context();
    if (context != nullptr && context == other.Context()) {
        Access::Handover(*this, other);
        return;
    }
    Assign(other);
    other.Reset();
}

void BindingProperty::Reset() noexcept {
    Access::Reset(*this);
}

bool BindingProperty::GetBool(bool fallback) const noexcept {
    return Kind() == ValueKind::Bool ? payload_.boolean : fallback;
}

int64_t BindingProperty::GetSigned(int64_t fallback) const noexcept {
    return Kind() == ValueKind::Signed ? payload_.signedValue : fallback;
}

uint64_t BindingProperty::GetUnsigned(uint64_t fallback) const noexcept {
    return Kind() == ValueKind::Unsigned ? payload_.unsignedValue : fallback;
}

double BindingProperty::GetFloat(double fallback) const noexcept {
    return Kind() == ValueKind::Float ? payload_.floatValue : fallback;
}

std::string_view BindingProperty::GetString(std::string_view fallback) const noexcept {
    if (Kind() != ValueKind::String) {
        return fallback;
    }
    return (payload_.text != nullptr ? payload_.text : &EmptyText())->View();
}

std::span<const uint8_t> BindingProperty::GetBlob(
    std::span<const uint8_t> fallback) const noexcept {
    if (Kind() != ValueKind::Blob) {
        return fallback;
    }
    PropertyDetail::BlobBlock* blob = payload_.blob;
    return blob != nullptr ? std::span<const uint8_t>(PropertyDetail::BytesOf(blob), blob->size)
                           : std::span<const uint8_t>();
}

EnumValue BindingProperty::GetEnum(EnumValue fallback) const noexcept {
    if (Kind() != ValueKind::Enum) {
        return fallback;
    }
    const PropertyDetail::EnumBlock* block = payload_.enumeration;
    return block != nullptr ? EnumValue{block->value, block->identity} : EnumValue{};
}

std::size_t BindingProperty::Size() const noexcept {
    switch (Kind()) {
        case ValueKind::Empty:
            return 0;
        case ValueKind::String:
            return GetString().size();
        case ValueKind::Blob:
            return GetBlob().size();
        case ValueKind::Collection:
            return payload_.collection != nullptr ? payload_.collection->size : 0;
        case ValueKind::Structure:
            return payload_.structure != nullptr ? payload_.structure->size : 0;
        default:
            return 1;
    }
}

bool BindingProperty::IsZero() const noexcept {
    switch (Kind()) {
        case ValueKind::Bool:
            return !payload_.boolean;
        case ValueKind::Signed:
            return payload_.signedValue == 0;
        case ValueKind::Unsigned:
            return payload_.unsignedValue == 0;
        case ValueKind::Float:
            return payload_.floatValue == 0.0;
        case ValueKind::Enum:
            return GetEnum().value == 0;
        default:
            return Size() == 0;
    }
}

BindingProperty& BindingProperty::At(std::size_t index) noexcept {
    MakeCollection();
    BindingProperty* element = Access::Element(*this, index);
    return element != nullptr ? *element : Access::Scratch();
}

const BindingProperty& BindingProperty::At(std::size_t index) const noexcept {
    const std::span<const BindingProperty> elements = Elements();
    return index < elements.size() ? elements[index] : EmptyValue();
}

BindingProperty& BindingProperty::Append() noexcept {
    MakeCollection();
    // Readers append element after element: skip the general path while there is room.
    PropertyDetail::ElementBlock* block = payload_.collection;
    if (block != nullptr && block->size < block->capacity) {
        BindingProperty* element = PropertyDetail::ElementsOf(block) + block->size++;
        Access::MakeChild(element, Context());
        return *element;
    }
    return At(Size());
}

bool BindingProperty::Reserve(std::size_t count) noexcept {
    MakeCollection();
    return Access::EnsureElementRoom(*this, count, true);
}

std::span<BindingProperty> BindingProperty::Elements() noexcept {
    PropertyDetail::ElementBlock* block = Access::Collection(*this);
    return block != nullptr
               ? std::span<BindingProperty>(PropertyDetail::ElementsOf(block), block->size)
               : std::span<BindingProperty>();
}

std::span<const BindingProperty> BindingProperty::Elements() const noexcept {
    PropertyDetail::ElementBlock* block = Access::Collection(*this);
    return block != nullptr
               ? std::span<const BindingProperty>(PropertyDetail::ElementsOf(block), block->size)
               : std::span<const BindingProperty>();
}

BindingProperty& BindingProperty::Member(std::string_view name) noexcept {
    return Access::FindOrAddMember(
        *this, name, [name](StorageContext& context) { return context.Intern(name); });
}

BindingProperty& BindingProperty::Member(std::string_view name, uint32_t hash) noexcept {
    return Access::FindOrAddMember(*this, name, [name, hash](StorageContext& context) {
        return context.InternStable(name, hash);
    });
}

const BindingProperty& BindingProperty::Find(std::string_view name) const noexcept {
    PropertyDetail::MemberBlock* block = Access::Structure(*this);
    const PropertyDetail::Position position = PropertyDetail::Locate(block, name);
    return position.found ? PropertyDetail::EntryAt(block, position).Value() : EmptyValue();
}

const BindingProperty& BindingProperty::FindNear(std::string_view name,
                                                 std::size_t position) const noexcept {
    PropertyDetail::MemberBlock* block = Access::Structure(*this);
    if (block != nullptr && !PropertyDetail::IsIndex(block) && position < block->size) {
        const MemberEntry& entry = PropertyDetail::Entries(block)[position];
        if (SameText(entry.Name(), name)) {
            return entry.Value();
        }
    }
    return Find(name);
}

bool BindingProperty::ReserveMembers(std::size_t count) noexcept {
    MakeStructure();
    return Access::ReserveLeaf(*this, count);
}

MemberRange BindingProperty::Members() noexcept {
    uint32_t count = 0;
    PropertyDetail::MemberBlock* const* leaves = Access::Leaves(*this, count);
    return MemberRange(leaves, count);
}

ConstMemberRange BindingProperty::Members() const noexcept {
    uint32_t count = 0;
    PropertyDetail::MemberBlock* const* leaves = Access::Leaves(*this, count);
    return ConstMemberRange(leaves, count);
}

StorageContext* BindingProperty::Storage() noexcept {
    return Access::EnsureContext(*this);
}

bool BindingProperty::AdoptElements(BindingProperty* elements, std::size_t count) noexcept {
    return Access::AdoptElements(*this, elements, count);
}

bool BindingProperty::AdoptMembers(BindingProperty* values, const InternedText* const* names,
                                   const uint32_t* order, std::size_t count) noexcept {
    return Access::AdoptMembers(*this, values, names, order, count);
}

BindingProperty* BindingProperty::PrepareElements(std::size_t capacity) noexcept {
    return Reserve(capacity) ? PropertyDetail::ElementsOf(Access::Collection(*this)) : nullptr;
}

void BindingProperty::SetElementCount(std::size_t count) noexcept {
    Access::Collection(*this)->size = static_cast<uint32_t>(count);
}

const BindingProperty& BindingProperty::EmptyValue() noexcept {
    static const BindingProperty empty;
    return empty;
}

}  // namespace Velto
