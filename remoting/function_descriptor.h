// The registry's description of one bound function: its name, its arguments in declaration order,
// its result type, its help texts and tags.
//
// Descriptors are made by MakeFunctionDescriptor and stored in the module's BindingRegistry by
// name (the registry owns them through FunctionDescriptorHandle); the function binding and the API
// description point at them for the registry's life. They are complete before registration returns
// and are only read afterwards, except for `tags`, which registration may extend.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/type_kind.h"

namespace Velto {

struct ArgumentDescriptor {
    std::string name;
    std::string description;  // help only
    bool optional = false;    // the native parameter is an optional wrapper
    TypeSpec type;
    TypeSpec overrideType;  // written to the host in place of `type` when its kind is not None
};

struct FunctionDescriptor {
    std::string name;  // unique among the module's functions
    std::string nameSpace;
    std::vector<ArgumentDescriptor> arguments;  // the index here is the argument's index
    TypeSpec returns;
    TypeSpec returnsOverride;  // written to the host in place of `returns` when its kind is set
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string asyncResultType;  // the registered name of an asynchronous function's result
    std::vector<std::string> tags;
    const BindingRegistry* registry = nullptr;  // the owning registry
};

// A new descriptor for the registry, with its deleter.
FunctionDescriptorHandle MakeFunctionDescriptor(FunctionDescriptor descriptor);

}  // namespace Velto
