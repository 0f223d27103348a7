// The value of a hexadecimal digit, for the readers of escapes and numbers in outside text.
#pragma once

namespace Velto {

// 0 to 15 for "0"-"9", "a"-"f" and "A"-"F"; -1 for any other character. Independent of the
// locale.
constexpr int HexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace Velto
