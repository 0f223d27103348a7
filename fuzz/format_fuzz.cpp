// Fuzzes the placeholder formatter: any pattern over a fixed set of arguments of every kind.
//
// Texts live in heap blocks of exactly their size (the view has no terminator at all), and the
// output goes into heap buffers of exactly the capacity, so reading past an argument or writing
// past the buffer is caught by AddressSanitizer. Every bounded result must be a prefix of the
// full one, of the expected length, and terminated.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "diagnostics/format.h"
#include "fuzz/fuzz_check.h"

namespace {

struct Coordinates {
    int x, y;
};

}  // namespace

template <>
struct Velto::FormatText<Coordinates> {
    static std::string Text(const Coordinates& value) {
        return "(" + std::to_string(value.x) + "," + std::to_string(value.y) + ")";
    }
};

namespace {

using Fuzz::Check;

// A copy of `text` in a block of exactly its size, with or without a terminator.
std::unique_ptr<char[]> ExactCopy(std::string_view text, bool terminated) {
    std::unique_ptr<char[]> copy(new char[text.size() + (terminated ? 1 : 0)]);
    std::memcpy(copy.get(), text.data(), text.size());
    if (terminated) {
        copy[text.size()] = '\0';
    }
    return copy;
}

struct Arguments {
    std::unique_ptr<char[]> cString = ExactCopy("a C string", true);
    std::unique_ptr<char[]> viewBlock = ExactCopy("view without terminator", false);
    std::string owned = std::string("an owned string longer than any small-string buffer");
    std::string_view view{viewBlock.get(), std::strlen("view without terminator")};
    Coordinates coordinates{-3, 14};
    std::pair<const char*, std::string> pair{"first", "second"};
};

template <class... Args>
void CheckBounded(const std::string& full, const char* pattern, const Args&... args) {
    for (const std::size_t capacity :
         {std::size_t{1}, std::size_t{2}, std::size_t{33}, Velto::kFormatCapacity}) {
        const std::unique_ptr<char[]> buffer(new char[capacity]);
        const std::size_t written = Velto::FormatInto(buffer.get(), capacity, pattern, args...);
        Check(written == std::min(full.size(), capacity - 1));
        Check(buffer[written] == '\0');
        Check(std::memcmp(buffer.get(), full.data(), written) == 0);
    }
}

template <class... Args>
void CheckPattern(const char* pattern, const Args&... args) {
    const std::string full = Velto::Format(pattern, args...);
    Check(full.size() < Velto::kFormatCapacity);
    CheckBounded(full, pattern, args...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Arguments arguments;
    const std::string pattern(reinterpret_cast<const char*>(data), size);
    const char* text = pattern.c_str();
    CheckPattern(text, std::int32_t{-42}, std::uint32_t{4000000000u}, '\xe9',
                 std::int64_t{0x1234567890}, UINT64_MAX, -1.5e-300,
                 static_cast<const char*>(arguments.cString.get()), arguments.owned,
                 arguments.coordinates, arguments.pair, arguments.view);
    // Fewer arguments: indices beyond them must end the walk, never reach past the store.
    CheckPattern(text);
    CheckPattern(text, std::int32_t{7}, arguments.view, static_cast<const char*>(nullptr));
    return 0;
}
