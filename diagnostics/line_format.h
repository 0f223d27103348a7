// Expansion of a log target's line format for one record, and the logger's timestamp texts.
//
// A line format is copied character by character, with these codes replaced:
//   "#D" local time "YYYY-MM-DDThh:mm:ss.mmm"      "#E" executable name
//   "#G" group names joined by ";" (empty for 0)   "#H" seconds since the first "#H", "%06d.%03d"
//   "#L" six-character level text                  "#M" message text
//   "#T" calling thread's id, upper-case hexadecimal, zero-padded to twice the pointer size
// "#" before any other character gives that character ("##" gives "#"); a "#" at the very end
// of the format gives nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "diagnostics/log_groups.h"
#include "diagnostics/log_record.h"

namespace Velto {

// What a line needs besides the record.
struct LineContext {
    const char* executableName;   // for "#E"; null reads as the empty text
    const LogGroupTable& groups;  // for "#G"
};

// Expands `format` (null reads as empty) for `record` into `buffer` of `size` bytes and returns
// the line's length. Two bytes stay in reserve for the newline and the NUL: when the text does
// not fit, it is cut and its last two characters are dropped. The line then gets a newline
// unless it already ends with one, so with `size` >= 2 every line ends in a newline. `size` 1
// gives the empty text; a null buffer or `size` 0 writes nothing. Thread-safe.
std::size_t ExpandLineFormat(char* buffer, std::size_t size, const char* format,
                             const LogRecord& record, const LineContext& context) noexcept;

// "%04d-%02d-%02dT%02d:%02d:%02d.%03d" of `time`, cut to fit; returns the length written.
std::size_t TimestampText(char* buffer, std::size_t size, const LogTime& time) noexcept;

// "%04d-%02d-%02dT%02d-%02d-%02d" of `time` (no milliseconds, hyphens between the time parts,
// fit for a file name), cut to fit; returns the length written.
std::size_t FileNameTimestampText(char* buffer, std::size_t size, const LogTime& time) noexcept;

// `threadId` as upper-case hexadecimal zero-padded to twice the size of a pointer (8 digits on
// 32-bit platforms, 16 on 64-bit), the way the host platform prints a pointer; cut to fit.
std::size_t ThreadIdText(char* buffer, std::size_t size, uint32_t threadId) noexcept;

}  // namespace Velto
