// What a YAML scalar stands for: its tag, its quoting and, for plain scalars, the word lists
// and the numbers decide.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/binding_result.h"

namespace Velto {

struct YamlScalar {
    enum class Kind : uint8_t { Empty, Text, Bool, Signed, Unsigned, Float };

    YamlScalar() noexcept = default;
    explicit YamlScalar(Kind textOrEmpty) noexcept : kind(textOrEmpty) {}
    explicit YamlScalar(bool value) noexcept : kind(Kind::Bool), boolean(value) {}
    explicit YamlScalar(int64_t value) noexcept : kind(Kind::Signed), signedValue(value) {}
    explicit YamlScalar(uint64_t value) noexcept : kind(Kind::Unsigned), unsignedValue(value) {}
    explicit YamlScalar(double value) noexcept : kind(Kind::Float), floating(value) {}

    Kind kind = Kind::Empty;  // Text stands for the scalar's own text
    union {
        bool boolean;
        int64_t signedValue;
        uint64_t unsignedValue = 0;
        double floating;
    };
};

// Whether a mapping key may carry `tag` (null for none): only the string tag, if any.
bool IsKeyTag(const char* tag);

// Types the scalar `text` (NUL-terminated at text.size(), as libyaml gives it) under `tag` (or
// null). Fails `result` when the tag is not supported or its conversion fails, and then gives
// an empty scalar.
YamlScalar ResolveScalar(BindingResult& result, const char* tag, std::string_view text,
                         bool quoted);

}  // namespace Velto
