#include "binding/host_value_conversion.h"

#include <cstring>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "diagnostics/format.h"
#include "diagnostics/memory_statistics.h"

namespace Velto {
namespace {

using Client::HostObjectEntry;
using Client::HostValue;

const char* TagText(uint32_t tag) {
    switch (tag) {
        case Client::kHostBool:
            return "bool";
        case Client::kHostSigned:
            return "signed";
        case Client::kHostUnsigned:
            return "unsigned";
        case Client::kHostFloat:
            return "float";
        case Client::kHostBorrowedText:
        case Client::kHostOwnedText:
            return "string";
        case Client::kHostBorrowedBytes:
        case Client::kHostOwnedBytes:
            return "blob";
        case Client::kHostArray:
            return "collection";
        case Client::kHostObject:
            return "structure";
        default:
            return "";
    }
}

// Reads a host tree into a dynamic value; the first failure's message ends the walk.
class HostReader {
  public:
    explicit HostReader(std::string_view name) : name_(name) {}

    bool Read(BindingProperty& property, const HostValue& value, uint32_t depth) {
        switch (value.type) {
            case Client::kHostNull:
                property.Reset();
                return true;
            case Client::kHostBool:
                property.SetBool(value.payload.boolean != 0);
                return true;
            case Client::kHostSigned:
                property.SetSigned(value.payload.signedValue);
                return true;
            case Client::kHostUnsigned:
                property.SetUnsigned(value.payload.unsignedValue);
                return true;
            case Client::kHostFloat:
                property.SetFloat(value.payload.floatValue);
                return true;
            case Client::kHostBorrowedText:
            case Client::kHostOwnedText:
                return ReadText(property, value);
            case Client::kHostBorrowedBytes:
            case Client::kHostOwnedBytes:
                return ReadBytes(property, value);
            case Client::kHostArray:
                return ReadArray(property, value, depth);
            case Client::kHostObject:
                return ReadObject(property, value, depth);
            default:
                return Incompatible(value.type);
        }
    }

    const std::string& Message() const { return message_; }

  private:
    bool Incompatible(uint32_t tag) {
        message_ = Format(
            "Couldn't assign value to '%1' of type object because the input is of an "
            "incompatible type '%2'.",
            name_, TagText(tag));
        return false;
    }

    bool TooDeep() {
        message_ = Format(
            "Couldn't assign value to '%1' of type object because the input is nested deeper "
            "than %2 levels.",
            name_, kMaxHostValueDepth);
        return false;
    }

    bool ReadText(BindingProperty& property, const HostValue& value) {
        const HostValue::Text text = value.payload.text;
        if (text.data == nullptr && text.length != 0) {
            return Incompatible(value.type);
        }
        // The text ends at its length or at its first NUL, whichever comes first, so that a
        // length overstating a zero-terminated text never reads past the terminator.
        std::size_t length = 0;
        if (text.data != nullptr) {
            const void* terminator = std::memchr(text.data, '\0', text.length);
            length =
                terminator != nullptr
                    ? static_cast<std::size_t>(static_cast<const char*>(terminator) - text.data)
                    : text.length;
        }
        property.SetString(std::string_view(text.data, length));
        return true;
    }

    bool ReadBytes(BindingProperty& property, const HostValue& value) {
        const HostValue::Bytes bytes = value.payload.bytes;
        if (bytes.data == nullptr && bytes.size != 0) {
            return Incompatible(value.type);
        }
        property.SetBlob(bytes.data != nullptr ? std::span<const uint8_t>(bytes.data, bytes.size)
                                               : std::span<const uint8_t>());
        return true;
    }

    bool ReadArray(BindingProperty& property, const HostValue& value, uint32_t depth) {
        const HostValue::Array array = value.payload.array;
        if (array.items == nullptr && array.count != 0) {
            return Incompatible(value.type);
        }
        if (depth >= kMaxHostValueDepth) {
            return TooDeep();
        }
        property.Reset();
        if (!property.Reserve(array.count)) {
            return Incompatible(value.type);
        }
        for (uint32_t index = 0; index < array.count; ++index) {
            if (!Read(property.At(index), array.items[index], depth + 1)) {
                return false;
            }
        }
        return true;
    }

