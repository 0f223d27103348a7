// The base class of every plug-in module: its connection to the host, its names and the tables
// it hands to the host.
//
// A module is created by the load handshake, started once by the host through its export table,
// and destroyed by the host's Shutdown call. Every call into it happens on a host thread; the
// host must not overlap calls into one module. Before Start the module has no host connection
// and its Host* operations do nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_boundary.h"
#include "runtime/plugin_identity.h"
#include "runtime/version.h"

namespace Velto {
class LogTarget;
}

namespace Velto::Client {

class AppModule {
  public:
    // `shortName` is the name the plug-in is loaded under; `type` is "backend" or "frontend".
    AppModule(std::string shortName, std::string type);
    virtual ~AppModule();
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

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
    // Shutdown), sends the plug-in's log lines to the host and runs OnStart. A second Start, or
    // a null context or function table, is refused with false and changes nothing.
    bool Start(HostContext* context);

    const PluginIdentity& Identity() const { return identity_; }
    const std::string& ShortName() const { return shortName_; }
    const std::string& Type() const { return type_; }
    const Version& HostVersion() const { return hostVersion_; }
    HostContext* Context() const { return hostContext_; }
    uint32_t ConnectionHandle() const { return connectionHandle_; }
    const std::vector<std::string>& ApiTags() const { return apiTags_; }
    PluginExportTable* ExportTable() { return &exports_; }
    ApiDescriptor* Descriptor() { return &apiDescriptor_; }

    // Set by the load handshake.
    void SetHostVersion(const Version& version) { hostVersion_ = version; }
    void SetIdentity(PluginIdentity identity) { identity_ = std::move(identity); }
    void SetApiTags(std::vector<std::string> tags) { apiTags_ = std::move(tags); }

  private:
    HostApi* Api() const;

    std::string shortName_;
    std::string type_;
    PluginIdentity identity_;
    Version hostVersion_;
    HostContext* hostContext_ = nullptr;
    uint32_t connectionHandle_ = 0;
    std::vector<std::string> apiTags_;
    PluginExportTable exports_;
    ApiDescriptor apiDescriptor_{};
    std::unique_ptr<LogTarget> logTarget_;
};

}  // namespace Velto::Client
