// libyaml's event parser over one text, each event released before the next is parsed and the
// last one with the parser.
#pragma once

#include <yaml.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace Velto {

class YamlEventParser {
  public:
    // Reads `text` as UTF-8; `text` must outlive the parser.
    explicit YamlEventParser(const std::string& text) noexcept;
    YamlEventParser(const YamlEventParser&) = delete;
    YamlEventParser& operator=(const YamlEventParser&) = delete;
    ~YamlEventParser();

    // False when libyaml had no memory for the parser; it then parses nothing.
    bool Initialized() const noexcept { return initialized_; }
    // The next event, valid until the next call; null when libyaml reports a problem.
    const yaml_event_t* Next() noexcept;

    // libyaml's problem text (empty when none) and its position, counted from 0.
    std::string_view Problem() const noexcept;
    uint64_t ProblemLine() const noexcept { return parser_.problem_mark.line; }
    uint64_t ProblemColumn() const noexcept { return parser_.problem_mark.column; }

  private:
    void ReleaseEvent() noexcept;

    yaml_parser_t parser_;
    yaml_event_t event_;
    bool initialized_ = false;
    bool holdsEvent_ = false;
};

inline std::string_view ViewOf(const yaml_char_t* text, std::size_t length) {
    return {reinterpret_cast<const char*>(text), length};
}

inline const char* TagOf(const yaml_char_t* tag) {
    return reinterpret_cast<const char*>(tag);
}

// Whether a scalar event was written in quotes; plain, literal and folded scalars are not.
inline bool IsQuoted(const yaml_event_t& event) {
    const yaml_scalar_style_t style = event.data.scalar.style;
    return style == YAML_SINGLE_QUOTED_SCALAR_STYLE || style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
}

}  // namespace Velto
