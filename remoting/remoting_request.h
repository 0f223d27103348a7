// The request records a bound function may take as its parameter.
//
// The dispatcher builds an HttpBaseTransport::Request for a function whose request type is either
// identity below and passes it for the duration of the call. Members documented as unused keep
// their types and initial values; nothing in the plug-in fills them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/static_type.h"
#include "remoting/http_method.h"

namespace Velto {

class BindingRegistry;

struct RemotingRequest {
    uint32_t callContext = 0;                   // the host request's call context, passed through
    std::string auxText;                        // unused: empty
    uint32_t auxWord = 0;                       // unused: 0
    const BindingRegistry* registry = nullptr;  // the called function's registry
    uint64_t time = 0;  // when the request was built: 100-nanosecond units since 1970-01-01 UTC
    HttpMethod method = HttpMethod::None;
    std::string customMethod;
    std::string path;                      // the host's path text, query string included
    std::vector<std::string> auxSequence;  // unused: empty
    std::shared_ptr<void> auxHandle;       // unused: empty
};

namespace HttpBaseTransport {

struct Request : RemotingRequest {
    // The host's headers with their names as received; a later pair with the same name wins.
    std::unordered_map<std::string, std::string> headers;
    std::unordered_map<std::string, std::string> transportTexts;  // unused: empty
    std::string transportText;                                    // unused: empty
    uint32_t transportWord = 1;                                   // unused: 1
};

}  // namespace HttpBaseTransport

// Whether a function whose request type is `requestType` takes a transport request.
inline bool TakesTransportRequest(const TypeIdentity& requestType) noexcept {
    return requestType.hash == StaticType::HashCode<HttpBaseTransport::Request>().hash ||
           requestType.hash == StaticType::HashCode<RemotingRequest>().hash;
}

}  // namespace Velto
