#include "formats/yaml_event_parser.h"

namespace Velto {

YamlEventParser::YamlEventParser(const std::string& text) noexcept
    : initialized_(yaml_parser_initialize(&parser_) != 0) {
    if (!initialized_) {
        return;
    }
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()),
                                 text.size());
}

YamlEventParser::~YamlEventParser() {
    ReleaseEvent();
    if (initialized_) {
        yaml_parser_delete(&parser_);
    }
}

const yaml_event_t* YamlEventParser::Next() noexcept {
    ReleaseEvent();
    if (!initialized_ || yaml_parser_parse(&parser_, &event_) == 0) {
        return nullptr;
    }
    holdsEvent_ = true;
    return &event_;
}

std::string_view YamlEventParser::Problem() const noexcept {
    return parser_.problem != nullptr ? parser_.problem : "";
}

void YamlEventParser::ReleaseEvent() noexcept {
    if (holdsEvent_) {
        yaml_event_delete(&event_);
        holdsEvent_ = false;
    }
}

}  // namespace Velto
