// An in-process stand-in for the host application: loads a plug-in library, performs the load
// handshake, drives the export table, answers the ten slots of the host's function table, calls
// the functions of the API description the plug-in handed over, and records every call that
// crosses the boundary, in order, as plain data and as a transcript.
//
// Tests and scenarios script the host's side: answers to the plug-in's requests, events fired
// at its subscriptions, the deferred calls it queued, and work done inside its waits. The host
// never keeps a pointer into the plug-in's memory beyond one call, and frees everything it hands
// out: the values of its answers are freed when the plug-in calls the response's release routine.
//
// Lifecycle: OpenLibrary → Load → Start → Shutdown → (Load again, or) Unload. Misplaced steps
// (Start without a live module, a second Start, Shutdown of a module never started or already
// shut down) are reported in the transcript as "host: " notes; the host calls the plug-in only
// where that is safe, so a second Start is passed on (the plug-in must refuse it) but nothing is
// called on a destroyed module. Subscriptions and deferred calls still held when the module is
// shut down are dropped (and noted), since they point into the destroyed module, unless a safety
// test keeps them (SetKeepCallbacksAfterShutdown) to deliver them stale; Unload drops them always,
// since their code goes with the library.
//
// Single-threaded: the test host, and every call of the plug-in into it, must stay on one thread.
// The host's hooks may call back into the host and so into the plug-in (re-entry is allowed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/api_description.h"
#include "host/function_call.h"
#include "host/host_call.h"
#include "host/host_stream.h"
#include "host/host_value_tree.h"
#include "host/transcript.h"
#include "platform/host_boundary.h"
#include "platform/shared_library.h"

namespace Velto::TestHost {

using Client::ApiDescriptor;
using Client::HostApi;
using Client::HostContext;
using Client::HostDeferredCallback;
using Client::HostEventCallback;
using Client::HostRequest;
using Client::HostResponse;
using Client::MemoryStats;
using Client::PluginExportTable;
using Client::PluginLoadContext;

// The name of the plug-in's one export.
inline constexpr char kLoadEntryPoint[] = "load_mek_active_boosts";

// The host's plug-in API version, written into the load context.
struct HostVersion {
    uint32_t major = 18;
    uint32_t minor = 0;
    uint32_t patch = 0;

    // "MAJOR.MINOR.PATCH".
    std::string ToString() const;
};

// How the host answers one request of the plug-in. The host copies it into storage it owns
// until the plug-in calls the response's release routine; a streamed body lives until the
// plug-in calls the stream's release routine, or until the host is destroyed.
struct HostAnswer {
    uint32_t statusCode = 200;
    std::optional<std::string> errorMessage;  // set: the request failed (error flag 1)
    HostValueTree body;
    // Set: the body is streamed in these pieces (the body value stays null).
    std::optional<std::vector<StreamPiece>> stream;
    uint32_t declaredLength = 0;  // the stream length's low word (the high word is 0)

    static HostAnswer Value(HostValueTree body, uint32_t statusCode = 200);
    static HostAnswer Error(uint32_t statusCode, std::string message);
    static HostAnswer Stream(std::vector<StreamPiece> pieces, uint32_t declaredLength = 0,
                             uint32_t statusCode = 200);
};

// A live subscription of the plug-in to a host event.
struct Subscription {
    uint64_t id = 0;  // the host's own numbering, from 1
    std::string eventName;
    uint32_t handle = 0;
    HostEventCallback callback = nullptr;
    void* userData = nullptr;
    uint32_t flags = 0;
};

// A call the plug-in queued with ScheduleCall, waiting for RunDeferredCalls.
struct DeferredCall {
    uint64_t id = 0;  // the host's own numbering, from 1
    std::string name;
    HostDeferredCallback callback = nullptr;
    void* userData = nullptr;
    double delaySeconds = 0;
    uint32_t zero = 0;
};

enum class ModuleState {
    None,      // no load has succeeded yet (or the library was unloaded)
    Refused,   // the last load returned no module
    Loaded,    // a module exists and has not been started
    Started,   // Start returned true at least once
    ShutDown,  // Shutdown was called; the module is destroyed
};

enum class LoadResult {
    Accepted,   // the export returned a module
    Refused,    // the export returned null
    NotCalled,  // no library, no export, or a module is still alive
};

class TestHost {
  public:
    // Decides the answer to one request that has no scripted answer (SetAnswer); no value means
    // the default answer, an error with status 404 and the message "No handler for <method>
    // <path>".
    using RequestHandler = std::function<std::optional<HostAnswer>(const RecordedRequest&)>;
    using YieldHook = std::function<void()>;
    // Sees each log line's level and text; may call back into the plug-in on the same thread.
    using LogHook = std::function<void(int32_t level, const std::string& text)>;

