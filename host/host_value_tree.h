// A HostValue tree owned by the test host: built by tests and scenarios to hand to the plug-in,
// or copied from a value the plug-in lends for the length of one call.
//
// The tree owns every text, byte run, element array and entry array it points to, whatever the
// tags say: tags 5 and 7 (borrowed) and `ownsKey` 0 only tell the plug-in what it is given, the
// storage is still the tree's and is freed with it. A tree is not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host_boundary.h"

namespace Velto::TestHost {

using Client::HostValue;

// Deepest nesting of arrays and objects that FromJson accepts and CopyOf copies.
inline constexpr std::size_t kMaxHostValueDepth = 256;

class HostValueTree {
  public:
    // The null value (tag 0).
    HostValueTree() noexcept;
    ~HostValueTree();
    // Copies are deep; moves leave the source null.
    HostValueTree(const HostValueTree& other);
    HostValueTree& operator=(const HostValueTree& other);
    HostValueTree(HostValueTree&& other) noexcept;
    HostValueTree& operator=(HostValueTree&& other) noexcept;

    static HostValueTree Bool(bool value);
    static HostValueTree Signed(int64_t value);
    static HostValueTree Unsigned(uint64_t value);
    static HostValueTree Float(double value);
    // Tag 6, or tag 5 when `borrowed`.
    static HostValueTree Text(std::string_view text, bool borrowed = false);
    // Tag 8, or tag 7 when `borrowed`.
    static HostValueTree Bytes(std::string_view bytes, bool borrowed = false);
    // Tag 9; takes the items over.
    static HostValueTree Array(std::vector<HostValueTree> items);
    // Tag 10 with owned keys (`ownsKey` 1), in the given order; takes the values over.
    static HostValueTree Object(std::vector<std::pair<std::string, HostValueTree>> members);

    // Copies a value someone else owns, keeping its tags and `ownsKey` flags; no pointer into
    // `value` is kept. Null pointers are read as empty texts, runs and arrays. Arrays and objects
    // nested deeper than kMaxHostValueDepth are copied empty; unknown tags are kept with a zero
    // payload (and written in JSON as a text naming the tag).
    static HostValueTree CopyOf(const HostValue& value);

    // Reads one JSON text: null, booleans, numbers (integers as tag 2, or tag 3 above the signed
    // range; others as tag 4), strings (tag 6), arrays and objects. On bad input the result is
    // empty and `error`, when given, says why and at which byte offset.
    static std::optional<HostValueTree> FromJson(std::string_view json,
                                                 std::string* error = nullptr);

    // Compact JSON text of the tree. Texts are written byte for byte; byte runs become Base64
    // texts; non-finite floats become the texts "NaN", "Infinity" and "-Infinity".
    std::string ToJson() const;

    // The root record; its pointers stay valid while the tree lives and is not assigned to.
    const HostValue& Value() const { return root_; }
    uint32_t Type() const { return root_.type; }

  private:
    explicit HostValueTree(const HostValue& root) noexcept : root_(root) {}

    HostValue root_;
};

}  // namespace Velto::TestHost
