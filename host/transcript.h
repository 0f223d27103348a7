// The readable record of everything that crossed the host boundary: one line per call, per
// return and per remark of the host, as text or as one JSON object per line.
//
// Text lines start with who speaks: "-> " a call of the host into the plug-in, "<- " its
// return, "plugin -> " a call of the plug-in into the host, "plugin <- " the host's answer,
// "host: " a remark of the host (a refused or doubtful step). Calls read like
// `plugin -> Subscribe("OnServiceProxyAsyncEvent", handle=1, flags=1)`, returns and remarks like
// `<- version 18.0.0 module=ok name="mek-active-boosts"`. Texts are written as JSON string
// literals, so a value never breaks a line; a JSON object or array longer than 60 characters
// goes below its line instead, pretty-printed (one member or item per line) and indented four
// blanks deeper, so a payload reads like a document.
//
// A scenario adds a heading line for each of its steps, saying what the host did ("host fires
// ..."); a blank line comes before it, and the lines recorded after it are indented by two blanks
// until the next heading. Headings are left out of the JSON form.
//
// A JSON line is an object with "line" ("call", "return" or "note"), "from" ("host" or
// "plugin": who calls, who returns, who remarks), "call" (the call's name) and one member per
// field, e.g. {"line":"call","from":"plugin","call":"Log","level":"ALWAYS","message":"..."}.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::TestHost {

enum class TranscriptFormat { Text, Json };

enum class LineKind { Call, Return, Note, Step };
enum class Side { Host, Plugin };

// How a field shows in the text form: `key=value`, or the value alone.
enum class FieldStyle { Named, Positional };

class TranscriptLine {
  public:
    // `call` names the call the line belongs to. The text form of a call line shows it before
    // the parenthesised fields; returns and notes show their label (if any), then their fields.
    TranscriptLine(LineKind kind, Side from, std::string call);

    // The word a return or note starts with in the text form, e.g. "version" or "Start"; the
    // whole text of a step's heading, e.g. "host shuts the plug-in down".
    TranscriptLine& Label(std::string label);

    // A text, quoted in both forms.
    TranscriptLine& Quoted(std::string_view key, std::string_view text,
                           FieldStyle style = FieldStyle::Named);
    // A word, bare in the text form and a JSON string in the JSON form.
    TranscriptLine& Bare(std::string_view key, std::string_view word,
                         FieldStyle style = FieldStyle::Named);
    TranscriptLine& Signed(std::string_view key, int64_t value,
                           FieldStyle style = FieldStyle::Named);
    TranscriptLine& Unsigned(std::string_view key, uint64_t value,
                             FieldStyle style = FieldStyle::Named);
    // Shortest exact decimal form; non-finite values are quoted texts.
    TranscriptLine& Float(std::string_view key, double value, FieldStyle style = FieldStyle::Named);
    TranscriptLine& Boolean(std::string_view key, bool value, FieldStyle style = FieldStyle::Named);
    // `json` must be one valid JSON value; it is written as is.
    TranscriptLine& Json(std::string_view key, std::string json,
                         FieldStyle style = FieldStyle::Named);

    // The text form; JSON fields moved below the line make it several lines long.
    std::string ToText() const;
    std::string ToJson() const;
    bool IsStep() const { return kind_ == LineKind::Step; }

  private:
    struct Field {
        std::string key;
        FieldStyle style;
        std::string text;  // text form of the value
        std::string json;  // JSON form of the value
    };

    TranscriptLine& Add(std::string_view key, FieldStyle style, std::string text, std::string json);

    LineKind kind_;
    Side from_;
    std::string call_;
    std::string label_;
    std::vector<Field> fields_;
};

// The lines written so far, each rendered in the transcript's format when added.
class Transcript {
  public:
    explicit Transcript(TranscriptFormat format = TranscriptFormat::Text) : format_(format) {}

    // Applies to lines added afterwards.
    void SetFormat(TranscriptFormat format) { format_ = format; }
    TranscriptFormat Format() const { return format_; }
    // Also writes each new line, with a line feed, to `out` (null: stop echoing) and flushes it,
    // so a crash of the plug-in leaves every earlier line visible.
    void EchoTo(std::ostream* out) { echo_ = out; }

    void Add(const TranscriptLine& line);
    // The lines in the order added; a line whose text form is several lines long is one entry,
    // and the blank line before a heading is an entry of its own.
    const std::vector<std::string>& Lines() const { return lines_; }
    // Every line followed by a line feed.
    std::string Text() const;
    void Clear() {
        lines_.clear();
        inStep_ = false;
    }

  private:
    void Keep(std::string text);

    TranscriptFormat format_;
    bool inStep_ = false;  // whether a heading was written: later lines go under it
    std::ostream* echo_ = nullptr;
    std::vector<std::string> lines_;
};

// The JSON string literal of `text`, quotes included.
std::string QuoteJson(std::string_view text);

}  // namespace Velto::TestHost