    explicit TestHost(TranscriptFormat format = TranscriptFormat::Text);
    // Shuts a live module down, then unloads the library.
    ~TestHost();
    // The function table maps back to this object, so it stays where it is.
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // --- Library -----------------------------------------------------------------------------
    // Opens the plug-in library (closing an earlier one). Fails, with the reason in `error`,
    // when the file cannot be loaded or a module of the open library is still alive.
    bool OpenLibrary(const std::string& path, std::string* error = nullptr);
    bool IsLibraryOpen() const { return library_.IsLoaded(); }
    // Shuts a live module down, then closes the library.
    void Unload();

    // --- Handshake ---------------------------------------------------------------------------
    // Calls load_mek_active_boosts with a fresh load context carrying `version`. NotCalled sets
    // `error` to the reason.
    LoadResult Load(HostVersion version = {}, std::string* error = nullptr);
    // Bytes in use (bytesAllocated minus bytesFreed) by the library, read through its
    // GetMemoryStats just before the latest call of the export. 0 when no earlier load of the open
    // library handed out an export table: its counters have then counted nothing but its static
    // initialisation, which the host has no way to read.
    uint64_t BytesInUseBeforeLoad() const { return bytesInUseBeforeLoad_; }
    // The context words as the export left them (its pointers are the plug-in's and dangle once
    // the module is shut down).
    const PluginLoadContext& LoadContext() const { return loadContext_; }
    // The module the export returned; null before a load, after a refused one and after Shutdown.
    void* Module() const { return module_; }
    // A copy of the export table taken at load (the original lives inside the module); all null
    // when no load has succeeded.
    const PluginExportTable& Exports() const { return exports_; }
    // The plug-in's short name as given at load.
    const std::string& PluginName() const { return pluginName_; }
    ModuleState State() const { return state_; }

    // --- Lifecycle ---------------------------------------------------------------------------
    // Calls the export table's Start with a new HostContext for `connectionHandle`, which the
    // host keeps alive until it is destroyed. Returns the plug-in's answer, or false when Start
    // was not called (no live module).
    bool Start(uint32_t connectionHandle = 1);
    // Calls the export table's Shutdown; true when it was called.
    bool Shutdown();
    // Calls the export table's GetMemoryStats (allowed after Shutdown while the library is open);
    // empty when there is no export table.
    std::optional<MemoryStats> GetMemoryStats();

    // The host's function table, and the context handed to the latest Start (null before it).
    HostApi* Api() { return &table_.api; }
    HostContext* Context() { return contexts_.empty() ? nullptr : &contexts_.back(); }
    // The host that owns a function table; null for a null table.
    static TestHost* FromApi(HostApi* api);

    // --- Calling the plug-in's API -------------------------------------------------------------
    // A copy of the module's API description; empty whenever Module() is null.
    ApiDescription Description() const { return ApiDescription::CopyOf(descriptor_); }
    // Writes the description to the transcript (one line per function, type and event, or one
    // JSON object in the JSON format) and returns it.
    ApiDescription Describe();
    // Calls the function `request` is addressed to, as the host does (see ChooseFunction and
    // CallEntry), and writes the call and the answer to the transcript; `function`, when not
    // empty, names the function instead. Empty, with a "host: " note and nothing called, when no
    // module is live or no function fits.
    std::optional<FunctionAnswer> CallFunction(const RecordedRequest& request,
                                               const std::string& function = {});

    // --- What the plug-in did ----------------------------------------------------------------
    const std::vector<HostCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    const std::vector<Subscription>& Subscriptions() const { return subscriptions_; }
    const std::deque<DeferredCall>& PendingDeferredCalls() const { return deferred_; }
    // BeginWait calls not yet matched by EndWait.
    int OpenWaits() const { return openWaits_; }
    // Responses the host filled whose release routine the plug-in has not called, counting
    // records the plug-in handed in again without releasing them first.
    std::size_t UnreleasedResponses() const { return responses_.size() + droppedResponses_; }
    // Streamed answers whose stream release routine the plug-in has not called. The host frees
    // them itself when it is destroyed.
    std::size_t UnreleasedStreams() const { return streams_.size(); }

