#include "binding/dynamic_to_native.h"

#include <cerrno>
#include <limits>

#include "binding/base64.h"
#include "binding/binding_registry.h"
#include "diagnostics/format.h"
#include "platform/c_locale_numbers.h"

namespace Velto {
namespace {

constexpr const char* kRequired = "A value for '%1' is required.";
constexpr const char* kOutOfRange = "Value %1 for '%2' of type %3 is out of range";
constexpr const char* kIncorrectFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
constexpr const char* kInvalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
constexpr const char* kNotEnumValue = "%1 is not a valid %2 enumeration value for '%3'.";

// 2^63 and 2^64: the first doubles beyond the 64-bit ranges. A limit taken as a double may round
// up to them, so a float must stay below them before it is truncated.
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

const char* KindText(const BindingProperty& input) {
    return ValueKindName(input.Kind());
}

template <class Value>
void OutOfRange(BindingResult& status, const Value& value, std::string_view name,
                const char* typeName) {
    status.SetFailure(Format(kOutOfRange, value, name, typeName));
}

void IncorrectFormat(BindingResult& status, std::string_view text, std::string_view name,
                     const char* typeName) {
    status.SetFailure(Format(kIncorrectFormat, text, name, typeName));
}

void InvalidType(BindingResult& status, const BindingProperty& input, std::string_view name,
                 const char* typeName) {
    status.SetFailure(Format(kInvalidType, name, typeName, KindText(input)));
}

// A parse consumed the whole text when the end pointer reached its last byte; texts may hold a
// NUL before their end, which then counts as a character left over.
bool ConsumedAll(std::string_view text, const char* end) {
    return end == text.data() + text.size();
}

// Whether the first character after the blanks strtoull skips is a minus sign.
bool StartsNegative(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    return first != std::string_view::npos && text[first] == '-';
}

int64_t SignedFromText(BindingResult& status, std::string_view text, std::string_view name,
                       int64_t min, int64_t max, const char* typeName) {
    char* end = nullptr;
    errno = 0;
    const long long value = Platform::StrtollC(text.data(), &end, 0);
    const bool overflow = errno == ERANGE;
    if (!ConsumedAll(text, end)) {
        IncorrectFormat(status, text, name, typeName);
        return 0;
    }
    if (overflow || value < min || value > max) {
        OutOfRange(status, text, name, typeName);
        return 0;
    }
    return value;
}

uint64_t UnsignedFromText(BindingResult& status, std::string_view text, std::string_view name,
                          uint64_t max, const char* typeName) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = Platform::StrtoullC(text.data(), &end, 0);
    const bool overflow = errno == ERANGE;
    if (!ConsumedAll(text, end)) {
        IncorrectFormat(status, text, name, typeName);
        return 0;
    }
    // strtoull negates a leading minus silently; a negative text is never an unsigned number.
    if (overflow || StartsNegative(text) || value > max) {
        OutOfRange(status, text, name, typeName);
        return 0;
    }
    return value;
}

double FloatFromText(BindingResult& status, std::string_view text, std::string_view name,
                     double min, double max, const char* typeName) {
    char* end = nullptr;
    errno = 0;
    const double value = Platform::StrtodC(text.data(), &end);
    const bool overflow = errno == ERANGE;
    if (!ConsumedAll(text, end)) {
        IncorrectFormat(status, text, name, typeName);
        return 0.0;
    }
    if (overflow || value < min || value > max) {
        OutOfRange(status, text, name, typeName);
        return 0.0;
    }
    return value;
}

bool IsBase64Character(unsigned char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9') || character == '+' || character == '/' ||
           character == '=';
}

const std::string& EnumName(const TypeDescriptor* descriptor) {
    static const std::string empty;
    return descriptor != nullptr ? descriptor->name : empty;
}

template <class Number>
int32_t CheckedEnum(BindingResult& status, Number number, std::string_view name,
                    const TypeDescriptor* descriptor) {
    const bool fits = number >= std::numeric_limits<int32_t>::min() &&
                      number <= std::numeric_limits<int32_t>::max();
    if (!fits || !IsValidValue(descriptor, static_cast<int32_t>(number))) {
        status.SetFailure(Format(kNotEnumValue, number, EnumName(descriptor), name));
        return 0;
    }
    return static_cast<int32_t>(number);
}

// The unsigned form compares against the 32-bit range without mixing signedness.
int32_t CheckedEnum(BindingResult& status, uint64_t number, std::string_view name,
                    const TypeDescriptor* descriptor) {
    if (number > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        status.SetFailure(Format(kNotEnumValue, number, EnumName(descriptor), name));
        return 0;
    }
    return CheckedEnum(status, static_cast<int64_t>(number), name, descriptor);
}

int32_t EnumFromText(BindingResult& status, std::string_view text, std::string_view name,
                     const TypeDescriptor* descriptor) {
    if (descriptor != nullptr) {
        if (const auto found = descriptor->values.find(text); found != descriptor->values.end()) {
            return found->second.value;
        }
    }
    const int64_t number = SignedFromText(status, text, name, std::numeric_limits<int32_t>::min(),
                                          std::numeric_limits<int32_t>::max(), "int32");
    if (status.succeeded && IsValidValue(descriptor, static_cast<int32_t>(number))) {
        return static_cast<int32_t>(number);
    }
    status.SetFailure(Format(kNotEnumValue, text, EnumName(descriptor), name));
    return 0;
}

}  // namespace

