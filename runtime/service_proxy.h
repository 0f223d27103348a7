// The module's service-proxy tables: the latest response received under each key, the handlers
// waiting for a response under a key, and the handlers of asynchronous messages.
//
// Keys are the uuid of a uuid event, or "service.method" of a method or async event. All access
// takes the service-proxy lock. Handlers are called, and lines logged, without it, so a handler or
// the host's log slot may call back into this object on the same thread: a request being
// fulfilled is claimed first, so its handler runs once, and a response or request stored under its
// key while the handler runs stays.
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
    // Calls the pending handler of the first stored response that has one, then forgets both and
    // logs the fulfilment. A handler that throws leaves both in place for a later call.
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
    // `claimed` marks an entry taken by a fulfilment that is running its handler.
    struct Stored {
        Response response;
        bool claimed = false;
    };
    struct Pending {
        Handler handler;
        bool claimed = false;
    };

    void Store(const std::string& key, const Response& response);
    // Under the lock: claims the first stored response with an unclaimed pending request and
    // copies out its key, handler and response. False when there is none.
    bool Claim(std::string& key, Handler& handler, Response& response);
    // Under the lock: ends the claims under `key` of a handler's call; a fulfilled request and
    // its response go, an unfulfilled one is released for a later call.
    void EndClaims(const std::string& key, bool fulfilled);

    mutable std::mutex lock_;
    std::map<std::string, Stored> responses_;
    std::map<std::string, Pending> pendingRequests_;
    std::map<std::string, Handler> asyncHandlers_;
};

}  // namespace Velto::Client
