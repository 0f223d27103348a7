// The built-in types and the built-in event every module's registry carries: the states of an
// asynchronous operation, the records of generic, callback and asynchronous events, the help
// records (binding/help_records.h), and the event "OnCallback".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_property.h"

namespace Velto {

class BindingRegistry;

namespace BindingAsyncState {
enum Type : int32_t {
    None = 0,
    Running = 1,
    Cancelling = 2,
    Cancelled = 3,
    Succeeded = 4,
    Failed = 5,
};
}  // namespace BindingAsyncState

struct BindingGenericEvent {
    BindingProperty data;
};

struct BindingCallbackEvent {
    uint32_t id = 0;
    std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
    uint32_t asyncToken = 0;
    BindingProperty data;
};

struct BindingAsyncFailureEvent {
    uint32_t asyncToken = 0;
    std::string error;
};

struct BindingAsyncCancelEvent {
    uint32_t asyncToken = 0;
};

// Registers the help records and "BindingHelpFormat", "BindingAsyncState", the five event
// records and the event "OnCallback", then sets the registry's built-ins flag. When the flag was
// already set, the registry is emptied first (every function, event and type destroyed), so a
// second call starts again from an empty registry.
void RegisterBuiltins(BindingRegistry& registry);

}  // namespace Velto
