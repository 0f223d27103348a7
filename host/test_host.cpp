#include "host/test_host.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>

#include "host/function_choice.h"

namespace Velto::TestHost {
namespace {

using Client::HostArgument;
using Client::HostEvent;
using LoadFunction = void* (*)(PluginLoadContext*);

std::string TextOf(const char* text) {
    return text != nullptr ? text : "";
}

std::string VersionText(uint32_t major, uint32_t minor, uint32_t patch) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

// Which host handed out each outstanding response record or stream: the routines the plug-in
// calls get only the record or the stream object, and must find the storage behind it.
template <typename Key>
class OwnerRegistry {
  public:
    void Add(Key* key, TestHost* owner) {
        std::lock_guard<std::mutex> lock(mutex_);
        owners_[key] = owner;
    }
    // The owner, or null for a key that is not ours or was taken already.
    TestHost* Find(Key* key) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = owners_.find(key);
        return found != owners_.end() ? found->second : nullptr;
    }
    // Find, then forget the key.
    TestHost* Take(Key* key) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = owners_.find(key);
        if (found == owners_.end()) {
            return nullptr;
        }
        TestHost* owner = found->second;
        owners_.erase(found);
        return owner;
    }
    void Remove(Key* key) {
        std::lock_guard<std::mutex> lock(mutex_);
        owners_.erase(key);
    }

  private:
    std::mutex mutex_;
    std::map<Key*, TestHost*> owners_;
};

OwnerRegistry<HostResponse>& ResponseOwners() {
    static OwnerRegistry<HostResponse> owners;
    return owners;
}

OwnerRegistry<void>& StreamOwners() {
    static OwnerRegistry<void> owners;
    return owners;
}

RecordedRequest CopyRequest(const HostRequest& request) {
    RecordedRequest copy;
    copy.method = request.method;
    copy.path = TextOf(request.path);
    if (request.arguments != nullptr) {
        for (int32_t i = 0; i < request.argumentCount; ++i) {
            const HostArgument& argument = request.arguments[i];
            RecordedArgument recorded{std::nullopt, HostValueTree::CopyOf(argument.value)};
            if (argument.name != nullptr) {
                recorded.name = argument.name;
            }
            copy.arguments.push_back(std::move(recorded));
        }
    }
    if (request.headers != nullptr) {
        for (uint32_t i = 0; i < request.headerCount; ++i) {
            copy.headers.emplace_back(TextOf(request.headers[2 * i]),
                                      TextOf(request.headers[2 * i + 1]));
        }
    }
    copy.contentType = TextOf(request.contentType);
    if (request.body != nullptr) {
        // Text bodies may come without a size; MessagePack bodies always carry one.
        const auto* body = reinterpret_cast<const char*>(request.body);
        const std::size_t size = request.bodySize != 0 ? request.bodySize : std::strlen(body);
        copy.body.emplace(body, size);
    }
    copy.callContext = request.callContext;
    copy.hasFunctionContext = request.functionContext != nullptr;
    copy.customMethod = TextOf(request.customMethod);
    return copy;
}

std::string HeadersJson(const std::vector<std::pair<std::string, std::string>>& headers) {
    std::string json;
    for (const auto& [name, value] : headers) {
        json += (json.empty() ? "" : ",") + QuoteJson(name) + ":" + QuoteJson(value);
    }
    return "{" + json + "}";
}

std::string HexOf(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : bytes) {
        hex += kDigits[static_cast<uint8_t>(byte) >> 4];
        hex += kDigits[static_cast<uint8_t>(byte) & 15];
    }
    return hex;
}

// `line` with the fields of `request` added.
TranscriptLine RequestLine(TranscriptLine line, const RecordedRequest& request) {
    line.Bare("method", MethodText(request.method, request.customMethod), FieldStyle::Positional)
        .Quoted("path", request.path, FieldStyle::Positional);
    std::string positional;
    std::string named;
    for (const RecordedArgument& argument : request.arguments) {
        if (argument.name.has_value()) {
            named += (named.empty() ? "" : ",") + QuoteJson(*argument.name) + ":" +
                     argument.value.ToJson();
        } else {
            positional += (positional.empty() ? "" : ",") + argument.value.ToJson();
        }
    }
    if (!positional.empty()) {
        line.Json("args", "[" + positional + "]");
    }
    if (!named.empty()) {
        line.Json("named", "{" + named + "}");
    }
    if (!request.headers.empty()) {
        line.Json("headers", HeadersJson(request.headers));
    }
    if (!request.contentType.empty()) {
        line.Quoted("contentType", request.contentType);
    }
    if (request.body.has_value() && IsBinaryContentType(request.contentType)) {
        line.Bare("bodyHex", HexOf(*request.body));
    } else if (request.body.has_value()) {
        line.Quoted("body", *request.body);
    }
    if (request.hasFunctionContext) {
        line.Boolean("functionContext", true);
    }
    line.Unsigned("context", request.callContext);
    return line;
}

