// One accepted log message as the logger hands it to each log target.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/local_time.h"

namespace Velto {

// The seven local wall-clock fields: year, month, day, hour, minute, second, millisecond.
using LogTime = Platform::LocalTime;

// A message text is formatted into this many bytes (so at most 4095 characters), and each
// target expands its line into a buffer of the same size.
inline constexpr std::size_t kLogMessageSize = 4096;
inline constexpr std::size_t kLogLineSize = 4096;

// Built on the logging thread's stack; valid only for the duration of one target's Write.
struct LogRecord {
    LogTime time;         // local time of the log call
    int32_t level;        // a LogLevel value
    uint64_t groups;      // bit i stands for group i; 0 means no group
    const char* message;  // the formatted message; null reads as the empty text
};

}  // namespace Velto
