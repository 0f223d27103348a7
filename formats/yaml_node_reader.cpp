#include "formats/yaml_node_reader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "diagnostics/format.h"
#include "formats/nesting_limit.h"
#include "formats/yaml_event_parser.h"
#include "formats/yaml_scalar.h"

namespace Velto {
namespace {

// Alias copies may add this many values, or 64 per byte of text when that is more.
constexpr std::size_t kAliasValueFloor = 1000000;
constexpr std::size_t kAliasValuesPerByte = 64;

// Stores what a scalar stands for; its text is `text`.
void SetScalar(BindingProperty& target, const YamlScalar& scalar, std::string_view text) {
    switch (scalar.kind) {
        case YamlScalar::Kind::Empty:
            return;
        case YamlScalar::Kind::Text:
            return target.SetString(text);
        case YamlScalar::Kind::Bool:
            return target.SetBool(scalar.boolean);
        case YamlScalar::Kind::Signed:
            return target.SetSigned(scalar.signedValue);
        case YamlScalar::Kind::Unsigned:
            return target.SetUnsigned(scalar.unsignedValue);
        case YamlScalar::Kind::Float:
            return target.SetFloat(scalar.floating);
    }
}

// One step from a node to its child: an element index or a member name.
struct PathStep {
    bool isIndex = false;
    std::size_t index = 0;
    std::string name;
};

// What an anchor names: the path from the root to an anchored value, or an anchored key's text.
struct AnchorEntry {
    bool isText = false;
    std::vector<PathStep> path;
    std::string text;
};

struct OpenNode {
    BindingProperty* target;
    std::string anchor;
};

// Values in `value` and the levels of containers it holds (0 for a scalar), counting no
// further than `budget` values.
struct Extent {
    std::size_t values = 0;
    int height = 0;
};

void Measure(const BindingProperty& value, std::size_t budget, Extent& extent, int level) {
    if (++extent.values > budget) {
        return;
    }
    const ValueKind kind = value.Kind();
    if (kind == ValueKind::Collection) {
        extent.height = std::max(extent.height, level + 1);
        for (const BindingProperty& element : value.Elements()) {
            if (extent.values > budget) {
                return;
            }
            Measure(element, budget, extent, level + 1);
        }
    } else if (kind == ValueKind::Structure) {
        extent.height = std::max(extent.height, level + 1);
        for (const MemberEntry& member : value.Members()) {
            if (extent.values > budget) {
                return;
            }
            Measure(member.Value(), budget, extent, level + 1);
        }
    }
}

class YamlNodeReader {
  public:
    explicit YamlNodeReader(const std::string& text)
        : aliasBudget_(std::max(kAliasValueFloor, AliasValuesFor(text.size()))) {
        ResetStacks();
    }

    BindingResult Run(YamlEventParser& parser) {
        while (result_.succeeded) {
            const yaml_event_t* event = parser.Next();
            if (event == nullptr) {
                result_.SetFailure(Format("YAML parser error: %1. At line: %2 col: %3",
                                          parser.Problem(), parser.ProblemLine(),
                                          parser.ProblemColumn()));
                break;
            }
            if (event->type == YAML_STREAM_END_EVENT) {
                break;
            }
            Handle(*event);
        }
        return std::move(result_);
    }

  private:
    // Saturates where 32-bit sizes would overflow.
    static std::size_t AliasValuesFor(std::size_t bytes) {
        constexpr std::size_t kLargest = SIZE_MAX / kAliasValuesPerByte;
        return bytes > kLargest ? SIZE_MAX : bytes * kAliasValuesPerByte;
    }

    void Handle(const yaml_event_t& event) {
        switch (event.type) {
            case YAML_DOCUMENT_START_EVENT:
                if (!result_.IsEmpty()) {
                    result_.SetFailure("Multi-document YAML is not supported.");
                    return;
                }
                ResetStacks();
                return;
            case YAML_SCALAR_EVENT:
                return OnScalar(event);
            case YAML_SEQUENCE_START_EVENT:
                return OnContainerStart(event, event.data.sequence_start.anchor, true);
            case YAML_MAPPING_START_EVENT:
                return OnContainerStart(event, event.data.mapping_start.anchor, false);
            case YAML_SEQUENCE_END_EVENT:
            case YAML_MAPPING_END_EVENT:
                return Pop();
            case YAML_ALIAS_EVENT:
                return OnAlias(event);
            default:
                return;
        }
    }