TranscriptLine AnswerLine(const HostAnswer& answer, uint64_t streamId) {
    TranscriptLine line(LineKind::Return, Side::Host, "SendRequest");
    line.Unsigned("status", answer.statusCode, FieldStyle::Positional);
    if (answer.errorMessage.has_value()) {
        line.Quoted("error", *answer.errorMessage);
    } else if (answer.stream.has_value()) {
        line.Unsigned("stream", streamId)
            .Unsigned("pieces", answer.stream->size())
            .Unsigned("length", answer.declaredLength);
    } else {
        line.Json("body", answer.body.ToJson(), FieldStyle::Positional);
    }
    return line;
}

TranscriptLine FunctionAnswerLine(const std::string& function, const FunctionAnswer& answer) {
    TranscriptLine line(LineKind::Return, Side::Plugin, function);
    line.Unsigned("status", answer.statusCode, FieldStyle::Positional);
    if (answer.errorMessage.has_value()) {
        line.Quoted("error", *answer.errorMessage);
    }
    if (answer.stream.has_value()) {
        line.Quoted("stream", *answer.stream)
            .Unsigned("length", answer.streamLength)
            .Unsigned("reads", answer.streamReads);
    } else if (!answer.errorMessage.has_value() || answer.body.Type() != Client::kHostNull) {
        line.Json("body", answer.body.ToJson(), FieldStyle::Positional);
    }
    if (!answer.headers.empty()) {
        line.Json("headers", HeadersJson(answer.headers));
    }
    return line;
}

TranscriptLine PluginCall(const char* call) {
    return TranscriptLine(LineKind::Call, Side::Plugin, call);
}

}  // namespace

// The C functions of the host's table; each finds its host from the table pointer.
struct TestHost::Slots {
    static void SendRequest(HostApi* api, HostResponse* response, HostRequest* request) {
        if (TestHost* host = FromApi(api)) {
            host->OnSendRequest(response, request);
        }
    }
    static void Reserved(HostApi* api, uint32_t first, uint32_t second) {
        if (TestHost* host = FromApi(api)) {
            host->OnReserved(first, second);
        }
    }
    static void SendEvent(HostApi* api, HostEvent* event) {
        if (TestHost* host = FromApi(api)) {
            host->OnSendEvent(event);
        }
    }
    static void Subscribe(HostApi* api, const char* eventName, uint32_t handle,
                          HostEventCallback callback, void* userData, uint32_t flags) {
        if (TestHost* host = FromApi(api)) {
            host->OnSubscribe(eventName, handle, callback, userData, flags);
        }
    }
    static void Unsubscribe(HostApi* api, const char* eventName, uint32_t handle) {
        if (TestHost* host = FromApi(api)) {
            host->OnUnsubscribe(eventName, handle);
        }
    }
    static void ScheduleCall(HostApi* api, const char* name, HostDeferredCallback callback,
                             void* userData, double delaySeconds, uint32_t zero) {
        if (TestHost* host = FromApi(api)) {
            host->OnScheduleCall(name, callback, userData, delaySeconds, zero);
        }
    }
    static void Yield(HostApi* api) {
        if (TestHost* host = FromApi(api)) {
            host->OnYield();
        }
    }
    static void BeginWait(HostApi* api, const char* reason, uint32_t zero) {
        if (TestHost* host = FromApi(api)) {
            host->OnBeginWait(reason, zero);
        }
    }
    static void EndWait(HostApi* api) {
        if (TestHost* host = FromApi(api)) {
            host->OnEndWait();
        }
    }
    static void Log(HostApi* api, int32_t level, const char* message) {
        if (TestHost* host = FromApi(api)) {
            host->OnLog(level, message);
        }
    }
    // The release routine of every response the host fills.
    static void ReleaseResponse(HostResponse* response) {
        if (TestHost* owner = ResponseOwners().Take(response)) {
            owner->ReleaseResponse(response);
        }
    }
    // The routines of every streamed answer; a stream that is not ours, or was released
    // already, fails every read and is not released twice.
    static uint8_t StreamRead(void* stream, uint8_t* buffer, uint32_t* size, uint8_t* more) {
        TestHost* owner = StreamOwners().Find(stream);
        if (owner == nullptr) {
            if (size != nullptr) {
                *size = 0;
            }
            return 0;
        }
        return owner->OnStreamRead(static_cast<LiveStream*>(stream), buffer, size, more);
    }
    static void StreamRelease(void* stream) {
        if (TestHost* owner = StreamOwners().Take(stream)) {
            owner->OnStreamRelease(static_cast<LiveStream*>(stream));
        }
    }
};

