#include "runtime/service_proxy.h"

#include <utility>

#include "diagnostics/format.h"
#include "diagnostics/log.h"

namespace Velto::Client {

std::string ServiceProxy::MethodKey(const Response& response) {
    return Format("%1.%2", response.serviceName, response.methodName);
}

void ServiceProxy::Store(const std::string& key, const Response& response) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        responses_[key] = response;
    }
    FulfilPendingServiceProxyRequest();
}

void ServiceProxy::OnServiceProxyUuidEvent(const Response& response) {
    Store(response.uuid, response);
}

void ServiceProxy::OnServiceProxyMethodEvent(const Response& response) {
    Store(MethodKey(response), response);
}

void ServiceProxy::OnServiceProxyAsyncEvent(const Response& response) {
    const std::string key = MethodKey(response);
    const std::lock_guard<std::mutex> guard(lock_);
    const auto handler = asyncHandlers_.find(key);
    if (handler == asyncHandlers_.end()) {
        LogMessage(LogLevel::Error, kLogGroupDbg,
                   "Could not find registered handler for async service proxy event %s",
                   key.c_str());
        return;
    }
    handler->second(response);
}

void ServiceProxy::FulfilPendingServiceProxyRequest() {
    const std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [key, response] : responses_) {
        const auto pending = pendingRequests_.find(key);
        if (pending == pendingRequests_.end()) {
            continue;
        }
        const Handler handler = std::move(pending->second);
        const Response copy = response;
        const std::string fulfilled = key;
        pendingRequests_.erase(pending);
        responses_.erase(fulfilled);
        handler(copy);
        LogMessage(LogLevel::Always, kLogGroupDbg, "Fulfilled service proxy request: %s",
                   fulfilled.c_str());
        return;
    }
}

void ServiceProxy::AddPendingRequest(const std::string& key, Handler handler) {
    const std::lock_guard<std::mutex> guard(lock_);
    pendingRequests_[key] = std::move(handler);
}

void ServiceProxy::AddAsyncHandler(const std::string& key, Handler handler) {
    const std::lock_guard<std::mutex> guard(lock_);
    asyncHandlers_[key] = std::move(handler);
}

void ServiceProxy::Clear() {
    const std::lock_guard<std::mutex> guard(lock_);
    responses_.clear();
    pendingRequests_.clear();
    asyncHandlers_.clear();
}

std::map<std::string, ServiceProxy::Response> ServiceProxy::StoredResponses() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return responses_;
}

std::size_t ServiceProxy::PendingRequestCount() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return pendingRequests_.size();
}

}  // namespace Velto::Client
