// What the dispatcher knows about one call while it looks for the matching route.
#pragma once

#include <string>

#include "remoting/http_method.h"
#include "remoting/named_values.h"

namespace Velto {

struct FunctionDescriptor;
struct FunctionBinding;

// Lives on the dispatcher's stack for one call.
struct RouteMatch {
    HttpMethod method = HttpMethod::None;
    std::string customMethod;  // the host's custom method name when method is Custom, else empty
    std::string path;          // the host's path text, query string included
    FunctionDescriptor* function = nullptr;  // null until matched
    FunctionBinding* binding = nullptr;      // null until matched
    // Placeholder name to decoded value in template order, filled by route matching.
    NamedValues pathParameters;
};

}  // namespace Velto
