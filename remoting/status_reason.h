// The reason texts of HTTP status codes, as the system writes them: the code, a space and the
// registered phrase ("207 Multi-Status").
#pragma once

#include <cstdint>
#include <string_view>

namespace Velto {

// The reason text of `status`; the empty text for a code without a registered phrase (306, any
// code outside 100..599 not listed). The text is static.
std::string_view StatusReason(uint32_t status) noexcept;

}  // namespace Velto
