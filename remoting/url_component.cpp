#include "remoting/url_component.h"

#include <algorithm>

#include "formats/hex_digit.h"

namespace Velto {

namespace {

// A character that is not a hexadecimal digit counts as 16.
unsigned HexValue(char c) noexcept {
    const int value = HexDigitValue(c);
    return value >= 0 ? static_cast<unsigned>(value) : 16;
}

}  // namespace

std::string DecodeUrlComponent(std::string_view text) {
    // Decoding never lengthens the text: write over a copy and cut it to size.
    std::string decoded(text);
    // The bytes before the first "+" or "%" stay as they are.
    std::size_t i = std::min(text.find('+'), text.find('%'));
    if (i == std::string_view::npos) {
        return decoded;
    }
    char* out = decoded.data() + i;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            *out++ = ' ';
        } else if (c != '%') {
            *out++ = c;
        } else if (text.size() - i > 2) {
            const unsigned high = HexValue(text[i + 1]);
            const unsigned low = HexValue(text[i + 2]);
            *out++ = static_cast<char>(((16 * high) % 256) | low);
            i += 2;
        }
    }
    decoded.resize(static_cast<std::size_t>(out - decoded.data()));
    return decoded;
}

}  // namespace Velto