    bool ReadObject(BindingProperty& property, const HostValue& value, uint32_t depth) {
        const HostValue::Object object = value.payload.object;
        if (object.entries == nullptr && object.count != 0) {
            return Incompatible(value.type);
        }
        if (depth >= kMaxHostValueDepth) {
            return TooDeep();
        }
        property.Reset();
        property.MakeStructure();
        for (uint32_t index = 0; index < object.count; ++index) {
            const HostObjectEntry& entry = object.entries[index];
            if (entry.key == nullptr) {
                return Incompatible(value.type);
            }
            if (!Read(property.Member(entry.key), entry.value, depth + 1)) {
                return false;
            }
        }
        return true;
    }

    std::string_view name_;
    std::string message_;
};

char* CopyText(std::string_view text) {
    auto* copy = static_cast<char*>(CountedAllocate(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
    }
    return copy;
}

template <class T>
T* ZeroedArray(std::size_t count) {
    void* block = CountedAllocate(count * sizeof(T));
    if (block != nullptr) {
        std::memset(block, 0, count * sizeof(T));
    }
    return static_cast<T*>(block);
}

HostValue NullValue() {
    HostValue value;
    std::memset(&value, 0, sizeof value);
    return value;
}

// Writes a dynamic value as a host tree of owned parts.
class HostWriter {
  public:
    explicit HostWriter(const BindingRegistry* registry) : registry_(registry) {}

    bool Write(HostValue& output, const BindingProperty& property, uint32_t depth) {
        output = NullValue();
        switch (property.Kind()) {
            case ValueKind::Empty:
                return true;
            case ValueKind::Bool:
                output.type = Client::kHostBool;
                output.payload.boolean = property.GetBool() ? 1 : 0;
                return true;
            case ValueKind::Signed:
                output.type = Client::kHostSigned;
                output.payload.signedValue = property.GetSigned();
                return true;
            case ValueKind::Unsigned:
                output.type = Client::kHostUnsigned;
                output.payload.unsignedValue = property.GetUnsigned();
                return true;
            case ValueKind::Float:
                output.type = Client::kHostFloat;
                output.payload.floatValue = property.GetFloat();
                return true;
            case ValueKind::String:
                return WriteText(output, property.GetString());
            case ValueKind::Blob:
                return WriteBytes(output, property.GetBlob());
            case ValueKind::Enum:
                return WriteEnum(output, property.GetEnum());
            case ValueKind::Collection:
                return WriteArray(output, property, depth);
            case ValueKind::Structure:
                return WriteObject(output, property, depth);
            default:
                return true;
        }
    }

  private:
    static bool WriteText(HostValue& output, std::string_view text) {
        char* copy = CopyText(text);
        if (copy == nullptr) {
            return false;
        }
        output.type = Client::kHostOwnedText;
        output.payload.text = HostValue::Text{copy, static_cast<uint32_t>(text.size())};
        return true;
    }

    static bool WriteBytes(HostValue& output, std::span<const uint8_t> bytes) {
        uint8_t* copy = nullptr;
        if (!bytes.empty()) {
            copy = static_cast<uint8_t*>(CountedAllocate(bytes.size()));
            if (copy == nullptr) {
                return false;
            }
            std::memcpy(copy, bytes.data(), bytes.size());
        }
        output.type = Client::kHostOwnedBytes;
        output.payload.bytes = HostValue::Bytes{copy, static_cast<uint32_t>(bytes.size())};
        return true;
    }

    bool WriteEnum(HostValue& output, EnumValue value) {
        if (registry_ != nullptr) {
            if (const std::string* name = ValueName(value.identity, value.value, registry_)) {
                return WriteText(output, *name);
            }
        }
        output.type = Client::kHostSigned;
        output.payload.signedValue = value.value;
        return true;
    }

    bool WriteArray(HostValue& output, const BindingProperty& property, uint32_t depth) {
        if (depth >= kMaxHostValueDepth) {
            return false;
        }
        const std::span<const BindingProperty> elements = property.Elements();
        HostValue* items = nullptr;
        if (!elements.empty()) {
            items = ZeroedArray<HostValue>(elements.size());
            if (items == nullptr) {
                return false;
            }
        }
        output.type = Client::kHostArray;
        output.payload.array = HostValue::Array{items, static_cast<uint32_t>(elements.size())};
        for (std::size_t index = 0; index < elements.size(); ++index) {
            if (!Write(items[index], elements[index], depth + 1)) {
                return false;
            }
        }
        return true;
    }

    bool WriteObject(HostValue& output, const BindingProperty& property, uint32_t depth) {
        if (depth >= kMaxHostValueDepth) {
            return false;
        }
        const std::size_t count = property.Size();
        HostObjectEntry* entries = nullptr;
        if (count != 0) {
            entries = ZeroedArray<HostObjectEntry>(count);
            if (entries == nullptr) {
                return false;
            }
        }
        output.type = Client::kHostObject;
        output.payload.object = HostValue::Object{entries, static_cast<uint32_t>(count)};
        std::size_t index = 0;
        for (const MemberEntry& member : property.Members()) {
            HostObjectEntry& entry = entries[index++];
            entry.key = CopyText(member.Name());
            if (entry.key == nullptr) {
                return false;
            }
            entry.ownsKey = 1;
            if (!Write(entry.value, member.Value(), depth + 1)) {
                return false;
            }
        }
        return true;
    }

    const BindingRegistry* registry_;
};

// Frees the text or bytes a scalar owns; arrays and objects are left to the caller's walk.
void ReleaseOwnedScalar(const HostValue& value) {
    if (value.type == Client::kHostOwnedText) {
        CountedRelease(const_cast<char*>(value.payload.text.data));
    } else if (value.type == Client::kHostOwnedBytes) {
        CountedRelease(const_cast<uint8_t*>(value.payload.bytes.data));
    }
}

// Queues the items of an array or the values of an object, releasing the object's owned keys;
// returns the block that holds them, to be released after them. Null for anything else.
void* QueueChildren(const HostValue& value, std::vector<HostValue*>& pending) {
    if (value.type == Client::kHostArray && value.payload.array.items != nullptr) {
        const HostValue::Array array = value.payload.array;
        pending.reserve(pending.size() + array.count);
        for (uint32_t index = 0; index < array.count; ++index) {
            pending.push_back(&array.items[index]);
        }
        return array.items;
    }
    if (value.type == Client::kHostObject && value.payload.object.entries != nullptr) {
        const HostValue::Object object = value.payload.object;
        pending.reserve(pending.size() + object.count);
        for (uint32_t index = 0; index < object.count; ++index) {
            HostObjectEntry& entry = object.entries[index];
            if (entry.ownsKey != 0) {
                CountedRelease(const_cast<char*>(entry.key));
            }
            pending.push_back(&entry.value);
        }
        return object.entries;
    }
    return nullptr;
}

}  // namespace

bool FromHostValue(Client::HostResponse& hostResult, BindingProperty& property,
                   const Client::HostValue& hostValue, std::string_view name) {
    HostReader reader(name);
    if (reader.Read(property, hostValue, 0)) {
        return true;
    }
    FreeHostValue(hostResult.body);
    CountedRelease(hostResult.errorMessage);
    hostResult.errorMessage = CopyText(reader.Message());
    hostResult.errorFlag = 1;
    return false;
}

bool ToHostValue(Client::HostValue& hostValue, const BindingProperty& property,
                 const BindingRegistry* registry) {
    HostWriter writer(registry);
    return writer.Write(hostValue, property, 0);
}

void FreeHostValue(Client::HostValue& hostValue) {
    // A work list instead of recursion: the tree may come from outside and be of any depth. The
    // lists stay empty, and so unallocated, for a scalar, the usual answer.
    std::vector<HostValue*> pending;
    std::vector<void*> arrays;
    for (HostValue* value = &hostValue;;) {
        if (void* children = QueueChildren(*value, pending)) {
            arrays.push_back(children);
        } else {
            ReleaseOwnedScalar(*value);
        }
        *value = NullValue();
        if (pending.empty()) {
            break;
        }
        value = pending.back();
        pending.pop_back();
    }
    for (void* block : arrays) {
        CountedRelease(block);
    }
}

}  // namespace Velto
