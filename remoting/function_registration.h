// Binding native callables as functions the host can call.
//
// Registration belongs to start-up. The function's description goes into the registry (the first
// registration of a name wins) and its binding into the module's bindings (one per function).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "remoting/callable_invoker.h"
#include "remoting/function_bindings.h"
#include "remoting/function_builder.h"

namespace Velto {

using InvokerFactory = std::function<std::unique_ptr<FunctionInvoker>(const FunctionDescriptor&)>;

// Registers `description` unless its name is taken, then binds the registered function with an
// invoker from `makeInvoker` unless it is bound already. The builder fails when a function of that
// name exists with another number of arguments, which the invoker could not be called with.
FunctionBuilder BindDescribedFunction(BindingRegistry& registry, FunctionBindings& bindings,
                                      FunctionDescriptor description,
                                      const InvokerFactory& makeInvoker);

// Binds `callable` as the function `name`, its arguments named by `argumentNames` in order (one
// name per argument; a count that differs fails the builder).
template <class Callable>
FunctionBuilder BindCallable(BindingRegistry& registry, FunctionBindings& bindings,
                             std::string_view name, Callable callable,
                             const std::vector<std::string>& argumentNames = {}) {
    if (argumentNames.size() != CallableSignature<Callable>::kArgumentCount) {
        return FunctionBuilder(nullptr);
    }
    return BindDescribedFunction(
        registry, bindings, DescribeCallable<Callable>(name, argumentNames, registry),
        [&callable](const FunctionDescriptor& function) -> std::unique_ptr<FunctionInvoker> {
            return std::make_unique<CallableInvoker<Callable>>(std::move(callable), function);
        });
}

}  // namespace Velto
