#include "host/expectation.h"

#include <charconv>
#include <string_view>

#include "host/host_value_tree.h"
#include "host/json_match.h"
#include "host/transcript.h"

namespace Velto::TestHost {
namespace {

using Kind = Expectation::Kind;

constexpr int32_t kLevels[] = {0, 1, 2, 3};

// The rest of the line as one JSON value, kept in its compact form.
bool ParseJson(Arguments& arguments, std::optional<std::string>* json, std::string* reason) {
    HostValueTree value;
    if (!ParseJsonRest(arguments, &value, reason)) {
        return false;
    }
    *json = value.ToJson();
    return true;
}

bool ParseRest(Arguments& arguments, std::string* text, const char* what, std::string* reason) {
    if (arguments.AtEnd()) {
        *reason = std::string("missing ") + what;
        return false;
    }
    *text = std::string(arguments.Rest());
    return true;
}

bool ParseWord(Arguments& arguments, std::string* word, const char* what, std::string* reason) {
    const std::optional<std::string_view> next = arguments.NextWord();
    if (!next.has_value()) {
        *reason = std::string("missing ") + what;
        return false;
    }
    *word = std::string(*next);
    return true;
}

bool ParseEvent(Arguments& arguments, Expectation* expectation, std::string* reason) {
    return ParseWord(arguments, &expectation->subject, "event name", reason) &&
           ParseJson(arguments, &expectation->json, reason);
}

bool ParseRequest(Arguments& arguments, Expectation* expectation, std::string* reason) {
    std::string method;
    if (!ParseWord(arguments, &method, "method", reason)) {
        return false;
    }
    const std::optional<uint32_t> code = MethodCode(method);
    if (!code.has_value()) {
        *reason = "unknown method " + QuoteJson(method);
        return false;
    }
    expectation->number = *code;
    if (!ParseWord(arguments, &expectation->subject, "path", reason)) {
        return false;
    }
    if (arguments.AtEnd()) {
        return true;
    }
    if (arguments.Rest().front() != '[') {
        *reason = "the arguments are a JSON array";
        return false;
    }
    return ParseJson(arguments, &expectation->json, reason);
}

bool ParseLog(Arguments& arguments, Expectation* expectation, std::string* reason) {
    std::string level;
    if (!ParseWord(arguments, &level, "level", reason)) {
        return false;
    }
    for (const int32_t known : kLevels) {
        if (LogLevelName(known) == level) {
            expectation->number = static_cast<uint32_t>(known);
            return ParseRest(arguments, &expectation->subject, "log message", reason);
        }
    }
    *reason = "unknown level " + QuoteJson(level) + " (levels: OKAY, WARN, ERROR, ALWAYS)";
    return false;
}

bool ParseNo(Arguments& arguments, Expectation* expectation, std::string* reason) {
    const std::optional<std::string_view> what = arguments.NextWord();
    if (what == "event") {
        expectation->kind = Kind::NoEvent;
    } else if (what == "request") {
        expectation->kind = Kind::NoRequest;
    } else if (what == "log") {
        expectation->kind = Kind::NoLog;
    } else {
        *reason = "expect no event, no request or no log";
        return false;
    }
    return NoMoreArguments(arguments, reason);
}

bool ParseNothing(Arguments& arguments, Expectation*, std::string* reason) {
    return NoMoreArguments(arguments, reason);
}

bool ParseAnswer(Arguments& arguments, Expectation* expectation, std::string* reason) {
    std::string status;
    if (!ParseWord(arguments, &status, "status", reason)) {
        return false;
    }
    const char* end = status.data() + status.size();
    const auto parsed = std::from_chars(status.data(), end, expectation->number);
    if (parsed.ec != std::errc() || parsed.ptr != end) {
        *reason = "bad status " + QuoteJson(status);
        return false;
    }
    const std::optional<std::string_view> kind = arguments.NextWord();
    if (!kind.has_value()) {
        return true;
    }
    if (kind == "error") {
        expectation->error.emplace();
        return ParseRest(arguments, &*expectation->error, "error message", reason);
    }
    if (kind == "value") {
        return ParseJson(arguments, &expectation->json, reason);
    }
    *reason = "expected error or value after the status, not " + QuoteJson(*kind);
    return false;
}

bool ParseMemory(Arguments& arguments, Expectation*, std::string* reason) {
    if (arguments.NextWord() != "baseline") {
        *reason = "expect memory baseline";
        return false;
    }
    return NoMoreArguments(arguments, reason);
}

struct Form {
    std::string_view word;
    Kind kind;
    bool (*parse)(Arguments& arguments, Expectation* expectation, std::string* reason);
};

constexpr Form kForms[] = {
    {"event", Kind::Event, &ParseEvent},
    {"request", Kind::Request, &ParseRequest},
    {"log", Kind::Log, &ParseLog},
    {"no", Kind::NoEvent, &ParseNo},
    {"nothing", Kind::Nothing, &ParseNothing},
    {"answer", Kind::Answer, &ParseAnswer},
    {"memory", Kind::Memory, &ParseMemory},
};

// --- What happened, in words -------------------------------------------------------------------

std::string PositionalArguments(const RecordedRequest& request) {
    std::string json;
    for (const RecordedArgument& argument : request.arguments) {
        if (!argument.name.has_value()) {
            json += (json.empty() ? "" : ",") + argument.value.ToJson();
        }
    }
    return "[" + json + "]";
}

std::string EventText(const HostCall& call) {
    return QuoteJson(call.name) + " " + call.payload.ToJson();
}

std::string RequestText(const HostCall& call) {
    return MethodText(call.request.method, call.request.customMethod) + " " +
           QuoteJson(call.request.path) + " " + PositionalArguments(call.request);
}

std::string LogText(const HostCall& call) {
    return LogLevelName(call.level) + " " + QuoteJson(call.text);
}

std::string AnswerText(const FunctionAnswer& answer) {
    std::string text = std::to_string(answer.statusCode);
    if (answer.errorMessage.has_value()) {
        return text + " error " + QuoteJson(*answer.errorMessage);
    }
    return text + " value " + answer.body.ToJson();
}

// The calls of one kind, each in words, joined by "; ".
std::string List(std::span<const HostCall> calls, HostCallKind kind,
                 std::string (*text)(const HostCall&)) {
    std::string list;
    for (const HostCall& call : calls) {
        if (call.kind == kind) {
            list += (list.empty() ? "" : "; ") + text(call);
        }
    }
    return list;
}

// What the plug-in did of one kind: "it <verb> <list>", or "it <verb> no <noun>".
std::string Happened(std::span<const HostCall> calls, HostCallKind kind, const char* verb,
                     const char* noun, std::string (*text)(const HostCall&)) {
    const std::string list = List(calls, kind, text);
    return std::string("it ") + verb + (list.empty() ? std::string(" no ") + noun : " " + list);
}

// --- Checks ------------------------------------------------------------------------------------

std::optional<std::string> CheckEvent(const Expectation& expected, const Observation& seen) {
    std::optional<std::string> sameName;
    for (const HostCall& call : seen.calls) {
        if (call.kind != HostCallKind::SendEvent || call.name != expected.subject) {
            continue;
        }
        std::optional<std::string> mismatch = JsonMismatch(*expected.json, call.payload.ToJson());
        if (!mismatch.has_value()) {
            return std::nullopt;
        }
        sameName = sameName.value_or(*mismatch);
    }
    if (sameName.has_value()) {
        return "it published " + QuoteJson(expected.subject) +
               " with another payload: " + *sameName;
    }
    return Happened(seen.calls, HostCallKind::SendEvent, "published", "event", &EventText);
}

std::optional<std::string> CheckRequest(const Expectation& expected, const Observation& seen) {
    std::optional<std::string> samePath;
    for (const HostCall& call : seen.calls) {
        if (call.kind != HostCallKind::SendRequest || call.request.method != expected.number ||
            call.request.path != expected.subject) {
            continue;
        }
        std::optional<std::string> mismatch =
            expected.json.has_value()
                ? JsonMismatch(*expected.json, PositionalArguments(call.request))
                : std::nullopt;
        if (!mismatch.has_value()) {
            return std::nullopt;
        }
        samePath = samePath.value_or(*mismatch);
    }
    if (samePath.has_value()) {
        return "it sent " + MethodText(expected.number) + " " + QuoteJson(expected.subject) +
               " with other arguments: " + *samePath;
    }
    return Happened(seen.calls, HostCallKind::SendRequest, "sent", "request", &RequestText);
}

std::optional<std::string> CheckLog(const Expectation& expected, const Observation& seen) {
    for (const HostCall& call : seen.calls) {
        if (call.kind == HostCallKind::Log && call.level == static_cast<int32_t>(expected.number) &&
            call.text == expected.subject) {
            return std::nullopt;
        }
    }
    return Happened(seen.calls, HostCallKind::Log, "logged", "line", &LogText);
}

std::optional<std::string> CheckNone(const Observation& seen, HostCallKind kind, const char* verb,
                                     std::string (*text)(const HostCall&)) {
    const std::string list = List(seen.calls, kind, text);
    if (list.empty()) {
        return std::nullopt;
    }
    return std::string("it ") + verb + " " + list;
}

std::optional<std::string> CheckNothing(const Observation& seen) {
    std::string list;
    for (const HostCall& call : seen.calls) {
        list += (list.empty() ? "" : ", ") + std::string(HostCallKindName(call.kind));
    }
    if (list.empty()) {
        return std::nullopt;
    }
    return "it called " + list;
}

std::optional<std::string> CheckAnswer(const Expectation& expected, const Observation& seen) {
    if (seen.answer == nullptr) {
        return std::string("no call step before it was answered");
    }
    const FunctionAnswer& answer = *seen.answer;
    const std::string happened = "it answered " + AnswerText(answer);
    if (answer.statusCode != expected.number) {
        return happened;
    }
    if (expected.error.has_value() && answer.errorMessage != expected.error) {
        return happened;
    }
    if (!expected.json.has_value()) {
        return std::nullopt;
    }
    if (answer.errorMessage.has_value()) {
        return happened;
    }
    if (std::optional<std::string> mismatch = JsonMismatch(*expected.json, answer.body.ToJson())) {
        return happened + ", which differs " + *mismatch;
    }
    return std::nullopt;
}

std::optional<std::string> CheckMemory(const Observation& seen) {
    if (seen.memory == nullptr) {
        return std::string("no memory step before it read the statistics");
    }
    const uint64_t inUse = seen.memory->bytesAllocated - seen.memory->bytesFreed;
    if (inUse == seen.bytesInUseBeforeLoad) {
        return std::nullopt;
    }
    return std::to_string(inUse) + " bytes are in use, " +
           std::to_string(seen.bytesInUseBeforeLoad) + " were before the load";
}

}  // namespace

std::optional<Expectation> Expectation::Parse(Arguments& arguments, std::string* reason) {
    const std::optional<std::string_view> word = arguments.NextWord();
    for (const Form& form : kForms) {
        if (form.word != word) {
            continue;
        }
        Expectation expectation;
        expectation.kind = form.kind;
        if (!form.parse(arguments, &expectation, reason)) {
            *reason = std::string(form.word) + ": " + *reason;
            return std::nullopt;
        }
        return expectation;
    }
    *reason = word.has_value() ? "unknown expectation " + QuoteJson(*word) : "missing expectation";
    *reason += " (expectations: event, request, log, no, nothing, answer, memory)";
    return std::nullopt;
}

std::optional<std::string> Expectation::Check(const Observation& observation) const {
    switch (kind) {
        case Kind::Event:
            return CheckEvent(*this, observation);
        case Kind::Request:
            return CheckRequest(*this, observation);
        case Kind::Log:
            return CheckLog(*this, observation);
        case Kind::NoEvent:
            return CheckNone(observation, HostCallKind::SendEvent, "published", &EventText);
        case Kind::NoRequest:
            return CheckNone(observation, HostCallKind::SendRequest, "sent", &RequestText);
        case Kind::NoLog:
            return CheckNone(observation, HostCallKind::Log, "logged", &LogText);
        case Kind::Nothing:
            return CheckNothing(observation);
        case Kind::Answer:
            return CheckAnswer(*this, observation);
        case Kind::Memory:
            return CheckMemory(observation);
    }
    return std::nullopt;
}

std::string Expectation::Describe() const {
    switch (kind) {
        case Kind::Event:
            return "event " + QuoteJson(subject);
        case Kind::Request:
            return "request " + MethodText(number) + " " + QuoteJson(subject);
        case Kind::Log:
            return "log " + LogLevelName(static_cast<int32_t>(number)) + " " + QuoteJson(subject);
        case Kind::NoEvent:
            return "no event";
        case Kind::NoRequest:
            return "no request";
        case Kind::NoLog:
            return "no log";
        case Kind::Nothing:
            return "nothing";
        case Kind::Answer:
            return "answer " + std::to_string(number) +
                   (error.has_value() ? " error " + QuoteJson(*error) : "") +
                   (json.has_value() ? " value" : "");
        case Kind::Memory:
            return "memory baseline";
    }
    return {};
}

}  // namespace Velto::TestHost
