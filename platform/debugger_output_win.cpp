#include "platform/debugger_output.h"

#include <windows.h>

namespace Velto::Platform {

void WriteNativeDebuggerOutput(const char* text) noexcept {
    OutputDebugStringA(text);
}

}  // namespace Velto::Platform
