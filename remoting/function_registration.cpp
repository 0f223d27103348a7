#include "remoting/function_registration.h"

namespace Velto {

FunctionBuilder BindDescribedFunction(BindingRegistry& registry, FunctionBindings& bindings,
                                      FunctionDescriptor description,
                                      const InvokerFactory& makeInvoker) {
    const std::size_t argumentCount = description.arguments.size();
    const std::string name = description.name;
    FunctionDescriptor* function =
        registry.AddFunction(name, MakeFunctionDescriptor(std::move(description))).first;
    if (function == nullptr || function->arguments.size() != argumentCount) {
        return FunctionBuilder(nullptr);
    }
    if (FunctionBinding* existing = bindings.Find(*function)) {
        return FunctionBuilder(existing);
    }
    return FunctionBuilder(bindings.Bind(*function, makeInvoker(*function)).first);
}

}  // namespace Velto
