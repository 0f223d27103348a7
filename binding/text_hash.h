// The hash of a storage context's text table: eight bytes at a time, so that interning a long
// text costs a few multiplications rather than one per byte, and over four independent lanes
// beyond 32 bytes, so that those multiplications overlap instead of waiting on each other. Not
// stable across releases and not meant for anything kept outside one tree (type identities and
// field names use Fnv1a).
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace Velto {
namespace TextHashDetail {

inline constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
inline constexpr uint64_t kFinisher = 0xFF51AFD7ED558CCDu;

inline uint64_t Load64(const char* bytes) noexcept {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

inline uint64_t Load32(const char* bytes) noexcept {
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

inline uint64_t Mix(uint64_t hash, uint64_t word) noexcept {
    hash = (hash ^ word) * kMultiplier;
    return hash ^ (hash >> 29);
}

inline uint64_t RotateLeft(uint64_t word, int bits) noexcept {
    return (word << bits) | (word >> (64 - bits));
}

// Mixes the more than 32 bytes at `bytes` into `hash` 32 at a time; the last round takes the
// last 32 bytes, overlapping the round before.
inline uint64_t MixLong(uint64_t hash, const char* bytes, std::size_t left) noexcept {
    // Four named lanes rather than an array, which compilers vectorise into slower code.
    uint64_t first = hash;
    uint64_t second = hash + kMultiplier;
    uint64_t third = hash + 2 * kMultiplier;
    uint64_t fourth = hash + 3 * kMultiplier;
    const auto round = [&](const char* at) {
        first = Mix(first, Load64(at));
        second = Mix(second, Load64(at + 8));
        third = Mix(third, Load64(at + 16));
        fourth = Mix(fourth, Load64(at + 24));
    };
    for (; left > 32; left -= 32, bytes += 32) {
        round(bytes);
    }
    round(bytes + left - 32);
    return first ^ RotateLeft(second, 16) ^ RotateLeft(third, 32) ^ RotateLeft(fourth, 48);
}

}  // namespace TextHashDetail

inline uint32_t TextHash(std::string_view text) noexcept {
    using namespace TextHashDetail;
    const char* bytes = text.data();
    std::size_t left = text.size();
    // The length is mixed in on its own, so it cannot cancel against the first word.
    uint64_t hash = Mix(kMultiplier, left);
    if (left > 32) {
        hash = MixLong(hash, bytes, left);
    } else if (left >= 8) {
        for (; left > 8; left -= 8, bytes += 8) {
            hash = Mix(hash, Load64(bytes));
        }
        // The last word overlaps the one before when the length is not a multiple of 8.
        hash = Mix(hash, Load64(bytes + left - 8));
    } else if (left >= 4) {
        hash = Mix(hash, (Load32(bytes) << 32) | Load32(bytes + left - 4));
    } else if (left > 0) {
        const auto first = static_cast<unsigned char>(bytes[0]);
        const auto middle = static_cast<unsigned char>(bytes[left / 2]);
        const auto last = static_cast<unsigned char>(bytes[left - 1]);
        hash = Mix(hash, (uint64_t{first} << 16) | (uint64_t{middle} << 8) | last);
    }
    hash = (hash ^ (hash >> 32)) * kFinisher;
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace Velto