bool RequireValue(BindingResult& status, const BindingProperty& input, std::string_view name) {
    if (!input.IsEmpty()) {
        return true;
    }
    status.SetFailure(Format(kRequired, name));
    return false;
}

bool ToBool(BindingResult& status, const BindingProperty& input, std::string_view name) {
    if (!status.succeeded || !RequireValue(status, input, name)) {
        return false;
    }
    switch (input.Kind()) {
        case ValueKind::Bool:
            return input.GetBool();
        case ValueKind::String: {
            const std::string_view text = input.GetString();
            if (text == "1" || text == "true") {
                return true;
            }
            if (text == "0" || text == "false") {
                return false;
            }
            status.SetFailure(
                Format("Value %1 for '%2' of type bool is in an incorrect format. "
                       "Options are \"true\", \"false\", \"1\", \"0\".",
                       text, name));
            return false;
        }
        default:
            status.SetFailure(
                Format("Couldn't assign value to '%1' of type bool because the "
                       "input is of an invalid type %2.",
                       name, KindText(input)));
            return false;
    }
}

int64_t ToSigned(BindingResult& status, const BindingProperty& input, std::string_view name,
                 int64_t min, int64_t max, const char* typeName) {
    if (!status.succeeded || !RequireValue(status, input, name)) {
        return 0;
    }
    switch (input.Kind()) {
        case ValueKind::Signed: {
            const int64_t value = input.GetSigned();
            if (value < min || value > max) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return value;
        }
        case ValueKind::Unsigned: {
            const uint64_t value = input.GetUnsigned();
            if (max < 0 || value > static_cast<uint64_t>(max)) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return static_cast<int64_t>(value);
        }
        case ValueKind::Float: {
            const double value = input.GetFloat();
            // Written so that a NaN fails too.
            const bool inRange = value >= static_cast<double>(min) &&
                                 value <= static_cast<double>(max) && value < kTwoTo63 &&
                                 value >= -kTwoTo63;
            if (!inRange) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return static_cast<int64_t>(value);
        }
        case ValueKind::String:
            return SignedFromText(status, input.GetString(), name, min, max, typeName);
        case ValueKind::Enum: {
            const int32_t value = input.GetEnum().value;
            if (value < min || value > max) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return value;
        }
        default:
            InvalidType(status, input, name, typeName);
            return 0;
    }
}

uint64_t ToUnsigned(BindingResult& status, const BindingProperty& input, std::string_view name,
                    uint64_t max, const char* typeName) {
    if (!status.succeeded || !RequireValue(status, input, name)) {
        return 0;
    }
    switch (input.Kind()) {
        case ValueKind::Signed: {
            const int64_t value = input.GetSigned();
            if (value < 0 || static_cast<uint64_t>(value) > max) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return static_cast<uint64_t>(value);
        }
        case ValueKind::Unsigned: {
            const uint64_t value = input.GetUnsigned();
            if (value > max) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return value;
        }
        case ValueKind::Float: {
            const double value = input.GetFloat();
            const bool inRange =
                value >= 0.0 && value <= static_cast<double>(max) && value < kTwoTo64;
            if (!inRange) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return static_cast<uint64_t>(value);
        }
        case ValueKind::String:
            return UnsignedFromText(status, input.GetString(), name, max, typeName);
        case ValueKind::Enum: {
            const int32_t value = input.GetEnum().value;
            if (value < 0 || static_cast<uint64_t>(value) > max) {
                OutOfRange(status, value, name, typeName);
                return 0;
            }
            return static_cast<uint64_t>(value);
        }
        default:
            InvalidType(status, input, name, typeName);
            return 0;
    }
}

