// Dynamic-to-native converters, one per native kind, with the fixed range rules and messages of
// every inbound conversion.
//
// Each converter takes the conversion's status, does nothing when the status has already failed
// (returning the native default), and on failure calls `status.SetFailure(message)` and returns
// the native default (0, false, the empty text or an empty blob); the first failure therefore
// wins. `name` is the field's registered name for messages. An "empty" input is refused by every
// converter except ToObject with "A value for '%1' is required.". Texts are parsed with the C
// library in the "C" locale (strtoll and strtoull in base 0, strtod), the same on every build.
// None of them throws for bad input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_result.h"
#include "binding/type_descriptor.h"

namespace Velto {

class BindingRegistry;

// Reports "A value for '%1' is required." and returns false when `input` is "empty".
bool RequireValue(BindingResult& status, const BindingProperty& input, std::string_view name);

// "bool" as is; the texts "1", "true", "0", "false" exactly; anything else fails.
bool ToBool(BindingResult& status, const BindingProperty& input, std::string_view name);

// A number within [min, max]: signed, unsigned, float (truncated toward zero), a text parsed by
// strtoll in base 0 (the empty text is 0), or an enum's number. `typeName` names the native type.
int64_t ToSigned(BindingResult& status, const BindingProperty& input, std::string_view name,
                 int64_t min, int64_t max, const char* typeName);

// As ToSigned over [0, max]; texts are parsed by strtoull, and one starting (after blanks) with
// "-" is out of range.
uint64_t ToUnsigned(BindingResult& status, const BindingProperty& input, std::string_view name,
                    uint64_t max, const char* typeName);

// Integers widened; a float outside [min, max] fails (a NaN passes); texts are parsed by strtod.
double ToFloat(BindingResult& status, const BindingProperty& input, std::string_view name,
               double min, double max, const char* typeName);

// Into `output`: a text, or the registered name of an enum's value (looked up in `registry`,
// which may be null). Cleared on failure.
void ToText(BindingResult& status, std::string& output, const BindingProperty& input,
            std::string_view name, const BindingRegistry* registry);

// Into `output`: a blob's bytes, or a text of Base64 characters decoded. Cleared on failure.
void ToBlob(BindingResult& status, std::vector<uint8_t>& output, const BindingProperty& input,
            std::string_view name);

// A value of enumeration `descriptor` (which may be null: nothing is then valid): a number, a
// value name, a number as text, or an enum payload; 0 on failure.
int32_t ToEnum(BindingResult& status, const BindingProperty& input, std::string_view name,
               const TypeDescriptor* descriptor);

// `output` becomes a deep copy of `input`, whatever its kind ("empty" included).
void ToObject(BindingResult& status, BindingProperty& output, const BindingProperty& input);

}  // namespace Velto