std::string HostVersion::ToString() const {
    return VersionText(major, minor, patch);
}

HostAnswer HostAnswer::Value(HostValueTree body, uint32_t statusCode) {
    HostAnswer answer;
    answer.statusCode = statusCode;
    answer.body = std::move(body);
    return answer;
}

HostAnswer HostAnswer::Error(uint32_t statusCode, std::string message) {
    HostAnswer answer;
    answer.statusCode = statusCode;
    answer.errorMessage = std::move(message);
    return answer;
}

HostAnswer HostAnswer::Stream(std::vector<StreamPiece> pieces, uint32_t declaredLength,
                              uint32_t statusCode) {
    HostAnswer answer;
    answer.statusCode = statusCode;
    answer.stream = std::move(pieces);
    answer.declaredLength = declaredLength;
    return answer;
}

TestHost::TestHost(TranscriptFormat format)
    : table_{HostApi{&Slots::SendRequest, &Slots::Reserved, &Slots::SendEvent, &Slots::Subscribe,
                     &Slots::Unsubscribe, &Slots::ScheduleCall, &Slots::Yield, &Slots::BeginWait,
                     &Slots::EndWait, &Slots::Log},
             this},
      transcript_(format) {}

TestHost::~TestHost() {
    if (HasLiveModule()) {
        Shutdown();
    }
    for (const auto& entry : responses_) {
        ResponseOwners().Remove(entry.first);
    }
    for (const auto& entry : streams_) {
        StreamOwners().Remove(entry.first);
    }
}

TestHost* TestHost::FromApi(HostApi* api) {
    return api != nullptr ? reinterpret_cast<ApiTable*>(api)->owner : nullptr;
}

bool TestHost::HasLiveModule() const {
    return state_ == ModuleState::Loaded || state_ == ModuleState::Started;
}

void TestHost::Note(const char* call, const std::string& message) {
    transcript_.Add(TranscriptLine(LineKind::Note, Side::Host, call)
                        .Bare("message", message, FieldStyle::Positional));
}

bool TestHost::OpenLibrary(const std::string& path, std::string* error) {
    if (HasLiveModule()) {
        if (error != nullptr) {
            *error = "a module of the open library is still alive";
        }
        return false;
    }
    Unload();
    library_ = Platform::SharedLibrary::Open(path, error);
    return library_.IsLoaded();
}

void TestHost::Unload() {
    if (HasLiveModule()) {
        Shutdown();
    }
    DropLeftovers("unload");
    if (library_.IsLoaded()) {
        library_.Close();
        Note("unload", "library unloaded");
    }
    exports_ = PluginExportTable{};
    memoryStats_ = nullptr;
    bytesInUseBeforeLoad_ = 0;
    module_ = nullptr;
    descriptor_ = nullptr;
    state_ = ModuleState::None;
}

