// One call of the host into a function entry of the plug-in's API description, made the way the
// host application makes it, and the answer copied out as plain data.
//
// The host owns everything it hands in (texts, argument values, headers, body) for the length of
// the call and frees it afterwards; the plug-in owns everything it writes into the response until
// the host calls the response's release routine, which the host does exactly once, after copying.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/host_call.h"
#include "host/host_value_tree.h"
#include "platform/host_boundary.h"

namespace Velto::TestHost {

// How reading a streamed body ended.
enum class StreamEnd {
    Finished,     // a read cleared the more-flag
    ReadFailed,   // a read returned 0
    TooManyReads  // kMaxStreamReads reads still left the more-flag set
};

// Reads of one streamed body before the host gives up on it.
inline constexpr uint32_t kMaxStreamReads = 65536;
// The capacity the host offers each read.
inline constexpr uint32_t kStreamReadCapacity = 4096;

// What the plug-in answered.
struct FunctionAnswer {
    std::string function;  // the name of the function called
    uint32_t statusCode = 0;
    std::optional<std::string> errorMessage;  // set when the error flag was set
    HostValueTree body;
    std::vector<std::pair<std::string, std::string>> headers;
    // Set when the response carried a stream object and a read routine: the bytes read.
    std::optional<std::string> stream;
    uint32_t streamLength = 0;  // the stream length's low word
    uint32_t streamReads = 0;
    StreamEnd streamEnd = StreamEnd::Finished;
    bool released = false;  // false: the response had no release routine
};

// Calls `entry` with `request` and copies the answer out: fills a HostRequest (method, path,
// direct arguments, the entry's call context as function context, headers, content type, body
// and its size, call context, and the custom method name for method 8 when there is one, null
// otherwise), calls the entry's routine with a zeroed HostResponse, copies status, error, body and
// headers, reads a stream to its end and calls its release routine, then calls the response's
// release routine. Null texts and arrays in the response are read as empty. `entry.call` must not
// be null.
FunctionAnswer CallEntry(const Client::ApiFunctionEntry& entry, const RecordedRequest& request);

}  // namespace Velto::TestHost
