// A trace provider's enable context: what a trace controller asked of the provider, and which of
// the provider's events that lets through. EnableCallback keeps it up to date for the system.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "diagnostics/event_tracing.h"
#include "platform/system_functions.h"

namespace Velto {

// What a trace controller must ask for to receive one event of a provider.
struct TraceEventFilter {
    uint64_t keyword;  // 0: whatever keywords the controller asks for
    uint8_t level;
};

// One provider's context. Not copyable; it must stay where it is while the provider is
// registered, since the system hands its address to EnableCallback.
struct TraceEnableContext {
    static constexpr std::size_t kMaxEvents = 32;

    // `events`: the provider's events in table order, at most kMaxEvents; they must outlive the
    // context.
    explicit constexpr TraceEnableContext(std::span<const TraceEventFilter> events)
        : events(events) {}

    // Whether event `index` (of `events`) passes what the controller asked for.
    bool IsEventEnabled(std::size_t index) const noexcept;
    // Forgets what the controller asked for: no event is enabled.
    void Disable() noexcept;

    uint64_t handle = 0;  // the registration handle; 0 while not registered
    uint64_t matchAnyKeyword = 0;
    uint64_t matchAllKeyword = 0;
    bool isEnabled = false;
    uint8_t level = 0;
    std::span<const TraceEventFilter> events;
    // Bit i: event i is enabled. Atomic because the registering thread reads it while the system
    // may call EnableCallback on another thread.
    std::atomic<uint32_t> enabledEvents = 0;
};

// The enable callback that every provider registers; `context` is its TraceEnableContext.
// - kEnableProvider stores the level and both keyword masks and sets isEnabled; each event is then
//   enabled when (level is 0 or the event's level is at most level) and (the event's keyword is 0,
//   or it shares a bit with matchAnyKeyword and holds every bit of matchAllKeyword).
// - kDisableProvider clears isEnabled, the level, both masks and every event bit.
// - Other control codes, and a null context, change nothing.
// The system may call it on any thread; it writes only `context`.
void VELTO_SYSTEM_CALL EnableCallback(const EventTracing::Guid* sourceId, uint32_t controlCode,
                                      uint8_t level, uint64_t matchAnyKeyword,
                                      uint64_t matchAllKeyword, void* filterData,
                                      void* context) noexcept;

}  // namespace Velto
