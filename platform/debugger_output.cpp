#include "platform/debugger_output.h"

#include <mutex>

#include "platform/recursive_lock.h"

namespace Velto::Platform {

// Implemented by the platform's own source.
void WriteNativeDebuggerOutput(const char* text) noexcept;

namespace {

struct Listener {
    RecursiveLock lock;
    DebuggerListener function = nullptr;
    void* context = nullptr;
};

Listener& CurrentListener() {
    static Listener listener;
    return listener;
}

}  // namespace

void WriteDebuggerOutput(const char* text) noexcept {
    if (text == nullptr) {
        return;
    }
    WriteNativeDebuggerOutput(text);
    Listener& listener = CurrentListener();
    std::lock_guard guard(listener.lock);
    if (listener.function != nullptr) {
        listener.function(text, listener.context);
    }
}

void SetDebuggerListener(DebuggerListener function, void* context) noexcept {
    Listener& listener = CurrentListener();
    std::lock_guard guard(listener.lock);
    listener.function = function;
    listener.context = context;
}

}  // namespace Velto::Platform