    // Every document starts from the root; an earlier empty document may have closed it.
    void ResetStacks() {
        nodes_.clear();
        nodes_.push_back(OpenNode{&result_, {}});
        pathDepth_ = 0;
        keyPending_ = false;
    }

    // A key is expected when the open node is a structure without a pending key.
    bool InKeyPosition() const {
        return nodes_.back().target->Kind() == ValueKind::Structure && !keyPending_;
    }

    // Chooses the node the event fills, pushing a new element or member; false on failure.
    bool ChooseTarget(const yaml_event_t& event) {
        BindingProperty& top = *nodes_.back().target;
        if (top.Kind() == ValueKind::Collection) {
            const std::size_t index = top.Size();
            return Push(event, top.Append(), true, index);
        }
        if (top.Kind() == ValueKind::Structure && keyPending_) {
            BindingProperty& member = top.Member(pendingKey_);
            const bool pushed = Push(event, member, false, 0);
            keyPending_ = false;
            return pushed;
        }
        return true;
    }

    bool Push(const yaml_event_t& event, BindingProperty& child, bool isIndex, std::size_t index) {
        // Out of memory, the child is the shared scratch value (the only root among them),
        // which the next access would reset under the nodes built on it.
        if (child.OwnsContext()) {
            Fail("Not enough memory for the YAML value. At line: %1 col: %2", event);
            return false;
        }
        nodes_.push_back(OpenNode{&child, {}});
        if (pathDepth_ == path_.size()) {
            path_.emplace_back();
        }
        PathStep& step = path_[pathDepth_++];
        step.isIndex = isIndex;
        step.index = index;
        if (isIndex) {
            step.name.clear();
        } else {
            step.name = pendingKey_;
        }
        return true;
    }

    // The root stays on the stack until the next document resets it.
    void Pop() {
        if (nodes_.size() > 1) {
            nodes_.pop_back();
            --pathDepth_;
        } else {
            nodes_.back().anchor.clear();
        }
    }

    void OnScalar(const yaml_event_t& event) {
        const auto& scalar = event.data.scalar;
        const std::string_view text = ViewOf(scalar.value, scalar.length);
        if (InKeyPosition()) {
            if (!IsKeyTag(TagOf(scalar.tag))) {
                Fail(
                    "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: "
                    "%2",
                    event);
                return;
            }
            pendingKey_.assign(text);
            keyPending_ = true;
            if (scalar.anchor != nullptr) {
                RegisterKeyAnchor(event, scalar.anchor, text);
            }
            return;
        }
        if (!ChooseTarget(event)) {
            return;
        }
        BindingProperty& target = *nodes_.back().target;
        target.Reset();
        SetScalar(target, ResolveScalar(result_, TagOf(scalar.tag), text, IsQuoted(event)), text);
        if (result_.succeeded && scalar.anchor != nullptr) {
            RegisterValueAnchor(event, scalar.anchor);
        }
        Pop();
    }

    void OnContainerStart(const yaml_event_t& event, const yaml_char_t* anchor, bool sequence) {
        if (InKeyPosition()) {
            Fail(sequence ? "Unexpected start of sequence. At line: %1 col: %2"
                          : "Unexpected start of mapping. At line: %1 col: %2",
                 event);
            return;
        }
        if (!ChooseTarget(event)) {
            return;
        }
        if (nodes_.size() > static_cast<std::size_t>(kMaxNestingDepth)) {
            result_.SetFailure(kNestingTooDeepMessage);
            return;
        }
        // A repeated key replaces the earlier value, containers included.
        BindingProperty& target = *nodes_.back().target;
        target.Reset();
        if (sequence) {
            target.MakeCollection();
        } else {
            target.MakeStructure();
        }
        if (anchor != nullptr) {
            RegisterValueAnchor(event, anchor);
        }
    }

    void OnAlias(const yaml_event_t& event) {
        const std::string_view name = TagOf(event.data.alias.anchor);
        for (const OpenNode& node : nodes_) {
            if (node.anchor == name) {
                Fail("Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3", name,
                     event);
                return;
            }
        }
        const auto found = anchors_.find(std::string(name));
        if (found == anchors_.end()) {
            Fail("Undefined alias encountered: \"%1\". At line: %2 col: %3", name, event);
            return;
        }
        const AnchorEntry& entry = found->second;
        if (InKeyPosition()) {
            AliasAsKey(event, entry);
            return;
        }
        if (!ChooseTarget(event)) {
            return;
        }
        BindingProperty& target = *nodes_.back().target;
        if (entry.isText) {
            target.SetString(entry.text);
        } else {
            CopyAnchored(event, entry, target);
        }
        Pop();
    }

