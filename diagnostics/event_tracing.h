// The system's event-tracing interface, as far as the library's trace providers use it: the
// records its functions take, and the three functions, found at run time in "Advapi32.dll".
//
// The records have the system's layout on every platform, so what a stand-in for the system
// receives is byte for byte what the system would.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/system_functions.h"

namespace Velto::EventTracing {

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];

    friend bool operator==(const Guid&, const Guid&) = default;
};

// What identifies an event to the trace consumers.
struct EventDescriptor {
    uint16_t id;
    uint8_t version;
    uint8_t channel;
    uint8_t level;
    uint8_t opcode;
    uint16_t task;
    uint64_t keyword;
};

// One item of an event's payload.
struct EventDataDescriptor {
    uint64_t address;   // of the item's first byte, widened to 64 bits
    uint32_t size;      // in bytes
    uint32_t reserved;  // 0
};

static_assert(sizeof(Guid) == 16);
static_assert(sizeof(EventDescriptor) == 16 && offsetof(EventDescriptor, keyword) == 8);
static_assert(sizeof(EventDataDescriptor) == 16 && offsetof(EventDataDescriptor, size) == 8);

// The control codes of an enable callback that the providers act on; others exist.
enum ControlCode : uint32_t {
    kDisableProvider = 0,
    kEnableProvider = 1,
};

// Called by the system when a trace controller enables or disables a provider; `context` is the
// one given at registration.
using EnableCallbackFunction = void(VELTO_SYSTEM_CALL*)(const Guid* sourceId, uint32_t controlCode,
                                                        uint8_t level, uint64_t matchAnyKeyword,
                                                        uint64_t matchAllKeyword, void* filterData,
                                                        void* context);
using EventRegisterFunction = uint32_t(VELTO_SYSTEM_CALL*)(const Guid* providerId,
                                                           EnableCallbackFunction callback,
                                                           void* context, uint64_t* handle);
using EventWriteFunction = uint32_t(VELTO_SYSTEM_CALL*)(uint64_t handle,
                                                        const EventDescriptor* descriptor,
                                                        uint32_t count, EventDataDescriptor* data);
using EventUnregisterFunction = uint32_t(VELTO_SYSTEM_CALL*)(uint64_t handle);

// The three functions; each is null when it was not found, and its calls are then skipped.
struct Functions {
    EventRegisterFunction eventRegister = nullptr;
    EventWriteFunction eventWrite = nullptr;
    EventUnregisterFunction eventUnregister = nullptr;
};

// Opens "Advapi32.dll" through `lookup` and finds "EventRegister", "EventWrite" and
// "EventUnregister" in it. All three are null when the library is missing.
Functions FindFunctions(Platform::SystemFunctionLookup& lookup) noexcept;

}  // namespace Velto::EventTracing
