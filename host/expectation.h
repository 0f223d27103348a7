// What a scenario expects the plug-in to have done, and the check of it against what the test
// host recorded.
//
// An expectation is the text after the command word `expect`, in one of these forms:
//
//   event NAME JSON              the plug-in published an event of this name whose payload
//                                matches JSON (compared as JSON values, "*" matching anything:
//                                see json_match.h)
//   request METHOD PATH [JSON]   it sent a request with this method (DELETE to PUT) and exactly
//                                this path; with JSON (an array), its positional arguments match it
//   log LEVEL TEXT...            it logged a line at LEVEL (OKAY, WARN, ERROR or ALWAYS) whose
//                                message is exactly TEXT, the rest of the line
//   no event | no request | no log
//                                it did none of that
//   nothing                      it made no call into the host at all
//   answer STATUS                the answer of the latest call step has this status...
//   answer STATUS error TEXT...  ... and exactly this error message
//   answer STATUS value JSON     ... and no error, and a body that matches JSON
//   memory baseline              the latest memory step found the bytes in use (bytesAllocated
//                                minus bytesFreed) back at their level before the latest load
//
// Events, requests and log lines are looked for among the calls the plug-in made during the
// latest step that was not an expectation; several expectations may check the same step, and
// none of them cares about the order of the calls.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "host/function_call.h"
#include "host/host_call.h"
#include "host/scenario_words.h"
#include "platform/host_boundary.h"

namespace Velto::TestHost {

// What the host saw, as far as expectations look.
struct Observation {
    std::span<const HostCall> calls;              // the plug-in's calls during the step checked
    const FunctionAnswer* answer = nullptr;       // the latest call step's answer, or null
    const Client::MemoryStats* memory = nullptr;  // the latest memory step's reading, or null
    uint64_t bytesInUseBeforeLoad = 0;
};

struct Expectation {
    enum class Kind { Event, Request, Log, NoEvent, NoRequest, NoLog, Nothing, Answer, Memory };

    Kind kind = Kind::Nothing;
    std::string subject;  // Event: the event name. Request: the path. Log: the message.
    uint32_t number = 0;  // Request: the method code. Log: the level. Answer: the status.
    std::optional<std::string> json;   // Event, Request, Answer: the value expected, if given
    std::optional<std::string> error;  // Answer: the error message expected, if given

    // Reads the words after `expect`; empty, with `reason` set, for a malformed expectation.
    static std::optional<Expectation> Parse(Arguments& arguments, std::string* reason);

    // Empty when met; otherwise what happened instead, e.g. `it published no event`.
    std::optional<std::string> Check(const Observation& observation) const;

    // What is expected, without the JSON value, e.g. `event "OnX"` or `answer 404 error "gone"`.
    std::string Describe() const;
};

}  // namespace Velto::TestHost
