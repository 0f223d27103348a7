// The log call, and the masks of the predefined log groups.
//
//     LogMessage(LogLevel::Error, kLogGroupDbg, "%s", text.c_str());
//
// A message below the logger's minimum level, in a suppressed group, or sent while the logger is
// muted costs a few atomic reads: nothing is formatted, no clock is read and no lock is taken.
// Messages that pass are formatted on the caller's stack (cut at 4095 characters) and offered to
// every attached log target. Any thread may log; the call never throws and never fails.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "diagnostics/log_level.h"

namespace Velto {

inline constexpr uint64_t kLogGroupDbg = uint64_t{1} << 0;
inline constexpr uint64_t kLogGroupGen = uint64_t{1} << 1;
inline constexpr uint64_t kLogGroupXtr = uint64_t{1} << 2;
inline constexpr uint64_t kLogGroupPrf = uint64_t{1} << 3;
inline constexpr uint64_t kLogGroupMem = uint64_t{1} << 4;
inline constexpr uint64_t kLogGroupDsk = uint64_t{1} << 5;
inline constexpr uint64_t kLogGroupNet = uint64_t{1} << 6;
inline constexpr uint64_t kLogGroupTst = uint64_t{1} << 7;
// Registered while the library initialises, so it always takes the first free bit.
inline constexpr uint64_t kLogGroupLoc = uint64_t{1} << 8;

// Logs a printf-style message of `level` in `groups` (bit i for group i, 0 for none). The
// logger is created if it does not exist yet. A null format logs nothing.
void LogMessage(LogLevel level, uint64_t groups, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));
void LogMessageV(LogLevel level, uint64_t groups, const char* format, va_list arguments) noexcept
    __attribute__((format(printf, 3, 0)));

}  // namespace Velto
