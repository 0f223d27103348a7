// Conversion of registered native records to and from dynamic values, field by field.
//
// Dynamic to native: ToStruct walks the record's fields in registration order while the status
// holds; each input member present and not "empty" goes through ReadField, absent ones leave the
// native field as it was (unless the field is required), and input members matching no field are
// ignored. The field whose conversion failed holds its converter's default; later fields are not
// touched; the first failure's message is the one reported.
//
// Native to dynamic: WriteStruct produces a structure with one member per field (fields flagged
// kFieldOmitZero are left out when zero). Every native-to-dynamic call first marks its result
// succeeded. The members come out in byte-wise name order whatever the field order.
//
// Typed entry points for whole native values live in binding/field_converter.h (ToNative,
// FromNative). Conversions recurse on the nesting depth of the native types, which registration
// fixes. None of them throws for bad input.
#pragma once

#include <string>
#include <string_view>

#include "binding/binding_result.h"
#include "binding/type_descriptor.h"

namespace Velto {

// Converts `input` into the native field `field` of the record at `record`.
void ReadField(BindingResult& status, void* record, const BindingProperty& input,
               const FieldDescriptor& field);

// Converts `input` into the record at `record` described by `descriptor` (null: unregistered).
// `name` names the value for messages.
void ToStruct(BindingResult& status, void* record, const BindingProperty& input,
              const TypeDescriptor* descriptor, std::string_view name);

// Writes the native field `field` of the record at `record` into `result`.
void WriteField(BindingResult& result, const void* record, const FieldDescriptor& field);

// Writes the record at `record` described by `descriptor` (null: unregistered) into `result`.
void WriteStruct(BindingResult& result, const void* record, const TypeDescriptor* descriptor);

// The core of WriteStruct for a value anywhere in a tree: `output` becomes the structure. On
// failure returns false with the message in `error`; `output` then holds what was written.
bool WriteStructInto(BindingProperty& output, const void* record, const TypeDescriptor* descriptor,
                     std::string& error);

// The core of WriteField for a value anywhere in a tree, as WriteStructInto.
bool WriteFieldInto(BindingProperty& output, const void* record, const FieldDescriptor& field,
                    std::string& error);

}  // namespace Velto
