// The module's service-proxy tables: the latest response received under each key, the handlers
// waiting for a response under a key, and the handlers of asynchronous messages.
//
// Keys are the uuid of a uuid event, or "service.method" of a method or async event. All access
// takes the service-proxy lock, and handlers are called while it is held, so a handler must not
// call back into this object.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "runtime/app_module.h"

namespace Velto::Client {

class ServiceProxy {
  public:
    using Response = AppModule::PluginServiceProxyResponse;
    using Handler = std::function<void(const Response&)>;

    // "%1.%2" of the response's service and method names.
    static std::string MethodKey(const Response& response);

    // Stores the response under its uuid, then fulfils at most one pending request.
    void OnServiceProxyUuidEvent(const Response& response);
    // Stores the response under its method key, then fulfils at most one pending request.
    void OnServiceProxyMethodEvent(const Response& response);
    // Passes the response to the async handler of its method key, or logs that there is none.
    void OnServiceProxyAsyncEvent(const Response& response);
    // Calls the pending handler of the first stored response that has one, then forgets both.
    void FulfilPendingServiceProxyRequest();

    // For module code that sends service-proxy requests or expects asynchronous messages.
    void AddPendingRequest(const std::string& key, Handler handler);
    void AddAsyncHandler(const std::string& key, Handler handler);

    // Empties the three tables.
    void Clear();

    // Copies, for inspection.
    std::map<std::string, Response> StoredResponses() const;
    std::size_t PendingRequestCount() const;

  private:
    void Store(const std::string& key, const Response& response);

    mutable std::mutex lock_;
    std::map<std::string, Response> responses_;
    std::map<std::string, Handler> pendingRequests_;
    std::map<std::string, Handler> asyncHandlers_;
};

}  // namespace Velto::Client
