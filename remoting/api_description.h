// The API description handed to the host at load: packed, C-compatible tables of the module's
// bound functions (with the routine and call context the host passes back to call one), its
// registered types with their fields or enumeration values, and its events.
//
// Ownership: every array, and every text the tables point at, is owned by this object (or by the
// registry and bindings it was built from) and stays valid until it is destroyed. Built once; the
// tables never change afterwards, so the host may read them from any thread.
#pragma once

#include <memory>

#include "platform/host_boundary.h"

namespace Velto {

class BindingRegistry;
class FunctionBindings;
struct FunctionBinding;

// What a function entry's call context points at; the host passes its address back as the
// request's function context.
struct FunctionCallContext {
    void* module = nullptr;
    FunctionBinding* binding = nullptr;
};

// The routine placed in every function entry.
using HostCallRoutine = void (*)(Client::HostResponse* response, Client::HostRequest* request);

class ApiDescription {
  public:
    ApiDescription();
    ~ApiDescription();
    ApiDescription(const ApiDescription&) = delete;
    ApiDescription& operator=(const ApiDescription&) = delete;

    // Fills the tables from snapshots of `bindings` and `registry`: one function entry per
    // binding (in function name order) with `call` as its routine and a call context
    // {module, binding}; one type record per registered type; one event record per event, all in
    // name order. An entry whose function has no record in the registry keeps zeros where the
    // record's words would be. A second call does nothing: functions bound after the first build
    // are not described.
    void Build(void* module, const BindingRegistry& registry, const FunctionBindings& bindings,
               HostCallRoutine call);

    // The six words handed to the host; all zero before Build.
    Client::ApiDescriptor* Descriptor() noexcept { return &descriptor_; }

    // The binding of a call context that a live description handed out; null for any other
    // pointer (null, stale, or never handed out), which is never dereferenced. Safe from any
    // thread: a description's contexts become unknown before its tables are freed.
    static FunctionBinding* BindingOfCallContext(const void* callContext) noexcept;

  private:
    struct Tables;

    Client::ApiDescriptor descriptor_{};
    std::unique_ptr<Tables> tables_;
};

}  // namespace Velto
