#include "runtime/guarded_call.h"

#include <exception>
#include <string>

#include "diagnostics/format.h"
#include "diagnostics/log.h"

namespace Velto::Client {

namespace {

void LogUnhandled(const char* what, const char* reason) noexcept {
    try {
        const std::string text = Format("Unhandled exception in %1: %2", what, reason);
        LogMessage(LogLevel::Error, kLogGroupDbg, "%s", text.c_str());
    } catch (...) {
        // Out of memory while reporting: nothing more can be said.
    }
}

}  // namespace

void RunGuarded(const char* what, const std::function<void()>& work) noexcept {
    try {
        work();
    } catch (const std::exception& error) {
        LogUnhandled(what, error.what());
    } catch (...) {
        LogUnhandled(what, "unknown exception");
    }
}

}  // namespace Velto::Client
