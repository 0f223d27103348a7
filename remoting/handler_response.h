// What a bound handler returns: its value, or a failure, with the status, response text and
// headers the host receives.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

namespace Velto {

struct RemotingResponse;

// Everything of a handler's answer but the value.
struct HandlerStatus {
    bool succeeded = true;
    std::string error;  // the failure message when `succeeded` is false
    uint8_t responseFlag = 0;
    uint32_t responseCode = 0;
    uint32_t status = 0;  // 0 unless the handler sets one
    std::string responseText;
    std::unordered_map<std::string, std::string> headers;
};

// T is the handler's result, a registered type (or any type the conversions know).
template <class T>
struct HandlerResponse : HandlerStatus {
    T value{};

    static HandlerResponse Ok(T value) {
        HandlerResponse response;
        response.value = std::move(value);
        return response;
    }
    static HandlerResponse Failed(uint32_t status, std::string error) {
        HandlerResponse response;
        response.succeeded = false;
        response.status = status;
        response.error = std::move(error);
        return response;
    }
};

// Makes the result of `response` a failure with the handler's error when it did not succeed,
// then copies the response flag, response code, status, response text and headers.
void ApplyHandlerStatus(RemotingResponse& response, HandlerStatus& status);

}  // namespace Velto
