// Fuzzes the conversions of outside input: random host value trees (null pointers with counts,
// borrowed and owned parts, unknown tags, deep nesting) through FromHostValue, and random dynamic
// values, both converted into a record with a field of every kind, written back, and sent out
// through ToHostValue and freed. AddressSanitizer catches reads out of bounds and leaks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "binding/host_value_conversion.h"
#include "diagnostics/memory_statistics.h"

namespace {

using Velto::BindingProperty;
using Velto::Client::HostObjectEntry;
using Velto::Client::HostValue;

enum class Colour : int32_t { Red = 1, Green = 2, Blue = -3 };
enum class Tiny : uint8_t { A = 0, B = 200 };

struct Inner {
    int32_t x = 0;
    std::string label;
};

struct Everything {
    bool flag = false;
    int8_t i8 = 0;
    uint8_t u8 = 0;
    int16_t i16 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::string text;
    BindingProperty object;
    std::vector<uint8_t> blob;
    Colour colour = Colour::Red;
    Tiny tiny = Tiny::A;
    Inner inner;
    std::vector<int32_t> numbers;
    std::vector<bool> flags;
    std::unordered_map<std::string, double> reals;
    std::vector<Inner> inners;
    std::unordered_map<std::string, Colour> colours;
    std::vector<std::vector<std::string>> grid;
    std::optional<Inner> maybeInner;
    std::optional<int16_t> maybeNumber;
};

#define FIELD(member) Field<decltype(Everything::member)>(#member, offsetof(Everything, member))

const Velto::BindingRegistry& Registry() {
    static Velto::BindingRegistry registry;
    static const bool registered = [] {
        registry.RegisterEnum<Colour>("Colour").Value("Red", 1).Value("Green", 2).Value("Blue", -3);
        registry.RegisterEnum<Tiny>("Tiny").Value("A", 0).Value("B", 200);
        registry.RegisterStruct<Inner>("Inner")
            .Field<int32_t>("x", offsetof(Inner, x), "", Velto::kFieldRequired)
            .Field<std::string>("label", offsetof(Inner, label), "", Velto::kFieldOmitZero);
        registry.RegisterStruct<Everything>("Everything")
            .FIELD(flag)
            .FIELD(i8)
            .FIELD(u8)
            .FIELD(i16)
            .FIELD(u16)
            .FIELD(i32)
            .FIELD(u32)
            .FIELD(i64)
            .FIELD(u64)
            .FIELD(f32)
            .FIELD(f64)
            .FIELD(text)
            .FIELD(object)
            .FIELD(blob)
            .FIELD(colour)
            .FIELD(tiny)
            .FIELD(inner)
            .FIELD(numbers)
            .FIELD(flags)
            .FIELD(reals)
            .FIELD(inners)
            .FIELD(colours)
            .FIELD(grid)
            .FIELD(maybeInner)
            .FIELD(maybeNumber);
        return true;
    }();
    (void)registered;
    return registry;
}

// Reads the fuzzer's bytes; past the end everything reads as zero.
class Input {
  public:
    Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
    uint64_t Number() {
        uint64_t value = 0;
        for (int index = 0; index < 8; ++index) {
            value = (value << 8) | Byte();
        }
        return value;
    }
    // Up to `limit` bytes of the input itself, as a view that stays valid.
    std::string_view Text(std::size_t limit) {
        const std::size_t wanted = std::min<std::size_t>(Byte() % (limit + 1), size_ - position_);
        const auto* start = reinterpret_cast<const char*>(data_ + position_);
        position_ += wanted;
        return std::string_view(start, wanted);
    }
    bool Done() const { return position_ >= size_; }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Host texts are NUL-terminated: borrowed ones point into this pool of copies.
struct Borrowed {
    std::deque<std::string> texts;
    const char* Keep(std::string_view text) {
        texts.emplace_back(text);
        return texts.back().c_str();
    }
};

constexpr uint32_t kMaxBuildDepth = 24;

HostValue MakeHost(Input& input, Borrowed& borrowed, uint32_t depth);

HostValue NullHost() {
    HostValue value;
    std::memset(&value, 0, sizeof value);
    return value;
}

// A chain of arrays deep enough to pass the nesting cap.
HostValue DeepChain(Input& input) {
    const std::size_t depth = 500 + input.Byte() % 40;
    HostValue root = NullHost();
    HostValue* level = &root;
    for (std::size_t index = 0; index < depth; ++index) {
        auto* item = static_cast<HostValue*>(Velto::CountedAllocate(sizeof(HostValue)));
        *item = NullHost();
        level->type = Velto::Client::kHostArray;
        level->payload.array = HostValue::Array{item, 1};
        level = item;
    }
    return root;
}

HostValue MakeHost(Input& input, Borrowed& borrowed, uint32_t depth) {
    HostValue value = NullHost();
    const uint8_t choice = input.Byte();
    value.type = choice % 13;
    switch (value.type) {
        case Velto::Client::kHostBool:
            value.payload.boolean = input.Byte();
            break;
        case Velto::Client::kHostSigned:
        case Velto::Client::kHostUnsigned:
            value.payload.unsignedValue = input.Number();
            break;
        case Velto::Client::kHostFloat: {
            const uint64_t bits = input.Number();
            std::memcpy(&value.payload.floatValue, &bits, sizeof bits);
            break;
        }
        case Velto::Client::kHostBorrowedText:
        case Velto::Client::kHostOwnedText: {
            const std::string_view text = input.Text(24);
            const bool nullPointer = (choice & 0x80) != 0;
            const char* data = value.type == Velto::Client::kHostOwnedText
                                   ? Velto::CountedDuplicate(std::string(text).c_str())
                                   : borrowed.Keep(text);
            if (nullPointer) {
                if (value.type == Velto::Client::kHostOwnedText) {
                    Velto::CountedRelease(const_cast<char*>(data));
                }
                data = nullptr;
            }
            value.payload.text = HostValue::Text{data, static_cast<uint32_t>(text.size())};
            break;
        }
        case Velto::Client::kHostBorrowedBytes:
        case Velto::Client::kHostOwnedBytes: {
            const std::string_view bytes = input.Text(16);
            uint8_t* data = nullptr;
            if ((choice & 0x80) == 0) {
                data = static_cast<uint8_t*>(Velto::CountedAllocate(bytes.size() + 1));
                std::memcpy(data, bytes.data(), bytes.size());
            }
            if (value.type == Velto::Client::kHostBorrowedBytes && data != nullptr) {
                // Borrowed bytes are not freed with the tree: keep them in the text pool.
                const char* kept = borrowed.Keep(bytes);
                Velto::CountedRelease(data);
                data = reinterpret_cast<uint8_t*>(const_cast<char*>(kept));
            }
            value.payload.bytes = HostValue::Bytes{data, static_cast<uint32_t>(bytes.size())};
            break;
        }
        case Velto::Client::kHostArray: {
            if ((choice & 0x80) != 0 && (choice & 0x40) != 0) {
                return DeepChain(input);
            }
            const uint32_t count = depth < kMaxBuildDepth ? input.Byte() % 6 : 0;
            HostValue* items = nullptr;
            if ((choice & 0x80) == 0 && count != 0) {
                items = static_cast<HostValue*>(Velto::CountedAllocate(count * sizeof(HostValue)));
                for (uint32_t index = 0; index < count; ++index) {
                    items[index] = MakeHost(input, borrowed, depth + 1);
                }
            }
            value.payload.array = HostValue::Array{items, items != nullptr ? count : count + 1};
            break;
        }
        case Velto::Client::kHostObject: {
            const uint32_t count = depth < kMaxBuildDepth ? input.Byte() % 6 : 0;
            HostObjectEntry* entries = nullptr;
            if ((choice & 0x80) == 0 && count != 0) {
                entries = static_cast<HostObjectEntry*>(
                    Velto::CountedAllocate(count * sizeof(HostObjectEntry)));
                for (uint32_t index = 0; index < count; ++index) {
                    HostObjectEntry& entry = entries[index];
                    const uint8_t keyKind = input.Byte() % 4;
                    const std::string key(input.Text(10));
                    entry.ownsKey = keyKind == 1 ? 1 : 0;
                    entry.key = keyKind == 0   ? nullptr
                                : keyKind == 1 ? Velto::CountedDuplicate(key.c_str())
                                               : borrowed.Keep(key);
                    entry.value = MakeHost(input, borrowed, depth + 1);
                }
            }
            value.payload.object =
                HostValue::Object{entries, entries != nullptr ? count : count + 1};
            break;
        }
        default:
            break;
    }
    return value;
}

// A dynamic value of any kind, with names of the record's fields among its member names.
void MakeDynamic(BindingProperty& value, Input& input, uint32_t depth) {
    static const char* const kNames[] = {
        "flag",    "i8",   "u8",    "i16",     "u16",   "i32",        "u32",
        "i64",     "u64",  "f32",   "f64",     "text",  "object",     "blob",
        "colour",  "tiny", "inner", "numbers", "flags", "reals",      "inners",
        "colours", "grid", "x",     "label",   "",      "maybeInner", "maybeNumber",
    };
    switch (input.Byte() % 11) {
        case 0:
            value.Reset();
            break;
        case 1:
            value = (input.Byte() & 1) != 0;
            break;
        case 2:
            value = static_cast<int64_t>(input.Number());
            break;
        case 3:
            value = input.Number();
            break;
        case 4: {
            const uint64_t bits = input.Number();
            double real = 0;
            std::memcpy(&real, &bits, sizeof bits);
            value = real;
            break;
        }
        case 5:
        case 6:
            value = input.Text(24);
            break;
        case 7: {
            const std::string_view bytes = input.Text(16);
            value = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()),
                                             bytes.size());
            break;
        }
        case 8:
            value =
                Velto::EnumValue{static_cast<int32_t>(input.Number()),
                                 (input.Byte() & 1) != 0 ? &Velto::StaticType::HashCode<Colour>()
                                                         : &Velto::StaticType::HashCode<Tiny>()};
            break;
        case 9: {
            value.MakeCollection();
            const uint32_t count = depth < kMaxBuildDepth ? input.Byte() % 6 : 0;
            for (uint32_t index = 0; index < count; ++index) {
                MakeDynamic(value.Append(), input, depth + 1);
            }
            break;
        }
        default: {
            value.MakeStructure();
            const uint32_t count = depth < kMaxBuildDepth ? input.Byte() % 8 : 0;
            for (uint32_t index = 0; index < count; ++index) {
                const uint8_t pick = input.Byte();
                const std::string name = pick < 200 ? std::string(kNames[pick % std::size(kNames)])
                                                    : std::string(input.Text(8));
                MakeDynamic(value.Member(name), input, depth + 1);
            }
            break;
        }
    }
}

