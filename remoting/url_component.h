// Percent-decoding of path captures and query strings.
#pragma once

#include <string>
#include <string_view>

namespace Velto {

// "+" becomes a space; "%" and two more characters become the byte ((16 * high) mod 256) | low,
// where a character that is not a hexadecimal digit counts as 16; a "%" with fewer than two
// characters after it is dropped. Every other byte is copied; the result is raw bytes.
std::string DecodeUrlComponent(std::string_view text);

}  // namespace Velto
