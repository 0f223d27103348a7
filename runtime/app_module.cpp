#include "runtime/app_module.h"

#include <mutex>

#include "binding/builtins.h"
#include "diagnostics/log_target.h"
#include "diagnostics/plugin_logging.h"
#include "remoting/dispatch.h"
#include "runtime/plugin_exports.h"
#include "runtime/plugin_log_target.h"
#include "runtime/pointer_registry.h"
#include "runtime/service_proxy.h"

namespace Velto::Client {

namespace {

// The modules alive in the process: the host's callbacks check their user data against it.
PointerRegistry& LiveModules() {
    static PointerRegistry live;
    return live;
}

// Calls one slot of the host's table, unless there is no table yet or the host left the slot
// empty.
template <auto Slot, class... Args>
void CallHost(HostApi* api, Args... args) {
    if (api != nullptr && api->*Slot != nullptr) {
        (api->*Slot)(api, args...);
    }
}

}  // namespace

AppModule::AppModule(std::string shortName, std::string type)
    : shortName_(std::move(shortName)),
      type_(std::move(type)),
      exports_(MakePluginExportTable()),
      serviceProxy_(std::make_unique<ServiceProxy>()) {
    StartLogging();
    RegisterBuiltins(registry_);
    PointerRegistry& live = LiveModules();
    const std::lock_guard<std::mutex> guard(live.lock);
    live.pointers.insert(this);
}

AppModule::~AppModule() {
    {
        PointerRegistry& live = LiveModules();
        const std::lock_guard<std::mutex> guard(live.lock);
        live.pointers.erase(this);
    }
    deferredCalls_.DisarmAll();
    // The target must leave the logger before the module's reference to the logger goes.
    logTarget_.reset();
    StopLogging();
}

AppModule* AppModule::FromUserData(void* userData) noexcept {
    PointerRegistry& live = LiveModules();
    const std::lock_guard<std::mutex> guard(live.lock);
    return live.pointers.count(userData) != 0 ? static_cast<AppModule*>(userData) : nullptr;
}

void AppModule::Shutdown() {
    for (const auto& [eventName, handler] : hostHandlers_) {
        HostUnsubscribe(eventName.c_str(), connectionHandle_);
    }
    hostHandlers_.clear();
    lcdsHandlers_.clear();
    serviceProxy_->Clear();
    exactHandlers_.clear();
    patternHandlers_.clear();
    deferredCalls_.DisarmAll();
}

HostApi* AppModule::Api() const {
    return hostContext_ != nullptr ? hostContext_->api : nullptr;
}

void AppModule::HostSendRequest(HostResponse* response, HostRequest* request) {
    CallHost<&HostApi::SendRequest>(Api(), response, request);
}

void AppModule::HostReserved(uint32_t first, uint32_t second) {
    CallHost<&HostApi::Reserved>(Api(), first, second);
}

void AppModule::HostSendEvent(HostEvent* event) {
    CallHost<&HostApi::SendEvent>(Api(), event);
}

void AppModule::HostSubscribe(const char* eventName, uint32_t handle, HostEventCallback callback,
                              void* userData, uint32_t flags) {
    CallHost<&HostApi::Subscribe>(Api(), eventName, handle, callback, userData, flags);
}

void AppModule::HostUnsubscribe(const char* eventName, uint32_t handle) {
    CallHost<&HostApi::Unsubscribe>(Api(), eventName, handle);
}

void AppModule::HostScheduleCall(const char* name, HostDeferredCallback callback, void* userData,
                                 double delaySeconds, uint32_t zero) {
    CallHost<&HostApi::ScheduleCall>(Api(), name, callback, userData, delaySeconds, zero);
}

void AppModule::HostYield() {
    CallHost<&HostApi::Yield>(Api());
}

void AppModule::HostBeginWait(const std::string& text, uint32_t zero) {
    CallHost<&HostApi::BeginWait>(Api(), text.c_str(), zero);
}

void AppModule::HostEndWait() {
    CallHost<&HostApi::EndWait>(Api());
}

void AppModule::YieldOnce() {
    HostBeginWait("Wait: yield", 0);
    HostYield();
    HostEndWait();
}

void AppModule::RegisterTypes() {}

void AppModule::BuildApiDescription() {
    apiDescription_.Build(this, registry_, functionBindings_, &HandleHostCall);
}

bool AppModule::OnStart() {
    return true;
}

bool AppModule::Start(HostContext* context) {
    if (hostContext_ != nullptr || context == nullptr || context->api == nullptr) {
        return false;
    }
    hostContext_ = context;
    connectionHandle_ = context->handle;
    InstallPluginLogTarget(logTarget_, context->api);
    SubscribeServiceProxyEvents();
    return OnStart();
}

void AppModule::SubscribeServiceProxyEvents() {
    ServiceProxy* proxy = serviceProxy_.get();
    RegisterHostHandler<PluginServiceProxyResponse>(
        "OnServiceProxyUuidEvent",
        [proxy](const PluginServiceProxyResponse& response) {
            proxy->OnServiceProxyUuidEvent(response);
        },
        1);
    RegisterHostHandler<PluginServiceProxyResponse>(
        "OnServiceProxyMethodEvent",
        [proxy](const PluginServiceProxyResponse& response) {
            proxy->OnServiceProxyMethodEvent(response);
        },
        1);
    RegisterHostHandler<PluginServiceProxyResponse>(
        "OnServiceProxyAsyncEvent",
        [proxy](const PluginServiceProxyResponse& response) {
            proxy->OnServiceProxyAsyncEvent(response);
        },
        1);
}

}  // namespace Velto::Client