LoadResult TestHost::Load(HostVersion version, std::string* error) {
    auto notCalled = [&](const std::string& reason) {
        Note(kLoadEntryPoint, "load skipped: " + reason);
        if (error != nullptr) {
            *error = reason;
        }
        return LoadResult::NotCalled;
    };
    if (!library_.IsLoaded()) {
        return notCalled("no plug-in library is open");
    }
    if (HasLiveModule()) {
        return notCalled("a module is already loaded");
    }
    auto load = reinterpret_cast<LoadFunction>(library_.Symbol(kLoadEntryPoint));
    if (load == nullptr) {
        return notCalled(std::string("the library does not export ") + kLoadEntryPoint);
    }
    transcript_.Add(TranscriptLine(LineKind::Call, Side::Host, kLoadEntryPoint)
                        .Bare("version", version.ToString(), FieldStyle::Positional));
    RecordBytesInUse();
    loadContext_ = PluginLoadContext{};
    loadContext_.major = version.major;
    loadContext_.minor = version.minor;
    loadContext_.patch = version.patch;
    module_ = load(&loadContext_);

    const bool accepted = module_ != nullptr;
    exports_ =
        accepted && loadContext_.exports != nullptr ? *loadContext_.exports : PluginExportTable{};
    pluginName_ = accepted ? TextOf(loadContext_.name) : "";
    descriptor_ = accepted ? loadContext_.apiDescriptor : nullptr;
    state_ = accepted ? ModuleState::Loaded : ModuleState::Refused;
    if (exports_.GetMemoryStats != nullptr) {
        memoryStats_ = exports_.GetMemoryStats;
    }

    TranscriptLine line(LineKind::Return, Side::Plugin, kLoadEntryPoint);
    line.Label("version")
        .Bare("version", VersionText(loadContext_.major, loadContext_.minor, loadContext_.patch),
              FieldStyle::Positional)
        .Bare("module", accepted ? "ok" : "null");
    if (accepted) {
        line.Quoted("name", pluginName_);
    }
    if (descriptor_ != nullptr) {
        line.Unsigned("functions", descriptor_->functionCount)
            .Unsigned("types", descriptor_->typeCount)
            .Unsigned("events", descriptor_->eventCount);
    }
    transcript_.Add(line);
    if (accepted && loadContext_.module != module_) {
        Note(kLoadEntryPoint, "the context's module word differs from the returned module");
    }
    if (accepted && loadContext_.exports == nullptr) {
        Note(kLoadEntryPoint, "the plug-in gave no export table");
    }
    return accepted ? LoadResult::Accepted : LoadResult::Refused;
}

void TestHost::RecordBytesInUse() {
    MemoryStats stats{};
    if (memoryStats_ != nullptr) {
        memoryStats_(nullptr, &stats);
    }
    bytesInUseBeforeLoad_ = stats.bytesAllocated - stats.bytesFreed;
}

bool TestHost::Start(uint32_t connectionHandle) {
    if (!HasLiveModule()) {
        Note("Start", "Start skipped: no live module");
        return false;
    }
    if (exports_.Start == nullptr) {
        Note("Start", "Start skipped: the export table has no Start");
        return false;
    }
    if (state_ == ModuleState::Started) {
        Note("Start", "Start called again on a started module");
    }
    HostContext& context = contexts_.emplace_back(HostContext{&table_.api, connectionHandle});
    transcript_.Add(
        TranscriptLine(LineKind::Call, Side::Host, "Start").Unsigned("handle", connectionHandle));
    const bool started = exports_.Start(module_, &context);
    transcript_.Add(TranscriptLine(LineKind::Return, Side::Plugin, "Start")
                        .Label("Start")
                        .Boolean("result", started, FieldStyle::Positional));
    if (started) {
        state_ = ModuleState::Started;
    }
    return started;
}

bool TestHost::Shutdown() {
    if (state_ == ModuleState::ShutDown) {
        Note("Shutdown", "Shutdown skipped: the module was already shut down");
        return false;
    }
    if (!HasLiveModule()) {
        Note("Shutdown", "Shutdown skipped: no module loaded");
        return false;
    }
    if (exports_.Shutdown == nullptr) {
        Note("Shutdown", "Shutdown skipped: the export table has no Shutdown");
        return false;
    }
    if (state_ == ModuleState::Loaded) {
        Note("Shutdown", "Shutdown of a module that was never started");
    }
    transcript_.Add(TranscriptLine(LineKind::Call, Side::Host, "Shutdown"));
    exports_.Shutdown(module_);
    module_ = nullptr;
    descriptor_ = nullptr;
    state_ = ModuleState::ShutDown;
    transcript_.Add(TranscriptLine(LineKind::Return, Side::Plugin, "Shutdown").Label("Shutdown"));
    if (keepCallbacksAfterShutdown_) {
        KeepLeftovers();
    } else {
        DropLeftovers("Shutdown");
    }
    return true;
}

void TestHost::KeepLeftovers() {
    if (subscriptions_.empty() && deferred_.empty()) {
        return;
    }
    Note("Shutdown", "kept " + std::to_string(subscriptions_.size()) + " subscription(s) and " +
                         std::to_string(deferred_.size()) +
                         " deferred call(s) the module left, for stale delivery");
}

