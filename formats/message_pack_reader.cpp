#include "formats/message_pack_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/tree_assembler.h"
#include "diagnostics/format.h"
#include "formats/nesting_limit.h"
#include "formats/placing_builder.h"

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

// Places every value where the decoder says, member by member, as repeated keys need: a key
// names the member its value fills once the value starts, a container given again keeps what it
// holds (its elements are overwritten from the first one on), and nil resets. The interface is
// TreeAssembler's.
class DirectBuilder : public PlacesThroughNext<DirectBuilder> {
  public:
    explicit DirectBuilder(BindingProperty& root) noexcept : root_(root) {}

    BindingProperty* Next() noexcept {
        if (open_.empty()) {
            return &root_;
        }
        OpenContainer& top = open_.back();
        BindingProperty& child = top.container->Kind() == ValueKind::Collection
                                     ? top.container->At(top.index++)
                                     : top.container->Member(top.pendingKey);
        // A child that could not be made is a detached scratch root; building on it would lose
        // the value, and the next access would reset it under the containers opened in it.
        return child.OwnsContext() ? nullptr : &child;
    }
    bool Key(std::string_view name) noexcept {
        open_.back().pendingKey = name;
        return true;
    }
    bool OpenCollection(std::size_t /*expectedChildren*/) noexcept { return Open(false); }
    bool OpenStructure(std::size_t /*expectedChildren*/) noexcept { return Open(true); }
    bool Close() noexcept {
        open_.pop_back();
        return true;
    }
    bool RepeatedKey() const noexcept { return false; }

  private:
    struct OpenContainer {
        BindingProperty* container;
        std::size_t index;            // the next element (collections)
        std::string_view pendingKey;  // the last key, in the input (structures)
    };

    bool Open(bool isStructure) noexcept {
        BindingProperty* target = Next();
        if (target == nullptr) {
            return false;
        }
        if (isStructure) {
            target->MakeStructure();
        } else {
            target->MakeCollection();
        }
        open_.push_back(OpenContainer{target, 0, {}});
        return true;
    }

    BindingProperty& root_;
    std::vector<OpenContainer> open_;
};

// The decoder: frames count the elements and keys of the open containers, and `Builder`
// (DirectBuilder or TreeAssembler) places the values.
template <class Builder>
class MessagePackReader {
  public:
    MessagePackReader(const uint8_t* data, std::size_t size) noexcept
        : data_(data), size_(size), builder_(result_) {
        frames_.reserve(16);
    }

    // Decodes one value; false, with the result to be discarded, when the builder stopped at a
    // repeated key.
    bool Run(std::size_t& consumed, bool& complete) noexcept {
        // The bottom frame stands for the value itself; those above it are open containers.
        frames_.push_back(Frame{1, false});
        while (result_.succeeded) {
            Frame& top = frames_.back();
            if (top.left == 0) {
                if (frames_.size() == 1) {
                    break;
                }
                Close();
                continue;
            }
            if (position_ == size_) {
                break;
            }
            --top.left;
            if (top.isMap) {
                ReadKey(NextType());
                if (position_ == size_ || !result_.succeeded) {
                    break;
                }
            }
            ReadValue(NextType());
        }
        complete = frames_.size() == 1 && (frames_.back().left == 0 || size_ == 0);
        // Input that ends inside open containers ends them: they hold what was read.
        while (result_.succeeded && frames_.size() > 1 && Close()) {
        }
        consumed = position_;
        return !builder_.RepeatedKey();
    }

    BindingResult& Result() noexcept { return result_; }

  private:
    struct Frame {
        uint32_t left;  // elements, or pairs, not yet started
        bool isMap;
    };

    TypeClass NextType() noexcept { return kClassOf[data_[position_++]]; }

    bool Close() noexcept {
        frames_.pop_back();
        return Placed(builder_.Close());
    }

    // Passes `placed` on; a builder that failed for a reason other than a repeated key ran out
    // of memory.
    bool Placed(bool placed) noexcept {
        if (!placed && !builder_.RepeatedKey()) {
            result_.SetFailure(
                Format("Not enough memory for the MessagePack value at position %1.", Position()));
        }
        return placed;
    }

    BindingProperty* Target() noexcept {
        BindingProperty* target = builder_.Next();
        Placed(target != nullptr);
        return target;
    }

    template <class Scalar>
    void Store(Scalar value) noexcept {
        Placed(builder_.Store(value));
    }

