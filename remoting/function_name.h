// The name of a function registered as the handler of a method and a path.
#pragma once

#include <string>
#include <string_view>

#include "remoting/http_method.h"

namespace Velto {

// "Get" + "/" + path, with "!", "+", "-", ".", "/", "_" dropped and capitalising the next
// character, "{" written as "By", "}" dropped: GET /items/{id} gives "GetItemsById".
std::string FunctionNameFromRoute(HttpMethod method, std::string_view path);

}  // namespace Velto
