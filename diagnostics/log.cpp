#include "diagnostics/log.h"

#include "diagnostics/log_manager.h"

namespace Velto {

void LogMessage(LogLevel level, uint64_t groups, const char* format, ...) noexcept {
    if (!LogManager::Admits(static_cast<int32_t>(level), groups)) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    LogManager::Deliver(static_cast<int32_t>(level), groups, format, arguments);
    va_end(arguments);
}

void LogMessageV(LogLevel level, uint64_t groups, const char* format, va_list arguments) noexcept {
    if (!LogManager::Admits(static_cast<int32_t>(level), groups)) {
        return;
    }
    LogManager::Deliver(static_cast<int32_t>(level), groups, format, arguments);
}

}  // namespace Velto
