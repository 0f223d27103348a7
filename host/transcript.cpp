#include "host/transcript.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>
#include <cmath>
#include <ostream>

namespace Velto::TestHost {
namespace {

const char* TextPrefix(LineKind kind, Side from) {
    switch (kind) {
        case LineKind::Step:
            return "";
        case LineKind::Call:
            return from == Side::Host ? "-> " : "plugin -> ";
        case LineKind::Return:
            return from == Side::Plugin ? "<- " : "plugin <- ";
        case LineKind::Note:
            return from == Side::Host ? "host: " : "plugin: ";
    }
    return "";
}

const char* KindName(LineKind kind) {
    switch (kind) {
        case LineKind::Step:
            return "step";
        case LineKind::Call:
            return "call";
        case LineKind::Return:
            return "return";
        case LineKind::Note:
            return "note";
    }
    return "";
}

// JSON objects and arrays longer than this go below their line, pretty-printed and indented
// kJsonIndent blanks deeper than the line.
constexpr std::size_t kLongestInlineJson = 60;
constexpr std::size_t kJsonIndent = 4;
// What the lines under a step's heading are indented by.
constexpr char kStepIndent[] = "  ";

bool IsContainer(const std::string& json) {
    return !json.empty() && (json.front() == '{' || json.front() == '[');
}

std::string Indentation(int depth) {
    return "\n" + std::string(kJsonIndent + 2 * static_cast<std::size_t>(depth), ' ');
}

// Compact JSON text laid out one member or item per line, each level two blanks deeper; every
// token is kept as it is written, so numbers and texts read exactly as in the compact form.
std::string Pretty(std::string_view json) {
    std::string text;
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            text += c;
            if (c == '\\' && i + 1 < json.size()) {
                text += json[++i];
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        const bool opens = c == '{' || c == '[';
        if (opens && i + 1 < json.size() && (json[i + 1] == '}' || json[i + 1] == ']')) {
            text += json.substr(i++, 2);
        } else if (opens) {
            text += c + Indentation(++depth);
        } else if (c == '}' || c == ']') {
            text += Indentation(--depth) + c;
        } else if (c == ',') {
            text += c + Indentation(depth);
        } else if (c == ':') {
            text += ": ";
        } else {
            inString = c == '"';
            text += c;
        }
    }
    return text;
}

std::string FloatText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string QuoteJson(std::string_view text) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    return std::string(buffer.GetString(), buffer.GetSize());
}

TranscriptLine::TranscriptLine(LineKind kind, Side from, std::string call)
    : kind_(kind), from_(from), call_(std::move(call)) {}

TranscriptLine& TranscriptLine::Label(std::string label) {
    label_ = std::move(label);
    return *this;
}

TranscriptLine& TranscriptLine::Add(std::string_view key, FieldStyle style, std::string text,
                                    std::string json) {
    fields_.push_back(Field{std::string(key), style, std::move(text), std::move(json)});
    return *this;
}

TranscriptLine& TranscriptLine::Quoted(std::string_view key, std::string_view text,
                                       FieldStyle style) {
    std::string quoted = QuoteJson(text);
    return Add(key, style, quoted, quoted);
}

TranscriptLine& TranscriptLine::Bare(std::string_view key, std::string_view word,
                                     FieldStyle style) {
    return Add(key, style, std::string(word), QuoteJson(word));
}

TranscriptLine& TranscriptLine::Signed(std::string_view key, int64_t value, FieldStyle style) {
    std::string text = std::to_string(value);
    return Add(key, style, text, text);
}

TranscriptLine& TranscriptLine::Unsigned(std::string_view key, uint64_t value, FieldStyle style) {
    std::string text = std::to_string(value);
    return Add(key, style, text, text);
}

TranscriptLine& TranscriptLine::Float(std::string_view key, double value, FieldStyle style) {
    if (!std::isfinite(value)) {
        return Quoted(key, FloatText(value), style);
    }
    std::string text = FloatText(value);
    return Add(key, style, text, text);
}

TranscriptLine& TranscriptLine::Boolean(std::string_view key, bool value, FieldStyle style) {
    std::string text = value ? "true" : "false";
    return Add(key, style, text, text);
}

TranscriptLine& TranscriptLine::Json(std::string_view key, std::string json, FieldStyle style) {
    return Add(key, style, json, json);
}

std::string TranscriptLine::ToText() const {
    std::string text = TextPrefix(kind_, from_);
    std::string blocks;
    const bool isCall = kind_ == LineKind::Call;
    bool first = true;
    if (isCall) {
        text += call_;
        text += '(';
    } else if (!label_.empty()) {
        text += label_;
        first = false;
    }
    for (const Field& field : fields_) {
        if (IsContainer(field.json) && field.json.size() > kLongestInlineJson) {
            const std::string key = field.style == FieldStyle::Named ? field.key + "=" : "";
            blocks += Indentation(0) + key + Pretty(field.json);
            continue;
        }
        if (!first) {
            text += isCall ? ", " : " ";
        }
        first = false;
        if (field.style == FieldStyle::Named) {
            text += field.key + "=";
        }
        text += field.text;
    }
    if (isCall) {
        text += ')';
    }
    return text + blocks;
}

std::string TranscriptLine::ToJson() const {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("line");
    writer.String(KindName(kind_));
    writer.Key("from");
    writer.String(from_ == Side::Host ? "host" : "plugin");
    writer.Key("call");
    writer.String(call_.data(), static_cast<rapidjson::SizeType>(call_.size()));
    for (const Field& field : fields_) {
        writer.Key(field.key.data(), static_cast<rapidjson::SizeType>(field.key.size()));
        writer.RawValue(field.json.data(), field.json.size(), rapidjson::kObjectType);
    }
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

void Transcript::Add(const TranscriptLine& line) {
    if (format_ == TranscriptFormat::Json) {
        if (!line.IsStep()) {
            Keep(line.ToJson());
        }
        return;
    }
    if (line.IsStep()) {
        if (!lines_.empty()) {
            Keep("");
        }
        Keep(line.ToText());
        inStep_ = true;
        return;
    }
    std::string text = line.ToText();
    if (inStep_) {
        text.insert(0, kStepIndent);
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
            text.insert(at + 1, kStepIndent);
            at += 1 + std::string_view(kStepIndent).size();
        }
    }
    Keep(std::move(text));
}

void Transcript::Keep(std::string text) {
    lines_.push_back(std::move(text));
    if (echo_ != nullptr) {
        *echo_ << lines_.back() << '\n';
        echo_->flush();
    }
}

std::string Transcript::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace Velto::TestHost
