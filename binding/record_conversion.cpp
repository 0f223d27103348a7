#include "binding/record_conversion.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "diagnostics/format.h"

namespace Velto {
namespace {

constexpr const char* kUnregisteredNative =
    "Couldn't convert native value because it's an unregistered structure.";

void* FieldAddress(void* record, const FieldDescriptor& field) {
    return static_cast<char*>(record) + field.offset;
}

const void* FieldAddress(const void* record, const FieldDescriptor& field) {
    return static_cast<const char*>(record) + field.offset;
}

const BindingRegistry* RegistryOf(const FieldDescriptor& field) {
    return field.owner != nullptr ? field.owner->registry : nullptr;
}

std::string NoConverterMessage(std::string_view name) {
    return Format("Couldn't convert '%1' because its type has no converter.", name);
}

void ReadThroughConverter(BindingResult& status, void* native, const BindingProperty& input,
                          const FieldDescriptor& field) {
    if (field.converter == nullptr) {
        status.SetFailure(NoConverterMessage(field.name));
        return;
    }
    field.converter->FromProperty(status, native, input, field.name);
}

bool WriteThroughConverter(BindingProperty& output, const void* native,
                           const FieldDescriptor& field, std::string& error) {
    if (field.converter == nullptr) {
        error = NoConverterMessage(field.name);
        return false;
    }
    return field.converter->WriteInto(output, native, error);
}

// Calls `visit` with a null pointer of the native type of the scalar-like `kind` (1 to 14);
// returns false for the other kinds.
template <class Visit>
bool WithScalarType(TypeKind kind, Visit&& visit) {
    switch (kind) {
        case TypeKind::Bool:
            visit(static_cast<bool*>(nullptr));
            return true;
        case TypeKind::Int8:
            visit(static_cast<int8_t*>(nullptr));
            return true;
        case TypeKind::Uint8:
            visit(static_cast<uint8_t*>(nullptr));
            return true;
        case TypeKind::Int16:
            visit(static_cast<int16_t*>(nullptr));
            return true;
        case TypeKind::Uint16:
            visit(static_cast<uint16_t*>(nullptr));
            return true;
        case TypeKind::Int32:
            visit(static_cast<int32_t*>(nullptr));
            return true;
        case TypeKind::Uint32:
            visit(static_cast<uint32_t*>(nullptr));
            return true;
        case TypeKind::Int64:
            visit(static_cast<int64_t*>(nullptr));
            return true;
        case TypeKind::Uint64:
            visit(static_cast<uint64_t*>(nullptr));
            return true;
        case TypeKind::Float:
            visit(static_cast<float*>(nullptr));
            return true;
        case TypeKind::Double:
            visit(static_cast<double*>(nullptr));
            return true;
        case TypeKind::String:
            visit(static_cast<std::string*>(nullptr));
            return true;
        case TypeKind::Object:
            visit(static_cast<BindingProperty*>(nullptr));
            return true;
        case TypeKind::Blob:
            visit(static_cast<std::vector<uint8_t>*>(nullptr));
            return true;
        default:
            return false;
    }
}

// Calls `visit` with a null pointer of the native type the generic walk knows for `spec`: the
// scalar-like kinds, and vectors and maps of them.
template <class Visit>
bool WithNativeType(const TypeSpec& spec, Visit&& visit) {
    switch (spec.kind) {
        case TypeKind::Vector:
            return WithScalarType(spec.elementKind, [&](auto* element) {
                using Element = std::remove_pointer_t<decltype(element)>;
                visit(static_cast<std::vector<Element>*>(nullptr));
            });
        case TypeKind::Map:
            return WithScalarType(spec.elementKind, [&](auto* element) {
                using Element = std::remove_pointer_t<decltype(element)>;
                visit(static_cast<std::unordered_map<std::string, Element>*>(nullptr));
            });
        default:
            return WithScalarType(spec.kind, visit);
    }
}

// Enumerations are stored in their registered size; a number of 8 bytes is sign-extended.
bool ReadEnumBySize(BindingResult& status, void* native, const BindingProperty& input,
                    const FieldDescriptor& field) {
    const TypeDescriptor* descriptor = field.spec.descriptor;
    if (descriptor == nullptr) {
        return false;
    }
    switch (descriptor->size) {
        case 1:
            *static_cast<int8_t*>(native) =
                static_cast<int8_t>(ToEnum(status, input, field.name, descriptor));
            return true;
        case 2:
            *static_cast<int16_t*>(native) =
                static_cast<int16_t>(ToEnum(status, input, field.name, descriptor));
            return true;
        case 4:
            *static_cast<int32_t*>(native) = ToEnum(status, input, field.name, descriptor);
            return true;
        case 8:
            *static_cast<int64_t*>(native) = ToEnum(status, input, field.name, descriptor);
            return true;
        default:
            return false;
    }
}

bool WriteEnumBySize(BindingProperty& output, const void* native, const FieldDescriptor& field) {
    const TypeDescriptor* descriptor = field.spec.descriptor;
    if (descriptor == nullptr) {
        return false;
    }
    int64_t number = 0;
    switch (descriptor->size) {
        case 1:
            number = *static_cast<const int8_t*>(native);
            break;
        case 2:
            number = *static_cast<const int16_t*>(native);
            break;
        case 4:
            number = *static_cast<const int32_t*>(native);
            break;
        case 8:
            number = *static_cast<const int64_t*>(native);
            break;
        default:
            return false;
    }
    output.SetEnum(static_cast<int32_t>(number), descriptor->identity);
    return true;
}

// Writes one member per field, visiting fields in `order` (indices into the fields).
template <class Order>
bool WriteMembers(BindingProperty& output, const void* record, const TypeDescriptor& descriptor,
                  const Order& order, std::string& error) {
    output.Reset();
    output.ReserveMembers(descriptor.fields.size());
    for (const uint32_t index : order) {
        const FieldDescriptor& field = descriptor.fields[index];
        if ((field.flags & kFieldOmitZero) == 0) {
            if (!WriteFieldInto(output.Member(field.name, field.nameHash), record, field, error)) {
                return false;
            }
            continue;
        }
        // Only a finished value tells whether it is zero: build it aside.
        BindingResult scratch;
        if (!WriteFieldInto(scratch, record, field, error)) {
            return false;
        }
        if (!scratch.IsZero()) {
            output.Member(field.name, field.nameHash).Take(scratch);
        }
    }
    return true;
}

// The indices 0 .. size - 1, without storing them.
struct RegistrationOrder {
    explicit RegistrationOrder(const TypeDescriptor& descriptor)
        : size(static_cast<uint32_t>(descriptor.fields.size())) {}
    struct Iterator {
        uint32_t index;
        uint32_t operator*() const { return index; }
        Iterator& operator++() {
            ++index;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index != other.index; }
    };
    Iterator begin() const { return Iterator{0}; }
    Iterator end() const { return Iterator{size}; }
    uint32_t size;
};

}  // namespace

bool FieldConverter::WriteInto(BindingProperty& output, const void* field,
                               std::string& error) const {
    BindingResult scratch;
    ToProperty(scratch, field);
    if (!scratch.succeeded) {
        error.assign(scratch.FailureMessage());
        return false;
    }
    output.Take(scratch);
    return true;
}

void ReadField(BindingResult& status, void* record, const BindingProperty& input,
               const FieldDescriptor& field) {
    if (!status.succeeded) {
        return;
    }
    void* native = FieldAddress(record, field);
    const TypeKind kind = field.spec.kind;
    const bool viaConverter = field.optional || kind == TypeKind::Callback ||
                              (kind == TypeKind::Blob && field.converter != nullptr);
    if (viaConverter) {
        ReadThroughConverter(status, native, input, field);
        return;
    }
    if (kind == TypeKind::Struct) {
        ToStruct(status, native, input, field.spec.descriptor, field.name);
        return;
    }
    if (kind == TypeKind::Enum && ReadEnumBySize(status, native, input, field)) {
        return;
    }
    const BindingRegistry* registry = RegistryOf(field);
    const bool generic = WithNativeType(field.spec, [&](auto* type) {
        using Native = std::remove_pointer_t<decltype(type)>;
        ReadNative(status, *static_cast<Native*>(native), input, field.name, field.spec, registry);
    });
    if (!generic) {
        ReadThroughConverter(status, native, input, field);
    }
}

void ToStruct(BindingResult& status, void* record, const BindingProperty& input,
              const TypeDescriptor* descriptor, std::string_view name) {
    if (!status.succeeded || !RequireValue(status, input, name)) {
        return;
    }
    if (descriptor == nullptr) {
        status.SetFailure(
            Format("Couldn't assign value to '%1' because the input is an "
                   "unregistered structure or not a structure at all.",
                   name));
        return;
    }
    if (input.Kind() != ValueKind::Structure) {
        status.SetFailure(
            Format("Couldn't assign value to '%1' of type %2 because the input not a structure.",
                   name, descriptor->name));
        return;
    }
    for (const FieldDescriptor& field : descriptor->fields) {
        if (!status.succeeded) {
            return;
        }
        const BindingProperty& member = input.FindNear(field.name, field.memberRank);
        if (!member.IsEmpty()) {
            ReadField(status, record, member, field);
        } else if ((field.flags & kFieldRequired) != 0) {
            status.SetFailure(
                Format("Couldn't assign value to '%1' of type %2 because the input "
                       "structure doesn't have required field '%3'.",
                       name, descriptor->name, field.name));
        }
    }
}

bool WriteFieldInto(BindingProperty& output, const void* record, const FieldDescriptor& field,
                    std::string& error) {
    const void* native = FieldAddress(record, field);
    const TypeKind kind = field.spec.kind;
    if (field.optional || kind == TypeKind::Callback) {
        return WriteThroughConverter(output, native, field, error);
    }
    if (kind == TypeKind::Struct) {
        return WriteStructInto(output, native, field.spec.descriptor, error);
    }
    if (kind == TypeKind::Enum && WriteEnumBySize(output, native, field)) {
        return true;
    }
    bool written = true;
    const bool generic = WithNativeType(field.spec, [&](auto* type) {
        using Native = std::remove_pointer_t<decltype(type)>;
        written = WriteNative(output, *static_cast<const Native*>(native), field.spec, error);
    });
    return generic ? written : WriteThroughConverter(output, native, field, error);
}

bool WriteStructInto(BindingProperty& output, const void* record, const TypeDescriptor* descriptor,
                     std::string& error) {
    if (descriptor == nullptr) {
        error = kUnregisteredNative;
        return false;
    }
    // Fields go in name order, so every member lands after the last one. The first failure to
    // report is the first in registration order: after a failure the walk is repeated in that
    // order, which writing (having no effect on the native record) allows.
    if (WriteMembers(output, record, *descriptor, descriptor->memberOrder, error)) {
        return true;
    }
    return WriteMembers(output, record, *descriptor, RegistrationOrder(*descriptor), error);
}

void WriteField(BindingResult& result, const void* record, const FieldDescriptor& field) {
    result.succeeded = true;
    std::string error;
    if (!WriteFieldInto(result, record, field, error)) {
        result.SetFailure(error);
    }
}

void WriteStruct(BindingResult& result, const void* record, const TypeDescriptor* descriptor) {
    result.succeeded = true;
    std::string error;
    if (!WriteStructInto(result, record, descriptor, error)) {
        result.SetFailure(error);
    }
}

}  // namespace Velto
