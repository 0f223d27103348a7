#include "formats/message_pack_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/format.h"
#include "formats/nesting_limit.h"

namespace Velto {
namespace {

// One class per type family and width; the decoder switches on these, not on the byte.
enum class TypeClass : uint8_t {
    PositiveFixInt,
    FixMap,
    FixArray,
    FixStr,
    Nil,
    NeverUsed,
    False,
    True,
    Bin8,
    Bin16,
    Bin32,
    Ext8,
    Ext16,
    Ext32,
    Float32,
    Float64,
    Uint8,
    Uint16,
    Uint32,
    Uint64,
    Int8,
    Int16,
    Int32,
    Int64,
    FixExt1,
    FixExt2,
    FixExt4,
    FixExt8,
    FixExt16,
    Str8,
    Str16,
    Str32,
    Array16,
    Array32,
    Map16,
    Map32,
    NegativeFixInt,
};

constexpr std::array<TypeClass, 256> BuildClassTable() {
    std::array<TypeClass, 256> table{};
    for (int byte = 0x00; byte <= 0x7F; ++byte) {
        table[byte] = TypeClass::PositiveFixInt;
    }
    for (int byte = 0x80; byte <= 0x8F; ++byte) {
        table[byte] = TypeClass::FixMap;
    }
    for (int byte = 0x90; byte <= 0x9F; ++byte) {
        table[byte] = TypeClass::FixArray;
    }
    for (int byte = 0xA0; byte <= 0xBF; ++byte) {
        table[byte] = TypeClass::FixStr;
    }
    constexpr TypeClass kFromC0[] = {
        TypeClass::Nil,      TypeClass::NeverUsed, TypeClass::False,   TypeClass::True,
        TypeClass::Bin8,     TypeClass::Bin16,     TypeClass::Bin32,   TypeClass::Ext8,
        TypeClass::Ext16,    TypeClass::Ext32,     TypeClass::Float32, TypeClass::Float64,
        TypeClass::Uint8,    TypeClass::Uint16,    TypeClass::Uint32,  TypeClass::Uint64,
        TypeClass::Int8,     TypeClass::Int16,     TypeClass::Int32,   TypeClass::Int64,
        TypeClass::FixExt1,  TypeClass::FixExt2,   TypeClass::FixExt4, TypeClass::FixExt8,
        TypeClass::FixExt16, TypeClass::Str8,      TypeClass::Str16,   TypeClass::Str32,
        TypeClass::Array16,  TypeClass::Array32,   TypeClass::Map16,   TypeClass::Map32,
    };
    for (int offset = 0; offset < 32; ++offset) {
        table[0xC0 + offset] = kFromC0[offset];
    }
    for (int byte = 0xE0; byte <= 0xFF; ++byte) {
        table[byte] = TypeClass::NegativeFixInt;
    }
    return table;
}

constexpr std::array<TypeClass, 256> kClassOf = BuildClassTable();

// Written out per width so that compilers turn each into one load and a byte swap.
template <class Bits>
Bits LoadBigEndian(const uint8_t* bytes) {
    if constexpr (sizeof(Bits) == 1) {
        return bytes[0];
    } else if constexpr (sizeof(Bits) == 2) {
        return static_cast<Bits>((bytes[0] << 8) | bytes[1]);
    } else if constexpr (sizeof(Bits) == 4) {
        return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
               uint32_t{bytes[3]};
    } else {
        return (uint64_t{LoadBigEndian<uint32_t>(bytes)} << 32) |
               LoadBigEndian<uint32_t>(bytes + 4);
    }
}

struct Frame {
    BindingProperty* target;
    uint64_t count;               // elements, or keys plus values
    uint64_t index;               // how many of them have been started
    std::string_view pendingKey;  // points into the input
};

class MessagePackReader {
  public:
    MessagePackReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {
        frames_.reserve(16);
        frames_.push_back(Frame{&result_, 0, 0, {}});
    }

