// Resource events sent by AppModule.
#include "binding/host_value_conversion.h"
#include "runtime/app_module.h"
#include "runtime/event_names.h"

namespace Velto::Client {

MaybeType<Failure, void> AppModule::SendResourceEvent(const std::string& eventName,
                                                      const PluginResourceEvent& event,
                                                      uint32_t flags) {
    BindingResult converted;
    FromNative(converted, event, registry_);
    if (!converted.succeeded) {
        return Failure("%1", converted.FailureMessage());
    }
    const std::string specificName = EventNameForUri(event.uri);
    Trace("Sending event: %s", specificName.c_str());
    HostEvent hostEvent{};
    if (!ToHostValue(hostEvent.payload, converted, &registry_)) {
        FreeHostValue(hostEvent.payload);
        return Failure("Couldn't convert the event for %1 to a host value", event.uri);
    }
    hostEvent.flags = flags;
    hostEvent.name = specificName.c_str();
    HostSendEvent(&hostEvent);
    if (specificName != eventName) {
        hostEvent.name = eventName.c_str();
        HostSendEvent(&hostEvent);
    }
    FreeHostValue(hostEvent.payload);
    return {};
}

}  // namespace Velto::Client