    // An alias where a key belongs names a key, or a value that is a string.
    void AliasAsKey(const yaml_event_t& event, const AnchorEntry& entry) {
        if (entry.isText) {
            pendingKey_ = entry.text;
            keyPending_ = true;
            return;
        }
        const BindingProperty& source = Walk(entry.path);
        if (source.Kind() != ValueKind::String) {
            Fail("Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2",
                 event);
            return;
        }
        pendingKey_.assign(source.GetString());
        keyPending_ = true;
    }

    // Deep-copies the anchored value into `target` within the nesting limit and the alias
    // budget.
    void CopyAnchored(const yaml_event_t& event, const AnchorEntry& entry,
                      BindingProperty& target) {
        const BindingProperty& source = Walk(entry.path);
        if (&source == &target) {
            return;
        }
        Extent extent;
        Measure(source, aliasBudget_ - aliasValues_, extent, 0);
        if (extent.values > aliasBudget_ - aliasValues_) {
            Fail("YAML aliases expand to more than %1 values. At line: %2 col: %3",
                 static_cast<uint64_t>(aliasBudget_), event);
            return;
        }
        const std::size_t targetLevel = nodes_.size();
        if (targetLevel - 1 + static_cast<std::size_t>(extent.height) >
            static_cast<std::size_t>(kMaxNestingDepth)) {
            result_.SetFailure(kNestingTooDeepMessage);
            return;
        }
        aliasValues_ += extent.values;
        target.Assign(source);
    }

    const BindingProperty& Walk(const std::vector<PathStep>& path) const {
        const BindingProperty* node = &result_;
        for (const PathStep& step : path) {
            node = step.isIndex ? &node->At(step.index) : &node->Find(step.name);
        }
        return *node;
    }

    bool Claim(const yaml_event_t& event, std::string_view name) {
        if (anchors_.find(std::string(name)) == anchors_.end()) {
            return true;
        }
        Fail("Duplicate occurrence of anchor \"%1\". At line: %2 col: %3", name, event);
        return false;
    }

    void RegisterValueAnchor(const yaml_event_t& event, const yaml_char_t* anchor) {
        const std::string_view name = TagOf(anchor);
        if (!Claim(event, name)) {
            return;
        }
        AnchorEntry& entry = anchors_[std::string(name)];
        entry.path.assign(path_.begin(), path_.begin() + static_cast<std::ptrdiff_t>(pathDepth_));
        nodes_.back().anchor.assign(name);
    }

    // A key's text cannot contain the node being built, so the open node is not marked.
    void RegisterKeyAnchor(const yaml_event_t& event, const yaml_char_t* anchor,
                           std::string_view text) {
        const std::string_view name = TagOf(anchor);
        if (!Claim(event, name)) {
            return;
        }
        AnchorEntry& entry = anchors_[std::string(name)];
        entry.isText = true;
        entry.text.assign(text);
    }

    void Fail(const char* pattern, const yaml_event_t& event) {
        result_.SetFailure(Format(pattern, Line(event), Column(event)));
    }

    void Fail(const char* pattern, std::string_view name, const yaml_event_t& event) {
        result_.SetFailure(Format(pattern, name, Line(event), Column(event)));
    }

    void Fail(const char* pattern, uint64_t number, const yaml_event_t& event) {
        result_.SetFailure(Format(pattern, number, Line(event), Column(event)));
    }

    static uint64_t Line(const yaml_event_t& event) { return event.start_mark.line + 1; }
    static uint64_t Column(const yaml_event_t& event) { return event.start_mark.column + 1; }

    BindingResult result_;
    std::vector<OpenNode> nodes_;
    std::vector<PathStep> path_;  // reused: only the first pathDepth_ steps are current
    std::size_t pathDepth_ = 0;
    std::string pendingKey_;  // the empty text is a key like any other
    bool keyPending_ = false;
    std::unordered_map<std::string, AnchorEntry> anchors_;
    const std::size_t aliasBudget_;
    std::size_t aliasValues_ = 0;
};

}  // namespace

BindingResult ReadYamlNodeByNode(const std::string& text) {
    YamlEventParser parser(text);
    if (!parser.Initialized()) {
        BindingResult result;
        result.SetFailure("YAML parser error: out of memory. At line: 0 col: 0");
        return result;
    }
    return YamlNodeReader(text).Run(parser);
}

}  // namespace Velto
