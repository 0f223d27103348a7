// Every record that crosses the boundary between the host application and the plug-in.
//
// The host is a 32-bit Windows program: all functions use the C calling convention and the
// 32-bit sizes and offsets asserted at the end of this file are part of the interface. 64-bit
// builds use the same declarations with native pointer width. Records marked packed have no
// padding; the others need none on 32-bit targets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Velto::Client {

struct HostApi;
struct HostEvent;
struct HostRequest;
struct HostResponse;
struct MemoryStats;
struct ApiDescriptor;

#pragma pack(push, 1)

struct HostObjectEntry;

// A value tree exchanged with the host. `type` selects the payload member (see HostValueType).
struct HostValue {
    struct Text {
        const char* data;  // NUL-terminated
        uint32_t length;
    };
    struct Bytes {
        const uint8_t* data;
        uint32_t size;
    };
    struct Array {
        HostValue* items;
        uint32_t count;
    };
    struct Object {
        HostObjectEntry* entries;
        uint32_t count;
    };
    union Payload {
        uint8_t boolean;
        int64_t signedValue;
        uint64_t unsignedValue;
        double floatValue;
        Text text;
        Bytes bytes;
        Array array;
        Object object;
    };

    uint32_t type;
    Payload payload;
};

enum HostValueType : uint32_t {
    kHostNull = 0,
    kHostBool = 1,
    kHostSigned = 2,
    kHostUnsigned = 3,
    kHostFloat = 4,
    kHostBorrowedText = 5,
    kHostOwnedText = 6,
    kHostBorrowedBytes = 7,
    kHostOwnedBytes = 8,
    kHostArray = 9,
    kHostObject = 10,
};

struct HostObjectEntry {
    const char* key;
    HostValue value;
    uint8_t ownsKey;  // non-zero: the key is freed with the entry
};

// An event delivered to a subscription callback, or handed to SendEvent.
struct HostEvent {
    const char* name;
    HostValue payload;
    uint32_t flags;
    void* userData;  // on delivery: the userData given to Subscribe
};

// A positional (null name) or named direct argument of a request.
struct HostArgument {
    const char* name;
    HostValue value;
};

// The host's response record, filled by whoever answers the request.
struct HostResponse {
    HostValue body;
    char* errorMessage;
    uint8_t errorFlag;
    uint8_t responseFlag;
    uint32_t responseCode;
    uint32_t statusCode;
    const char* responseText;
    const char** headers;  // pairs: name, value
    uint32_t headerCount;
    // read(stream, buffer, size: capacity in, bytes delivered out, more: set while data follows)
    uint8_t (*streamRead)(void* stream, uint8_t* buffer, uint32_t* size, uint8_t* more);
    void (*streamRelease)(void* stream);
    uint32_t streamLengthLow;
    uint32_t streamLengthHigh;
    void* stream;
    void (*release)(HostResponse* response);
};

#pragma pack(pop)

// One request, from the host to the plug-in or from the plug-in to the host.
struct HostRequest {
    uint32_t method;
    const char* path;
    HostArgument* arguments;
    int32_t argumentCount;
    void* functionContext;
    const char** headers;  // pairs: name, value
    uint32_t headerCount;
    const char* contentType;
    const uint8_t* body;
    uint32_t bodySize;
    uint32_t callContext;
    const char* customMethod;
};

using HostEventCallback = void (*)(HostEvent* event);
using HostDeferredCallback = void (*)(void* userData);

// The host's function table. Every function takes the table itself first.
struct HostApi {
    void (*SendRequest)(HostApi* api, HostResponse* response, HostRequest* request);
    void (*Reserved)(HostApi* api, uint32_t, uint32_t);
    void (*SendEvent)(HostApi* api, HostEvent* event);
    void (*Subscribe)(HostApi* api, const char* eventName, uint32_t handle,
                      HostEventCallback callback, void* userData, uint32_t flags);
    void (*Unsubscribe)(HostApi* api, const char* eventName, uint32_t handle);
    void (*ScheduleCall)(HostApi* api, const char* name, HostDeferredCallback callback,
                         void* userData, double delaySeconds, uint32_t zero);
    void (*Yield)(HostApi* api);
    void (*BeginWait)(HostApi* api, const char* reason, uint32_t zero);
    void (*EndWait)(HostApi* api);
    void (*Log)(HostApi* api, int32_t level, const char* message);
};

// Handed to Start; the host keeps it alive until Shutdown.
struct HostContext {
    HostApi* api;
    uint32_t handle;  // passed back unchanged to Subscribe and Unsubscribe
};

