// The library's four event-tracing providers, registered with the system while the library is
// loaded so that a trace controller can watch it, and the one event they write: the name of the
// thread that registered them.
//
// Providers in registration order, with their events (keyword mask, level):
//   1 {2F9EFE86-4AF7-4F37-A40F-94B909A157D6}  (0x1, 0)
//   2 {EA08C559-95A8-4AA2-AFA6-18738EEC6D37}  (0x1, 0): the thread-naming event
//   3 {10F6728C-EF92-4BF1-8397-49E693A6EB74}  (0x0, 0)
//   4 {46DD7F96-60CB-416B-8085-DA5CD8F491DD}  (0x1, 0), (0x2, 0)
// The thread-naming event: id 103, version 0, channel 0, level 0, opcode 14, task 2, keyword 0x1;
// its payload is the thread's id (unsigned 32-bit) and its name, "Main thread", with the NUL.
//
// Where the system lacks the tracing library or one of its functions, the calls that would use
// it are skipped and the providers do nothing.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "diagnostics/event_tracing.h"
#include "diagnostics/trace_enable_context.h"
#include "platform/system_functions.h"

namespace Velto {

// Not thread-safe: register and unregister from one thread (the library's loader). The system
// may call EnableCallback with a provider's context on any thread meanwhile.
class TraceProviders {
  public:
    static constexpr std::size_t kCount = 4;

    TraceProviders() noexcept;
    // Unregisters what is still registered.
    ~TraceProviders();
    TraceProviders(const TraceProviders&) = delete;
    TraceProviders& operator=(const TraceProviders&) = delete;

    // Finds the system's tracing functions through `lookup`, then registers, in table order, each
    // provider whose handle is still 0, with EnableCallback and its own context. If a trace
    // controller has meanwhile enabled provider 2's event, writes the thread-naming event for the
    // calling thread.
    void Register(Platform::SystemFunctionLookup& lookup) noexcept;

    // Unregisters providers 4 to 1, each that has a handle, sets its handle to 0 and forgets what
    // its listeners enabled.
    void Unregister() noexcept;

    // The providers' enable contexts, in registration order.
    std::span<const TraceEnableContext, kCount> Contexts() const noexcept { return contexts_; }

  private:
    void NameThread() noexcept;

    EventTracing::Functions functions_;
    std::array<TraceEnableContext, kCount> contexts_;
};

}  // namespace Velto
