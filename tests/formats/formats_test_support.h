// Helpers of the format tests: texts that nest a piece many times over, to reach the readers'
// nesting limit and one level past it.
#pragma once

#include <cstddef>
#include <string>

namespace FormatsTesting {

// `piece` written `count` times, for nesting boundaries.
inline std::string Repeated(const std::string& piece, std::size_t count) {
    std::string text;
    for (std::size_t index = 0; index < count; ++index) {
        text += piece;
    }
    return text;
}

}  // namespace FormatsTesting
