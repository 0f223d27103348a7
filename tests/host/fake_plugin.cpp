// A stand-in plug-in for the test host's own tests. It exports load_mek_active_boosts, refuses
// hosts whose API major version is not 18, and its Start calls every slot of the host's function
// table once (Unsubscribe comes at Shutdown), reporting what it got back through Log.
//
// Every text and value it hands the host is allocated with malloc and freed as soon as the call
// returns, so a host that kept a pointer into them reads freed memory (caught under ASan).
#include <cstdlib>
#include <cstring>
#include <string>

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
    gHostApi->Log(gHostApi, level, text.c_str());
}

HostValue OwnedText(const char* text) {
    HostValue value{};
    value.type = kHostOwnedText;
    value.payload.text = {strdup(text), static_cast<uint32_t>(std::strlen(text))};
    return value;
}

HostValue Scalar(uint32_t type, uint64_t bits) {
    HostValue value{};
    value.type = type;
    value.payload.unsignedValue = bits;
    return value;
}

// {"answer": 42, "items": [true, "x", null, 1.5]}
HostValue MakePayload() {
    auto* items = static_cast<HostValue*>(std::calloc(4, sizeof(HostValue)));
    items[0] = Scalar(kHostBool, 1);
    items[1] = OwnedText("x");
    items[2] = Scalar(kHostNull, 0);
    items[3].type = kHostFloat;
    items[3].payload.floatValue = 1.5;
    auto* entries = static_cast<HostObjectEntry*>(std::calloc(2, sizeof(HostObjectEntry)));
    entries[0] = HostObjectEntry{strdup("answer"), Scalar(kHostSigned, 42), 1};
    HostValue array{};
    array.type = kHostArray;
    array.payload.array = {items, 4};
    entries[1] = HostObjectEntry{strdup("items"), array, 1};
    HostValue object{};
    object.type = kHostObject;
    object.payload.object = {entries, 2};
    return object;
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
    context->apiDescriptor = &gDescriptor;
    return gLiveModule;
}
