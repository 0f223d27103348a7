// The base class of every plug-in module: its connection to the host, its registry, and every way
// it talks to the host: waiting, outgoing requests, host events and resource handlers, deferred
// calls, the LCDS bridge, service-proxy events and resource publication.
//
// A module is created by the load handshake, started once by the host through its export table,
// and shut down and destroyed by the host's Shutdown call. Every call into it happens on a host
// thread; the host must not overlap calls into one module (registration, Shutdown and event
// delivery carry no lock). Only the deferred-call table and the service-proxy tables are locked,
// since the host may run those on other threads. Before Start the module has no host connection
// and its Host* operations do nothing.
//
// The host is handed C callbacks that check their user data before using it: an event delivered
// with a null or unknown module, or after the module is destroyed, and a deferred call run after
// Shutdown, are ignored. No exception leaves a callback the host calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "binding/maybe_type.h"
#include "diagnostics/assertion.h"
#include "diagnostics/format.h"
#include "platform/host_boundary.h"
#include "remoting/api_description.h"
#include "remoting/function_bindings.h"
#include "remoting/function_name.h"
#include "remoting/function_registration.h"
#include "remoting/http_method.h"
#include "runtime/deferred_calls.h"
#include "runtime/guarded_call.h"
#include "runtime/host_value_reading.h"
#include "runtime/plugin_identity.h"
#include "runtime/runtime_types.h"
#include "runtime/trace.h"
#include "runtime/version.h"

namespace Velto {
class LogTarget;
}

namespace Velto::Client {

class ServiceProxy;

class AppModule {
  public:
    // A message that arrived over the LCDS connection.
    struct PluginLcdsEvent {
        std::string clientId;
        std::string subtopic;
        std::string typeName;  // the LCDS class name of `body`
        BindingProperty body;
    };
    // The answer of a remote LCDS method.
    struct PluginLcdsResponse {
        std::string typeName;  // the LCDS class name of `body`
        BindingProperty body;
    };
    // A message of the host's service proxy.
    struct PluginServiceProxyResponse {
        std::string uuid;
        std::string serviceName;
        std::string methodName;
        std::string payload;
        std::string status;
        std::string error;
    };

    using ResourceHandler = std::function<void(const PluginResourceEvent&)>;
    using LcdsHandler = std::function<void(const PluginLcdsEvent&)>;
    using MonotonicClock = std::chrono::steady_clock;

    // `shortName` is the name the plug-in is loaded under; `type` is "backend" or "frontend".
    AppModule(std::string shortName, std::string type);
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    // Counted host subscription to the event of a resource URI (EventNameForUri): the first
    // Subscribe for a name subscribes at the host, the Unsubscribe that brings its count back to
    // 0 unsubscribes. Unsubscribe of a name without subscriptions does nothing.
    virtual void Subscribe(const std::string& uri);
    virtual void Unsubscribe(const std::string& uri);
    virtual ~AppModule();
    // Ends every host subscription, empties the handler tables and disarms pending deferred
    // calls, so nothing the host still holds can reach this module afterwards.
    virtual void Shutdown();

    // Calls into the host's function table, read afresh from the host context for each call.
    virtual void HostSendRequest(HostResponse* response, HostRequest* request);
    virtual void HostReserved(uint32_t first, uint32_t second);
    virtual void HostSendEvent(HostEvent* event);
    virtual void HostSubscribe(const char* eventName, uint32_t handle, HostEventCallback callback,
                               void* userData, uint32_t flags);
    virtual void HostUnsubscribe(const char* eventName, uint32_t handle);
    virtual void HostScheduleCall(const char* name, HostDeferredCallback callback, void* userData,
                                  double delaySeconds, uint32_t zero);
    virtual void HostYield();
    virtual void HostBeginWait(const std::string& text, uint32_t zero);
    virtual void HostEndWait();

    // Registers the module's own records, events and routes during the handshake.
    virtual void RegisterTypes();
    // Starts the feature once connected; false makes Start report failure to the host.
    virtual bool OnStart();

    // Connects the module to the host: keeps `context` (which the host keeps alive until
    // Shutdown), sends the plug-in's log lines to the host, subscribes to the service-proxy
    // events and runs OnStart. A second Start, or a null context or function table, is refused
    // with false and changes nothing.
    bool Start(HostContext* context);

