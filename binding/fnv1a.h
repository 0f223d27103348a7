// The 32-bit FNV-1a hash used for type identities, field names and interned texts.
//
// One byte at a time: XOR the byte into the hash, then multiply by the prime modulo 2^32. The
// empty text hashes to the offset basis itself. Usable in constant expressions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Velto {

inline constexpr uint32_t kFnv1aOffsetBasis = 0x811C9DC5u;
inline constexpr uint32_t kFnv1aPrime = 0x01000193u;

constexpr uint32_t Fnv1a(std::string_view text) noexcept {
    uint32_t hash = kFnv1aOffsetBasis;
    for (const char character : text) {
        hash ^= static_cast<unsigned char>(character);
        hash *= kFnv1aPrime;
    }
    return hash;
}

}  // namespace Velto
