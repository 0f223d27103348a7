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
        responses_[key] = Stored{response};
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
    Handler handler;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        const auto found = asyncHandlers_.find(key);
        if (found != asyncHandlers_.end()) {
            handler = found->second;
        }
    }
    if (!handler) {
        LogMessage(LogLevel::Error, kLogGroupDbg,
                   "Could not find registered handler for async service proxy event %s",
                   key.c_str());
        return;
    }
    handler(response);
}

void ServiceProxy::FulfilPendingServiceProxyRequest() {
    std::string key;
    Handler handler;
    Response response;
    if (!Claim(key, handler, response)) {
        return;
    }
    try {
        handler(response);
    } catch (...) {
        // Not fulfilled: the request would otherwise wait for ever.
        EndClaims(key, false);
        throw;
    }
    EndClaims(key, true);
    LogMessage(LogLevel::Always, kLogGroupDbg, "Fulfilled service proxy request: %s", key.c_str());
}

bool ServiceProxy::Claim(std::string& key, Handler& handler, Response& response) {
    const std::lock_guard<std::mutex> guard(lock_);
    for (auto& [storedKey, stored] : responses_) {
        const auto pending = pendingRequests_.find(storedKey);
        if (stored.claimed || pending == pendingRequests_.end() || pending->second.claimed) {
            continue;
        }
        stored.claimed = true;
        pending->second.claimed = true;
        key = storedKey;
        handler = pending->second.handler;
        response = stored.response;
        return true;
    }
    return false;
}

void ServiceProxy::EndClaims(const std::string& key, bool fulfilled) {
    const std::lock_guard<std::mutex> guard(lock_);
    // A handler may have stored a newer response or request under the key: those are unclaimed
    // and stay.
    const auto end = [&key, fulfilled](auto& table) {
        const auto entry = table.find(key);
        if (entry == table.end() || !entry->second.claimed) {
            return;
        }
        if (fulfilled) {
            table.erase(entry);
        } else {
            entry->second.claimed = false;
        }
    };
    end(pendingRequests_);
    end(responses_);
}

void ServiceProxy::AddPendingRequest(const std::string& key, Handler handler) {
    const std::lock_guard<std::mutex> guard(lock_);
    pendingRequests_[key] = Pending{std::move(handler)};
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
    std::map<std::string, Response> copies;
    for (const auto& [key, stored] : responses_) {
        copies.emplace(key, stored.response);
    }
    return copies;
}

std::size_t ServiceProxy::PendingRequestCount() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return pendingRequests_.size();
}

}  // namespace Velto::Client
