// Writes a dynamic value as JSON text.
//
// Per kind: empty as null (an empty root writes the empty text), bool, signed and unsigned as
// integers, float as the shortest text that reads back to the same double (NaN and infinities,
// which JSON cannot express, as null), string as a string, blob as a string holding its bytes in
// Base64, enum as its registered name when `registry` knows one and otherwise as its number,
// collection as an array in element order, structure as an object in member (name) order.
//
// Layout: compact when `newline` is null or empty; otherwise indented by four spaces per level
// with every line ending in `newline`. Deep trees are walked without recursion, so any depth
// built by code can be written. Never fails; thread-safe as long as the tree is not changed.
#pragma once

#include <string>

#include "binding/binding_property.h"

namespace Velto {

class BindingRegistry;

// `registry` (may be null) is only used for enumeration names. `newline` is NUL-terminated.
std::string WriteJson(const BindingProperty& value, const BindingRegistry* registry = nullptr,
                      const char* newline = nullptr);

}  // namespace Velto