struct MemoryStats {
    uint64_t peakBytesInUse;
    uint64_t allocationsAtPeak;
    uint64_t bytesAllocated;
    uint64_t allocationCount;
    uint64_t bytesFreed;
    uint64_t freeCount;
    uint32_t reserved[2];  // always 0
};

// The plug-in's three entry points, stored inside the module object.
struct PluginExportTable {
    bool (*Start)(void* module, HostContext* context);
    void (*Shutdown)(void* module);
    void (*GetMemoryStats)(void* ignored, MemoryStats* out);
};

// Filled in both directions by load_mek_active_boosts.
struct PluginLoadContext {
    uint32_t major;  // in: the host's API version; out: the plug-in's
    uint32_t minor;
    uint32_t patch;
    PluginExportTable* exports;
    void* module;
    const char* name;
    ApiDescriptor* apiDescriptor;
};

// The API description: functions, types and events the module exposes.
#pragma pack(push, 1)

struct ApiArgumentRecord {
    ApiArgumentRecord* next;
    const char* name;
    const char* description;
    uint32_t kind;
    uint32_t elementKind;
    const char* typeName;
    uint8_t optional;
};

// Offsets 12 to 60 of a function record, copied into the function entry.
struct ApiFunctionSignature {
    const char* name;
    const char* nameSpace;
    ApiArgumentRecord* arguments;
    uint32_t argumentCount;
    uint32_t returnsKind;
    uint32_t returnsElementKind;
    const char* returnsTypeName;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncResultType;
    const char* const* tags;
    uint32_t tagCount;
};

struct ApiFunctionRecord {
    ApiFunctionRecord* next;
    uint32_t zero0;
    void* zero1;
    ApiFunctionSignature signature;
};

struct ApiArgumentLocationEntry {
    ApiArgumentLocationEntry* next;
    uint32_t location;
};

struct ApiTextListEntry {
    ApiTextListEntry* next;
    const char* const* texts;
    uint32_t count;
};

struct ApiFunctionEntry {
    ApiFunctionEntry* next;
    uint32_t zero;
    void* callContext;  // passed back as HostRequest::functionContext
    ApiFunctionSignature signature;
    void (*call)(HostResponse* response, HostRequest* request);
    ApiArgumentLocationEntry* argumentLocations;
    const char* route;
    uint32_t method;
    uint8_t flag;
    ApiTextListEntry* textLists;
    uint32_t textListCount;
    const char* customMethod;
};

struct ApiFieldRecord {
    ApiFieldRecord* next;
    const char* name;
    const char* description;
    uint32_t offset;
    uint32_t kind;
    uint32_t elementKind;
    const char* typeName;
    uint8_t optional;
};

struct ApiEnumValueRecord {
    ApiEnumValueRecord* next;
    const char* name;
    const char* description;
    int32_t value;
};

struct ApiTypeRecord {
    ApiTypeRecord* next;
    const char* name;
    const char* nameSpace;
    uint32_t size;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
    ApiFieldRecord* fields;
    ApiEnumValueRecord* enumValues;
    uint32_t count;  // of fields or of enumeration values
};

struct ApiEventRecord {
    ApiEventRecord* next;
    const char* name;
    const char* nameSpace;
    const char* dataTypeName;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
};

#pragma pack(pop)

struct ApiDescriptor {
    ApiFunctionEntry* functions;
    uint32_t functionCount;
    ApiTypeRecord* types;
    uint32_t typeCount;
    ApiEventRecord* events;
    uint32_t eventCount;
};

// The 32-bit interface. Checked by every 32-bit build, whatever its operating system.
namespace BoundaryLayout {
inline constexpr bool kIs32Bit = sizeof(void*) == 4;
}

