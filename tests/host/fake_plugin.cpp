// A stand-in plug-in for the test host's own tests: it refuses API major versions other than 18;
// its Start calls every slot of the host's table once (Unsubscribe comes at Shutdown). Its
// functions echo their request, except "Fail" (503) and "Stream"; another method gets 404, as
// from the plug-in's dispatcher. What it hands the host is malloc'd and freed once the call
// returns or the release routine runs, so that ASan catches a host that keeps a pointer into it.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/host_boundary.h"

using namespace Velto::Client;

namespace {

struct FakeModule {
    PluginExportTable exports;
    HostContext* context = nullptr;
};

FakeModule* gLiveModule = nullptr;
ApiDescriptor gDescriptor{};
// The host's table, kept past Shutdown so that callbacks delivered stale can still report.
HostApi* gHostApi = nullptr;

void Log(int32_t level, const std::string& text) {
    if (gHostApi != nullptr) {
        gHostApi->Log(gHostApi, level, text.c_str());
    }
}

HostValue OwnedText(const std::string& text) {
    HostValue value{};
    value.type = kHostOwnedText;
    value.payload.text = {strdup(text.c_str()), static_cast<uint32_t>(text.size())};
    return value;
}

HostValue Scalar(uint32_t type, uint64_t bits) {
    HostValue value{};
    value.type = type;
    value.payload.unsignedValue = bits;
    return value;
}

HostValue MakeArray(const std::vector<HostValue>& items) {
    auto* run = static_cast<HostValue*>(std::calloc(items.size(), sizeof(HostValue)));
    std::copy(items.begin(), items.end(), run);
    HostValue array{};
    array.type = kHostArray;
    array.payload.array = {run, static_cast<uint32_t>(items.size())};
    return array;
}

HostValue MakeObject(const std::vector<std::pair<const char*, HostValue>>& members) {
    auto* entries =
        static_cast<HostObjectEntry*>(std::calloc(members.size(), sizeof(HostObjectEntry)));
    for (std::size_t i = 0; i < members.size(); ++i) {
        entries[i] = HostObjectEntry{strdup(members[i].first), members[i].second, 1};
    }
    HostValue object{};
    object.type = kHostObject;
    object.payload.object = {entries, static_cast<uint32_t>(members.size())};
    return object;
}

// {"answer": 42, "items": [true, "x", null, 1.5]}
HostValue MakePayload() {
    HostValue half{};
    half.type = kHostFloat;
    half.payload.floatValue = 1.5;
    return MakeObject(
        {{"answer", Scalar(kHostSigned, 42)},
         {"items", MakeArray({Scalar(kHostBool, 1), OwnedText("x"), Scalar(kHostNull, 0), half})}});
}

void FreeValue(const HostValue& value) {
    if (value.type == kHostOwnedText) {
        std::free(const_cast<char*>(value.payload.text.data));
    } else if (value.type == kHostArray) {
        for (uint32_t i = 0; i < value.payload.array.count; ++i) {
            FreeValue(value.payload.array.items[i]);
        }
        std::free(value.payload.array.items);
    } else if (value.type == kHostObject) {
        for (uint32_t i = 0; i < value.payload.object.count; ++i) {
            const HostObjectEntry& entry = value.payload.object.entries[i];
            std::free(const_cast<char*>(entry.key));
            FreeValue(entry.value);
        }
        std::free(value.payload.object.entries);
    }
}

std::string Describe(const HostValue& value) {
    if (value.type == kHostOwnedText || value.type == kHostBorrowedText) {
        return "text:" + std::string(value.payload.text.data, value.payload.text.length);
    }
    if (value.type == kHostSigned) {
        return "signed:" + std::to_string(value.payload.signedValue);
    }
    return "type " + std::to_string(value.type);
}

void OnEvent(HostEvent* event) {
    const char* owner = event->userData == gLiveModule ? "module" : "other";
    Log(0, std::string("event ") + event->name + " userData=" + owner +
               " payload=" + Describe(event->payload));
}

void OnDeferred(void* userData) {
    Log(0, std::string("deferred FakeDeferred userData=") +
               (userData == gLiveModule ? "module" : "other"));
}

void SendEvent(HostApi* api) {
    HostEvent event{};
    event.name = strdup("OnFakeSent");
    event.payload = MakePayload();
    api->SendEvent(api, &event);
    std::free(const_cast<char*>(event.name));
    FreeValue(event.payload);
}

// Sends GET /fake/v1/thing("hello"), releases the response and says what came back.
std::string SendRequest(HostApi* api, uint32_t handle) {
    auto* argument = static_cast<HostArgument*>(std::calloc(1, sizeof(HostArgument)));
    argument->value = OwnedText("hello");
    HostRequest request{};
    request.method = 2;
    request.path = strdup("/fake/v1/thing");
    request.arguments = argument;
    request.argumentCount = 1;
    request.callContext = handle;
    HostResponse response{};
    api->SendRequest(api, &response, &request);
    FreeValue(argument->value);
    std::free(argument);
    std::free(const_cast<char*>(request.path));

    std::string report = "response " + std::to_string(response.statusCode);
    report += response.errorMessage != nullptr ? std::string(" error=") + response.errorMessage
                                               : " body=" + Describe(response.body);
    if (response.release != nullptr) {
        response.release(&response);
    }
    // The host's release routine zeroes the record.
    report += response.release == nullptr ? " released" : " kept";
    return report;
}

void ReleaseResponse(HostResponse* response) {
    FreeValue(response->body);
    if (response->errorFlag != 0) {
        std::free(response->errorMessage);
    }
    for (uint32_t i = 0; response->headers != nullptr && i < 2 * response->headerCount; ++i) {
        std::free(const_cast<char*>(response->headers[i]));
    }
    std::free(response->headers);
    std::memset(static_cast<void*>(response), 0, sizeof(HostResponse));
    Log(0, "released response");
}

void Fail(HostResponse* response, uint32_t status, const char* message) {
    response->errorMessage = strdup(message);
    response->errorFlag = 1;
    response->statusCode = status;
}

// Starts an answer as the plug-in's dispatcher does: the release routine first, then the method
// check. False when the method does not fit and the answer is the 404.
bool Begin(HostResponse* response, const HostRequest& request) {
    response->release = &ReleaseResponse;
    response->responseText = "";
    // Each entry is its own call context.
    const auto* function = static_cast<const ApiFunctionEntry*>(request.functionContext);
    const uint32_t method = function->method;
    const bool fits =
        method == 0 ||
        (request.method == method &&
         (method != 8 || (request.customMethod != nullptr &&
                          std::strcmp(request.customMethod, function->customMethod) == 0)));
    if (!fits) {
        Fail(response, 404, "Invalid function");
    }
    return fits;
}

std::string Hex(const uint8_t* bytes, uint32_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint32_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

// {"function", "method", "customMethod", "path", "headers": ["name: value"], "arguments":
// ["name=value" or "-=value"], "contentType", "body" (hex), "bodySize", "context"}
HostValue EchoOf(const HostRequest& request) {
    std::vector<HostValue> headers;
    for (uint32_t i = 0; i < request.headerCount; ++i) {
        headers.push_back(
            OwnedText(std::string(request.headers[2 * i]) + ": " + request.headers[2 * i + 1]));
    }
    std::vector<HostValue> arguments;
    for (int32_t i = 0; i < request.argumentCount; ++i) {
        const HostArgument& argument = request.arguments[i];
        arguments.push_back(OwnedText(std::string(argument.name != nullptr ? argument.name : "-") +
                                      "=" + Describe(argument.value)));
    }
    const auto* function = static_cast<const ApiFunctionEntry*>(request.functionContext);
    return MakeObject({
        {"function", OwnedText(function->signature.name)},
        {"method", Scalar(kHostSigned, request.method)},
        {"customMethod",
         request.customMethod != nullptr ? OwnedText(request.customMethod) : Scalar(kHostNull, 0)},
        {"path", OwnedText(request.path)},
        {"headers", MakeArray(headers)},
        {"arguments", MakeArray(arguments)},
        {"contentType", OwnedText(request.contentType)},
        {"body", request.body != nullptr ? OwnedText(Hex(request.body, request.bodySize))
                                         : Scalar(kHostNull, 0)},
        {"bodySize", Scalar(kHostSigned, request.bodySize)},
        {"context", Scalar(kHostSigned, request.callContext)},
    });
}

void Echo(HostResponse* response, HostRequest* request) {
    if (!Begin(response, *request)) {
        return;
    }
    response->body = EchoOf(*request);
    response->statusCode = 200;
    auto* headers = static_cast<const char**>(std::calloc(2, sizeof(const char*)));
    headers[0] = strdup("x-fake");
    headers[1] = strdup("echo");
    response->headers = headers;
    response->headerCount = 1;
}

void Refuse(HostResponse* response, HostRequest* request) {
    if (Begin(response, *request)) {
        Fail(response, 503, "Not today");
    }
}

// A streamed body, delivered at most three bytes per read.
struct FakeStream {
    std::string bytes;
    std::size_t offset = 0;
};

uint8_t ReadStream(void* stream, uint8_t* buffer, uint32_t* size, uint8_t* more) {
    auto* fake = static_cast<FakeStream*>(stream);
    const std::size_t count =
        std::min<std::size_t>({*size, std::size_t{3}, fake->bytes.size() - fake->offset});
    std::memcpy(buffer, fake->bytes.data() + fake->offset, count);
    fake->offset += count;
    *size = static_cast<uint32_t>(count);
    *more = fake->offset < fake->bytes.size() ? 1 : 0;
    return 1;
}

void ReleaseStream(void* stream) {
    delete static_cast<FakeStream*>(stream);
    Log(0, "released stream");
}

void Stream(HostResponse* response, HostRequest* request) {
    if (!Begin(response, *request)) {
        return;
    }
    response->statusCode = 200;
    response->stream = new FakeStream{"[1,2,3]"};
    response->streamRead = &ReadStream;
    response->streamRelease = &ReleaseStream;
    response->streamLengthLow = 7;
}

ApiArgumentRecord gItemArguments[] = {
    {&gItemArguments[1], "id", "", 12, 0, "", 0},
    {nullptr, "verbose", "", 1, 0, "", 1},
};
ApiArgumentLocationEntry gItemLocations[] = {{&gItemLocations[1], 2}, {nullptr, 1}};
// Null texts and no location list: the host must cope.
ApiArgumentRecord gPingArguments[] = {{nullptr, "count", nullptr, 6, 0, nullptr, 0}};

const char* const kTags[] = {"Plugins", "Plugin fake-plugin"};

// One function entry; load_mek_active_boosts links the entries.
ApiFunctionEntry Entry(const char* name, uint32_t method, const char* route,
                       void (*call)(HostResponse*, HostRequest*), uint32_t returnsKind,
                       const char* returnsTypeName = "", ApiArgumentRecord* arguments = nullptr,
                       uint32_t argumentCount = 0, ApiArgumentLocationEntry* locations = nullptr,
                       uint32_t returnsElementKind = 0) {
    ApiFunctionEntry entry{};
    ApiFunctionSignature& signature = entry.signature;
    signature.name = name;
    signature.nameSpace = "";
    signature.arguments = arguments;
    signature.argumentCount = argumentCount;
    signature.returnsKind = returnsKind;
    signature.returnsElementKind = returnsElementKind;
    signature.returnsTypeName = returnsTypeName;
    signature.tags = kTags;
    signature.tagCount = 2;
    entry.call = call;
    entry.argumentLocations = locations;
    entry.route = route;
    entry.method = method;
    entry.customMethod = method == 8 ? "PURGE" : "";  // Purge is the one custom method
    return entry;
}

ApiFunctionEntry gEntries[] = {
    Entry("GetThing", 2, "/fake/v1/thing", &Echo, 17, "FakeItem"),
    Entry("GetItem", 2, "/fake/v1/items/{id}", &Echo, 17, "FakeItem", gItemArguments, 2,
          gItemLocations),
    Entry("PostItem", 6, "/fake/v1/items/{id}", &Echo, 17, "FakeItem", gItemArguments, 2,
          gItemLocations),
    Entry("Ping", 0, "", &Echo, 12, "", gPingArguments, 1),
    Entry("Fail", 0, "/fake/v1/fail", &Refuse, 0),
    Entry("Stream", 2, "/fake/v1/files/{+rest}", &Stream, 15, "", nullptr, 0, nullptr, 6),
    Entry("Purge", 8, "/fake/v1/cache{#part}", &Echo, 0),
};
constexpr uint32_t kFunctionCount = sizeof gEntries / sizeof gEntries[0];

ApiFieldRecord gItemFields[] = {{nullptr, "id", "", 0, 6, 0, "", 0}};
ApiTypeRecord gTypes[] = {{nullptr, "FakeItem", "", 32, "", kTags, 2, gItemFields, nullptr, 1}};
ApiEventRecord gEvents[] = {{nullptr, "OnFakeEvent", "", "FakeItem", "", nullptr, 0}};

// --- The export table ------------------------------------------------------------------------

bool Start(void* module, HostContext* context) {
    auto* fake = static_cast<FakeModule*>(module);
    if (fake->context != nullptr || context == nullptr || context->api == nullptr) {
        return false;
    }
    fake->context = context;
    HostApi* api = context->api;
    gHostApi = api;
    api->Subscribe(api, "OnFakeEvent", context->handle, &OnEvent, fake, 1);
    SendEvent(api);
    api->ScheduleCall(api, "FakeDeferred", &OnDeferred, fake, 0.25, 0);
    api->BeginWait(api, "Wait: yield", 0);
    api->Yield(api);
    api->EndWait(api);
    const std::string report = SendRequest(api, context->handle);
    api->Log(api, 3, ("fake plug-in started, " + report).c_str());
    api->Reserved(api, 7, 9);
    return true;
}

void Shutdown(void* module) {
    auto* fake = static_cast<FakeModule*>(module);
    if (fake->context != nullptr) {
        HostApi* api = fake->context->api;
        api->Unsubscribe(api, "OnFakeEvent", fake->context->handle);
    }
    delete fake;
    gLiveModule = nullptr;
}

void GetMemoryStats(void*, MemoryStats* out) {
    *out = MemoryStats{1, 2, 3, 4, 5, 6, {0, 0}};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* load_mek_active_boosts(
    PluginLoadContext* context) {
    if (context == nullptr || context->major != 18 || gLiveModule != nullptr) {
        return nullptr;
    }
    gLiveModule = new FakeModule{PluginExportTable{&Start, &Shutdown, &GetMemoryStats}, nullptr};
    context->major = 18;
    context->minor = 0;
    context->patch = 0;
    context->exports = &gLiveModule->exports;
    context->module = gLiveModule;
    context->name = "fake-plugin";
    for (uint32_t i = 0; i < kFunctionCount; ++i) {
        gEntries[i].next = i + 1 < kFunctionCount ? &gEntries[i + 1] : nullptr;
        gEntries[i].callContext = &gEntries[i];
    }
    gDescriptor = ApiDescriptor{gEntries, kFunctionCount, gTypes, 1, gEvents, 1};
    context->apiDescriptor = &gDescriptor;
    return gLiveModule;
}