    // --- Waiting ---------------------------------------------------------------------------------
    // The value of `future`. While it is not ready the host gets the thread back: one wait
    // ("Wait: future<T>") is opened, the host's Yield is called until the value is there, and
    // the wait is closed. A std::future_error (no state, broken promise) is reported as
    // "ALE-6D828C10" and thrown on; an exception stored in the promise is thrown unchanged.
    template <class T>
    T Await(std::future<T>&& future);
    // One bracketed yield: BeginWait("Wait: yield"), Yield, EndWait.
    void YieldOnce();

    // --- Outgoing requests -----------------------------------------------------------------------
    // Sends `method` `path` to the host with each argument converted into a positional host
    // value. Success when the host sets no error message.
    template <class... Args>
    MaybeType<Failure, void> SendApiRequest(HttpMethod method, const std::string& path,
                                            const Args&... args);
    // SendApiRequest, then the response body (streamed or not) converted into T, a registered
    // type or BindingProperty. The host's response is always released.
    template <class T, class... Args>
    MaybeType<Failure, T> CallApi(HttpMethod method, const std::string& path, const Args&... args);
    // Reads the streamed body of `response` to its end, yielding once whenever the host delivers
    // less than a full buffer with more to come, and parses it as JSON. The stream is released
    // whatever the outcome.
    MaybeType<Failure, BindingProperty> ReadStreamedResponse(HostResponse& response);

    // --- Host events and resource handlers -------------------------------------------------------
    // Calls `handler` for every event of the resource at `uri` (or of every resource matching a
    // pattern with "*"), its data converted into the registered record T; a later handler for
    // the same URI replaces the earlier one. For an exact URI the current value is fetched at
    // once and delivered as a Create event when the host has it.
    template <class T>
    void SubscribeResource(const std::string& uri,
                           std::function<void(const TypedResourceEvent<T>&)> handler);
    // Keeps `handler` for host events named `eventName` (replacing an earlier one) and subscribes
    // at the host with `flags`. The payload is decoded into Record, one of PluginResourceEvent,
    // PluginLcdsEvent and PluginServiceProxyResponse.
    template <class Record>
    void RegisterHostHandler(const std::string& eventName,
                             std::function<void(const Record&)> handler, uint32_t flags);
    // Passes a resource event to the exact handler of its URI, then to every matching pattern's.
    void OnJsonApiEvent(const PluginResourceEvent& event);

    // --- Deferred calls --------------------------------------------------------------------------
    // Asks the host to run `callback` at `deadline` (now or earlier: as soon as it can). Returns
    // the call's id, from 1; 0 when `callback` is empty or no call can be kept any more
    // (DeferredCalls::Add), and nothing is scheduled.
    uint64_t Schedule(const std::string& name, std::function<void()> callback,
                      MonotonicClock::time_point deadline);

    // --- LCDS bridge -----------------------------------------------------------------------------
    // Registers T as the record `name` whose LCDS class is `lcdsClassName`; returns its builder.
    template <class T>
    TypeBuilder RegisterLcdsStruct(const std::string& lcdsClassName, const std::string& name);
    // Invokes `method` of the remote `service` with the arguments and converts the answer into T.
    // The request is made before this returns, so the future is always ready.
    template <class T, class... Args>
    std::future<MaybeType<Failure, T>> CallLcds(const std::string& service,
                                                const std::string& method, const Args&... args);
    // Calls `handler` with the body of every LCDS message of class `lcdsClassName`, converted into
    // T, from a deferred call; a later handler for the class replaces the earlier one.
    template <class T>
    void SubscribeLcds(const std::string& lcdsClassName, std::function<void(const T&)> handler);
    // Defers the dispatch of an LCDS message to the handler of its class, if there is one.
    void OnLcdsEvent(const PluginLcdsEvent& event);

    // --- Service proxy ---------------------------------------------------------------------------
    // The service-proxy tables; the host's three service-proxy events arrive there.
    ServiceProxy& GetServiceProxy() { return *serviceProxy_; }

    // --- Resource publication --------------------------------------------------------------------
    // Announces a change of the resource at `uri` with `value`, a registered record; failures are
    // silent.
    template <class T>
    void PublishResource(PluginResourceEventType eventType, const std::string& uri, const T& value);
    // Sends `event` under the name of its URI and, when that differs, under `eventName`.
    MaybeType<Failure, void> SendResourceEvent(const std::string& eventName,
                                               const PluginResourceEvent& event, uint32_t flags);

