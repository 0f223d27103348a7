// Name/value texts in the order their names first appeared, where a later value for a name
// replaces the earlier one: the headers and query pairs of one call.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Velto {

class NamedValues {
  public:
    using Item = std::pair<std::string, std::string>;

    // Sets `name` to `value`, keeping the position where the name first appeared.
    void Set(std::string name, std::string value);
    // Makes room for `count` names without reallocation (up to the scanned few).
    void Reserve(std::size_t count) { items_.reserve(std::min(count, kScannedNames)); }
    // The value of `name`, or null.
    const std::string* Find(std::string_view name) const;

    const std::vector<Item>& Items() const noexcept { return items_; }
    bool Empty() const noexcept { return items_.empty(); }

  private:
    // Up to this many names are found by a scan; past it an index keeps lookups constant.
    static constexpr std::size_t kScannedNames = 16;

    std::size_t PositionOf(std::string_view name) const;

    std::vector<Item> items_;
    std::unordered_map<std::string, std::size_t> positions_;  // empty while names are scanned
};

// The query of a path text: what follows its first "?", split at every "&" (empty parts kept),
// each part a key up to its first "=" and a value after it, both percent-decoded. No "?" or
// nothing after it gives no pairs; a part without "=" is a key with an empty value.
NamedValues ParseQuery(std::string_view path);

}  // namespace Velto
