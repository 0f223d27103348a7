#include "bench/bench_inputs.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace Bench {
namespace {

constexpr std::size_t kTargetSize = 2 * 1024 * 1024;

struct Node;
using Members = std::vector<std::pair<std::string, Node>>;
using Elements = std::vector<Node>;

struct Node {
    std::variant<bool, int64_t, uint64_t, double, std::string, Elements, Members> value;
};

// JSON.

void WriteJsonText(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string Number(const char* format, auto value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void WriteJson(std::string& out, const Node& node) {
    if (const auto* flag = std::get_if<bool>(&node.value)) {
        out += *flag ? "true" : "false";
    } else if (const auto* number = std::get_if<int64_t>(&node.value)) {
        out += std::to_string(*number);
    } else if (const auto* count = std::get_if<uint64_t>(&node.value)) {
        out += std::to_string(*count);
    } else if (const auto* real = std::get_if<double>(&node.value)) {
        out += Number("%.17g", *real);
    } else if (const auto* text = std::get_if<std::string>(&node.value)) {
        WriteJsonText(out, *text);
    } else if (const auto* elements = std::get_if<Elements>(&node.value)) {
        out += '[';
        for (std::size_t index = 0; index < elements->size(); ++index) {
            out += index == 0 ? "" : ",";
            WriteJson(out, (*elements)[index]);
        }
        out += ']';
    } else {
        const Members& members = std::get<Members>(node.value);
        out += '{';
        for (std::size_t index = 0; index < members.size(); ++index) {
            out += index == 0 ? "" : ",";
            WriteJsonText(out, members[index].first);
            out += ':';
            WriteJson(out, members[index].second);
        }
        out += '}';
    }
}

// MessagePack, in the smallest encoding of each value.

void PutBigEndian(std::string& out, uint64_t bits, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        out += static_cast<char>((bits >> shift) & 0xFF);
    }
}

// A length or count: in the type byte below `fixLimit`, else after the smallest code that holds
// it (`code8` is 0 for arrays and maps, which have no 8-bit form).
struct HeaderCodes {
    uint8_t fix;
    std::size_t fixLimit;
    uint8_t code8;
    uint8_t code16;
    uint8_t code32;
};
constexpr HeaderCodes kTextCodes{0xA0, 32, 0xD9, 0xDA, 0xDB};
constexpr HeaderCodes kArrayCodes{0x90, 16, 0, 0xDC, 0xDD};
constexpr HeaderCodes kMapCodes{0x80, 16, 0, 0xDE, 0xDF};

void PutHeader(std::string& out, std::size_t size, const HeaderCodes& codes) {
    if (size < codes.fixLimit) {
        out += static_cast<char>(codes.fix | size);
    } else if (codes.code8 != 0 && size <= 0xFF) {
        out += static_cast<char>(codes.code8);
        PutBigEndian(out, size, 1);
    } else if (size <= 0xFFFF) {
        out += static_cast<char>(codes.code16);
        PutBigEndian(out, size, 2);
    } else {
        out += static_cast<char>(codes.code32);
        PutBigEndian(out, size, 4);
    }
}

void PutUnsigned(std::string& out, uint64_t value) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value <= 0xFF) {
        out += static_cast<char>(0xCC);
        PutBigEndian(out, value, 1);
    } else if (value <= 0xFFFF) {
        out += static_cast<char>(0xCD);
        PutBigEndian(out, value, 2);
    } else if (value <= 0xFFFFFFFF) {
        out += static_cast<char>(0xCE);
        PutBigEndian(out, value, 4);
    } else {
        out += static_cast<char>(0xCF);
        PutBigEndian(out, value, 8);
    }
}

void PutSigned(std::string& out, int64_t value) {
    if (value >= 0) {
        PutUnsigned(out, static_cast<uint64_t>(value));
    } else if (value >= -32) {
        out += static_cast<char>(value);
    } else if (value >= INT8_MIN) {
        out += static_cast<char>(0xD0);
        PutBigEndian(out, static_cast<uint64_t>(value), 1);
    } else if (value >= INT16_MIN) {
        out += static_cast<char>(0xD1);
        PutBigEndian(out, static_cast<uint64_t>(value), 2);
    } else if (value >= INT32_MIN) {
        out += static_cast<char>(0xD2);
        PutBigEndian(out, static_cast<uint64_t>(value), 4);
    } else {
        out += static_cast<char>(0xD3);
        PutBigEndian(out, static_cast<uint64_t>(value), 8);
    }
}

void PutText(std::string& out, const std::string& text) {
    PutHeader(out, text.size(), kTextCodes);
    out += text;
}