    // --- Functions the host calls ----------------------------------------------------------------
    // Binds `callable` as the function `name` (registered from the callable's signature, its
    // arguments named by `argumentNames`); an existing binding of the name is reused unchanged.
    // See remoting/callable_invoker.h for the callables that can be bound.
    template <class Callable>
    FunctionBuilder BindFunction(std::string_view name, Callable callable,
                                 const std::vector<std::string>& argumentNames = {}) {
        return BindCallable(registry_, functionBindings_, name, std::move(callable), argumentNames);
    }
    // Binds `callable` as the GET handler of `path`, named after the route and tagged with the
    // module's API tags.
    template <class Callable>
    FunctionBuilder BindGet(std::string_view path, Callable callable) {
        return BindFunction(FunctionNameFromRoute(HttpMethod::Get, path), std::move(callable))
            .Route(path)
            .Method(HttpMethod::Get)
            .Tags(apiTags_);
    }
    // Builds the API description handed to the host, once: functions bound later are not in it.
    void BuildApiDescription();
    const FunctionBindings& Bindings() const { return functionBindings_; }

    // --- Identity and connection -----------------------------------------------------------------
    const PluginIdentity& Identity() const { return identity_; }
    const std::string& ShortName() const { return shortName_; }
    const std::string& Type() const { return type_; }
    const Version& HostVersion() const { return hostVersion_; }
    HostContext* Context() const { return hostContext_; }
    uint32_t ConnectionHandle() const { return connectionHandle_; }
    const std::vector<std::string>& ApiTags() const { return apiTags_; }
    PluginExportTable* ExportTable() { return &exports_; }
    ApiDescriptor* Descriptor() { return apiDescription_.Descriptor(); }
    BindingRegistry& Registry() { return registry_; }
    const BindingRegistry& Registry() const { return registry_; }

    // Set by the load handshake.
    void SetHostVersion(const Version& version) { hostVersion_ = version; }
    void SetIdentity(PluginIdentity identity) { identity_ = std::move(identity); }
    void SetApiTags(std::vector<std::string> tags) { apiTags_ = std::move(tags); }

    // The live module that `userData` names, or null: what the host's callbacks check first.
    static AppModule* FromUserData(void* userData) noexcept;

  private:
    // A handler of HostHandlers, with the record its payload is decoded into.
    struct HostHandler {
        explicit HostHandler(const TypeIdentity& record) : record(&record) {}
        virtual ~HostHandler() = default;
        const TypeIdentity* record;
    };
    template <class Record>
    struct TypedHostHandler final : HostHandler {
        explicit TypedHostHandler(std::function<void(const Record&)> handle)
            : HostHandler(StaticType::HashCode<Record>()), handle(std::move(handle)) {}
        std::function<void(const Record&)> handle;
    };

    HostApi* Api() const;

    // Non-template cores of the templates above.
    MaybeType<Failure, void> SendConvertedRequest(HttpMethod method, const std::string& path,
                                                  std::span<const BindingResult> arguments,
                                                  HostResponse& response);
    MaybeType<Failure, BindingProperty> ReadResponseBody(HttpMethod method, const std::string& path,
                                                         HostResponse& response);
    void StoreResourceHandler(const std::string& uri, ResourceHandler handler);
    void FetchInitialResource(const std::string& uri);
    void StoreHostHandler(const std::string& eventName, std::shared_ptr<HostHandler> handler,
                          HostEventCallback callback, uint32_t flags);
    std::shared_ptr<HostHandler> FindHostHandler(const char* eventName,
                                                 const TypeIdentity& record) const;
    void StoreLcdsClass(const std::string& lcdsClassName, const std::string& name,
                        const TypeIdentity& identity);
    const std::string* LcdsClassOf(const TypeIdentity& identity) const;
    MaybeType<Failure, PluginLcdsResponse> InvokeLcds(const std::string& service,
                                                      const std::string& method,
                                                      std::span<const BindingResult> arguments);
    void StoreLcdsHandler(const std::string& lcdsClassName, LcdsHandler handler);
    void SubscribeServiceProxyEvents();

    template <class Record>
    static void DeliverHostEvent(HostEvent* event) noexcept;
    template <class T>
    static MaybeType<Failure, T> ConvertTo(const BindingProperty& value, std::string_view name,
                                           const BindingRegistry& registry);
    template <class... Args>
    std::vector<BindingResult> ConvertArguments(const Args&... args) const;

