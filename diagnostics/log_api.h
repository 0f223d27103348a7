// The logger's function table: the whole logger behind plain functions, for callers that can
// only call through C function pointers.
//
// Every function is safe on bad input: null buffers and size 0 write nothing, null texts and
// records read as empty (or find nothing), unknown levels have the empty text. Texts are
// written NUL-terminated and cut to the buffer; the functions that write return the length
// written. Operations on the logger create it if it does not exist, as the log call does
// (see LogManager); Stop and RemoveTarget never create it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "diagnostics/log_record.h"
#include "diagnostics/log_target.h"

namespace Velto {

struct LogApi {
    int32_t (*Version)();  // returns 1
    void (*Start)();
    void (*Stop)();
    void (*SetMinimumLevel)(int32_t level);
    int32_t (*GetMinimumLevel)();
    void (*SetSuppressedGroups)(uint32_t low, uint32_t high);
    uint64_t (*GetSuppressedGroups)();
    void (*Mute)();
    void (*Unmute)();
    void (*SetReservedFlag)();
    void (*ClearReservedFlag)();
    void (*AddTarget)(LogTargetInterface* target);
    void (*RemoveTarget)(LogTargetInterface* target);
    LogTargetInterface* (*FindTarget)(const char* name);
    LogTargetInterface* (*StdOutTarget)();
    LogTargetInterface* (*StdErrTarget)();
    LogTargetInterface* (*DebuggerTarget)();
    // The 64-bit mask of the three-character group `name`; 0 when the table is full.
    uint64_t (*RegisterGroup)(const char* name);
    std::size_t (*GroupListText)(char* buffer, std::size_t size, uint64_t mask);
    std::size_t (*FormatLine)(char* buffer, std::size_t size, const char* lineFormat,
                              const LogRecord* record);
    const char* (*LevelText)(int32_t level);
    const char* (*ExecutableName)();
    void (*LocalTimeNow)(LogTime* time);
    // "%04d-%02d-%02dT%02d:%02d:%02d.%03d"
    std::size_t (*TimestampText)(char* buffer, std::size_t size, const LogTime* time);
    // "%04d-%02d-%02dT%02d-%02d-%02d"
    std::size_t (*FileNameTimestampText)(char* buffer, std::size_t size, const LogTime* time);
    // The log call, with the format's arguments as a va_list.
    void (*LogV)(int32_t level, uint64_t groups, const char* format, va_list arguments);
};

// The one table; it lives as long as the process.
const LogApi* GetLogApi() noexcept;

}  // namespace Velto
