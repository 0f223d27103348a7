#include "runtime/app_module.h"

#include "diagnostics/log_target.h"
#include "diagnostics/plugin_logging.h"
#include "runtime/plugin_exports.h"
#include "runtime/plugin_log_target.h"

namespace Velto::Client {

AppModule::AppModule(std::string shortName, std::string type)
    : shortName_(std::move(shortName)), type_(std::move(type)), exports_(MakePluginExportTable()) {
    StartLogging();
}

AppModule::~AppModule() {
    // The target must leave the logger before the module's reference to the logger goes.
    logTarget_.reset();
    StopLogging();
}

namespace {

// Calls one slot of the host's table, unless there is no table yet or the host left the slot
// empty.
template <auto Slot, class... Args>
void CallHost(HostApi* api, Args... args) {
    if (api != nullptr && api->*Slot != nullptr) {
        (api->*Slot)(api, args...);
    }
}

}  // namespace

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

void AppModule::RegisterTypes() {}

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
    return OnStart();
}

}  // namespace Velto::Client