void TestHost::NoteStaleDelivery(const char* call, std::size_t count) {
    if (state_ == ModuleState::ShutDown && count > 0) {
        Note(call, "stale delivery: " + std::to_string(count) +
                       " callback(s) into a module that was shut down");
    }
}

void TestHost::DropLeftovers(const char* call) {
    if (!subscriptions_.empty()) {
        std::string names;
        for (const Subscription& subscription : subscriptions_) {
            names += " " + QuoteJson(subscription.eventName);
        }
        Note(call, "dropped " + std::to_string(subscriptions_.size()) +
                       " subscription(s) the module left:" + names);
        subscriptions_.clear();
    }
    if (!deferred_.empty()) {
        Note(call,
             "dropped " + std::to_string(deferred_.size()) + " deferred call(s) the module left");
        deferred_.clear();
    }
}

std::optional<MemoryStats> TestHost::GetMemoryStats() {
    if (!library_.IsLoaded() || exports_.GetMemoryStats == nullptr) {
        Note("GetMemoryStats", "GetMemoryStats skipped: no export table");
        return std::nullopt;
    }
    transcript_.Add(TranscriptLine(LineKind::Call, Side::Host, "GetMemoryStats"));
    MemoryStats stats{};
    exports_.GetMemoryStats(module_, &stats);
    transcript_.Add(TranscriptLine(LineKind::Return, Side::Plugin, "GetMemoryStats")
                        .Label("memory")
                        .Unsigned("peakBytesInUse", stats.peakBytesInUse)
                        .Unsigned("allocationsAtPeak", stats.allocationsAtPeak)
                        .Unsigned("bytesAllocated", stats.bytesAllocated)
                        .Unsigned("allocationCount", stats.allocationCount)
                        .Unsigned("bytesFreed", stats.bytesFreed)
                        .Unsigned("freeCount", stats.freeCount));
    if (stats.reserved[0] != 0 || stats.reserved[1] != 0) {
        Note("GetMemoryStats", "the two trailing words are not 0");
    }
    return stats;
}

std::size_t TestHost::FireEvent(const std::string& eventName, const HostValueTree& payload,
                                std::optional<void*> userDataOverride) {
    TranscriptLine line(LineKind::Call, Side::Host, "Event");
    line.Quoted("name", eventName, FieldStyle::Positional)
        .Json("payload", payload.ToJson(), FieldStyle::Positional);
    if (userDataOverride.has_value()) {
        line.Unsigned("userData", reinterpret_cast<uintptr_t>(*userDataOverride));
    }
    transcript_.Add(line);
    std::vector<uint64_t> targets;
    for (const Subscription& subscription : subscriptions_) {
        if (subscription.eventName == eventName) {
            targets.push_back(subscription.id);
        }
    }
    NoteStaleDelivery("Event", targets.size());
    std::size_t delivered = 0;
    for (uint64_t id : targets) {
        auto found = std::find_if(subscriptions_.begin(), subscriptions_.end(),
                                  [id](const Subscription& s) { return s.id == id; });
        if (found == subscriptions_.end()) {
            continue;  // ended by an earlier delivery
        }
        transcript_.Add(TranscriptLine(LineKind::Call, Side::Host, "EventCallback")
                            .Unsigned("subscription", id)
                            .Unsigned("handle", found->handle)
                            .Unsigned("flags", found->flags));
        HostEvent event{eventName.c_str(), payload.Value(), found->flags,
                        userDataOverride.value_or(found->userData)};
        found->callback(&event);
        ++delivered;
    }
    transcript_.Add(TranscriptLine(LineKind::Return, Side::Plugin, "Event")
                        .Label("delivered")
                        .Unsigned("delivered", delivered, FieldStyle::Positional));
    return delivered;
}

std::size_t TestHost::RunDeferredCalls() {
    std::size_t queued = deferred_.size();
    if (queued == 0) {
        Note("DeferredCall", "no deferred calls queued");
    }
    NoteStaleDelivery("DeferredCall", queued);
    std::size_t ran = 0;
    while (queued-- > 0 && !deferred_.empty()) {
        const DeferredCall call = deferred_.front();
        deferred_.pop_front();
        transcript_.Add(TranscriptLine(LineKind::Call, Side::Host, "DeferredCall")
                            .Quoted("name", call.name, FieldStyle::Positional)
                            .Unsigned("id", call.id));
        call.callback(call.userData);
        ++ran;
    }
    return ran;
}

