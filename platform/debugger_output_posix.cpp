#include "platform/debugger_output.h"

namespace Velto::Platform {

// POSIX systems have no debugger output channel; only the in-process listener sees the text.
void WriteNativeDebuggerOutput(const char*) noexcept {}

}  // namespace Velto::Platform
