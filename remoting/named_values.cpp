#include "remoting/named_values.h"

#include "remoting/url_component.h"

namespace Velto {

std::size_t NamedValues::PositionOf(std::string_view name) const {
    if (items_.size() <= kScannedNames) {
        for (std::size_t position = 0; position < items_.size(); ++position) {
            if (items_[position].first == name) {
                return position;
            }
        }
        return items_.size();
    }
    const auto found = positions_.find(std::string(name));
    return found != positions_.end() ? found->second : items_.size();
}

void NamedValues::Set(std::string name, std::string value) {
    const std::size_t position = PositionOf(name);
    if (position < items_.size()) {
        items_[position].second = std::move(value);
        return;
    }
    items_.emplace_back(std::move(name), std::move(value));
    if (items_.size() <= kScannedNames) {
        return;
    }
    for (std::size_t index = positions_.size(); index < items_.size(); ++index) {
        positions_.emplace(items_[index].first, index);
    }
}

const std::string* NamedValues::Find(std::string_view name) const {
    const std::size_t position = PositionOf(name);
    return position < items_.size() ? &items_[position].second : nullptr;
}

NamedValues ParseQuery(std::string_view path) {
    NamedValues pairs;
    const std::size_t mark = path.find('?');
    if (mark == std::string_view::npos || mark + 1 == path.size()) {
        return pairs;
    }
    std::string_view query = path.substr(mark + 1);
    pairs.Reserve(static_cast<std::size_t>(std::count(query.begin(), query.end(), '&')) + 1);
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
