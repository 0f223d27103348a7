#include "diagnostics/trace_providers.h"

#include <cstdint>

#include "platform/thread_id.h"

namespace Velto {
namespace {

using EventTracing::Guid;

constexpr std::array<Guid, TraceProviders::kCount> kProviderIds = {{
    {0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}},
    {0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
    {0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}},
    {0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}},
}};

constexpr TraceEventFilter kKeywordOneEvents[] = {{0x1, 0}};
constexpr TraceEventFilter kAnyKeywordEvents[] = {{0x0, 0}};
constexpr TraceEventFilter kKeywordOneAndTwoEvents[] = {{0x1, 0}, {0x2, 0}};

constexpr std::size_t kThreadNamingProvider = 1;
constexpr std::size_t kThreadNamingEvent = 0;
constexpr EventTracing::EventDescriptor kThreadNaming = {
    .id = 103, .version = 0, .channel = 0, .level = 0, .opcode = 14, .task = 2, .keyword = 0x1};
constexpr char kThreadName[] = "Main thread";

EventTracing::EventDataDescriptor DataItem(const void* data, std::size_t size) {
    return {.address = reinterpret_cast<uintptr_t>(data),
            .size = static_cast<uint32_t>(size),
            .reserved = 0};
}

}  // namespace

TraceProviders::TraceProviders() noexcept
    : contexts_{TraceEnableContext(kKeywordOneEvents), TraceEnableContext(kKeywordOneEvents),
                TraceEnableContext(kAnyKeywordEvents),
                TraceEnableContext(kKeywordOneAndTwoEvents)} {}

TraceProviders::~TraceProviders() {
    Unregister();
}

void TraceProviders::Register(Platform::SystemFunctionLookup& lookup) noexcept {
    functions_ = EventTracing::FindFunctions(lookup);
    if (functions_.eventRegister != nullptr) {
        for (std::size_t i = 0; i < kCount; ++i) {
            if (contexts_[i].handle == 0) {
                functions_.eventRegister(&kProviderIds[i], &EnableCallback, &contexts_[i],
                                         &contexts_[i].handle);
            }
        }
    }
    if (contexts_[kThreadNamingProvider].IsEventEnabled(kThreadNamingEvent)) {
        NameThread();
    }
}

void TraceProviders::Unregister() noexcept {
    for (std::size_t i = kCount; i-- > 0;) {
        if (contexts_[i].handle != 0 && functions_.eventUnregister != nullptr) {
            functions_.eventUnregister(contexts_[i].handle);
        }
        contexts_[i].handle = 0;
        // An unregistered provider has no listeners, whatever they asked for before.
        contexts_[i].Disable();
    }
}

void TraceProviders::NameThread() noexcept {
    if (functions_.eventWrite == nullptr) {
        return;
    }
    const uint32_t threadId = Platform::CurrentThreadId();
    EventTracing::EventDataDescriptor data[] = {DataItem(&threadId, sizeof threadId),
                                                DataItem(kThreadName, sizeof kThreadName)};
    functions_.eventWrite(contexts_[kThreadNamingProvider].handle, &kThreadNaming, 2, data);
}

}  // namespace Velto