double ToFloat(BindingResult& status, const BindingProperty& input, std::string_view name,
               double min, double max, const char* typeName) {
    if (!status.succeeded || !RequireValue(status, input, name)) {
        return 0.0;
    }
    switch (input.Kind()) {
        case ValueKind::Signed:
            return static_cast<double>(input.GetSigned());
        case ValueKind::Unsigned:
            return static_cast<double>(input.GetUnsigned());
        case ValueKind::Float: {
            const double value = input.GetFloat();
            if (value < min || value > max) {
                OutOfRange(status, value, name, typeName);
                return 0.0;
            }
            return value;
        }
        case ValueKind::String:
            return FloatFromText(status, input.GetString(), name, min, max, typeName);
        case ValueKind::Enum: {
            const double value = input.GetEnum().value;
            if (value < min || value > max) {
                OutOfRange(status, input.GetEnum().value, name, typeName);
                return 0.0;
            }
            return value;
        }
        default:
            InvalidType(status, input, name, typeName);
            return 0.0;
    }
}

void ToText(BindingResult& status, std::string& output, const BindingProperty& input,
            std::string_view name, const BindingRegistry* registry) {
    if (!status.succeeded) {
        return;
    }
    if (!RequireValue(status, input, name)) {
        output.clear();
        return;
    }
    switch (input.Kind()) {
        case ValueKind::String:
            output.assign(input.GetString());
            return;
        case ValueKind::Enum: {
            const EnumValue value = input.GetEnum();
            if (const std::string* text = ValueName(value.identity, value.value, registry)) {
                output.assign(*text);
                return;
            }
            status.SetFailure(
                Format("%1 is not a valid enumeration value for '%2'.", value.value, name));
            output.clear();
            return;
        }
        default:
            status.SetFailure(
                Format("Couldn't assign value to '%1' because the input is not a string.", name));
            output.clear();
            return;
    }
}

void ToBlob(BindingResult& status, std::vector<uint8_t>& output, const BindingProperty& input,
            std::string_view name) {
    if (!status.succeeded) {
        return;
    }
    output.clear();
    if (!RequireValue(status, input, name)) {
        return;
    }
    switch (input.Kind()) {
        case ValueKind::Blob: {
            const std::span<const uint8_t> bytes = input.GetBlob();
            output.assign(bytes.begin(), bytes.end());
            return;
        }
        case ValueKind::String: {
            const std::string_view text = input.GetString();
            for (const char character : text) {
                if (!IsBase64Character(static_cast<unsigned char>(character))) {
                    status.SetFailure(
                        Format("Couldn't assign string value to '%1' of type blob "
                               "because the input has invalid base64 characters.",
                               name));
                    return;
                }
            }
            const std::string bytes = Base64Decode(text);
            output.assign(bytes.begin(), bytes.end());
            return;
        }
        default:
            status.SetFailure(Format(
                "Couldn't assign value to '%1' of type blob because the input is not a blob.",
                name));
            return;
    }
}

int32_t ToEnum(BindingResult& status, const BindingProperty& input, std::string_view name,
               const TypeDescriptor* descriptor) {
    if (!status.succeeded || !RequireValue(status, input, name)) {
        return 0;
    }
    switch (input.Kind()) {
        case ValueKind::Signed:
            return CheckedEnum(status, input.GetSigned(), name, descriptor);
        case ValueKind::Unsigned:
            return CheckedEnum(status, input.GetUnsigned(), name, descriptor);
        case ValueKind::String:
            return EnumFromText(status, input.GetString(), name, descriptor);
        case ValueKind::Enum:
            return CheckedEnum(status, int64_t{input.GetEnum().value}, name, descriptor);
        default:
            status.SetFailure(
                Format("Couldn't assign value to '%1' of enum type because the "
                       "input is of an invalid type %2.",
                       name, KindText(input)));
            return 0;
    }
}

void ToObject(BindingResult& status, BindingProperty& output, const BindingProperty& input) {
    if (!status.succeeded) {
        return;
    }
    output.Reset();
    output.Assign(input);
}

}  // namespace Velto
