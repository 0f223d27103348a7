#include "runtime/runtime_types.h"

#include <cstddef>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "runtime/app_module.h"

namespace Velto::Client {

namespace {

constexpr char kTag[] = "vclient";

using LcdsEvent = AppModule::PluginLcdsEvent;
using LcdsResponse = AppModule::PluginLcdsResponse;
using ServiceProxyResponse = AppModule::PluginServiceProxyResponse;

void RegisterManagerTypes(BindingRegistry& registry) {
    registry.RegisterEnum<PluginManagerState>("PluginManagerState")
        .Value("NotReady", static_cast<int32_t>(PluginManagerState::NotReady))
        .Value("PluginsInitialized", static_cast<int32_t>(PluginManagerState::PluginsInitialized))
        .Tag(kTag);
    registry.RegisterStruct<PluginManagerResource>("PluginManagerResource")
        .Field<PluginManagerState>("state", offsetof(PluginManagerResource, state))
        .Tag(kTag);
}

void RegisterResourceEventTypes(BindingRegistry& registry) {
    registry.RegisterEnum<PluginResourceEventType>("PluginResourceEventType")
        .Value("Create", static_cast<int32_t>(PluginResourceEventType::Create))
        .Value("Update", static_cast<int32_t>(PluginResourceEventType::Update))
        .Value("Delete", static_cast<int32_t>(PluginResourceEventType::Delete))
        .Tag(kTag);
    registry.RegisterStruct<PluginResourceEvent>("PluginResourceEvent")
        .Field<std::string>("uri", offsetof(PluginResourceEvent, uri))
        .Field<PluginResourceEventType>("eventType", offsetof(PluginResourceEvent, eventType))
        .Field<BindingProperty>("data", offsetof(PluginResourceEvent, data))
        .Tag(kTag);
}

void RegisterLcdsTypes(BindingRegistry& registry) {
    registry.RegisterStruct<LcdsEvent>("PluginLcdsEvent")
        .Field<std::string>("clientId", offsetof(LcdsEvent, clientId))
        .Field<std::string>("subtopic", offsetof(LcdsEvent, subtopic))
        .Field<std::string>("typeName", offsetof(LcdsEvent, typeName))
        .Field<BindingProperty>("body", offsetof(LcdsEvent, body))
        .Tag(kTag);
    registry.RegisterStruct<LcdsResponse>("PluginLcdsResponse")
        .Field<std::string>("typeName", offsetof(LcdsResponse, typeName))
        .Field<BindingProperty>("body", offsetof(LcdsResponse, body))
        .Tag(kTag);
}

void RegisterServiceProxyTypes(BindingRegistry& registry) {
    registry.RegisterStruct<ServiceProxyResponse>("PluginServiceProxyResponse")
        .Field<std::string>("uuid", offsetof(ServiceProxyResponse, uuid))
        .Field<std::string>("serviceName", offsetof(ServiceProxyResponse, serviceName))
        .Field<std::string>("methodName", offsetof(ServiceProxyResponse, methodName))
        .Field<std::string>("payload", offsetof(ServiceProxyResponse, payload))
        .Field<std::string>("status", offsetof(ServiceProxyResponse, status))
        .Field<std::string>("error", offsetof(ServiceProxyResponse, error))
        .Tag(kTag);
}

template <class Data>
void RegisterRuntimeEvent(BindingRegistry& registry, std::string_view name,
                          std::string_view description) {
    registry.RegisterEvent<Data>(name).Description(description).Tag(kTag);
}

void RegisterEvents(BindingRegistry& registry) {
    RegisterRuntimeEvent<PluginResourceEvent>(registry, "OnJsonApiEvent",
                                              "Fired when a resource is changed.");
    RegisterRuntimeEvent<LcdsEvent>(registry, "OnLcdsEvent",
                                    "Fired when a message is received over the LCDS connection.");
    RegisterRuntimeEvent<ServiceProxyResponse>(
        registry, "OnServiceProxyUuidEvent",
        "Fired when a uuid-based service proxy message is received.");
    RegisterRuntimeEvent<ServiceProxyResponse>(
        registry, "OnServiceProxyMethodEvent",
        "Fired when a method-based service proxy message is received.");
    RegisterRuntimeEvent<ServiceProxyResponse>(
        registry, "OnServiceProxyAsyncEvent",
        "Fired when an async service proxy message is received.");
}

}  // namespace

void RegisterRuntimeTypes(BindingRegistry& registry) {
    RegisterManagerTypes(registry);
    RegisterResourceEventTypes(registry);
    RegisterLcdsTypes(registry);
    RegisterServiceProxyTypes(registry);
    RegisterEvents(registry);
}

}  // namespace Velto::Client