// Into the record and back out, then through the host boundary and freed.
void ConvertEverything(const BindingProperty& value) {
    const Velto::BindingRegistry& registry = Registry();
    Everything record;
    Velto::BindingResult status;
    Velto::ToNative(status, record, value, "payload", registry);
    Velto::BindingResult written;
    Velto::FromNative(written, record, registry);
    std::vector<Everything> records;
    Velto::BindingResult listStatus;
    Velto::ToNative(listStatus, records, value, "payload", registry);
    for (const BindingProperty* tree : {&value, static_cast<const BindingProperty*>(&written)}) {
        HostValue host = NullHost();
        Velto::ToHostValue(host, *tree, &registry);
        Velto::Client::HostResponse response;
        std::memset(&response, 0, sizeof response);
        BindingProperty back;
        Velto::FromHostValue(response, back, host, "back");
        Velto::FreeHostValue(host);
        Velto::FreeHostValue(response.body);
        Velto::CountedRelease(response.errorMessage);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Input input(data, size);
    Borrowed borrowed;
    HostValue host = MakeHost(input, borrowed, 0);
    Velto::Client::HostResponse response;
    std::memset(&response, 0, sizeof response);
    response.body = MakeHost(input, borrowed, kMaxBuildDepth);
    BindingProperty property;
    Velto::FromHostValue(response, property, host, "payload");
    Velto::FreeHostValue(host);
    Velto::FreeHostValue(response.body);
    Velto::CountedRelease(response.errorMessage);
    ConvertEverything(property);

    BindingProperty dynamic;
    MakeDynamic(dynamic, input, 0);
    ConvertEverything(dynamic);
    return 0;
}
