// Helpers shared by the binding tests: a text rendering of dynamic values, so a whole value
// compares in one check and fails showing what differs, and the counted heap's bytes in use.
#pragma once

#include <string>

#include "binding/base64.h"
#include "binding/binding_property.h"
#include "diagnostics/format.h"
#include "diagnostics/memory_statistics.h"

namespace ConversionTest {

inline uint64_t BytesInUse() {
    const Velto::Client::MemoryStats stats = Velto::ReadMemoryStatistics();
    return stats.bytesAllocated - stats.bytesFreed;
}

// "signed:3", "string:abc", "blob:AQID", "enum:2", "[a,b]", "{name=value,...}", "empty".
inline std::string Render(const Velto::BindingProperty& value) {
    using Velto::ValueKind;
    switch (value.Kind()) {
        case ValueKind::Empty:
            return "empty";
        case ValueKind::Bool:
            return value.GetBool() ? "bool:true" : "bool:false";
        case ValueKind::Signed:
            return "signed:" + std::to_string(value.GetSigned());
        case ValueKind::Unsigned:
            return "unsigned:" + std::to_string(value.GetUnsigned());
        case ValueKind::Float:
            // Format prints as in the "C" locale, as tests under another locale need.
            return Velto::Format("float:%1$.17g", value.GetFloat());
        case ValueKind::String:
            return "string:" + std::string(value.GetString());
        case ValueKind::Blob: {
            const auto bytes = value.GetBlob();
            return "blob:" + Velto::Base64Encode(bytes.data(), bytes.size());
        }
        case ValueKind::Enum:
            return "enum:" + std::to_string(value.GetEnum().value);
        case ValueKind::Collection: {
            std::string text = "[";
            for (const Velto::BindingProperty& element : value.Elements()) {
                text += (text.size() > 1 ? "," : "") + Render(element);
            }
            return text + "]";
        }
        case ValueKind::Structure: {
            std::string text = "{";
            for (const Velto::MemberEntry& member : value.Members()) {
                text += (text.size() > 1 ? "," : "") + std::string(member.Name()) + "=" +
                        Render(member.Value());
            }
            return text + "}";
        }
        default:
            return "?";
    }
}

}  // namespace ConversionTest
