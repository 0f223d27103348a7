// The module's function bindings: one FunctionBinding per registered function, created on the
// first registration of its name and kept until the module is destroyed.
//
// Thread-safety: every lookup, insertion and snapshot holds the bindings' mutex for its own
// duration only. The bindings themselves are filled during start-up and only read afterwards.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "remoting/function_binding.h"

namespace Velto {

class FunctionBindings {
  public:
    // The binding of `function`; when there is none yet, one is made with `invoker` and one
    // location slot (Anywhere) per argument. An existing binding is returned unchanged and
    // `invoker` is dropped. Returns the binding and whether it existed.
    std::pair<FunctionBinding*, bool> Bind(FunctionDescriptor& function,
                                           std::unique_ptr<FunctionInvoker> invoker);
    // The binding of `function`, or null.
    FunctionBinding* Find(const FunctionDescriptor& function) const;
    // Every binding, in no particular order.
    std::vector<FunctionBinding*> Snapshot() const;

  private:
    mutable std::mutex mutex_;
    std::map<const FunctionDescriptor*, std::unique_ptr<FunctionBinding>> bindings_;
};

}  // namespace Velto
