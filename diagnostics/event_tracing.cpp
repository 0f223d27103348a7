#include "diagnostics/event_tracing.h"

namespace Velto::EventTracing {
namespace {

template <class Function>
Function Find(Platform::SystemFunctionLookup& lookup, void* library, const char* name) {
    return reinterpret_cast<Function>(lookup.FindFunction(library, name));
}

}  // namespace

Functions FindFunctions(Platform::SystemFunctionLookup& lookup) noexcept {
    void* library = lookup.OpenLibrary("Advapi32.dll");
    if (library == nullptr) {
        return {};
    }
    return Functions{
        .eventRegister = Find<EventRegisterFunction>(lookup, library, "EventRegister"),
        .eventWrite = Find<EventWriteFunction>(lookup, library, "EventWrite"),
        .eventUnregister = Find<EventUnregisterFunction>(lookup, library, "EventUnregister"),
    };
}

}  // namespace Velto::EventTracing
