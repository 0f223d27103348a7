#include "host/function_call.h"

#include <algorithm>
#include <cstring>

namespace Velto::TestHost {
namespace {

using namespace Client;

std::string TextOf(const char* text) {
    return text != nullptr ? text : "";
}

// The request's storage is the host's: the record points into `request` and these arrays.
struct OutgoingRequest {
    HostRequest record{};
    std::vector<HostArgument> arguments;
    std::vector<const char*> headers;
};

void Fill(OutgoingRequest& outgoing, const ApiFunctionEntry& entry,
          const RecordedRequest& request) {
    for (const RecordedArgument& argument : request.arguments) {
        const char* name = argument.name.has_value() ? argument.name->c_str() : nullptr;
        outgoing.arguments.push_back(HostArgument{name, argument.value.Value()});
    }
    for (const auto& [name, value] : request.headers) {
        outgoing.headers.push_back(name.c_str());
        outgoing.headers.push_back(value.c_str());
    }
    HostRequest& record = outgoing.record;
    record.method = request.method;
    record.path = request.path.c_str();
    record.arguments = outgoing.arguments.empty() ? nullptr : outgoing.arguments.data();
    record.argumentCount = static_cast<int32_t>(outgoing.arguments.size());
    record.functionContext = entry.callContext;
    record.headers = outgoing.headers.empty() ? nullptr : outgoing.headers.data();
    record.headerCount = static_cast<uint32_t>(request.headers.size());
    record.contentType = request.contentType.c_str();
    if (request.body.has_value()) {
        record.body = reinterpret_cast<const uint8_t*>(request.body->c_str());
        record.bodySize = static_cast<uint32_t>(request.body->size());
    }
    record.callContext = request.callContext;
    const bool named = request.method == 8 && !request.customMethod.empty();
    record.customMethod = named ? request.customMethod.c_str() : nullptr;
}

void ReadStream(const HostResponse& response, FunctionAnswer& answer) {
    std::string bytes;
    uint8_t buffer[kStreamReadCapacity];
    answer.streamEnd = StreamEnd::TooManyReads;
    while (answer.streamReads < kMaxStreamReads) {
        uint32_t size = kStreamReadCapacity;
        uint8_t more = 0;
        ++answer.streamReads;
        if (response.streamRead(response.stream, buffer, &size, &more) == 0) {
            answer.streamEnd = StreamEnd::ReadFailed;
            break;
        }
        bytes.append(reinterpret_cast<const char*>(buffer), std::min(size, kStreamReadCapacity));
        if (more == 0) {
            answer.streamEnd = StreamEnd::Finished;
            break;
        }
    }
    answer.stream = std::move(bytes);
}

FunctionAnswer CopyAnswer(const ApiFunctionEntry& entry, const HostResponse& response) {
    FunctionAnswer answer;
    answer.function = TextOf(entry.signature.name);
    answer.statusCode = response.statusCode;
    if (response.errorFlag != 0) {
        answer.errorMessage = TextOf(response.errorMessage);
    }
    answer.body = HostValueTree::CopyOf(response.body);
    for (uint32_t i = 0; response.headers != nullptr && i < response.headerCount; ++i) {
        answer.headers.emplace_back(TextOf(response.headers[2 * i]),
                                    TextOf(response.headers[2 * i + 1]));
    }
    answer.streamLength = response.streamLengthLow;
    return answer;
}

}  // namespace

FunctionAnswer CallEntry(const ApiFunctionEntry& entry, const RecordedRequest& request) {
    OutgoingRequest outgoing;
    Fill(outgoing, entry, request);
    HostResponse response;
    std::memset(static_cast<void*>(&response), 0, sizeof response);
    entry.call(&response, &outgoing.record);

    FunctionAnswer answer = CopyAnswer(entry, response);
    if (response.stream != nullptr && response.streamRead != nullptr) {
        ReadStream(response, answer);
    }
    if (response.stream != nullptr && response.streamRelease != nullptr) {
        response.streamRelease(response.stream);
    }
    answer.released = response.release != nullptr;
    if (answer.released) {
        response.release(&response);
    }
    return answer;
}

}  // namespace Velto::TestHost
