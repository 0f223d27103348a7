#include "remoting/http_method.h"

namespace Velto {

namespace {

// Indexed by code; slots 0 and 8 have no text.
constexpr const char* kMethodNames[] = {
    "", "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT", "",
};

constexpr uint32_t kLastHostCode = static_cast<uint32_t>(HttpMethod::Custom);

}  // namespace

const char* MethodName(HttpMethod method) noexcept {
    const auto code = static_cast<uint32_t>(method);
    return code <= kLastHostCode ? kMethodNames[code] : "";
}

HttpMethod MethodFromHost(uint32_t code) noexcept {
    return code <= kLastHostCode ? static_cast<HttpMethod>(code) : HttpMethod::None;
}

}  // namespace Velto
