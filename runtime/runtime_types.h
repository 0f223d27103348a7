// The records and enumerations that travel between the host and every module, whatever its
// feature: the plug-in manager's state and resource events. The LCDS and service-proxy records
// are nested in AppModule (runtime/app_module.h).
#pragma once

#include <cstdint>
#include <string>

#include "binding/binding_property.h"

namespace Velto {
class BindingRegistry;
}

namespace Velto::Client {

enum class PluginManagerState : int32_t {
    NotReady = 0,
    PluginsInitialized = 1,
};

struct PluginManagerResource {
    PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : int32_t {
    Create = 0,
    Update = 1,
    Delete = 2,
};

// A resource of some module changed: its URI, what happened, and its new value.
struct PluginResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    BindingProperty data;
};

// What a typed resource handler receives: `data` converted into T, or value-initialised when the
// resource was deleted.
template <class T>
struct TypedResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    T data{};
};

// Names a resource payload, whatever its record, in conversion traces.
struct Resource {};

// Registers the runtime's records, enumerations and events (tag "vclient") into `registry`.
void RegisterRuntimeTypes(BindingRegistry& registry);

}  // namespace Velto::Client