void WriteMessagePack(std::string& out, const Node& node) {
    if (const auto* flag = std::get_if<bool>(&node.value)) {
        out += static_cast<char>(*flag ? 0xC3 : 0xC2);
    } else if (const auto* number = std::get_if<int64_t>(&node.value)) {
        PutSigned(out, *number);
    } else if (const auto* count = std::get_if<uint64_t>(&node.value)) {
        PutUnsigned(out, *count);
    } else if (const auto* real = std::get_if<double>(&node.value)) {
        out += static_cast<char>(0xCB);
        uint64_t bits = 0;
        static_assert(sizeof bits == sizeof *real);
        std::memcpy(&bits, real, sizeof bits);
        PutBigEndian(out, bits, 8);
    } else if (const auto* text = std::get_if<std::string>(&node.value)) {
        PutText(out, *text);
    } else if (const auto* elements = std::get_if<Elements>(&node.value)) {
        PutHeader(out, elements->size(), kArrayCodes);
        for (const Node& element : *elements) {
            WriteMessagePack(out, element);
        }
    } else {
        const Members& members = std::get<Members>(node.value);
        PutHeader(out, members.size(), kMapCodes);
        for (const auto& [name, value] : members) {
            PutText(out, name);
            WriteMessagePack(out, value);
        }
    }
}

// Block-style YAML. Texts other than plain words are double-quoted with JSON's escapes, which
// YAML shares.

bool IsPlainWord(const std::string& text) {
    if (text.empty() || (text[0] >= '0' && text[0] <= '9') || text == "true" || text == "false") {
        return false;
    }
    for (const char c : text) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!word) {
            return false;
        }
    }
    return true;
}

bool IsContainer(const Node& node) {
    return std::holds_alternative<Elements>(node.value) ||
           std::holds_alternative<Members>(node.value);
}

void WriteYamlScalar(std::string& out, const Node& node) {
    if (const auto* text = std::get_if<std::string>(&node.value)) {
        if (IsPlainWord(*text)) {
            out += *text;
        } else {
            WriteJsonText(out, *text);
        }
        return;
    }
    WriteJson(out, node);
}

// Writes `node` whose first line continues the current one; later lines start at `indent`.
void WriteYaml(std::string& out, const Node& node, std::size_t indent) {
    if (!IsContainer(node)) {
        WriteYamlScalar(out, node);
        out += '\n';
        return;
    }
    const std::string margin(indent, ' ');
    bool first = true;
    if (const auto* elements = std::get_if<Elements>(&node.value)) {
        for (const Node& element : *elements) {
            out += first ? "- " : margin + "- ";
            first = false;
            WriteYaml(out, element, indent + 2);
        }
        return;
    }
    for (const auto& [name, value] : std::get<Members>(node.value)) {
        out += first ? "" : margin;
        first = false;
        WriteYamlScalar(out, Node{name});
        if (IsContainer(value)) {
            out += ":\n" + margin + "  ";
            WriteYaml(out, value, indent + 2);
        } else {
            out += ": ";
            WriteYaml(out, value, indent);
        }
    }
}

// Elements made by `make(index)` until their JSON reaches the target size.
template <class Make>
Elements Fill(Make make) {
    Elements elements;
    std::size_t size = 0;
    while (size < kTargetSize) {
        elements.push_back(make(elements.size()));
        std::string json;
        WriteJson(json, elements.back());
        size += json.size() + 1;
    }
    return elements;
}

Node Records() {
    return Node{Fill([](std::size_t index) {
        const auto number = static_cast<int64_t>(index);
        char date[32];
        std::snprintf(date, sizeof date, "2026-12-%02dT20:00:00Z",
                      static_cast<int>(index % 28) + 1);
        return Node{Members{
            {"summonerId", Node{int64_t{100000} + number}},
            {"name", Node{"player" + std::to_string(index)}},
            {"active", Node{index % 2 == 0}},
            {"xpBoost", Node{static_cast<double>(index % 97) + 0.25}},
            {"ipBoostEndDate", Node{std::string(date)}},
            {"winCount", Node{-static_cast<int64_t>(index % 5)}},
            {"tags", Node{Elements{Node{std::string("red")}, Node{std::string("blue")}}}},
        }};
    })};
}

Node Numbers() {
    uint64_t state = 88172645463325252u;
    return Node{Fill([&state](std::size_t index) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        switch (index % 3) {
            case 0:
                return Node{state >> 20};
            case 1:
                return Node{-static_cast<int64_t>(state % 100000) - 1};
            default:
                return Node{static_cast<double>(state % 1000000007) / 1024.0};
        }
    })};
}

Node Strings() {
    Elements messages = Fill([](std::size_t index) {
        return Node{Members{
            {"text", Node{"Item " + std::to_string(index) +
                          " \"quoted\" with a longer description of the boost, caf\xC3\xA9, and "
                          "a line\nbreak so escapes are part of the work"}},
            {"locale", Node{std::string("en_US")}},
        }};
    });
    return Node{Members{{"messages", Node{std::move(messages)}}}};
}

Inputs Write(const Node& root) {
    Inputs inputs;
    WriteJson(inputs.json, root);
    WriteMessagePack(inputs.messagePack, root);
    WriteYaml(inputs.yaml, root, 0);
    return inputs;
}

}  // namespace

const Inputs& InputsFor(Shape shape) {
    static const Inputs inputs[] = {Write(Records()), Write(Numbers()), Write(Strings())};
    return inputs[static_cast<int>(shape)];
}

}  // namespace Bench