    BindingResult Run(std::size_t& consumed) {
        while (position_ < size_ && result_.succeeded) {
            Target target;
            if (!NextTarget(target)) {
                break;
            }
            const TypeClass type = kClassOf[data_[position_++]];
            if (target.isKey) {
                ReadKey(type);
            } else {
                ReadValue(type, target);
            }
        }
        consumed = position_;
        return std::move(result_);
    }

  private:
    // What the next type byte fills. Elements and members get a frame of their own only when
    // they turn out to be containers; `isTop` marks the top frame's own target (the root).
    struct Target {
        BindingProperty* value = nullptr;
        bool isTop = false;
        bool isKey = false;  // the byte must start a key of the top frame's map
    };

    // Pops finished containers and creates the next element or member; false when the
    // outermost value is complete or memory ran out.
    bool NextTarget(Target& target) {
        while (!frames_.empty()) {
            Frame& top = frames_.back();
            const ValueKind kind = top.target->Kind();
            if (kind == ValueKind::Collection) {
                if (top.index == top.count) {
                    frames_.pop_back();
                    continue;
                }
                target.value = &top.target->At(static_cast<std::size_t>(top.index++));
                return Created(*target.value);
            }
            if (kind == ValueKind::Structure) {
                if (top.index == top.count) {
                    frames_.pop_back();
                    continue;
                }
                if (top.index++ % 2 == 0) {
                    target.isKey = true;
                    return true;
                }
                target.value = &top.target->Member(top.pendingKey);
                return Created(*target.value);
            }
            target.value = top.target;
            target.isTop = true;
            return true;
        }
        return false;
    }

    // When memory runs out (or an array outgrows kMaxElements) the new element is the shared
    // scratch value, the only root among them: its content would be lost, and the next access
    // would reset it under any frames built on it.
    bool Created(const BindingProperty& child) {
        if (!child.OwnsContext()) {
            return true;
        }
        result_.SetFailure(
            Format("Not enough memory for the MessagePack value at position %1.", Position()));
        return false;
    }

    void ReadKey(TypeClass type) {
        std::size_t length = 0;
        if (!ReadStringLength(type, length)) {
            if (result_.succeeded) {
                result_.SetFailure(
                    Format("Invalid MessagePack data at position %1. Map keys must be strings.",
                           Position()));
            }
            return;
        }
        std::string_view text;
        if (ReadText(length, text)) {
            frames_.back().pendingKey = text;
        }
    }

    // The length of a fixstr or str 8/16/32 header; false for other types and on truncation.
    bool ReadStringLength(TypeClass type, std::size_t& length) {
        switch (type) {
            case TypeClass::FixStr:
                length = data_[position_ - 1] & 0x1F;
                return true;
            case TypeClass::Str8:
                return ReadLength<uint8_t>(length);
            case TypeClass::Str16:
                return ReadLength<uint16_t>(length);
            case TypeClass::Str32:
                return ReadLength<uint32_t>(length);
            default:
                return false;
        }
    }

