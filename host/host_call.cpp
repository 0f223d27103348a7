#include "host/host_call.h"

#include <cctype>

namespace Velto::TestHost {
namespace {

constexpr const char* kMethodNames[] = {"DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT"};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (std::tolower(c) != prefix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

const char* HostCallKindName(HostCallKind kind) {
    switch (kind) {
        case HostCallKind::SendRequest:
            return "SendRequest";
        case HostCallKind::Reserved:
            return "Reserved";
        case HostCallKind::SendEvent:
            return "SendEvent";
        case HostCallKind::Subscribe:
            return "Subscribe";
        case HostCallKind::Unsubscribe:
            return "Unsubscribe";
        case HostCallKind::ScheduleCall:
            return "ScheduleCall";
        case HostCallKind::Yield:
            return "Yield";
        case HostCallKind::BeginWait:
            return "BeginWait";
        case HostCallKind::EndWait:
            return "EndWait";
        case HostCallKind::Log:
            return "Log";
        case HostCallKind::StreamRead:
            return "StreamRead";
        case HostCallKind::StreamRelease:
            return "StreamRelease";
    }
    return "";
}

std::string MethodText(uint32_t method, const std::string& customMethod) {
    if (method >= 1 && method <= 7) {
        return kMethodNames[method - 1];
    }
    if (method == 8) {
        return customMethod.empty() ? "CUSTOM" : customMethod;
    }
    return "METHOD" + std::to_string(method);
}

std::optional<uint32_t> MethodCode(std::string_view text) {
    for (uint32_t code = 1; code <= 7; ++code) {
        if (text == kMethodNames[code - 1]) {
            return code;
        }
    }
    return std::nullopt;
}

bool IsBinaryContentType(std::string_view contentType) {
    return StartsWithIgnoringCase(contentType, "application/x-msgpack") ||
           StartsWithIgnoringCase(contentType, "application/octet-stream");
}

std::string LogLevelName(int32_t level) {
    static constexpr const char* kNames[] = {"OKAY", "WARN", "ERROR", "ALWAYS"};
    if (level >= 0 && level <= 3) {
        return kNames[level];
    }
    return std::to_string(level);
}

}  // namespace Velto::TestHost