ApiDescription TestHost::Describe() {
    ApiDescription description = Description();
    if (descriptor_ == nullptr) {
        Note("describe", "describe skipped: no API description");
        return description;
    }
    if (transcript_.Format() == TranscriptFormat::Json) {
        transcript_.Add(TranscriptLine(LineKind::Return, Side::Plugin, "describe")
                            .Json("description", description.ToJson()));
        return description;
    }
    transcript_.Add(TranscriptLine(LineKind::Return, Side::Plugin, "describe")
                        .Label("description")
                        .Unsigned("functions", description.functions.size())
                        .Unsigned("types", description.types.size())
                        .Unsigned("events", description.events.size()));
    for (std::string& summary : description.Summaries()) {
        transcript_.Add(
            TranscriptLine(LineKind::Return, Side::Plugin, "describe").Label(std::move(summary)));
    }
    return description;
}

std::optional<FunctionAnswer> TestHost::CallFunction(const RecordedRequest& request,
                                                     const std::string& function) {
    const std::string target =
        MethodText(request.method, request.customMethod) + " " + QuoteJson(request.path);
    if (descriptor_ == nullptr) {
        Note("call", "call of " + target + " skipped: no API description");
        return std::nullopt;
    }
    const ApiDescription description = Description();
    const std::optional<std::size_t> index =
        ChooseFunction(description.functions, request, function);
    if (!index.has_value()) {
        Note("call", (function.empty() ? "no function fits " + target
                                       : "no function is named " + QuoteJson(function)) +
                         "; nothing called");
        return std::nullopt;
    }
    const Client::ApiFunctionEntry& entry = *FunctionEntries(*descriptor_)[*index];
    const std::string& name = description.functions[*index].name;
    if (entry.call == nullptr) {
        Note("call", "function " + QuoteJson(name) + " has no call routine; nothing called");
        return std::nullopt;
    }
    transcript_.Add(RequestLine(TranscriptLine(LineKind::Call, Side::Host, name), request));
    FunctionAnswer answer = CallEntry(entry, request);
    transcript_.Add(FunctionAnswerLine(name, answer));
    if (answer.streamEnd == StreamEnd::ReadFailed) {
        Note("call",
             "a stream read failed after " + std::to_string(answer.streamReads) + " read(s)");
    } else if (answer.streamEnd == StreamEnd::TooManyReads) {
        Note("call", "the stream still had more after " + std::to_string(answer.streamReads) +
                         " reads; reading stopped");
    }
    if (!answer.released) {
        Note("call", "the response has no release routine");
    }
    return answer;
}

void TestHost::SetAnswer(uint32_t method, std::string path, HostAnswer answer) {
    answers_.insert_or_assign(std::make_pair(method, std::move(path)), std::move(answer));
}

HostAnswer TestHost::ChooseAnswer(const RecordedRequest& request) {
    auto scripted = answers_.find(std::make_pair(request.method, request.path));
    if (scripted != answers_.end()) {
        return scripted->second;
    }
    if (requestHandler_) {
        // An exception must not unwind through the plug-in's frames.
        try {
            if (std::optional<HostAnswer> answer = requestHandler_(request)) {
                return std::move(*answer);
            }
        } catch (const std::exception& failure) {
            return HostAnswer::Error(500, std::string("Request handler failed: ") + failure.what());
        }
    }
    return HostAnswer::Error(
        404,
        "No handler for " + MethodText(request.method, request.customMethod) + " " + request.path);
}

void TestHost::FillResponse(HostResponse* response, HostAnswer answer, uint64_t streamId) {
    std::optional<std::vector<StreamPiece>> pieces = std::move(answer.stream);
    answer.stream.reset();
    auto storage = std::make_unique<HostAnswer>(std::move(answer));
    std::memset(static_cast<void*>(response), 0, sizeof(HostResponse));
    response->body = storage->body.Value();
    if (storage->errorMessage.has_value()) {
        response->errorMessage = storage->errorMessage->data();
        response->errorFlag = 1;
    }
    response->statusCode = storage->statusCode;
    response->responseText = "";
    response->release = &Slots::ReleaseResponse;
    if (pieces.has_value()) {
        auto live =
            std::make_unique<LiveStream>(LiveStream{streamId, ScriptedStream(std::move(*pieces))});
        LiveStream* stream = live.get();
        streams_.emplace(stream, std::move(live));
        StreamOwners().Add(stream, this);
        response->stream = stream;
        response->streamRead = &Slots::StreamRead;
        response->streamRelease = &Slots::StreamRelease;
        response->streamLengthLow = storage->declaredLength;
    }
    ResponseOwners().Add(response, this);
    auto [entry, inserted] = responses_.try_emplace(response);
    if (!inserted) {
        ++droppedResponses_;
        Note("SendRequest", "the plug-in handed in a response record it had not released");
    }
    entry->second = std::move(storage);
}

