// Host events, resource handlers and deferred calls of AppModule.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "runtime/app_module.h"
#include "runtime/event_names.h"

namespace Velto::Client {

void AppModule::Subscribe(const std::string& uri) {
    const std::string eventName = EventNameForUri(uri);
    if (++subscriptionCounts_[eventName] != 1) {
        return;
    }
    Trace("Subscribing to event: %s", eventName.c_str());
    RegisterHostHandler<PluginResourceEvent>(
        eventName, [this](const PluginResourceEvent& event) { OnJsonApiEvent(event); }, 0);
}

void AppModule::Unsubscribe(const std::string& uri) {
    const std::string eventName = EventNameForUri(uri);
    const auto count = subscriptionCounts_.find(eventName);
    if (count == subscriptionCounts_.end() || count->second == 0) {
        return;
    }
    if (--count->second != 0) {
        return;
    }
    HostUnsubscribe(eventName.c_str(), connectionHandle_);
    hostHandlers_.erase(eventName);
    Trace("Unsubscribing to event: %s", eventName.c_str());
}

void AppModule::StoreResourceHandler(const std::string& uri, ResourceHandler handler) {
    auto& table = uri.find('*') != std::string::npos ? patternHandlers_ : exactHandlers_;
    table.insert_or_assign(uri, std::make_shared<const ResourceHandler>(std::move(handler)));
}

void AppModule::FetchInitialResource(const std::string& uri) {
    if (uri.find('*') != std::string::npos) {
        return;
    }
    MaybeType<Failure, BindingProperty> current = CallApi<BindingProperty>(HttpMethod::Get, uri);
    if (current.IsFailure()) {
        return;
    }
    const auto handler = exactHandlers_.find(uri);
    if (handler == exactHandlers_.end()) {
        return;
    }
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = PluginResourceEventType::Create;
    event.data.Take(current.Value());
    const std::shared_ptr<const ResourceHandler> deliver = handler->second;
    // Runs inside the host's Start, which no exception may leave, as a delivered event does.
    RunGuarded(uri.c_str(), [&] { (*deliver)(event); });
}

void AppModule::StoreHostHandler(const std::string& eventName, std::shared_ptr<HostHandler> handler,
                                 HostEventCallback callback, uint32_t flags) {
    hostHandlers_.insert_or_assign(eventName, std::move(handler));
    HostSubscribe(eventName.c_str(), connectionHandle_, callback, this, flags);
}

std::shared_ptr<AppModule::HostHandler> AppModule::FindHostHandler(
    const char* eventName, const TypeIdentity& record) const {
    const auto found = hostHandlers_.find(std::string_view(eventName));
    if (found == hostHandlers_.end() || found->second->record != &record) {
        return nullptr;
    }
    return found->second;
}

void AppModule::OnJsonApiEvent(const PluginResourceEvent& event) {
    const std::string path = event.uri.starts_with('/') ? event.uri : "/" + event.uri;
    // Each handler is held while it runs, since it may replace or remove handlers, and guarded on
    // its own, so that one handler's failure keeps the event from no other.
    const auto deliver = [&](std::shared_ptr<const ResourceHandler> handler) {
        RunGuarded(path.c_str(), [&] { (*handler)(event); });
    };
    const auto exact = exactHandlers_.find(path);
    if (exact != exactHandlers_.end()) {
        deliver(exact->second);
    }
    if (patternHandlers_.empty()) {
        return;
    }
    std::vector<std::shared_ptr<const ResourceHandler>> matching;
    for (const auto& [pattern, handler] : patternHandlers_) {
        if (MatchesUriPattern(pattern, path)) {
            matching.push_back(handler);
        }
    }
    for (std::shared_ptr<const ResourceHandler>& handler : matching) {
        deliver(std::move(handler));
    }
}

uint64_t AppModule::Schedule(const std::string& name, std::function<void()> callback,
                             MonotonicClock::time_point deadline) {
    if (!callback) {
        return 0;
    }
    const auto remaining =
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - MonotonicClock::now());
    const double delay = std::max(static_cast<double>(remaining.count()) / 1e9, 0.0);
    const DeferredCalls::Ticket ticket = deferredCalls_.Add(std::move(callback));
    if (ticket.id != 0) {
        HostScheduleCall(name.c_str(), &DeferredCalls::Run, ticket.userData, delay, 0);
    }
    return ticket.id;
}

}  // namespace Velto::Client
