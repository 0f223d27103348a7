// The debugger's output channel: text for an attached debugger to show.
//
// On Windows the text goes to OutputDebugStringA. Where the system has no such channel, the text
// reaches only an in-process listener, which is how tests and tools watch the channel anywhere.
#pragma once

namespace Velto::Platform {

using DebuggerListener = void (*)(const char* text, void* context);

// Sends one NUL-terminated text. Thread-safe; a null text is ignored.
void WriteDebuggerOutput(const char* text) noexcept;

// Installs the one listener that sees every text sent from now on (null removes it).
// The listener runs on the writing thread, one text at a time.
void SetDebuggerListener(DebuggerListener listener, void* context) noexcept;

}  // namespace Velto::Platform