void TestHost::ReleaseResponse(HostResponse* response) {
    responses_.erase(response);
    std::memset(static_cast<void*>(response), 0, sizeof(HostResponse));
}

void TestHost::OnSendRequest(HostResponse* response, HostRequest* request) {
    HostCall call;
    call.kind = HostCallKind::SendRequest;
    if (request != nullptr) {
        call.request = CopyRequest(*request);
    }
    // Recorded before answering, so that calls made while answering come after it.
    const std::size_t index = calls_.size();
    const RecordedRequest copy = call.request;
    Record(std::move(call));
    transcript_.Add(RequestLine(PluginCall("SendRequest"), copy));
    if (request == nullptr) {
        Note("SendRequest", "the plug-in sent a null request");
    }
    HostAnswer answer = ChooseAnswer(copy);
    const uint64_t streamId = answer.stream.has_value() ? nextStreamId_++ : 0;
    if (index < calls_.size()) {  // unless the handler cleared the record
        calls_[index].response =
            RecordedResponse{answer.statusCode, answer.errorMessage, answer.body, streamId};
    }
    transcript_.Add(AnswerLine(answer, streamId));
    if (response == nullptr) {
        Note("SendRequest", "the plug-in gave no response record; the answer is dropped");
        return;
    }
    FillResponse(response, std::move(answer), streamId);
}

uint8_t TestHost::OnStreamRead(LiveStream* stream, uint8_t* buffer, uint32_t* size, uint8_t* more) {
    HostCall call;
    call.kind = HostCallKind::StreamRead;
    call.streamId = stream->id;
    call.capacity = size != nullptr ? *size : 0;
    transcript_.Add(PluginCall("StreamRead")
                        .Unsigned("stream", call.streamId)
                        .Unsigned("capacity", call.capacity));
    StreamReadResult result{false, 0, false};
    if (size == nullptr || more == nullptr || (buffer == nullptr && call.capacity > 0)) {
        Note("StreamRead", "the plug-in passed a null buffer, size or more-flag; the read fails");
        if (size != nullptr) {
            *size = 0;
        }
    } else {
        result = stream->stream.Read(buffer, call.capacity);
        *size = result.delivered;
        *more = result.more ? 1 : 0;
        if (result.delivered > 0) {
            call.text.assign(reinterpret_cast<const char*>(buffer), result.delivered);
        }
    }
    call.succeeded = result.succeeded;
    call.more = result.more;
    transcript_.Add(TranscriptLine(LineKind::Return, Side::Host, "StreamRead")
                        .Label(result.succeeded ? "read" : "read failed")
                        .Unsigned("bytes", result.delivered)
                        .Boolean("more", result.more));
    Record(std::move(call));
    return result.succeeded ? 1 : 0;
}

void TestHost::OnStreamRelease(LiveStream* stream) {
    HostCall call;
    call.kind = HostCallKind::StreamRelease;
    call.streamId = stream->id;
    transcript_.Add(PluginCall("StreamRelease").Unsigned("stream", call.streamId));
    Record(std::move(call));
    streams_.erase(stream);
}

void TestHost::OnReserved(uint32_t first, uint32_t second) {
    HostCall call;
    call.kind = HostCallKind::Reserved;
    call.words = {first, second};
    Record(std::move(call));
    transcript_.Add(PluginCall("Reserved")
                        .Unsigned("first", first, FieldStyle::Positional)
                        .Unsigned("second", second, FieldStyle::Positional));
}

void TestHost::OnSendEvent(HostEvent* event) {
    HostCall call;
    call.kind = HostCallKind::SendEvent;
    if (event != nullptr) {
        call.name = TextOf(event->name);
        call.flags = event->flags;
        call.payload = HostValueTree::CopyOf(event->payload);
    }
    transcript_.Add(PluginCall("SendEvent")
                        .Quoted("name", call.name, FieldStyle::Positional)
                        .Unsigned("flags", call.flags)
                        .Json("payload", call.payload.ToJson(), FieldStyle::Positional));
    Record(std::move(call));
    if (event == nullptr) {
        Note("SendEvent", "the plug-in sent a null event");
    }
}

