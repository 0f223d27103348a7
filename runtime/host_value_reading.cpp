#include "runtime/host_value_reading.h"

#include <cstdint>

#include "binding/binding_result.h"
#include "binding/host_value_conversion.h"
#include "binding/record_conversion.h"
#include "diagnostics/memory_statistics.h"

namespace Velto::Client {

namespace {

// The plain field of kind "object" named `key`, or null. Fields with flags or an optional
// wrapper are left to the record conversion, which applies their rules.
const FieldDescriptor* ObjectField(const TypeDescriptor& descriptor, std::string_view key) {
    for (const FieldDescriptor& field : descriptor.fields) {
        if (field.spec.kind == TypeKind::Object && field.flags == 0 && !field.optional &&
            field.name == key) {
            return &field;
        }
    }
    return nullptr;
}

// Whether every entry of an object can be read member by member: the entries are there and
// every key is set. Anything else takes the plain path, which reports it.
bool HasReadableEntries(const HostValue& value) {
    const HostValue::Object& object = value.payload.object;
    if (object.count != 0 && object.entries == nullptr) {
        return false;
    }
    for (uint32_t index = 0; index < object.count; ++index) {
        if (object.entries[index].key == nullptr) {
            return false;
        }
    }
    return true;
}

RecordReading Convert(BindingResult& status, void* record, const BindingProperty& input,
                      const TypeDescriptor* descriptor, std::string_view name, std::string& error) {
    ToStruct(status, record, input, descriptor, name);
    if (status.succeeded) {
        return RecordReading::Read;
    }
    error = status.FailureMessage();
    return RecordReading::NotConverted;
}

}  // namespace

bool ReadHostValue(const HostValue& value, BindingProperty& property, std::string_view name,
                   std::string& error) {
    HostResponse scratch{};
    if (FromHostValue(scratch, property, value, name)) {
        return true;
    }
    error = scratch.errorMessage != nullptr ? scratch.errorMessage : "";
    CountedRelease(scratch.errorMessage);
    FreeHostValue(scratch.body);
    return false;
}

RecordReading ReadHostRecord(const HostValue& value, void* record, const TypeDescriptor* descriptor,
                             std::string_view name, std::string& error) {
    BindingResult status;
    BindingProperty input;
    if (value.type != kHostObject || descriptor == nullptr || !HasReadableEntries(value)) {
        if (!ReadHostValue(value, input, name, error)) {
            return RecordReading::NotDecoded;
        }
        return Convert(status, record, input, descriptor, name, error);
    }
    input.MakeStructure();
    const HostValue::Object& object = value.payload.object;
    for (uint32_t index = 0; index < object.count; ++index) {
        const HostObjectEntry& entry = object.entries[index];
        const FieldDescriptor* field = ObjectField(*descriptor, entry.key);
        BindingProperty& target =
            field != nullptr
                ? *reinterpret_cast<BindingProperty*>(static_cast<uint8_t*>(record) + field->offset)
                : input.Member(entry.key);
        if (!ReadHostValue(entry.value, target, name, error)) {
            return RecordReading::NotDecoded;
        }
    }
    return Convert(status, record, input, descriptor, name, error);
}

}  // namespace Velto::Client
