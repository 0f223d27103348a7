#include "remoting/argument_binder.h"

#include <cstdint>
#include <optional>

#include "binding/host_value_conversion.h"
#include "diagnostics/format.h"
#include "formats/hex_digit.h"
#include "formats/json_reader.h"
#include "formats/message_pack_reader.h"
#include "formats/nesting_limit.h"
#include "formats/yaml_reader.h"
#include "remoting/content_type.h"
#include "remoting/function_descriptor.h"
#include "remoting/host_response_writer.h"
#include "remoting/remoting_response.h"

namespace Velto {

namespace {

constexpr const char* kUnknownArgument = "Unknown argument '%1' for '%2'.";
constexpr const char* kInvalidLocation =
    "Argument '%1' for '%2' was specified in an invalid location.";
constexpr const char* kExpectedValue = "Expected value for argument '%1'.";
constexpr const char* kIndexFormat = "Index %1 is in an incorrect format";
constexpr const char* kIndexRange = "Index %1 is out of range";
constexpr const char* kMessagePackValue =
    "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
constexpr const char* kJsonValue = "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
constexpr const char* kYamlValue = "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";
constexpr const char* kIncompleteMessagePack = "Incomplete MessagePack data";

// Indices at or above this are out of range, whatever the collection holds.
constexpr uint64_t kIndexLimit = uint64_t{1} << 31;

enum class IndexReading { Read, BadFormat, OutOfRange };

// An unsigned number with the C rules of base 0 ("0x" hexadecimal, a leading "0" octal), the
// whole segment; independent of the locale.
IndexReading ReadIndex(std::string_view segment, uint64_t& index) {
    unsigned base = 10;
    std::size_t at = 0;
    if (segment.size() > 2 && segment[0] == '0' && (segment[1] == 'x' || segment[1] == 'X') &&
        HexDigitValue(segment[2]) >= 0) {
        base = 16;
        at = 2;
    } else if (segment[0] == '0') {
        base = 8;
    }
    index = 0;
    bool overflow = false;
    for (; at < segment.size(); ++at) {
        const int digit = HexDigitValue(segment[at]);
        if (digit < 0 || digit >= static_cast<int>(base)) {
            return IndexReading::BadFormat;
        }
        overflow = overflow || index >= kIndexLimit;
        index = overflow ? index : index * base + static_cast<unsigned>(digit);
    }
    return overflow || index >= kIndexLimit ? IndexReading::OutOfRange : IndexReading::Read;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view SkipSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool LooksLikeMessagePack(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    const auto first = static_cast<uint8_t>(text.front());
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

bool LooksLikeJson(std::string_view text) {
    const std::string_view rest = SkipSpaces(text);
    return !rest.empty() && (rest.front() == '{' || rest.front() == '[');
}

bool LooksLikeYaml(std::string_view text) {
    return SkipSpaces(text).substr(0, 3) == "---";
}

BindingResult ReadWholeMessagePack(const uint8_t* data, std::size_t size) {
    std::size_t consumed = 0;
    bool complete = false;
    BindingResult value = ReadMessagePack(data, size, consumed, complete);
    if (value.succeeded && !complete) {
        value.SetFailure(kIncompleteMessagePack);
    }
    return value;
}

bool NeedsValue(TypeKind kind) {
    return kind != TypeKind::Bool && kind != TypeKind::Object && kind != TypeKind::Struct &&
           kind != TypeKind::Vector;
}

bool IsStructured(TypeKind kind) {
    return kind == TypeKind::Object || kind == TypeKind::Struct || kind == TypeKind::Vector;
}

// A JSON or YAML body: NUL-terminated text, but never read past a size the host gives.
std::string BodyText(const Client::HostRequest& request) {
    const char* text = reinterpret_cast<const char*>(request.body);
    if (request.bodySize == 0) {
        return std::string(text);
    }
    const std::string_view bytes(text, request.bodySize);
    return std::string(bytes.substr(0, bytes.find('\0')));
}

}  // namespace

ArgumentBinder::ArgumentBinder(const FunctionDescriptor& function, const FunctionBinding& binding,
                               RemotingResponse& response, std::size_t growthBudget)
    : function_(function), binding_(binding), response_(response), growthBudget_(growthBudget) {
    const std::size_t count = function.arguments.size();
    values_.Reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        values_.Append();
    }
    slots_ = values_.Elements();
    for (std::size_t index = 0; index < count; ++index) {
        const ArgumentDescriptor& argument = function.arguments[index];
        if (argument.type.kind == TypeKind::Bool && !argument.optional) {
            slots_[index].SetBool(false);
        }
    }
}

bool ArgumentBinder::Fail(std::string_view message) {
    response_.SetFailure(message);
    return false;
}

std::size_t ArgumentBinder::IndexOf(std::string_view name) const {
    // Functions declare few arguments; the first of equal names wins.
    std::size_t index = 0;
    while (index < slots_.size() && function_.arguments[index].name != name) {
        ++index;
    }
    return index;
}

bool ArgumentBinder::BindNamedValue(std::string_view key, std::string_view value,
                                    std::string_view contentType, ArgumentLocation location) {
    const std::size_t dot = key.find('.');
    const std::string_view head = key.substr(0, dot);
    const std::size_t index = IndexOf(head);
    if (index == slots_.size()) {
        return Fail(Format(kUnknownArgument, head, function_.name));
    }
    const ArgumentLocation allowed = binding_.LocationOf(index);
    if (allowed != ArgumentLocation::Anywhere && allowed != location) {
        return Fail(Format(kInvalidLocation, head, function_.name));
    }
    if (dot == std::string_view::npos) {
        return AssignArgument(index, value, contentType);
    }
    return AssignPath(slots_[index], key.substr(dot + 1), value, contentType);
}

BindingProperty* ArgumentBinder::Element(BindingProperty& node, std::string_view segment) {
    uint64_t index = 0;
    switch (ReadIndex(segment, index)) {
        case IndexReading::BadFormat:
            Fail(Format(kIndexFormat, segment));
            return nullptr;
        case IndexReading::OutOfRange:
            Fail(Format(kIndexRange, segment));
            return nullptr;
        case IndexReading::Read:
            break;
    }
    const std::size_t size = node.Kind() == ValueKind::Collection ? node.Size() : 0;
    const std::size_t growth = index < size ? 0 : static_cast<std::size_t>(index) + 1 - size;
    if (growth > growthBudget_) {
        Fail(Format(kIndexRange, segment));
        return nullptr;
    }
    growthBudget_ -= growth;
    return &node.At(static_cast<std::size_t>(index));
}

bool ArgumentBinder::AssignPath(BindingProperty& slot, std::string_view path,
                                std::string_view value, std::string_view contentType) {
    // The argument itself is one level; each segment of the path is one more.
    std::size_t depth = 2;
    for (const char c : path) {
        depth += c == '.' ? 1 : 0;
    }
    if (depth > static_cast<std::size_t>(kMaxNestingDepth)) {
        return Fail(kNestingTooDeepMessage);
    }
    BindingProperty* node = &slot;
    while (true) {
        const std::size_t dot = path.find('.');
        const std::string_view segment = path.substr(0, dot);
        node = !segment.empty() && IsDigit(segment.front()) ? Element(*node, segment)
                                                            : &node->Member(segment);
        if (node == nullptr) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return AssignText(*node, value, contentType, false, segment);
        }
        path.remove_prefix(dot + 1);
    }
}

bool ArgumentBinder::AssignArgument(std::size_t index, std::string_view value,
                                    std::string_view contentType) {
    const ArgumentDescriptor& argument = function_.arguments[index];
    BindingProperty& slot = slots_[index];
    const TypeKind kind = argument.type.kind;
    if (!value.empty()) {
        return AssignText(slot, value, contentType, IsStructured(kind), argument.name);
    }
    if (NeedsValue(kind)) {
        return Fail(Format(kExpectedValue, argument.name));
    }
    if (kind == TypeKind::Bool) {
        slot.SetBool(true);
    } else if (kind == TypeKind::Vector) {
        slot.Reset();
        slot.MakeCollection();
    } else {
        slot.Reset();
        slot.MakeStructure();
    }
    return true;
}

bool ArgumentBinder::Decoded(BindingProperty& slot, BindingResult& decoded, const char* format,
                             std::string_view name) {
    if (!decoded.succeeded) {
        return Fail(Format(format, name, function_.name, decoded.FailureMessage()));
    }
    slot.Take(decoded);
    return true;
}

bool ArgumentBinder::AssignText(BindingProperty& slot, std::string_view text,
                                std::string_view contentType, bool structured,
                                std::string_view name) {
    const bool detect = structured && contentType.empty();
    if (HasContentTypePrefix(contentType, kContentTypeMessagePack) ||
        (detect && LooksLikeMessagePack(text))) {
        BindingResult value =
            ReadWholeMessagePack(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        return Decoded(slot, value, kMessagePackValue, name);
    }
    if (HasContentTypePrefix(contentType, kContentTypeJson) || (detect && LooksLikeJson(text))) {
        BindingResult value = ReadJson(std::string(text));
        return Decoded(slot, value, kJsonValue, name);
    }
    if (HasContentTypePrefix(contentType, kContentTypeTextYaml) ||
        (detect && LooksLikeYaml(text))) {
        BindingResult value = ReadYaml(std::string(text));
        return Decoded(slot, value, kYamlValue, name);
    }
    if (HasContentTypePrefix(contentType, kContentTypeOctetStream)) {
        slot.SetBlob(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        return true;
    }
    slot.SetString(text);
    return true;
}

bool ArgumentBinder::BindDirectArgument(std::size_t position, std::size_t pathParameters,
                                        const Client::HostArgument& argument) {
    std::size_t index = 0;
    std::string label;
    if (argument.name != nullptr) {
        index = IndexOf(argument.name);
        label = argument.name;
    } else {
        index = position + pathParameters;
        label = std::to_string(index);
    }
    if (index >= slots_.size()) {
        return Fail(Format(kUnknownArgument, label, function_.name));
    }
    Client::HostResponse status{};
    const bool converted =
        FromHostValue(status, slots_[index], argument.value, function_.arguments[index].name);
    if (!converted) {
        Fail(status.errorMessage != nullptr ? status.errorMessage : "");
    }
    ReleaseHostResponse(&status);
    return converted;
}

bool ArgumentBinder::BindBody(const Client::HostRequest& request) {
    if (request.body == nullptr) {
        return true;
    }
    std::size_t target = 0;
    while (target < binding_.argumentLocations.size() &&
           binding_.argumentLocations[target] != ArgumentLocation::Body) {
        ++target;
    }
    if (target >= binding_.argumentLocations.size() || target >= slots_.size()) {
        return true;
    }
    BindingResult value;
    const char* contentType = request.contentType != nullptr ? request.contentType : "";
    switch (ClassifyBodyContentType(contentType)) {
        case BodyFormat::Json:
            value = ReadJson(BodyText(request));
            break;
        case BodyFormat::Yaml:
            value = ReadYaml(BodyText(request));
            break;
        case BodyFormat::MessagePack: {
            std::size_t consumed = 0;
            bool complete = false;
            value = ReadMessagePack(request.body, request.bodySize, consumed, complete);
            if (value.succeeded && !complete) {
                return Fail("Incomplete MessagePack data in body");
            }
            if (value.succeeded && consumed != request.bodySize) {
                return Fail("Extra MessgePack data found in body");
            }
            break;
        }
        case BodyFormat::Unsupported:
            return Fail("Unsupported body content type");
    }
    if (!value.succeeded) {
        return Fail(value.FailureMessage());
    }
    slots_[target].Take(value);
    return true;
}

}  // namespace Velto
