// Log levels: how important a message is, and the six-character texts that "#L" prints.
#pragma once

#include <cstdint>

namespace Velto {

// A 32-bit signed value on every boundary; messages below a logger's or target's minimum level
// are dropped.
enum class LogLevel : int32_t {
    Okay = 0,
    Warn = 1,
    Error = 2,
    Always = 3,
};

// The right-aligned six-character text of `level`: "  OKAY", "  WARN", " ERROR" or "ALWAYS".
// Any other value has the empty text. Never returns null.
constexpr const char* LogLevelText(int32_t level) noexcept {
    switch (level) {
        case static_cast<int32_t>(LogLevel::Okay):
            return "  OKAY";
        case static_cast<int32_t>(LogLevel::Warn):
            return "  WARN";
        case static_cast<int32_t>(LogLevel::Error):
            return " ERROR";
        case static_cast<int32_t>(LogLevel::Always):
            return "ALWAYS";
        default:
            return "";
    }
}

}  // namespace Velto
