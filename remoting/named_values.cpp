#include "remoting/named_values.h"

#include "remoting/url_component.h"

namespace Velto {

void NamedValues::Set(std::string name, std::string value) {
    const auto [position, inserted] = positions_.try_emplace(name, items_.size());
    if (inserted) {
        items_.emplace_back(std::move(name), std::move(value));
    } else {
        items_[position->second].second = std::move(value);
    }
}

const std::string* NamedValues::Find(std::string_view name) const {
    const auto found = positions_.find(std::string(name));
    return found != positions_.end() ? &items_[found->second].second : nullptr;
}

NamedValues ParseQuery(std::string_view path) {
    NamedValues pairs;
    const std::size_t mark = path.find('?');
    if (mark == std::string_view::npos || mark + 1 == path.size()) {
        return pairs;
    }
    std::string_view query = path.substr(mark + 1);
    while (true) {
        const std::size_t end = query.find('&');
        const std::string_view part = query.substr(0, end);
        const std::size_t equals = part.find('=');
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : part.substr(equals + 1);
        pairs.Set(DecodeUrlComponent(part.substr(0, equals)), DecodeUrlComponent(value));
        if (end == std::string_view::npos) {
            return pairs;
        }
        query.remove_prefix(end + 1);
    }
}

}  // namespace Velto
