// The method of a remoting call, with the codes the host uses on the boundary.
#pragma once

#include <cstdint>

namespace Velto {

// Code 0 means "no method" (in a route: any method); 8 is a custom method whose name travels
// in a separate text field.
enum class HttpMethod : uint32_t {
    None = 0,
    Delete = 1,
    Get = 2,
    Head = 3,
    Options = 4,
    Patch = 5,
    Post = 6,
    Put = 7,
    Custom = 8,
};

// The method's text ("GET", ...); the empty text for None, Custom and any value outside 1..7.
// The result is a static text and never null.
const char* MethodName(HttpMethod method) noexcept;

// Reads a host method code: 1..8 give the same method, anything else gives None.
HttpMethod MethodFromHost(uint32_t code) noexcept;

}  // namespace Velto
