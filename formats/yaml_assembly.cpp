#include "formats/yaml_assembly.h"

#include <bitset>
#include <string_view>

#include "binding/tree_assembler.h"
#include "formats/nesting_limit.h"
#include "formats/yaml_event_parser.h"
#include "formats/yaml_scalar.h"

namespace Velto {
namespace {

class YamlAssembly {
  public:
    explicit YamlAssembly(BindingResult& result) noexcept : result_(result), assembler_(result) {}

    // Whether every event of the text was read; false at the first one it leaves to the full
    // reader.
    bool Run(YamlEventParser& parser) noexcept {
        for (;;) {
            const yaml_event_t* event = parser.Next();
            if (event == nullptr) {
                return false;
            }
            if (event->type == YAML_STREAM_END_EVENT) {
                return true;
            }
            if (!Handle(*event)) {
                return false;
            }
        }
    }

  private:
    // False for whatever the full reader must judge.
    bool Handle(const yaml_event_t& event) noexcept {
        switch (event.type) {
            case YAML_DOCUMENT_START_EVENT:
                // Only an empty document may come before another one.
                return result_.IsEmpty();
            case YAML_SCALAR_EVENT:
                return expectingKey_ ? OnKey(event) : OnValue(event);
            case YAML_SEQUENCE_START_EVENT:
                return event.data.sequence_start.anchor == nullptr && Open(false);
            case YAML_MAPPING_START_EVENT:
                return event.data.mapping_start.anchor == nullptr && Open(true);
            case YAML_SEQUENCE_END_EVENT:
            case YAML_MAPPING_END_EVENT:
                return Close();
            case YAML_ALIAS_EVENT:
                return false;
            default:
                return true;
        }
    }

    bool OnKey(const yaml_event_t& event) noexcept {
        const auto& scalar = event.data.scalar;
        if (scalar.anchor != nullptr || !IsKeyTag(TagOf(scalar.tag))) {
            return false;
        }
        expectingKey_ = false;
        return assembler_.Key(ViewOf(scalar.value, scalar.length));
    }

    bool OnValue(const yaml_event_t& event) noexcept {
        const auto& scalar = event.data.scalar;
        if (scalar.anchor != nullptr) {
            return false;
        }
        const std::string_view text = ViewOf(scalar.value, scalar.length);
        const YamlScalar value =
            ResolveScalar(conversion_, TagOf(scalar.tag), text, IsQuoted(event));
        if (!conversion_.succeeded || !Store(value, text)) {
            return false;
        }
        ValueDone();
        return true;
    }

    bool Store(const YamlScalar& value, std::string_view text) noexcept {
        switch (value.kind) {
            case YamlScalar::Kind::Empty:
                return assembler_.Next() != nullptr;
            case YamlScalar::Kind::Text:
                return assembler_.StoreText(text);
            case YamlScalar::Kind::Bool:
                return assembler_.Store(value.boolean);
            case YamlScalar::Kind::Signed:
                return assembler_.Store(value.signedValue);
            case YamlScalar::Kind::Unsigned:
                return assembler_.Store(value.unsignedValue);
            case YamlScalar::Kind::Float:
                return assembler_.Store(value.floating);
        }
        return false;
    }

    // The full reader reports the depth at which nesting stops.
    bool Open(bool isMapping) noexcept {
        const std::size_t depth = assembler_.Depth();
        if (expectingKey_ || depth == kMaxNestingDepth ||
            !(isMapping ? assembler_.OpenStructure() : assembler_.OpenCollection())) {
            return false;
        }
        isMapping_[depth] = isMapping;
        expectingKey_ = isMapping;
        return true;
    }

    bool Close() noexcept {
        if (!assembler_.Close()) {
            return false;
        }
        ValueDone();
        return true;
    }

    // After a value, a mapping expects its next key.
    void ValueDone() noexcept {
        const std::size_t depth = assembler_.Depth();
        expectingKey_ = depth > 0 && isMapping_[depth - 1];
    }

    BindingResult& result_;
    TreeAssembler assembler_;
    BindingResult conversion_;                 // fails when a tagged scalar does not convert
    std::bitset<kMaxNestingDepth> isMapping_;  // of each open container, outermost first
    bool expectingKey_ = false;
};

bool Assemble(const std::string& text, BindingResult& result) {
    YamlEventParser parser(text);
    return parser.Initialized() && YamlAssembly(result).Run(parser);
}

}  // namespace

bool AssembleYaml(const std::string& text, BindingResult& result) {
    if (Assemble(text, result)) {
        return true;
    }
    result.Reset();
    return false;
}

}  // namespace Velto
