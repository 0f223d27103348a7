// The test host's record of the plug-in's calls into the host's function table, as plain data.
//
// Everything is copied when the call arrives: the plug-in frees its records, texts and values
// once the call returns, so nothing here points into the plug-in's memory. Null texts are
// recorded as empty texts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_value_tree.h"

namespace Velto::TestHost {

// One kind per HostApi slot, in slot order, then the two routines of a streamed answer.
enum class HostCallKind {
    SendRequest,
    Reserved,
    SendEvent,
    Subscribe,
    Unsubscribe,
    ScheduleCall,
    Yield,
    BeginWait,
    EndWait,
    Log,
    StreamRead,
    StreamRelease,
};

// The slot's name, e.g. "SendRequest".
const char* HostCallKindName(HostCallKind kind);

// The method text of an HttpMethod code: "DELETE" (1) to "PUT" (7); for 8 the custom method
// name (or "CUSTOM" when there is none); otherwise "METHOD" followed by the number.
std::string MethodText(uint32_t method, const std::string& customMethod = {});

// The HttpMethod code of "DELETE" to "PUT" (1 to 7, exact case); empty for any other text.
std::optional<uint32_t> MethodCode(std::string_view text);

// Whether a body of this content type is raw bytes rather than text: "application/x-msgpack"
// (and its "-ext" form) or "application/octet-stream", compared as case-insensitive prefixes.
bool IsBinaryContentType(std::string_view contentType);

// The name of a log level: "OKAY", "WARN", "ERROR", "ALWAYS", or the number for others.
std::string LogLevelName(int32_t level);

struct RecordedArgument {
    std::optional<std::string> name;  // empty for a positional argument
    HostValueTree value;
};

// A HostRequest as plain data: a copy of one the plug-in sent, or one the host sends it.
struct RecordedRequest {
    uint32_t method = 0;
    std::string path;
    std::vector<RecordedArgument> arguments;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string contentType;
    std::optional<std::string> body;  // the body bytes, when the body pointer was set
    uint32_t callContext = 0;
    bool hasFunctionContext = false;  // whether the function context pointer was set
    std::string customMethod;
};

// What the host wrote into the plug-in's HostResponse.
struct RecordedResponse {
    uint32_t statusCode = 0;
    std::optional<std::string> errorMessage;  // set, with the error flag, when the request failed
    HostValueTree body;
    // The stream's id when the answer was streamed (the body is then null), else 0.
    uint64_t streamId = 0;
};

// One call of the plug-in into the host. Only the fields of the call's kind are set.
struct HostCall {
    HostCallKind kind = HostCallKind::Yield;
    // SendEvent, Subscribe, Unsubscribe: the event name. ScheduleCall: the call's name.
    std::string name;
    // BeginWait: the reason. Log: the message. StreamRead: the bytes delivered.
    std::string text;
    // Subscribe, Unsubscribe: the connection handle passed.
    uint32_t handle = 0;
    // SendEvent: the event's flags word. Subscribe: the flags argument.
    uint32_t flags = 0;
    // ScheduleCall, BeginWait: the last argument (always 0 from a sound plug-in).
    uint32_t zero = 0;
    // Reserved: its two words.
    std::array<uint32_t, 2> words{};
    // ScheduleCall: the delay asked for, and the id the host gave the queued call.
    double delaySeconds = 0;
    uint64_t deferredId = 0;
    // Log: the level.
    int32_t level = 0;
    // StreamRead, StreamRelease: the stream's id, as in the answer's RecordedResponse.
    uint64_t streamId = 0;
    // StreamRead: the capacity offered, whether the read succeeded, the more-flag it set.
    uint32_t capacity = 0;
    bool succeeded = false;
    bool more = false;
    // SendEvent: a deep copy of the payload.
    HostValueTree payload;
    // SendRequest: the request, and the answer the host gave.
    RecordedRequest request;
    RecordedResponse response;
};

}  // namespace Velto::TestHost
