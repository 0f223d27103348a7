// The trace providers as the system sees them, through a stand-in lookup that records every call
// of EventRegister, EventWrite and EventUnregister, and the enable callback driven directly.
#include "diagnostics/trace_providers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/thread_id.h"

namespace {

using Velto::EnableCallback;
using Velto::TraceEnableContext;
using Velto::TraceEventFilter;
using Velto::TraceProviders;
using Velto::EventTracing::EventDataDescriptor;
using Velto::EventTracing::EventDescriptor;
using Velto::EventTracing::Guid;
using Velto::EventTracing::kDisableProvider;
using Velto::EventTracing::kEnableProvider;

constexpr Guid kProviderIds[] = {
    {0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}},
    {0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
    {0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}},
    {0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}},
};

// The system's tracing library as a test wants it: present or not, with or without each of the
// three functions, with a trace controller that enables keyword 0x1 of chosen registrations. Each
// call is recorded as one word: "R2" registers the second provider of kProviderIds, "U2" and "W2"
// unregister and write to the handle its registration got ("?" for any other handle).
class RecordingLookup final : public Velto::Platform::SystemFunctionLookup {
  public:
    bool libraryPresent = true;
    std::string missingFunction;
    std::vector<std::size_t> listenedTo;  // registrations in order, from 0
    std::string calls;
    std::vector<void*> contexts;       // given to EventRegister, in order
    EventDescriptor event{};           // the last EventWrite's descriptor
    std::vector<std::string> payload;  // and its data

    RecordingLookup() { active = this; }
    ~RecordingLookup() { active = nullptr; }

    void* OpenLibrary(const char* library) noexcept override {
        return libraryPresent && std::strcmp(library, "Advapi32.dll") == 0 ? this : nullptr;
    }

    void* FindFunction(void* library, const char* name) noexcept override {
        const std::string function = library == this && name != missingFunction ? name : "";
        return function == "EventRegister"     ? reinterpret_cast<void*>(&Register)
               : function == "EventWrite"      ? reinterpret_cast<void*>(&Write)
               : function == "EventUnregister" ? reinterpret_cast<void*>(&Unregister)
                                               : nullptr;
    }

  private:
    static inline RecordingLookup* active = nullptr;
    std::map<uint64_t, std::string> live_;  // the provider number of each registered handle

    void Record(char call, uint64_t handle) {
        const auto provider = live_.find(handle);
        calls += (calls.empty() ? "" : " ") + std::string(1, call) +
                 (provider != live_.end() ? provider->second : "?");
    }

    // Handles are 0x100 plus the registration's position, so no two registrations share one.
    static uint32_t VELTO_SYSTEM_CALL Register(const Guid* provider,
                                               Velto::EventTracing::EnableCallbackFunction callback,
                                               void* context, uint64_t* handle) {
        const std::size_t index = active->contexts.size();
        *handle = 0x100 + index;
        active->contexts.push_back(context);
        const auto known = std::find(std::begin(kProviderIds), std::end(kProviderIds), *provider);
        active->live_[*handle] = known == std::end(kProviderIds)
                                     ? "?"
                                     : std::to_string(known - std::begin(kProviderIds) + 1);
        active->Record('R', *handle);
        const std::vector<std::size_t>& listened = active->listenedTo;
        if (std::find(listened.begin(), listened.end(), index) != listened.end()) {
            callback(provider, kEnableProvider, 0, 0x1, 0, nullptr, context);
        }
        return 0;
    }

    static uint32_t VELTO_SYSTEM_CALL Write(uint64_t handle, const EventDescriptor* descriptor,
                                            uint32_t count, EventDataDescriptor* data) {
        active->Record('W', handle);
        active->event = *descriptor;
        active->payload.clear();
        for (uint32_t i = 0; i < count; ++i) {
            active->payload.emplace_back(
                reinterpret_cast<const char*>(static_cast<uintptr_t>(data[i].address)),
                data[i].size);
        }
        return 0;
    }

    static uint32_t VELTO_SYSTEM_CALL Unregister(uint64_t handle) {
        active->Record('U', handle);
        active->live_.erase(handle);
        return 0;
    }
};

