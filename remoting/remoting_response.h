// What one call produces before it is written into the host's response record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "binding/binding_result.h"
#include "remoting/remoting_stream.h"

namespace Velto {

// Lives for one call; not shared between threads.
struct RemotingResponse {
    // Makes the result a failure with `message` and destroys any stream, so a failed call never
    // hands the host a body to read.
    void SetFailure(std::string_view message) noexcept;

    BindingResult result;
    uint8_t responseFlag = 0;
    uint32_t responseCode = 0;
    uint32_t status = 0;
    std::string responseText;
    std::unordered_map<std::string, std::string> headers;
    std::unique_ptr<RemotingStream> stream;
};

}  // namespace Velto