    std::string shortName_;
    std::string type_;
    PluginIdentity identity_;
    Version hostVersion_;
    HostContext* hostContext_ = nullptr;
    uint32_t connectionHandle_ = 0;
    std::vector<std::string> apiTags_;
    PluginExportTable exports_;
    std::unique_ptr<LogTarget> logTarget_;
    BindingRegistry registry_;
    // After the registry, whose function descriptors they point at.
    FunctionBindings functionBindings_;
    ApiDescription apiDescription_;

    // Handlers are shared so that one running keeps itself alive when it replaces itself.
    std::map<std::string, std::shared_ptr<const ResourceHandler>, std::less<>> exactHandlers_;
    std::map<std::string, std::shared_ptr<const ResourceHandler>, std::less<>> patternHandlers_;
    std::map<std::string, uint32_t, std::less<>> subscriptionCounts_;
    std::map<std::string, std::shared_ptr<HostHandler>, std::less<>> hostHandlers_;
    DeferredCalls deferredCalls_;

    std::map<std::string, std::string, std::less<>> lcdsClassNames_;
    std::map<uint32_t, std::string> lcdsClassByType_;
    std::map<std::string, std::shared_ptr<const LcdsHandler>, std::less<>> lcdsHandlers_;

    std::unique_ptr<ServiceProxy> serviceProxy_;
};

// --- Template definitions ------------------------------------------------------------------------

template <class T>
T AppModule::Await(std::future<T>&& future) {
    try {
        if (!future.valid()) {
            throw std::future_error(std::future_errc::no_state);
        }
        bool waiting = false;
        while (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            if (!waiting) {
                HostBeginWait(Format("Wait: future<%1>", StaticType::Name<T>().name), 0);
                waiting = true;
            }
            HostYield();
        }
        if (waiting) {
            HostEndWait();
        }
        return future.get();
    } catch (const std::future_error&) {
        ReportAssertion("ALE-6D828C10", nullptr, nullptr, 0, nullptr);
        throw;
    }
}

template <class... Args>
std::vector<BindingResult> AppModule::ConvertArguments(const Args&... args) const {
    std::vector<BindingResult> converted(sizeof...(Args));
    std::size_t index = 0;
    (FromNative(converted[index++], args, registry_), ...);
    return converted;
}

template <class T>
MaybeType<Failure, T> AppModule::ConvertTo(const BindingProperty& value, std::string_view name,
                                           const BindingRegistry& registry) {
    BindingResult status;
    T native{};
    ToNative(status, native, value, name, registry);
    if (!status.succeeded) {
        return Failure("%1", status.FailureMessage());
    }
    return native;
}

template <class... Args>
MaybeType<Failure, void> AppModule::SendApiRequest(HttpMethod method, const std::string& path,
                                                   const Args&... args) {
    const std::vector<BindingResult> arguments = ConvertArguments(args...);
    HostResponse response{};
    MaybeType<Failure, void> status = SendConvertedRequest(method, path, arguments, response);
    if (response.release != nullptr) {
        response.release(&response);
    }
    return status;
}

template <class T, class... Args>
MaybeType<Failure, T> AppModule::CallApi(HttpMethod method, const std::string& path,
                                         const Args&... args) {
    const std::vector<BindingResult> arguments = ConvertArguments(args...);
    HostResponse response{};
    MaybeType<Failure, void> sent = SendConvertedRequest(method, path, arguments, response);
    MaybeType<Failure, BindingProperty> body =
        sent.IsFailure() ? MaybeType<Failure, BindingProperty>(std::move(sent.GetFailure()))
                         : ReadResponseBody(method, path, response);
    if (response.release != nullptr) {
        response.release(&response);
    }
    if (body.IsFailure()) {
        return std::move(body.GetFailure());
    }
    if constexpr (std::is_same_v<T, BindingProperty>) {
        return std::move(body.Value());
    } else {
        MaybeType<Failure, T> converted = ConvertTo<T>(body.Value(), "<result>", registry_);
        if (converted.IsFailure()) {
            return Failure("Error converting response for %1 %2: %3", MethodName(method), path,
                           converted.GetFailure().Message());
        }
        return converted;
    }
}

template <class T>
void AppModule::SubscribeResource(const std::string& uri,
                                  std::function<void(const TypedResourceEvent<T>&)> handler) {
    StoreResourceHandler(
        uri, [this, handler = std::move(handler)](const PluginResourceEvent& event) {
            TypedResourceEvent<T> typed;
            typed.uri = event.uri;
            typed.eventType = event.eventType;
            if (event.eventType != PluginResourceEventType::Delete) {
                BindingResult status;
                ToNative(status, typed.data, event.data, "<value>", registry_);
                if (!status.succeeded) {
                    Trace("Couldn't convert resource %s to C++ while handling update for URL: %s",
                          StaticType::Name<T>().name, event.uri.c_str());
                    return;
                }
            }
            handler(typed);
        });
    Subscribe(uri);
    FetchInitialResource(uri);
}

template <class Record>
void AppModule::RegisterHostHandler(const std::string& eventName,
                                    std::function<void(const Record&)> handler, uint32_t flags) {
    StoreHostHandler(eventName, std::make_shared<TypedHostHandler<Record>>(std::move(handler)),
                     &DeliverHostEvent<Record>, flags);
}

template <class Record>
void AppModule::DeliverHostEvent(HostEvent* event) noexcept {
    AppModule* module = event != nullptr ? FromUserData(event->userData) : nullptr;
    if (module == nullptr || event->name == nullptr) {
        return;
    }
    const std::shared_ptr<HostHandler> handler =
        module->FindHostHandler(event->name, StaticType::HashCode<Record>());
    if (handler == nullptr) {
        return;
    }
    Record record{};
    std::string error;
    if (ReadHostRecord(event->payload, record, module->registry_, "<result>", error) !=
        RecordReading::Read) {
        Trace("Couldn't convert payload %s for event %s: %s", StaticType::Name<Resource>().name,
              event->name, error.c_str());
        return;
    }
    Trace("Handling event %s", event->name);
    RunGuarded(event->name,
               [&] { static_cast<TypedHostHandler<Record>&>(*handler).handle(record); });
}

template <class T>
TypeBuilder AppModule::RegisterLcdsStruct(const std::string& lcdsClassName,
                                          const std::string& name) {
    StoreLcdsClass(lcdsClassName, name, StaticType::HashCode<T>());
    return registry_.RegisterStruct<T>(name);
}

template <class T, class... Args>
std::future<MaybeType<Failure, T>> AppModule::CallLcds(const std::string& service,
                                                       const std::string& method,
                                                       const Args&... args) {
    std::promise<MaybeType<Failure, T>> promise;
    std::future<MaybeType<Failure, T>> future = promise.get_future();
    MaybeType<Failure, PluginLcdsResponse> response =
        InvokeLcds(service, method, ConvertArguments(args...));
    if (response.IsFailure()) {
        promise.set_value(std::move(response.GetFailure()));
        return future;
    }
    const PluginLcdsResponse& answer = response.Value();
    const std::string* expected = LcdsClassOf(StaticType::HashCode<T>());
    if (expected != nullptr && *expected != answer.typeName) {
        promise.set_value(Failure("Expected '%1' as LCDS response for %2.%3, but got '%4'",
                                  *expected, service, method, answer.typeName));
        return future;
    }
    MaybeType<Failure, T> converted = ConvertTo<T>(answer.body, "<result>", registry_);
    if (converted.IsFailure()) {
        promise.set_value(Failure("Couldn't convert LCDS DTO %s to C++ from %s",
                                  StaticType::Name<T>().name, converted.GetFailure().Message()));
        return future;
    }
    promise.set_value(std::move(converted));
    return future;
}

template <class T>
void AppModule::SubscribeLcds(const std::string& lcdsClassName,
                              std::function<void(const T&)> handler) {
    StoreLcdsHandler(
        lcdsClassName, [this, handler = std::move(handler)](const PluginLcdsEvent& event) {
            MaybeType<Failure, T> body = ConvertTo<T>(event.body, "<value>", registry_);
            if (body.IsFailure()) {
                Trace("Couldn't convert LCDS DTO %s to C++ from %s", StaticType::Name<T>().name,
                      body.GetFailure().Message());
                return;
            }
            handler(body.Value());
        });
}

template <class T>
void AppModule::PublishResource(PluginResourceEventType eventType, const std::string& uri,
                                const T& value) {
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = eventType;
    BindingResult data;
    FromNative(data, value, registry_);
    if (!data.succeeded) {
        Trace("Couldn't convert resource %s for event uri \"%s\"", StaticType::Name<T>().name,
              uri.c_str());
        return;
    }
    event.data.Take(data);
    SendResourceEvent("OnJsonApiEvent", event, 0);
}

}  // namespace Velto::Client