// Providers are registered once, in order, each with its own context; an explicit Unregister
// goes in reverse and leaves the destructor nothing to do, which otherwise unregisters the rest.
// A listener that enables the second provider's keyword 0x1 during its registration makes
// Register write the thread-name event: its descriptor, then the thread id and "Main thread" with
// its terminator.
TEST(TraceProviders, RegistersTheFourProvidersOnceInOrderNamesTheThreadAndUnregistersInReverse) {
    RecordingLookup lookup;
    {
        TraceProviders providers;
        providers.Register(lookup);
        providers.Register(lookup);
        providers.Unregister();
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(lookup.contexts[i], &providers.Contexts()[i]) << "provider " << i + 1;
            EXPECT_EQ(providers.Contexts()[i].handle, 0u) << "provider " << i + 1;
        }
        lookup.listenedTo = {5};  // the sixth registration: the second provider's
        providers.Register(lookup);
        // Unregistering forgets what the listeners asked for: registering again with nobody
        // listening writes nothing.
        providers.Unregister();
        EXPECT_FALSE(providers.Contexts()[1].IsEventEnabled(0));
        providers.Register(lookup);
    }
    EXPECT_EQ(lookup.calls,
              "R1 R2 R3 R4 U4 U3 U2 U1 R1 R2 R3 R4 W2 U4 U3 U2 U1 R1 R2 R3 R4 U4 U3 U2 U1");
    const EventDescriptor& e = lookup.event;
    EXPECT_EQ(std::tuple(e.id, e.version, e.channel, e.level, e.opcode, e.task, e.keyword),
              std::tuple(103, 0, 0, 0, 14, 2, 1));
    const uint32_t threadId = Velto::Platform::CurrentThreadId();
    EXPECT_EQ(lookup.payload,
              (std::vector<std::string>{std::string(reinterpret_cast<const char*>(&threadId), 4),
                                        std::string("Main thread", 12)}));
}

TEST(TraceProviders, SkipsTheCallsWhoseLibraryOrFunctionIsMissing) {
    const struct {
        bool libraryPresent;
        std::string missingFunction;
        const char* expected;
    } rows[] = {
        {false, "", ""},
        {true, "EventRegister", ""},
        {true, "EventWrite", "R1 R2 R3 R4 U4 U3 U2 U1"},
        {true, "EventUnregister", "R1 R2 R3 R4 W2"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.libraryPresent ? "no " + row.missingFunction : "no library");
        RecordingLookup lookup;
        lookup.libraryPresent = row.libraryPresent;
        lookup.missingFunction = row.missingFunction;
        lookup.listenedTo = {1};
        TraceProviders providers;
        providers.Register(lookup);
        providers.Unregister();
        EXPECT_EQ(lookup.calls, row.expected);
    }
}

// Events with levels and keywords of every kind, to see each part of the rule decide.
constexpr TraceEventFilter kEvents[] = {{0x1, 0}, {0x2, 4}, {0x0, 5}, {0x3, 2}};

// Whether each event of kEvents is enabled, then the stored switch, level and masks.
std::string StateOf(const TraceEnableContext& context) {
    std::string bits;
    for (std::size_t i = 0; i < std::size(kEvents); ++i) {
        bits += context.IsEventEnabled(i) ? '1' : '0';
    }
    return bits + (context.isEnabled ? " on " : " off ") + std::to_string(context.level) + " " +
           std::to_string(context.matchAnyKeyword) + " " + std::to_string(context.matchAllKeyword);
}

TEST(EnableCallback, EnablesEachEventThatPassesTheLevelAndBothKeywordMasks) {
    const struct {
        uint8_t level;
        uint64_t matchAny, matchAll;
        const char* expected;  // one character per event of kEvents
    } rows[] = {
        {0, 0x0, 0x0, "0010"}, {0, 0x1, 0x0, "1011"},  {0, 0x2, 0x0, "0111"}, {3, 0x3, 0x0, "1001"},
        {4, 0x3, 0x0, "1101"}, {5, 0x3, 0x0, "1111"},  {0, 0x3, 0x1, "1011"}, {0, 0x3, 0x3, "0011"},
        {0, 0x1, 0x4, "0010"}, {1, 0xFF, 0x0, "1000"},
    };
    for (const auto& row : rows) {
        TraceEnableContext context(kEvents);
        EnableCallback(nullptr, kEnableProvider, row.level, row.matchAny, row.matchAll, nullptr,
                       &context);
        EXPECT_EQ(StateOf(context).substr(0, 4), row.expected) << StateOf(context);
    }
}

// Disabling clears everything; other control codes and a missing context change nothing.
TEST(EnableCallback, DisablesOnlyOnItsOwnControlCode) {
    TraceEnableContext context(kEvents);
    EnableCallback(nullptr, kEnableProvider, 5, 0x3, 0x0, nullptr, &context);
    EnableCallback(nullptr, 2, 0, 0x0, 0x0, nullptr, &context);
    EXPECT_EQ(StateOf(context), "1111 on 5 3 0") << "control code 2";
    EnableCallback(nullptr, kEnableProvider, 0, 0x3, 0x0, nullptr, nullptr);
    EXPECT_EQ(StateOf(context), "1111 on 5 3 0") << "no context";
    EnableCallback(nullptr, kDisableProvider, 7, 0x7, 0x7, nullptr, &context);
    EXPECT_EQ(StateOf(context), "0000 off 0 0 0");
}

}  // namespace
