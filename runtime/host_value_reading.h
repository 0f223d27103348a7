// Reading host values lent for one call: into a dynamic value, or straight into a record.
#pragma once

#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/binding_registry.h"
#include "binding/type_descriptor.h"
#include "platform/host_boundary.h"

namespace Velto::Client {

// FromHostValue into `property`, naming the value `name` in messages; on failure false with the
// converter's message in `error`.
bool ReadHostValue(const HostValue& value, BindingProperty& property, std::string_view name,
                   std::string& error);

enum class RecordReading {
    Read,
    NotDecoded,    // the host value did not become a dynamic value
    NotConverted,  // the dynamic value did not convert into the record
};

// What FromHostValue followed by ToStruct gives (the record's values, the first failure and its
// message), without the copy: members of an object that fill a field of kind "object" are read
// straight into that field, so an event's large payload is converted once.
RecordReading ReadHostRecord(const HostValue& value, void* record, const TypeDescriptor* descriptor,
                             std::string_view name, std::string& error);

template <class Record>
RecordReading ReadHostRecord(const HostValue& value, Record& record,
                             const BindingRegistry& registry, std::string_view name,
                             std::string& error) {
    return ReadHostRecord(value, &record, registry.FindType(StaticType::HashCode<Record>()), name,
                          error);
}

}  // namespace Velto::Client
