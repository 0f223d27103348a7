// The LCDS bridge of AppModule without its templates.
#include "runtime/app_module.h"
#include "runtime/event_names.h"

namespace Velto::Client {

namespace {

constexpr char kInvokePath[] = "/mek-login/v1/session/invoke";

}  // namespace

void AppModule::StoreLcdsClass(const std::string& lcdsClassName, const std::string& name,
                               const TypeIdentity& identity) {
    lcdsClassNames_.insert_or_assign(name, lcdsClassName);
    lcdsClassByType_.insert_or_assign(identity.hash, lcdsClassName);
}

const std::string* AppModule::LcdsClassOf(const TypeIdentity& identity) const {
    const auto found = lcdsClassByType_.find(identity.hash);
    return found != lcdsClassByType_.end() ? &found->second : nullptr;
}

MaybeType<Failure, AppModule::PluginLcdsResponse> AppModule::InvokeLcds(
    const std::string& service, const std::string& method,
    std::span<const BindingResult> arguments) {
    BindingProperty parameters;
    parameters.MakeCollection();
    parameters.Reserve(arguments.size());
    for (const BindingResult& argument : arguments) {
        if (!argument.succeeded) {
            return Failure("Couldn't convert LCDS call parameters: %1", argument.FailureMessage());
        }
        parameters.Append().Assign(argument);
    }
    MaybeType<Failure, PluginLcdsResponse> response =
        CallApi<PluginLcdsResponse>(HttpMethod::Post, kInvokePath, service, method, parameters);
    if (!response.IsFailure() && response.Value().body.IsEmpty()) {
        return Failure();
    }
    return response;
}

void AppModule::StoreLcdsHandler(const std::string& lcdsClassName, LcdsHandler handler) {
    lcdsHandlers_.insert_or_assign(lcdsClassName,
                                   std::make_shared<const LcdsHandler>(std::move(handler)));
    const std::string eventName = LcdsEventName(lcdsClassName);
    Trace("Subscribing to LCDS event: %s", eventName.c_str());
    RegisterHostHandler<PluginLcdsEvent>(
        eventName, [this](const PluginLcdsEvent& event) { OnLcdsEvent(event); }, 1);
}

void AppModule::OnLcdsEvent(const PluginLcdsEvent& event) {
    if (lcdsHandlers_.find(event.typeName) == lcdsHandlers_.end()) {
        return;
    }
    Schedule(
        Format("Event: OnLcdsEvent (%1)", event.typeName),
        [this, copy = event] {
            const auto handler = lcdsHandlers_.find(copy.typeName);
            if (handler != lcdsHandlers_.end()) {
                const std::shared_ptr<const LcdsHandler> deliver = handler->second;
                (*deliver)(copy);
            }
        },
        MonotonicClock::now());
}

}  // namespace Velto::Client