    void ReadValue(TypeClass type, const Target& slot) {
        BindingProperty& target = *slot.value;
        switch (type) {
            case TypeClass::PositiveFixInt:
                return Finish(target).SetSigned(data_[position_ - 1]);
            case TypeClass::NegativeFixInt:
                return Finish(target).SetSigned(static_cast<int8_t>(data_[position_ - 1]));
            case TypeClass::Nil:
                return Finish(target).Reset();
            case TypeClass::False:
                return Finish(target).SetBool(false);
            case TypeClass::True:
                return Finish(target).SetBool(true);
            case TypeClass::Float32:
                return ReadFloat<uint32_t, float>(target);
            case TypeClass::Float64:
                return ReadFloat<uint64_t, double>(target);
            case TypeClass::Uint8:
                return ReadUnsigned<uint8_t>(target);
            case TypeClass::Uint16:
                return ReadUnsigned<uint16_t>(target);
            case TypeClass::Uint32:
                return ReadUnsigned<uint32_t>(target);
            case TypeClass::Uint64:
                return ReadUnsigned<uint64_t>(target);
            case TypeClass::Int8:
                return ReadSigned<uint8_t, int8_t>(target);
            case TypeClass::Int16:
                return ReadSigned<uint16_t, int16_t>(target);
            case TypeClass::Int32:
                return ReadSigned<uint32_t, int32_t>(target);
            case TypeClass::Int64:
                return ReadSigned<uint64_t, int64_t>(target);
            case TypeClass::FixStr:
            case TypeClass::Str8:
            case TypeClass::Str16:
            case TypeClass::Str32:
                return ReadString(type, target);
            case TypeClass::Bin8:
                return ReadBlob<uint8_t>(target);
            case TypeClass::Bin16:
                return ReadBlob<uint16_t>(target);
            case TypeClass::Bin32:
                return ReadBlob<uint32_t>(target);
            case TypeClass::FixArray:
                return OpenArray(slot, data_[position_ - 1] & 0x0F);
            case TypeClass::Array16:
                return ReadArrayHeader<uint16_t>(slot);
            case TypeClass::Array32:
                return ReadArrayHeader<uint32_t>(slot);
            case TypeClass::FixMap:
                return OpenMap(slot, data_[position_ - 1] & 0x0F);
            case TypeClass::Map16:
                return ReadMapHeader<uint16_t>(slot);
            case TypeClass::Map32:
                return ReadMapHeader<uint32_t>(slot);
            default:
                result_.SetFailure(Format("Invalid MessagePack data at position %1.", Position()));
                return;
        }
    }

    // Completes a scalar (every setter first releases what the target held); the root's frame
    // is done with it.
    BindingProperty& Finish(BindingProperty& target) {
        if (&target == frames_.back().target) {
            frames_.pop_back();
        }
        return target;
    }

    // Reads a big-endian field of type `Bits` at the position; fails when it is truncated.
    template <class Bits>
    bool ReadBits(Bits& bits) {
        constexpr std::size_t kBytes = sizeof(Bits);
        if (size_ - position_ < kBytes) {
            result_.SetFailure(Format(TruncatedFieldMessage(kBytes), Position()));
            return false;
        }
        bits = LoadBigEndian<Bits>(data_ + position_);
        position_ += kBytes;
        return true;
    }

    static const char* TruncatedFieldMessage(std::size_t bytes) {
        switch (bytes) {
            case 1:
                return "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
            case 2:
                return "Invalid MessagePack data. 16-bit integer value at position %1 is "
                       "truncated.";
            case 4:
                return "Invalid MessagePack data. 32-bit integer value at position %1 is "
                       "truncated.";
            default:
                return "Invalid MessagePack data. 64-bit integer value at position %1 is "
                       "truncated.";
        }
    }

    template <class Bits>
    bool ReadLength(std::size_t& length) {
        Bits bits = 0;
        if (!ReadBits(bits)) {
            return false;
        }
        length = bits;
        return true;
    }

    template <class Bits>
    void ReadUnsigned(BindingProperty& target) {
        Bits bits = 0;
        if (ReadBits(bits)) {
            Finish(target).SetUnsigned(bits);
        }
    }

    template <class Bits, class Signed>
    void ReadSigned(BindingProperty& target) {
        Bits bits = 0;
        if (ReadBits(bits)) {
            Finish(target).SetSigned(static_cast<Signed>(bits));
        }
    }

    template <class Bits, class Floating>
    void ReadFloat(BindingProperty& target) {
        static_assert(sizeof(Bits) == sizeof(Floating));
        Bits bits = 0;
        if (!ReadBits(bits)) {
            return;
        }
        Floating value;
        std::memcpy(&value, &bits, sizeof(value));
        Finish(target).SetFloat(value);
    }

