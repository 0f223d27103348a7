#include "formats/json_writer.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "binding/base64.h"
#include "binding/binding_registry.h"

namespace Velto {
namespace {

rapidjson::SizeType Length(std::string_view text) {
    return static_cast<rapidjson::SizeType>(text.size());
}

// Drives `Writer` over a tree depth-first with a heap stack of open containers instead of
// recursion, so the depth of a tree costs memory, not stack.
template <class Writer>
class TreeWalker {
  public:
    TreeWalker(Writer& writer, const BindingRegistry* registry) noexcept
        : writer_(writer), registry_(registry) {}

    void Walk(const BindingProperty& root) {
        Visit(root);
        while (!open_.empty()) {
            OpenContainer& open = open_.back();
            if (open.isStructure) {
                WriteNextMember(open);
            } else {
                WriteNextElement(open);
            }
        }
    }

  private:
    struct OpenContainer {
        std::span<const BindingProperty> elements;  // those not yet written
        ConstMemberRange::iterator member;
        ConstMemberRange::iterator memberEnd;
        bool isStructure;
    };

    // Both may open a new container, which invalidates `open`.
    void WriteNextMember(OpenContainer& open) {
        if (open.member == open.memberEnd) {
            writer_.EndObject();
            open_.pop_back();
            return;
        }
        const MemberEntry& entry = *open.member;
        ++open.member;
        writer_.Key(entry.Name().data(), Length(entry.Name()));
        Visit(entry.Value());
    }

    void WriteNextElement(OpenContainer& open) {
        if (open.elements.empty()) {
            writer_.EndArray();
            open_.pop_back();
            return;
        }
        const BindingProperty& element = open.elements.front();
        open.elements = open.elements.subspan(1);
        Visit(element);
    }

    void Visit(const BindingProperty& value) {
        switch (value.Kind()) {
            case ValueKind::Bool:
                writer_.Bool(value.GetBool());
                return;
            case ValueKind::Signed:
                writer_.Int64(value.GetSigned());
                return;
            case ValueKind::Unsigned:
                writer_.Uint64(value.GetUnsigned());
                return;
            case ValueKind::Float:
                WriteFloat(value.GetFloat());
                return;
            case ValueKind::String:
                WriteString(value.GetString());
                return;
            case ValueKind::Blob:
                WriteBlob(value.GetBlob());
                return;
            case ValueKind::Enum:
                WriteEnum(value.GetEnum());
                return;
            case ValueKind::Collection:
                writer_.StartArray();
                open_.push_back(
                    OpenContainer{value.Elements(), kNoMembers.begin(), kNoMembers.end(), false});
                return;
            case ValueKind::Structure: {
                writer_.StartObject();
                const ConstMemberRange members = value.Members();
                open_.push_back(OpenContainer{{}, members.begin(), members.end(), true});
                return;
            }
            case ValueKind::Empty:
                break;
        }
        writer_.Null();
    }

    // The writer refuses non-finite numbers after it has already placed a separator, which
    // would leave broken text; JSON has no spelling for them, so they become null.
    void WriteFloat(double value) {
        if (std::isfinite(value)) {
            writer_.Double(value);
        } else {
            writer_.Null();
        }
    }

    void WriteString(std::string_view text) { writer_.String(text.data(), Length(text)); }

    void WriteBlob(std::span<const uint8_t> bytes) {
        WriteString(Base64Encode(bytes.data(), bytes.size()));
    }

    void WriteEnum(EnumValue value) {
        const std::string* name = ValueName(value.identity, value.value, registry_);
        if (name != nullptr) {
            WriteString(*name);
        } else {
            writer_.Int64(value.value);
        }
    }

    static inline const ConstMemberRange kNoMembers{nullptr, 0};

    Writer& writer_;
    const BindingRegistry* registry_;
    std::vector<OpenContainer> open_;
};

template <class Writer>
void WriteTree(rapidjson::StringBuffer& buffer, const BindingProperty& value,
               const BindingRegistry* registry) {
    Writer writer(buffer);
    TreeWalker<Writer>(writer, registry).Walk(value);
}

std::string WithNewlines(std::string_view text, std::string_view newline) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') {
            out += newline;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string WriteJson(const BindingProperty& value, const BindingRegistry* registry,
                      const char* newline) {
    if (value.IsEmpty()) {
        return std::string();
    }
    rapidjson::StringBuffer buffer;
    const bool compact = newline == nullptr || *newline == '\0';
    if (compact) {
        WriteTree<rapidjson::Writer<rapidjson::StringBuffer>>(buffer, value, registry);
        return std::string(buffer.GetString(), buffer.GetSize());
    }
    // The pretty writer's own indent is the one wanted: four spaces.
    using Pretty = rapidjson::PrettyWriter<rapidjson::StringBuffer>;
    WriteTree<Pretty>(buffer, value, registry);
    const std::string_view text(buffer.GetString(), buffer.GetSize());
    if (std::strcmp(newline, "\n") == 0) {
        return std::string(text);
    }
    return WithNewlines(text, newline);
}

}  // namespace Velto