void TestHost::OnSubscribe(const char* eventName, uint32_t handle, HostEventCallback callback,
                           void* userData, uint32_t flags) {
    HostCall call;
    call.kind = HostCallKind::Subscribe;
    call.name = TextOf(eventName);
    call.handle = handle;
    call.flags = flags;
    transcript_.Add(PluginCall("Subscribe")
                        .Quoted("name", call.name, FieldStyle::Positional)
                        .Unsigned("handle", handle)
                        .Unsigned("flags", flags));
    if (callback == nullptr) {
        Note("Subscribe", "no callback given; nothing will be delivered");
    } else {
        // One subscription per event name and handle: subscribing again replaces it.
        auto same = std::find_if(
            subscriptions_.begin(), subscriptions_.end(),
            [&](const Subscription& s) { return s.eventName == call.name && s.handle == handle; });
        Subscription subscription{
            nextSubscriptionId_++, call.name, handle, callback, userData, flags};
        if (same != subscriptions_.end()) {
            *same = std::move(subscription);
        } else {
            subscriptions_.push_back(std::move(subscription));
        }
    }
    Record(std::move(call));
}

void TestHost::OnUnsubscribe(const char* eventName, uint32_t handle) {
    HostCall call;
    call.kind = HostCallKind::Unsubscribe;
    call.name = TextOf(eventName);
    call.handle = handle;
    transcript_.Add(PluginCall("Unsubscribe")
                        .Quoted("name", call.name, FieldStyle::Positional)
                        .Unsigned("handle", handle));
    const auto removed = std::erase_if(subscriptions_, [&](const Subscription& s) {
        return s.eventName == call.name && s.handle == handle;
    });
    if (removed == 0) {
        Note("Unsubscribe",
             "no subscription " + QuoteJson(call.name) + " with handle " + std::to_string(handle));
    }
    Record(std::move(call));
}

void TestHost::OnScheduleCall(const char* name, HostDeferredCallback callback, void* userData,
                              double delaySeconds, uint32_t zero) {
    HostCall call;
    call.kind = HostCallKind::ScheduleCall;
    call.name = TextOf(name);
    call.delaySeconds = delaySeconds;
    call.zero = zero;
    call.deferredId = nextDeferredId_++;
    transcript_.Add(PluginCall("ScheduleCall")
                        .Quoted("name", call.name, FieldStyle::Positional)
                        .Float("delay", delaySeconds)
                        .Unsigned("zero", zero)
                        .Unsigned("id", call.deferredId));
    if (callback == nullptr) {
        Note("ScheduleCall", "no callback given; nothing is queued");
    } else {
        deferred_.push_back(
            DeferredCall{call.deferredId, call.name, callback, userData, delaySeconds, zero});
    }
    Record(std::move(call));
}

void TestHost::OnYield() {
    HostCall call;
    call.kind = HostCallKind::Yield;
    Record(std::move(call));
    transcript_.Add(PluginCall("Yield"));
    if (!yieldHook_) {
        return;
    }
    try {
        yieldHook_();
    } catch (const std::exception& failure) {
        Note("Yield", std::string("yield hook failed: ") + failure.what());
    }
}

void TestHost::OnBeginWait(const char* reason, uint32_t zero) {
    HostCall call;
    call.kind = HostCallKind::BeginWait;
    call.text = TextOf(reason);
    call.zero = zero;
    transcript_.Add(PluginCall("BeginWait")
                        .Quoted("reason", call.text, FieldStyle::Positional)
                        .Unsigned("zero", zero));
    Record(std::move(call));
    ++openWaits_;
}

void TestHost::OnEndWait() {
    HostCall call;
    call.kind = HostCallKind::EndWait;
    Record(std::move(call));
    transcript_.Add(PluginCall("EndWait"));
    if (openWaits_ == 0) {
        Note("EndWait", "EndWait without an open wait");
        return;
    }
    --openWaits_;
}

void TestHost::OnLog(int32_t level, const char* message) {
    HostCall call;
    call.kind = HostCallKind::Log;
    call.level = level;
    call.text = TextOf(message);
    transcript_.Add(PluginCall("Log")
                        .Bare("level", LogLevelName(level), FieldStyle::Positional)
                        .Quoted("message", call.text, FieldStyle::Positional));
    const std::string text = call.text;
    Record(std::move(call));
    if (logHook_) {
        logHook_(level, text);
    }
}

}  // namespace Velto::TestHost
