// Outgoing requests of AppModule: SendApiRequest and CallApi without their templates.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "binding/host_value_conversion.h"
#include "formats/json_reader.h"
#include "runtime/app_module.h"
#include "runtime/host_value_reading.h"

namespace Velto::Client {

namespace {

constexpr uint32_t kStreamBufferSize = 4096;
constexpr uint32_t kReserveAboveLength = 15;
// The declared length only sizes the first reservation: a host that declares more than it sends
// must not make the plug-in reserve gigabytes; a longer stream still grows as it arrives.
constexpr uint32_t kLargestReservation = 1u << 20;

// The host values of a request's positional arguments, freed with the list.
class ArgumentList {
  public:
    explicit ArgumentList(std::size_t capacity) { arguments_.reserve(capacity); }
    ~ArgumentList() {
        for (HostArgument& argument : arguments_) {
            FreeHostValue(argument.value);
        }
    }
    ArgumentList(const ArgumentList&) = delete;
    ArgumentList& operator=(const ArgumentList&) = delete;

    // Appends `value`; false when it cannot become a host value.
    bool Append(const BindingProperty& value, const BindingRegistry& registry) {
        arguments_.push_back(HostArgument{nullptr, HostValue{}});
        return ToHostValue(arguments_.back().value, value, &registry);
    }
    HostArgument* Data() { return arguments_.empty() ? nullptr : arguments_.data(); }
    int32_t Count() const { return static_cast<int32_t>(arguments_.size()); }

  private:
    std::vector<HostArgument> arguments_;
};

// The status text of a conversion failure: its message with code 0.
MaybeType<Failure, void> ConversionStatus(std::string_view message) {
    return Failure("%1", message);
}

}  // namespace

MaybeType<Failure, void> AppModule::SendConvertedRequest(HttpMethod method, const std::string& path,
                                                         std::span<const BindingResult> arguments,
                                                         HostResponse& response) {
    ArgumentList list(arguments.size());
    for (const BindingResult& argument : arguments) {
        if (!argument.succeeded || !list.Append(argument, registry_)) {
            const std::string_view message =
                argument.succeeded
                    ? std::string_view("Couldn't convert a parameter to a host value")
                    : argument.FailureMessage();
            return Failure(400, "Request not sent: Error converting parameters for %1 %2: %3",
                           MethodName(method), path, ConversionStatus(message));
        }
    }
    HostRequest request{};
    // The host knows the codes 1 to 8 only.
    request.method = static_cast<uint32_t>(MethodFromHost(static_cast<uint32_t>(method)));
    request.path = path.c_str();
    request.arguments = list.Data();
    request.argumentCount = list.Count();
    request.callContext = connectionHandle_;
    HostSendRequest(&response, &request);
    // Copied out of the packed record: the formatting takes its arguments by reference.
    const char* const errorMessage = response.errorMessage;
    const uint32_t statusCode = response.statusCode;
    if (errorMessage == nullptr) {
        return {};
    }
    return Failure(statusCode, "Error response for %1 %2: %3", MethodName(method), path,
                   errorMessage);
}

MaybeType<Failure, BindingProperty> AppModule::ReadResponseBody(HttpMethod method,
                                                                const std::string& path,
                                                                HostResponse& response) {
    if (response.streamRead != nullptr) {
        MaybeType<Failure, BindingProperty> streamed = ReadStreamedResponse(response);
        if (streamed.IsFailure()) {
            return Failure("Error reading streamed response for %1 %2: %3", MethodName(method),
                           path, streamed.GetFailure().Message());
        }
        return streamed;
    }
    BindingProperty body;
    std::string error;
    if (!ReadHostValue(response.body, body, "<result>", error)) {
        return Failure("Error converting response for %1 %2: %3", MethodName(method), path, error);
    }
    return body;
}

MaybeType<Failure, BindingProperty> AppModule::ReadStreamedResponse(HostResponse& response) {
    std::string text;
    const uint32_t declaredLength = response.streamLengthLow;  // a packed member: copy, not bind
    if (declaredLength > kReserveAboveLength) {
        text.reserve(std::min(declaredLength, kLargestReservation));
    }
    uint8_t buffer[kStreamBufferSize];
    uint8_t more = 1;
    bool failed = false;
    while (more != 0) {
        uint32_t size = kStreamBufferSize;
        if (response.streamRead(response.stream, buffer, &size, &more) == 0) {
            failed = true;
            break;
        }
        size = std::min(size, kStreamBufferSize);
        text.append(reinterpret_cast<const char*>(buffer), size);
        if (size < kStreamBufferSize) {
            if (more == 0) {
                break;
            }
            YieldOnce();
        }
    }
    if (response.streamRelease != nullptr) {
        response.streamRelease(response.stream);
    }
    if (failed) {
        return Failure("Stream read error");
    }
    BindingResult parsed = ReadJson(text);
    if (!parsed.succeeded) {
        return Failure("%1", parsed.FailureMessage());
    }
    BindingProperty value;
    value.Take(parsed);
    return value;
}

}  // namespace Velto::Client
