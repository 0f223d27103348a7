// The module's binding of one registered function: how the host reaches it (route, method,
// where each argument may come from) and the invoker that calls the native callable.
//
// Owned by the module's FunctionBindings from the first registration of the name until the module
// is destroyed; not changed after start-up, so dispatches read it without a lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "remoting/function_invoker.h"
#include "remoting/http_method.h"

namespace Velto {

struct FunctionDescriptor;

// Where an argument may be supplied by name.
enum class ArgumentLocation : uint32_t {
    Anywhere = 0,
    Query = 1,
    Path = 2,    // a route placeholder
    Direct = 3,  // no named source: only a direct argument of the host reaches it
    Header = 4,
    Body = 5,
};

struct FunctionBinding {
    FunctionDescriptor* function = nullptr;
    std::unique_ptr<FunctionInvoker> invoker;
    std::string route;  // the route template; empty: the function is addressed by its name
    HttpMethod method = HttpMethod::None;             // None: any method
    std::string customMethod;                         // used with HttpMethod::Custom
    std::vector<ArgumentLocation> argumentLocations;  // one per argument
    // Carried to the host in the API description only; nothing in the plug-in sets them.
    uint8_t flag = 0;
    std::vector<std::vector<std::string>> textLists;

    // Where argument `index` may come from; an argument without an entry may come from anywhere.
    ArgumentLocation LocationOf(std::size_t index) const noexcept {
        return index < argumentLocations.size() ? argumentLocations[index]
                                                : ArgumentLocation::Anywhere;
    }
};

}  // namespace Velto
