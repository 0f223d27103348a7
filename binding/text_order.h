// Equality and byte-wise order of short texts without a library call: texts of up to 16 bytes
// are compared a word at a time (two overlapping loads cover every length from 4 to 16), longer
// ones through memcmp. Member names and interned keys are mostly that short.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace Velto {
namespace TextOrderDetail {

inline uint32_t SwapBytes(uint32_t word) noexcept {
    word = (word << 16) | (word >> 16);
    return ((word & 0x00FF00FFu) << 8) | ((word >> 8) & 0x00FF00FFu);
}

inline uint64_t SwapBytes(uint64_t word) noexcept {
    word = (word << 32) | (word >> 32);
    word = ((word & 0x0000FFFF0000FFFFu) << 16) | ((word >> 16) & 0x0000FFFF0000FFFFu);
    return ((word & 0x00FF00FF00FF00FFu) << 8) | ((word >> 8) & 0x00FF00FF00FF00FFu);
}

// The bytes as a big-endian number, so that numbers order as the texts do; compilers turn the
// swap into one instruction.
template <class Word>
Word LoadBigEndian(const char* bytes) noexcept {
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        word = SwapBytes(word);
    }
    return word;
}

// Order of two words as texts; the most significant byte is the first character.
template <class Word>
inline int CompareWords(const char* first, const char* second, std::size_t count) noexcept {
    const Word head = LoadBigEndian<Word>(first);
    const Word otherHead = LoadBigEndian<Word>(second);
    if (head != otherHead) {
        return head < otherHead ? -1 : 1;
    }
    // Overlaps the head when `count` is less than two words; the overlap is known to be equal.
    const Word tail = LoadBigEndian<Word>(first + count - sizeof(Word));
    const Word otherTail = LoadBigEndian<Word>(second + count - sizeof(Word));
    return tail == otherTail ? 0 : (tail < otherTail ? -1 : 1);
}

}  // namespace TextOrderDetail

// memcmp(first, second, count) in sign: negative, zero or positive.
inline int CompareBytes(const char* first, const char* second, std::size_t count) noexcept {
    using namespace TextOrderDetail;
    if (count > 16) {
        return std::memcmp(first, second, count);
    }
    if (count >= 8) {
        return CompareWords<uint64_t>(first, second, count);
    }
    if (count >= 4) {
        return CompareWords<uint32_t>(first, second, count);
    }
    for (std::size_t index = 0; index < count; ++index) {
        const auto byte = static_cast<unsigned char>(first[index]);
        const auto other = static_cast<unsigned char>(second[index]);
        if (byte != other) {
            return byte < other ? -1 : 1;
        }
    }
    return 0;
}

// Whether the `count` bytes at `first` and `second` are the same; cheaper than their order.
inline bool SameBytes(const char* first, const char* second, std::size_t count) noexcept {
    const auto sameWords = [first, second, count](auto word) {
        decltype(word) head, otherHead, tail, otherTail;
        std::memcpy(&head, first, sizeof head);
        std::memcpy(&otherHead, second, sizeof head);
        std::memcpy(&tail, first + count - sizeof tail, sizeof tail);
        std::memcpy(&otherTail, second + count - sizeof tail, sizeof tail);
        return ((head ^ otherHead) | (tail ^ otherTail)) == 0;
    };
    if (count > 16) {
        return std::memcmp(first, second, count) == 0;
    }
    if (count >= 8) {
        return sameWords(uint64_t{});
    }
    if (count >= 4) {
        return sameWords(uint32_t{});
    }
    for (std::size_t index = 0; index < count; ++index) {
        if (first[index] != second[index]) {
            return false;
        }
    }
    return true;
}

inline bool SameText(std::string_view first, std::string_view second) noexcept {
    return first.size() == second.size() && SameBytes(first.data(), second.data(), first.size());
}

// Byte-wise order of two texts, compared as unsigned characters; a prefix sorts first.
inline int CompareText(std::string_view first, std::string_view second) noexcept {
    const std::size_t common = first.size() < second.size() ? first.size() : second.size();
    const int order = CompareBytes(first.data(), second.data(), common);
    if (order != 0) {
        return order;
    }
    return first.size() < second.size() ? -1 : (first.size() > second.size() ? 1 : 0);
}

}  // namespace Velto