    // --- Scripting the host's side -----------------------------------------------------------
    void SetRequestHandler(RequestHandler handler) { requestHandler_ = std::move(handler); }
    // Answers every request with this method code and exactly this path (query string included)
    // with `answer`, until replaced; scripted answers come before the request handler.
    void SetAnswer(uint32_t method, std::string path, HostAnswer answer);
    void ClearAnswers() { answers_.clear(); }
    // Runs inside every Yield of the plug-in, after the call is recorded.
    void SetYieldHook(YieldHook hook) { yieldHook_ = std::move(hook); }
    // Runs inside every Log slot call, after the line is recorded.
    void SetLogHook(LogHook hook) { logHook_ = std::move(hook); }
    // Delivers an event to every subscription with this name (in subscription order), each with
    // its own flags and its own userData, or `userDataOverride` when given (a safety test's null
    // or made-up pointer); subscriptions ended during delivery are skipped. Returns the number
    // of callbacks called.
    std::size_t FireEvent(const std::string& eventName, const HostValueTree& payload,
                          std::optional<void*> userDataOverride = {});
    // Runs the deferred calls queued so far, first queued first, whatever their delay; calls
    // queued meanwhile wait for the next run. Returns the number run.
    std::size_t RunDeferredCalls();
    // Off by default. On: Shutdown keeps the subscriptions and deferred calls the module left,
    // so that FireEvent and RunDeferredCalls deliver them to the destroyed module (each such
    // delivery is noted in the transcript).
    void SetKeepCallbacksAfterShutdown(bool keep) { keepCallbacksAfterShutdown_ = keep; }

    // --- Transcript --------------------------------------------------------------------------
    Transcript& GetTranscript() { return transcript_; }
    const Transcript& GetTranscript() const { return transcript_; }

  private:
    struct Slots;
    friend struct Slots;

    // The function table first, so that the table pointer the plug-in passes back is this.
    struct ApiTable {
        HostApi api;
        TestHost* owner;
    };

    // A streamed answer being read; its address is the stream object the plug-in holds.
    struct LiveStream {
        uint64_t id;
        ScriptedStream stream;
    };

    bool HasLiveModule() const;
    void RecordBytesInUse();
    void Note(const char* call, const std::string& message);
    void NoteStaleDelivery(const char* call, std::size_t count);
    void Record(HostCall call) { calls_.push_back(std::move(call)); }
    HostAnswer ChooseAnswer(const RecordedRequest& request);
    void FillResponse(HostResponse* response, HostAnswer answer, uint64_t streamId);
    void ReleaseResponse(HostResponse* response);
    void DropLeftovers(const char* call);
    void KeepLeftovers();

    uint8_t OnStreamRead(LiveStream* stream, uint8_t* buffer, uint32_t* size, uint8_t* more);
    void OnStreamRelease(LiveStream* stream);

    void OnSendRequest(HostResponse* response, HostRequest* request);
    void OnReserved(uint32_t first, uint32_t second);
    void OnSendEvent(Client::HostEvent* event);
    void OnSubscribe(const char* eventName, uint32_t handle, HostEventCallback callback,
                     void* userData, uint32_t flags);
    void OnUnsubscribe(const char* eventName, uint32_t handle);
    void OnScheduleCall(const char* name, HostDeferredCallback callback, void* userData,
                        double delaySeconds, uint32_t zero);
    void OnYield();
    void OnBeginWait(const char* reason, uint32_t zero);
    void OnEndWait();
    void OnLog(int32_t level, const char* message);

    ApiTable table_;
    Platform::SharedLibrary library_;
    PluginLoadContext loadContext_{};
    void* module_ = nullptr;
    PluginExportTable exports_{};
    // The library's GetMemoryStats, learnt at the first accepted load and kept until Unload.
    void (*memoryStats_)(void*, MemoryStats*) = nullptr;
    uint64_t bytesInUseBeforeLoad_ = 0;
    std::string pluginName_;
    ApiDescriptor* descriptor_ = nullptr;
    ModuleState state_ = ModuleState::None;
    std::deque<HostContext> contexts_;  // a deque keeps every context where the plug-in saw it

    std::vector<HostCall> calls_;
    std::vector<Subscription> subscriptions_;
    std::deque<DeferredCall> deferred_;
    uint64_t nextSubscriptionId_ = 1;
    uint64_t nextDeferredId_ = 1;
    int openWaits_ = 0;
    std::map<HostResponse*, std::unique_ptr<HostAnswer>> responses_;
    std::size_t droppedResponses_ = 0;
    std::map<LiveStream*, std::unique_ptr<LiveStream>> streams_;
    uint64_t nextStreamId_ = 1;
    std::map<std::pair<uint32_t, std::string>, HostAnswer> answers_;
    bool keepCallbacksAfterShutdown_ = false;

    RequestHandler requestHandler_;
    YieldHook yieldHook_;
    LogHook logHook_;
    Transcript transcript_;
};

}  // namespace Velto::TestHost
