#include "host/host_call.h"

namespace Velto::TestHost {

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
    static constexpr const char* kNames[] = {"DELETE", "GET",  "HEAD", "OPTIONS",
                                             "PATCH",  "POST", "PUT"};
    if (method >= 1 && method <= 7) {
        return kNames[method - 1];
    }
    if (method == 8) {
        return customMethod.empty() ? "CUSTOM" : customMethod;
    }
    return "METHOD" + std::to_string(method);
}

std::string LogLevelName(int32_t level) {
    static constexpr const char* kNames[] = {"OKAY", "WARN", "ERROR", "ALWAYS"};
    if (level >= 0 && level <= 3) {
        return kNames[level];
    }
    return std::to_string(level);
}

}  // namespace Velto::TestHost