#define VELTO_BOUNDARY_SIZE(type, size) \
    static_assert(!BoundaryLayout::kIs32Bit || sizeof(type) == (size), #type " size")
#define VELTO_BOUNDARY_OFFSET(type, field, offset)                                \
    static_assert(!BoundaryLayout::kIs32Bit || offsetof(type, field) == (offset), \
                  "offset of " #type "." #field)

VELTO_BOUNDARY_SIZE(HostValue, 12);
VELTO_BOUNDARY_OFFSET(HostValue, payload, 4);
VELTO_BOUNDARY_SIZE(HostObjectEntry, 17);
VELTO_BOUNDARY_OFFSET(HostObjectEntry, value, 4);
VELTO_BOUNDARY_OFFSET(HostObjectEntry, ownsKey, 16);
VELTO_BOUNDARY_SIZE(HostEvent, 24);
VELTO_BOUNDARY_OFFSET(HostEvent, payload, 4);
VELTO_BOUNDARY_OFFSET(HostEvent, flags, 16);
VELTO_BOUNDARY_OFFSET(HostEvent, userData, 20);
VELTO_BOUNDARY_SIZE(HostArgument, 16);
VELTO_BOUNDARY_OFFSET(HostArgument, value, 4);

VELTO_BOUNDARY_SIZE(HostRequest, 48);
VELTO_BOUNDARY_OFFSET(HostRequest, path, 4);
VELTO_BOUNDARY_OFFSET(HostRequest, arguments, 8);
VELTO_BOUNDARY_OFFSET(HostRequest, argumentCount, 12);
VELTO_BOUNDARY_OFFSET(HostRequest, functionContext, 16);
VELTO_BOUNDARY_OFFSET(HostRequest, headers, 20);
VELTO_BOUNDARY_OFFSET(HostRequest, headerCount, 24);
VELTO_BOUNDARY_OFFSET(HostRequest, contentType, 28);
VELTO_BOUNDARY_OFFSET(HostRequest, body, 32);
VELTO_BOUNDARY_OFFSET(HostRequest, bodySize, 36);
VELTO_BOUNDARY_OFFSET(HostRequest, callContext, 40);
VELTO_BOUNDARY_OFFSET(HostRequest, customMethod, 44);

VELTO_BOUNDARY_SIZE(HostResponse, 62);
VELTO_BOUNDARY_OFFSET(HostResponse, errorMessage, 12);
VELTO_BOUNDARY_OFFSET(HostResponse, errorFlag, 16);
VELTO_BOUNDARY_OFFSET(HostResponse, responseFlag, 17);
VELTO_BOUNDARY_OFFSET(HostResponse, responseCode, 18);
VELTO_BOUNDARY_OFFSET(HostResponse, statusCode, 22);
VELTO_BOUNDARY_OFFSET(HostResponse, responseText, 26);
VELTO_BOUNDARY_OFFSET(HostResponse, headers, 30);
VELTO_BOUNDARY_OFFSET(HostResponse, headerCount, 34);
VELTO_BOUNDARY_OFFSET(HostResponse, streamRead, 38);
VELTO_BOUNDARY_OFFSET(HostResponse, streamRelease, 42);
VELTO_BOUNDARY_OFFSET(HostResponse, streamLengthLow, 46);
VELTO_BOUNDARY_OFFSET(HostResponse, stream, 54);
VELTO_BOUNDARY_OFFSET(HostResponse, release, 58);

VELTO_BOUNDARY_SIZE(HostApi, 40);
VELTO_BOUNDARY_OFFSET(HostApi, SendEvent, 8);
VELTO_BOUNDARY_OFFSET(HostApi, Subscribe, 12);
VELTO_BOUNDARY_OFFSET(HostApi, Unsubscribe, 16);
VELTO_BOUNDARY_OFFSET(HostApi, ScheduleCall, 20);
VELTO_BOUNDARY_OFFSET(HostApi, Yield, 24);
VELTO_BOUNDARY_OFFSET(HostApi, BeginWait, 28);
VELTO_BOUNDARY_OFFSET(HostApi, EndWait, 32);
VELTO_BOUNDARY_OFFSET(HostApi, Log, 36);
VELTO_BOUNDARY_SIZE(HostContext, 8);
VELTO_BOUNDARY_OFFSET(HostContext, handle, 4);
VELTO_BOUNDARY_SIZE(MemoryStats, 56);
VELTO_BOUNDARY_OFFSET(MemoryStats, freeCount, 40);
VELTO_BOUNDARY_OFFSET(MemoryStats, reserved, 48);
VELTO_BOUNDARY_SIZE(PluginExportTable, 12);
VELTO_BOUNDARY_OFFSET(PluginExportTable, Shutdown, 4);
VELTO_BOUNDARY_OFFSET(PluginExportTable, GetMemoryStats, 8);
VELTO_BOUNDARY_SIZE(PluginLoadContext, 28);
VELTO_BOUNDARY_OFFSET(PluginLoadContext, exports, 12);
VELTO_BOUNDARY_OFFSET(PluginLoadContext, module, 16);
VELTO_BOUNDARY_OFFSET(PluginLoadContext, name, 20);
VELTO_BOUNDARY_OFFSET(PluginLoadContext, apiDescriptor, 24);

VELTO_BOUNDARY_SIZE(ApiDescriptor, 24);
VELTO_BOUNDARY_OFFSET(ApiDescriptor, functionCount, 4);
VELTO_BOUNDARY_OFFSET(ApiDescriptor, types, 8);
VELTO_BOUNDARY_OFFSET(ApiDescriptor, typeCount, 12);
VELTO_BOUNDARY_OFFSET(ApiDescriptor, events, 16);
VELTO_BOUNDARY_OFFSET(ApiDescriptor, eventCount, 20);
VELTO_BOUNDARY_SIZE(ApiArgumentRecord, 25);
VELTO_BOUNDARY_OFFSET(ApiArgumentRecord, name, 4);
VELTO_BOUNDARY_OFFSET(ApiArgumentRecord, description, 8);
VELTO_BOUNDARY_OFFSET(ApiArgumentRecord, kind, 12);
VELTO_BOUNDARY_OFFSET(ApiArgumentRecord, elementKind, 16);
VELTO_BOUNDARY_OFFSET(ApiArgumentRecord, typeName, 20);
VELTO_BOUNDARY_OFFSET(ApiArgumentRecord, optional, 24);
// The signature starts at offset 12 of the function record and of the function entry; the
// offsets below are written as the record's offset minus 12.
VELTO_BOUNDARY_SIZE(ApiFunctionSignature, 49);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, nameSpace, 16 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, arguments, 20 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, argumentCount, 24 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, returnsKind, 28 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, returnsElementKind, 32 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, returnsTypeName, 36 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, description, 40 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, help, 44 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, threadSafe, 48 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, asyncResultType, 49 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, tags, 53 - 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionSignature, tagCount, 57 - 12);
VELTO_BOUNDARY_SIZE(ApiFunctionRecord, 61);
VELTO_BOUNDARY_OFFSET(ApiFunctionRecord, zero0, 4);
VELTO_BOUNDARY_OFFSET(ApiFunctionRecord, zero1, 8);
VELTO_BOUNDARY_OFFSET(ApiFunctionRecord, signature, 12);
VELTO_BOUNDARY_SIZE(ApiArgumentLocationEntry, 8);
VELTO_BOUNDARY_OFFSET(ApiArgumentLocationEntry, location, 4);
VELTO_BOUNDARY_SIZE(ApiTextListEntry, 12);
VELTO_BOUNDARY_OFFSET(ApiTextListEntry, texts, 4);
VELTO_BOUNDARY_OFFSET(ApiTextListEntry, count, 8);
VELTO_BOUNDARY_SIZE(ApiFunctionEntry, 90);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, zero, 4);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, callContext, 8);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, signature, 12);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, call, 61);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, argumentLocations, 65);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, route, 69);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, method, 73);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, flag, 77);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, textLists, 78);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, textListCount, 82);
VELTO_BOUNDARY_OFFSET(ApiFunctionEntry, customMethod, 86);
VELTO_BOUNDARY_SIZE(ApiFieldRecord, 29);
VELTO_BOUNDARY_OFFSET(ApiFieldRecord, name, 4);
VELTO_BOUNDARY_OFFSET(ApiFieldRecord, description, 8);
VELTO_BOUNDARY_OFFSET(ApiFieldRecord, offset, 12);
VELTO_BOUNDARY_OFFSET(ApiFieldRecord, kind, 16);
VELTO_BOUNDARY_OFFSET(ApiFieldRecord, elementKind, 20);
VELTO_BOUNDARY_OFFSET(ApiFieldRecord, typeName, 24);
VELTO_BOUNDARY_OFFSET(ApiFieldRecord, optional, 28);
VELTO_BOUNDARY_SIZE(ApiEnumValueRecord, 16);
VELTO_BOUNDARY_OFFSET(ApiEnumValueRecord, name, 4);
VELTO_BOUNDARY_OFFSET(ApiEnumValueRecord, description, 8);
VELTO_BOUNDARY_OFFSET(ApiEnumValueRecord, value, 12);
VELTO_BOUNDARY_SIZE(ApiTypeRecord, 40);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, name, 4);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, nameSpace, 8);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, size, 12);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, description, 16);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, tags, 20);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, tagCount, 24);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, fields, 28);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, enumValues, 32);
VELTO_BOUNDARY_OFFSET(ApiTypeRecord, count, 36);
VELTO_BOUNDARY_SIZE(ApiEventRecord, 28);
VELTO_BOUNDARY_OFFSET(ApiEventRecord, name, 4);
VELTO_BOUNDARY_OFFSET(ApiEventRecord, nameSpace, 8);
VELTO_BOUNDARY_OFFSET(ApiEventRecord, dataTypeName, 12);
VELTO_BOUNDARY_OFFSET(ApiEventRecord, description, 16);
VELTO_BOUNDARY_OFFSET(ApiEventRecord, tags, 20);
VELTO_BOUNDARY_OFFSET(ApiEventRecord, tagCount, 24);

#undef VELTO_BOUNDARY_SIZE
#undef VELTO_BOUNDARY_OFFSET

}  // namespace Velto::Client
