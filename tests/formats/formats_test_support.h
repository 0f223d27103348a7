// Helpers of the format tests. Describe gives a short text form of a value tree, so that a case
// compares one line: ~ empty, true/false, s-1 signed, u5 unsigned, f2.5 float, "text", b'6162'
// blob (hex), [a,b] collection, {name:value,...} structure in member order.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "binding/binding_property.h"
#include "diagnostics/format.h"

namespace FormatsTesting {

inline std::string Describe(const Velto::BindingProperty& value) {
    using Velto::ValueKind;
    switch (value.Kind()) {
        case ValueKind::Empty:
            return "~";
        case ValueKind::Bool:
            return value.GetBool() ? "true" : "false";
        case ValueKind::Signed:
            return "s" + std::to_string(value.GetSigned());
        case ValueKind::Unsigned:
            return "u" + std::to_string(value.GetUnsigned());
        case ValueKind::Float:
            // Format prints as in the "C" locale, as tests under another locale need.
            return Velto::Format("f%1$.17g", value.GetFloat());
        case ValueKind::String:
            return "\"" + std::string(value.GetString()) + "\"";
        case ValueKind::Blob: {
            std::string text = "b'";
            for (const uint8_t byte : value.GetBlob()) {
                char hex[3];
                std::snprintf(hex, sizeof(hex), "%02x", byte);
                text += hex;
            }
            return text + "'";
        }
        case ValueKind::Collection: {
            std::string text = "[";
            for (const Velto::BindingProperty& element : value.Elements()) {
                text += (text.size() > 1 ? "," : "") + Describe(element);
            }
            return text + "]";
        }
        case ValueKind::Structure: {
            std::string text = "{";
            for (const Velto::MemberEntry& member : value.Members()) {
                text += (text.size() > 1 ? "," : "") + std::string(member.Name()) + ":" +
                        Describe(member.Value());
            }
            return text + "}";
        }
        default:
            return "?";
    }
}

// `piece` written `count` times, for nesting boundaries.
inline std::string Repeated(const std::string& piece, std::size_t count) {
    std::string text;
    for (std::size_t index = 0; index < count; ++index) {
        text += piece;
    }
    return text;
}

}  // namespace FormatsTesting
