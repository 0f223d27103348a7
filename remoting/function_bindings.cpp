#include "remoting/function_bindings.h"

#include "remoting/function_descriptor.h"

namespace Velto {

std::pair<FunctionBinding*, bool> FunctionBindings::Bind(
    FunctionDescriptor& function, std::unique_ptr<FunctionInvoker> invoker) {
    const std::lock_guard<std::mutex> guard(mutex_);
    std::unique_ptr<FunctionBinding>& slot = bindings_[&function];
    if (slot != nullptr) {
        return {slot.get(), true};
    }
    slot = std::make_unique<FunctionBinding>();
    slot->function = &function;
    slot->invoker = std::move(invoker);
    slot->argumentLocations.assign(function.arguments.size(), ArgumentLocation::Anywhere);
    return {slot.get(), false};
}

FunctionBinding* FunctionBindings::Find(const FunctionDescriptor& function) const {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto found = bindings_.find(&function);
    return found != bindings_.end() ? found->second.get() : nullptr;
}

std::vector<FunctionBinding*> FunctionBindings::Snapshot() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    std::vector<FunctionBinding*> bindings;
    bindings.reserve(bindings_.size());
    for (const auto& [function, binding] : bindings_) {
        bindings.push_back(binding.get());
    }
    return bindings;
}

}  // namespace Velto