    void ReadKey(TypeClass type) noexcept {
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
            Placed(builder_.Key(text));
        }
    }

    // The length of a fixstr or str 8/16/32 header; false for other types and on truncation.
    bool ReadStringLength(TypeClass type, std::size_t& length) noexcept {
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

    void ReadValue(TypeClass type) noexcept {
        switch (type) {
            case TypeClass::PositiveFixInt:
                return Store(int64_t{data_[position_ - 1]});
            case TypeClass::NegativeFixInt:
                return Store(int64_t{static_cast<int8_t>(data_[position_ - 1])});
            case TypeClass::Nil:
                if (BindingProperty* target = Target()) {
                    target->Reset();
                }
                return;
            case TypeClass::False:
                return Store(false);
            case TypeClass::True:
                return Store(true);
            case TypeClass::Float32:
                return ReadFloat<uint32_t, float>();
            case TypeClass::Float64:
                return ReadFloat<uint64_t, double>();
            case TypeClass::Uint8:
                return ReadUnsigned<uint8_t>();
            case TypeClass::Uint16:
                return ReadUnsigned<uint16_t>();
            case TypeClass::Uint32:
                return ReadUnsigned<uint32_t>();
            case TypeClass::Uint64:
                return ReadUnsigned<uint64_t>();
            case TypeClass::Int8:
                return ReadSigned<uint8_t, int8_t>();
            case TypeClass::Int16:
                return ReadSigned<uint16_t, int16_t>();
            case TypeClass::Int32:
                return ReadSigned<uint32_t, int32_t>();
            case TypeClass::Int64:
                return ReadSigned<uint64_t, int64_t>();
            case TypeClass::FixStr:
            case TypeClass::Str8:
            case TypeClass::Str16:
            case TypeClass::Str32:
                return ReadString(type);
            case TypeClass::Bin8:
                return ReadBlob<uint8_t>();
            case TypeClass::Bin16:
                return ReadBlob<uint16_t>();
            case TypeClass::Bin32:
                return ReadBlob<uint32_t>();
            case TypeClass::FixArray:
                return Open(false, data_[position_ - 1] & 0x0F);
            case TypeClass::Array16:
                return ReadHeader<uint16_t>(false);
            case TypeClass::Array32:
                return ReadHeader<uint32_t>(false);
            case TypeClass::FixMap:
                return Open(true, data_[position_ - 1] & 0x0F);
            case TypeClass::Map16:
                return ReadHeader<uint16_t>(true);
            case TypeClass::Map32:
                return ReadHeader<uint32_t>(true);
            default:
                result_.SetFailure(Format("Invalid MessagePack data at position %1.", Position()));
                return;
        }
    }

    // Reads a big-endian field of type `Bits` at the position; fails when it is truncated.
    template <class Bits>
    bool ReadBits(Bits& bits) noexcept {
        constexpr std::size_t kBytes = sizeof(Bits);
        if (size_ - position_ < kBytes) {
            result_.SetFailure(Format(TruncatedFieldMessage(kBytes), Position()));
            return false;
        }
        bits = LoadBigEndian<Bits>(data_ + position_);
        position_ += kBytes;
        return true;
    }

    static const char* TruncatedFieldMessage(std::size_t bytes) noexcept {
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
    bool ReadLength(std::size_t& length) noexcept {
        Bits bits = 0;
        if (!ReadBits(bits)) {
            return false;
        }
        length = bits;
        return true;
    }

    template <class Bits>
    void ReadUnsigned() noexcept {
        Bits bits = 0;
        if (ReadBits(bits)) {
            Store(uint64_t{bits});
        }
    }

    template <class Bits, class Signed>
    void ReadSigned() noexcept {
        Bits bits = 0;
        if (ReadBits(bits)) {
            Store(int64_t{static_cast<Signed>(bits)});
        }
    }

    template <class Bits, class Floating>
    void ReadFloat() noexcept {
        static_assert(sizeof(Bits) == sizeof(Floating));
        Bits bits = 0;
        if (!ReadBits(bits)) {
            return;
        }
        Floating value;
        std::memcpy(&value, &bits, sizeof(value));
        Store(static_cast<double>(value));
    }

    // Takes `length` bytes at the position as text; fails, before touching any memory, when
    // fewer remain.
    bool ReadText(std::size_t length, std::string_view& text) noexcept {
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

    void ReadString(TypeClass type) noexcept {
        std::size_t length = 0;
        std::string_view text;
        if (ReadStringLength(type, length) && ReadText(length, text)) {
            Placed(builder_.StoreText(text));
        }
    }

    template <class Bits>
    void ReadBlob() noexcept {
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
        if (BindingProperty* target = Target()) {
            target->SetBlob(bytes);
        }
    }

    template <class Bits>
    void ReadHeader(bool isMap) noexcept {
        Bits count = 0;
        if (ReadBits(count)) {
            Open(isMap, count);
        }
    }

    // Opens an array of `count` elements or a map of `count` pairs, within the nesting limit.
    // The count only decides when the container ends: what it holds follows the bytes present.
    void Open(bool isMap, uint32_t count) noexcept {
        if (frames_.size() - 1 == static_cast<std::size_t>(kMaxNestingDepth)) {
            result_.SetFailure(kNestingTooDeepMessage);
            return;
        }
        // Every child takes at least one byte.
        const std::size_t present = std::min<std::size_t>(count, size_ - position_);
        if (Placed(isMap ? builder_.OpenStructure(present) : builder_.OpenCollection(present))) {
            frames_.push_back(Frame{count, isMap});
        }
    }

    uint64_t Position() const noexcept { return position_; }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    BindingResult result_;
    Builder builder_;
    std::vector<Frame> frames_;
};

}  // namespace

BindingResult ReadMessagePack(const uint8_t* data, std::size_t size, std::size_t& consumed,
                              bool& complete) {
    // Assembling containers whole is fast but cannot let a repeated key write into the member
    // its first occurrence made; the rare input that repeats a key is read again member by
    // member.
    MessagePackReader<TreeAssembler> reader(data, size);
    if (reader.Run(consumed, complete)) {
        return std::move(reader.Result());
    }
    MessagePackReader<DirectBuilder> again(data, size);
    again.Run(consumed, complete);
    return std::move(again.Result());
}

BindingResult ReadMessagePack(const uint8_t* data, std::size_t size, std::size_t& consumed) {
    bool complete = false;
    return ReadMessagePack(data, size, consumed, complete);
}

}  // namespace Velto
