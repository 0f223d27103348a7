#include "remoting/host_response_writer.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "binding/host_value_conversion.h"
#include "diagnostics/format.h"
#include "diagnostics/memory_statistics.h"

namespace Velto {

namespace {

using Client::HostResponse;

constexpr uint32_t kLastResponseCode = 3;

// A counted, NUL-terminated copy of `text`; null when memory runs out.
char* CopyText(std::string_view text) noexcept {
    auto* copy = static_cast<char*>(CountedAllocate(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
    }
    return copy;
}

void WriteFailure(HostResponse& hostResponse, std::string_view message) noexcept {
    FreeHostValue(hostResponse.body);
    hostResponse.errorMessage = CopyText(message);
    hostResponse.errorFlag = 1;
}

void WriteResult(HostResponse& hostResponse, const BindingResult& result,
                 const BindingRegistry* registry) {
    if (!result.succeeded) {
        WriteFailure(hostResponse, result.FailureMessage());
        return;
    }
    if (!ToHostValue(hostResponse.body, result, registry)) {
        WriteFailure(hostResponse,
                     Format("Couldn't write the result for the host: it nests deeper than %1 "
                            "levels or memory ran out.",
                            kMaxHostValueDepth));
    }
}

// The host reads the response text unconditionally, so it is never null.
const char* ResponseText(const std::string& text) noexcept {
    const char* copy = text.empty() ? nullptr : CopyText(text);
    return copy != nullptr ? copy : kEmptyResponseText;
}

void WriteHeaders(HostResponse& hostResponse,
                  const std::unordered_map<std::string, std::string>& headers) noexcept {
    if (headers.empty()) {
        return;
    }
    const std::size_t bytes = headers.size() * 2 * sizeof(const char*);
    auto* pairs = static_cast<const char**>(CountedAllocate(bytes));
    if (pairs == nullptr) {
        return;
    }
    std::memset(pairs, 0, bytes);
    hostResponse.headers = pairs;
    hostResponse.headerCount = static_cast<uint32_t>(headers.size());
    for (const auto& [name, value] : headers) {
        *pairs++ = CopyText(name);
        *pairs++ = CopyText(value);
    }
}

uint8_t ReadStream(void* stream, uint8_t* buffer, uint32_t* size, uint8_t* more) {
    if (stream == nullptr) {
        return 0;  // not a stream this plug-in handed out
    }
    // Nothing may be thrown back into the host, which learns that nothing was delivered and
    // nothing follows.
    try {
        return static_cast<RemotingStream*>(stream)->read(buffer, size, more);
    } catch (...) {
        if (size != nullptr) {
            *size = 0;
        }
        if (more != nullptr) {
            *more = 0;
        }
        return 0;
    }
}

void ReleaseStream(void* stream) {
    delete static_cast<RemotingStream*>(stream);
}

// Not noexcept: the stream's length is the function's code, and what it throws must fail the
// call rather than end the host's process.
void WriteStream(HostResponse& hostResponse, std::unique_ptr<RemotingStream> stream) {
    hostResponse.streamLengthLow = stream->length();
    hostResponse.streamLengthHigh = 0;
    hostResponse.streamRead = &ReadStream;
    hostResponse.streamRelease = &ReleaseStream;
    hostResponse.stream = stream.release();
}

void ReleaseHeaders(HostResponse& hostResponse) noexcept {
    if (hostResponse.headers == nullptr) {
        return;
    }
    const uint64_t texts = uint64_t{hostResponse.headerCount} * 2;
    for (uint64_t i = 0; i < texts; ++i) {
        CountedRelease(const_cast<char*>(hostResponse.headers[i]));
    }
    CountedRelease(static_cast<void*>(hostResponse.headers));
}

}  // namespace

void WriteHostResponse(HostResponse* hostResponse, RemotingResponse& response,
                       const BindingRegistry* registry) {
    if (hostResponse == nullptr) {
        return;
    }
    ReleaseHostResponse(hostResponse);
    hostResponse->release = &ReleaseHostResponse;
    WriteResult(*hostResponse, response.result, registry);
    hostResponse->responseFlag = response.responseFlag;
    hostResponse->responseCode =
        response.responseCode <= kLastResponseCode ? response.responseCode : 0;
    hostResponse->statusCode = response.status;
    hostResponse->responseText = ResponseText(response.responseText);
    WriteHeaders(*hostResponse, response.headers);
    if (response.stream == nullptr) {
        return;
    }
    if (hostResponse->errorFlag != 0) {
        response.stream.reset();
        return;
    }
    WriteStream(*hostResponse, std::move(response.stream));
}

void ReleaseHostResponse(HostResponse* hostResponse) {
    if (hostResponse == nullptr) {
        return;
    }
    FreeHostValue(hostResponse->body);
    // Freed whether or not the flag is set: the plug-in only ever sets the two together, and a
    // message without the flag must not leak.
    CountedRelease(hostResponse->errorMessage);
    if (hostResponse->responseText != kEmptyResponseText) {
        CountedRelease(const_cast<char*>(hostResponse->responseText));
    }
    ReleaseHeaders(*hostResponse);
    std::memset(static_cast<void*>(hostResponse), 0, sizeof(HostResponse));
}

}  // namespace Velto
