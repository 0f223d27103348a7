#include "binding/base64.h"

#include <array>
#include <cstdint>

namespace Velto {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kNotInAlphabet = 0xFF;

// Each character's index in the alphabet, kNotInAlphabet for the others.
constexpr std::array<uint8_t, 256> MakeDecodeTable() {
    std::array<uint8_t, 256> table{};
    table.fill(kNotInAlphabet);
    for (uint8_t index = 0; index < 64; ++index) {
        table[static_cast<unsigned char>(kAlphabet[index])] = index;
    }
    return table;
}

constexpr std::array<uint8_t, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

std::string Base64Encode(const void* bytes, std::size_t size) {
    const auto* input = static_cast<const uint8_t*>(bytes);
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    std::size_t position = 0;
    for (; position + 3 <= size; position += 3) {
        const uint32_t group = (uint32_t{input[position]} << 16) |
                               (uint32_t{input[position + 1]} << 8) | input[position + 2];
        text += kAlphabet[(group >> 18) & 0x3F];
        text += kAlphabet[(group >> 12) & 0x3F];
        text += kAlphabet[(group >> 6) & 0x3F];
        text += kAlphabet[group & 0x3F];
    }
    const std::size_t remaining = size - position;
    if (remaining != 0) {
        uint32_t group = uint32_t{input[position]} << 16;
        if (remaining == 2) {
            group |= uint32_t{input[position + 1]} << 8;
        }
        text += kAlphabet[(group >> 18) & 0x3F];
        text += kAlphabet[(group >> 12) & 0x3F];
        text += remaining == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        text += '=';
    }
    return text;
}

std::string Base64Decode(std::string_view text) {
    std::string bytes;
    bytes.reserve((text.size() + 3) / 4 * 3);
    uint32_t group = 0;
    std::size_t count = 0;
    for (const char character : text) {
        const uint8_t value = kDecodeTable[static_cast<unsigned char>(character)];
        if (value == kNotInAlphabet) {
            break;  // "=" included: padding ends the data
        }
        group = (group << 6) | value;
        if (++count == 4) {
            bytes += static_cast<char>((group >> 16) & 0xFF);
            bytes += static_cast<char>((group >> 8) & 0xFF);
            bytes += static_cast<char>(group & 0xFF);
            group = 0;
            count = 0;
        }
    }
    if (count >= 2) {
        group <<= 6 * (4 - count);
        bytes += static_cast<char>((group >> 16) & 0xFF);
        if (count == 3) {
            bytes += static_cast<char>((group >> 8) & 0xFF);
        }
    }
    return bytes;
}

}  // namespace Velto