    // Takes `length` bytes at the position as text; fails, before touching any memory, when
    // fewer remain.
    bool ReadText(std::size_t length, std::string_view& text) {
        if (size_ - position_ < length) {
            result_.SetFailure(
                Format("Invalid MessagePack data. String of size %1 at position %2 is truncated.",
                       static_cast<uint64_t>(length), Position()));
            return false;
        }
        text = {reinterpret_cast<const char*>(data_ + position_), length};
        position_ += length;
        return true;
    }

    void ReadString(TypeClass type, BindingProperty& target) {
        std::size_t length = 0;
        std::string_view text;
        if (ReadStringLength(type, length) && ReadText(length, text)) {
            Finish(target).SetString(text);
        }
    }

    template <class Bits>
    void ReadBlob(BindingProperty& target) {
        std::size_t length = 0;
        if (!ReadLength<Bits>(length)) {
            return;
        }
        if (size_ - position_ < length) {
            result_.SetFailure(Format(
                "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.",
                static_cast<uint64_t>(length), Position()));
            return;
        }
        const std::span<const uint8_t> bytes(data_ + position_, length);
        position_ += length;
        Finish(target).SetBlob(bytes);
    }

    template <class Bits>
    void ReadArrayHeader(const Target& slot) {
        Bits count = 0;
        if (ReadBits(count)) {
            OpenArray(slot, count);
        }
    }

    template <class Bits>
    void ReadMapHeader(const Target& slot) {
        Bits pairs = 0;
        if (ReadBits(pairs)) {
            OpenMap(slot, pairs);
        }
    }

    void OpenArray(const Target& slot, uint32_t count) {
        Frame* frame = Open(slot);
        if (frame == nullptr) {
            return;
        }
        BindingProperty& target = *frame->target;
        target.MakeCollection();
        frame->count = count;
        const std::size_t room = target.Size() == 0 ? Reservation(count, 1) : 0;
        if (room > 1) {
            target.Reserve(room);
        }
    }

    void OpenMap(const Target& slot, uint32_t pairs) {
        Frame* frame = Open(slot);
        if (frame == nullptr) {
            return;
        }
        BindingProperty& target = *frame->target;
        target.MakeStructure();
        frame->count = uint64_t{pairs} * 2;
        const std::size_t room = target.Size() == 0 ? Reservation(pairs, 2) : 0;
        if (room > 1) {
            target.ReserveMembers(room);
        }
    }

    // The frame of a container being opened, within the nesting limit; null on failure.
    Frame* Open(const Target& slot) {
        const std::size_t depth = frames_.size() + (slot.isTop ? 0 : 1);
        if (depth > static_cast<std::size_t>(kMaxNestingDepth)) {
            result_.SetFailure(kNestingTooDeepMessage);
            return nullptr;
        }
        if (slot.isTop) {
            Frame& top = frames_.back();
            top.index = 0;
            return &top;
        }
        frames_.push_back(Frame{slot.value, 0, 0, {}});
        return &frames_.back();
    }

    // Room to make ahead for `count` items of at least `bytesEach` bytes: no more than the
    // remaining input can fill, and no more in total than the input has bytes, so a declared
    // count never decides the memory taken.
    std::size_t Reservation(uint32_t count, std::size_t bytesEach) {
        const std::size_t room = std::min(
            {static_cast<std::size_t>(count), (size_ - position_) / bytesEach, reservationBudget_});
        reservationBudget_ -= room;
        return room;
    }

    uint64_t Position() const { return position_; }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    BindingResult result_;
    std::vector<Frame> frames_;
    std::size_t reservationBudget_ = size_;
};

}  // namespace

BindingResult ReadMessagePack(const uint8_t* data, std::size_t size, std::size_t& consumed) {
    MessagePackReader reader(data, size);
    return reader.Run(consumed);
}

}  // namespace Velto
