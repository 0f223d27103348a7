// Fuzzes percent-decoding: any bytes decode without a crash or a read past the input, never into
// more bytes than they had, and a text without "%" keeps its length ("+" becomes one space).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "remoting/url_component.h"

namespace {

using Fuzz::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = Velto::DecodeUrlComponent(text);
    Check(decoded.size() <= text.size());
    if (text.find('%') == std::string_view::npos) {
        Check(decoded.size() == text.size());
    }
    return 0;
}
