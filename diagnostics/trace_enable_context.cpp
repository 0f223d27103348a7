#include "diagnostics/trace_enable_context.h"

namespace Velto {
namespace {

bool PassesLevel(const TraceEventFilter& event, uint8_t level) {
    return level == 0 || event.level <= level;
}

bool PassesKeywords(const TraceEventFilter& event, uint64_t matchAny, uint64_t matchAll) {
    return event.keyword == 0 ||
           ((event.keyword & matchAny) != 0 && (event.keyword & matchAll) == matchAll);
}

void Enable(TraceEnableContext& context, uint8_t level, uint64_t matchAny, uint64_t matchAll) {
    context.level = level;
    context.matchAnyKeyword = matchAny;
    context.matchAllKeyword = matchAll;
    context.isEnabled = true;
    uint32_t enabled = 0;
    for (std::size_t i = 0; i < context.events.size(); ++i) {
        const TraceEventFilter& event = context.events[i];
        if (PassesLevel(event, level) && PassesKeywords(event, matchAny, matchAll)) {
            enabled |= uint32_t{1} << i;
        }
    }
    context.enabledEvents.store(enabled, std::memory_order_relaxed);
}

}  // namespace

void TraceEnableContext::Disable() noexcept {
    isEnabled = false;
    level = 0;
    matchAnyKeyword = 0;
    matchAllKeyword = 0;
    enabledEvents.store(0, std::memory_order_relaxed);
}

bool TraceEnableContext::IsEventEnabled(std::size_t index) const noexcept {
    return index < events.size() &&
           (enabledEvents.load(std::memory_order_relaxed) & (uint32_t{1} << index)) != 0;
}

void VELTO_SYSTEM_CALL EnableCallback(const EventTracing::Guid*, uint32_t controlCode,
                                      uint8_t level, uint64_t matchAnyKeyword,
                                      uint64_t matchAllKeyword, void*, void* context) noexcept {
    if (context == nullptr) {
        return;
    }
    TraceEnableContext& provider = *static_cast<TraceEnableContext*>(context);
    if (controlCode == EventTracing::kEnableProvider) {
        Enable(provider, level, matchAnyKeyword, matchAllKeyword);
    } else if (controlCode == EventTracing::kDisableProvider) {
        provider.Disable();
    }
}

}  // namespace Velto
