// The numbered-placeholder formatter behind every message text of the system.
//
// `Format("Couldn't assign value to '%1' of type %2", name, type)` substitutes "%1", "%2", ... by
// the typed arguments. A placeholder may also carry a printf format after "n$"
// ("%2$-8s", "%1$*3$.2f"), or be a plain printf format that takes the next sequential
// argument ("%5s", "%*d"); "%%" is one percent sign. Each argument's type decides which printf
// conversions it allows; a conversion outside that set, or a missing one, becomes the type's
// default conversion. A malformed placeholder (printf text of 60 characters or more, argument
// index beyond the arguments, "*" naming an argument that is not an integer) silently ends the
// output at that point. Output is cut without a mark at the buffer's end.
//
// Only the templates below know the argument types: they pack the arguments into a small store of
// (kind, value) slots and hand it to one non-template core that does the whole walk. The core
// builds every printf call from the argument's real type, so no pattern can make printf read an
// argument of the wrong type or write past the buffer:
// - the length modifier printed is always the argument's own ("ll" for 64-bit integers, none
//   otherwise); "h" and "hh" on an integer conversion narrow the value to a short or a char as
//   printf would ("%1$hhd" of 300 prints 44), other modifiers in the pattern ("%1$Ls", "%1$lc",
//   "h" on a text or a double) are read and ignored;
// - widths and precisions larger than any output could show are reduced to a size that leaves the
//   visible output unchanged, so "%1$999999999d" costs no more than the buffer it fills;
// - a printf failure ends the output at that placeholder.
//
// Arguments are held by reference for the duration of the call. Everything lives on the caller's
// stack; the functions are safe to call from any thread. They throw only what allocating the
// result, or a `FormatText` specialization, throws.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace Velto {

// Extension point: a type with its own text form is printed through the "s" conversion (width,
// precision and "-" apply to it) once specialized as
//   template <> struct FormatText<MyType> { static std::string Text(const MyType& value); };
// The text is produced once per placeholder that prints the value.
template <class T>
struct FormatText;

// Size of the output buffer of `Format`: a message holds at most 4095 characters.
inline constexpr std::size_t kFormatCapacity = 4096;

namespace FormatDetail {

// The finished printf format of one placeholder; private to the core.
struct PrintFormat;

struct TextView {
    const char* data;
    std::size_t size;
};

// One argument as the core sees it: numbers by value, texts by view, other types by address.
union FormatValue {
    std::int32_t int32;
    std::uint32_t uint32;
    std::int64_t int64;
    std::uint64_t uint64;
    double real;
    TextView text;
    const void* object;
};

// What an argument type allows and how it prints; one constant per type.
struct FormatKind {
    // Prints the value into `output` (`space` bytes, NUL included). Returns the characters
    // written, kRenderTruncated when the text was cut at `space` - 1, kRenderFailed when printf
    // refused the format.
    int (*render)(char* output, std::size_t space, const PrintFormat& printFormat,
                  const FormatValue& value);
    // The value as a "*" width or precision; null when `isInteger` is false.
    std::int32_t (*toInteger)(const FormatValue& value);
    bool isInteger;
    // Allowed printf conversions; the first is the default.
    const char* conversions;
};

inline constexpr int kRenderTruncated = -1;
inline constexpr int kRenderFailed = -2;

extern const FormatKind kSigned32Kind;
extern const FormatKind kUnsigned32Kind;
extern const FormatKind kCharKind;
extern const FormatKind kSigned64Kind;
extern const FormatKind kUnsigned64Kind;
extern const FormatKind kRealKind;
extern const FormatKind kTextKind;

// Prints `text` through the "s" conversion of `printFormat`; the render of text-form kinds.
int RenderText(char* output, std::size_t space, const PrintFormat& printFormat,
               std::string_view text);

template <class T>
int RenderTextForm(char* output, std::size_t space, const PrintFormat& printFormat,
                   const FormatValue& value) {
    const std::string text = FormatText<T>::Text(*static_cast<const T*>(value.object));
    return RenderText(output, space, printFormat, text);
}

template <class T>
inline constexpr FormatKind kTextFormKind{&RenderTextForm<T>, nullptr, false, "s"};

struct FormatSlot {
    const FormatKind* kind;
    FormatValue value;
};

template <class T>
concept HasFormatText = requires(const T& value) {
    { FormatText<T>::Text(value) } -> std::convertible_to<std::string>;
};

template <class T>
concept TextLike = std::is_same_v<T, const char*> || std::is_same_v<T, char*> ||
    std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>;

// A null C string reads as the empty text.
inline std::string_view ViewOf(const char* text) {
    return text != nullptr ? std::string_view(text) : std::string_view();
}
inline std::string_view ViewOf(std::string_view text) {
    return text;
}

template <class T>
inline constexpr bool kAlwaysFalse = false;

inline FormatSlot TextSlot(std::string_view text) {
    return FormatSlot{&kTextKind, FormatValue{.text = TextView{text.data(), text.size()}}};
}

// The kind of an argument type, and its packing into a slot.
template <class T>
struct FormatArgument {
    static FormatSlot Pack(const T& value) {
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, char>) {
            // char is sign-extended like the C promotion does; bool prints as 0 or 1.
            const FormatKind* kind = std::is_same_v<T, bool> ? &kSigned32Kind : &kCharKind;
            return FormatSlot{kind, FormatValue{.int32 = static_cast<signed char>(value)}};
        } else if constexpr (std::is_integral_v<T> && sizeof(T) < 4) {
            return FormatSlot{&kSigned32Kind, FormatValue{.int32 = value}};
        } else if constexpr (std::is_integral_v<T> && sizeof(T) == 4 && std::is_signed_v<T>) {
            return FormatSlot{&kSigned32Kind, FormatValue{.int32 = value}};
        } else if constexpr (std::is_integral_v<T> && sizeof(T) == 4) {
            return FormatSlot{&kUnsigned32Kind, FormatValue{.uint32 = value}};
        } else if constexpr (std::is_integral_v<T> && sizeof(T) == 8 && std::is_signed_v<T>) {
            return FormatSlot{&kSigned64Kind, FormatValue{.int64 = value}};
        } else if constexpr (std::is_integral_v<T> && sizeof(T) == 8) {
            return FormatSlot{&kUnsigned64Kind, FormatValue{.uint64 = value}};
        } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, float>) {
            return FormatSlot{&kRealKind, FormatValue{.real = value}};
        } else if constexpr (std::is_array_v<T> &&
                             std::is_same_v<std::remove_cv_t<std::remove_extent_t<T>>, char>) {
            // A char array ends at its first NUL or at its last element, whichever comes first.
            const char* end = std::char_traits<char>::find(value, std::extent_v<T>, '\0');
            const std::size_t size = end != nullptr ? end - value : std::extent_v<T>;
            return TextSlot(std::string_view(value, size));
        } else if constexpr (TextLike<T>) {
            return TextSlot(ViewOf(value));
        } else if constexpr (HasFormatText<T>) {
            return FormatSlot{&kTextFormKind<T>, FormatValue{.object = &value}};
        } else {
            static_assert(kAlwaysFalse<T>, "Format: argument type has no kind and no FormatText");
        }
    }
};

// The core: walks `pattern` over `count` packed arguments into `buffer` (`capacity` bytes),
// NUL-terminates it and returns the characters written (at most capacity - 1). With capacity 0
// nothing is written and the result is 0. A null pattern reads as the empty pattern.
std::size_t FormatPacked(char* buffer, std::size_t capacity, const char* pattern,
                         const FormatSlot* arguments, std::size_t count);

// The core into a kFormatCapacity stack buffer, then the string.
std::string FormatPackedToString(const char* pattern, const FormatSlot* arguments,
                                 std::size_t count);

}  // namespace FormatDetail

// A pair of texts prints as "first:second".
template <class First, class Second>
requires(FormatDetail::TextLike<First>&&
             FormatDetail::TextLike<Second>) struct FormatText<std::pair<First, Second>> {
    static std::string Text(const std::pair<First, Second>& pair) {
        const std::string_view first = FormatDetail::ViewOf(pair.first);
        const std::string_view second = FormatDetail::ViewOf(pair.second);
        std::string text;
        text.reserve(first.size() + 1 + second.size());
        text.append(first).append(1, ':').append(second);
        return text;
    }
};

// Formats `pattern` with `args`; the result holds at most kFormatCapacity - 1 characters.
// Argument kinds (allowed conversions, the first being the default): integers up to 32 bits
// signed and bool "dciouxX", 32-bit unsigned "ucdioxX", char "cdiouxX", 64-bit integers the same
// sets printed with "ll", float and double "gaefGAEF", C strings (null prints as empty), char
// arrays, std::string, std::string_view, pairs of those and FormatText types "s" (a text ends at
// its first NUL).
template <class... Args>
std::string Format(const char* pattern, const Args&... args) {
    const FormatDetail::FormatSlot slots[sizeof...(Args) + 1] = {
        FormatDetail::FormatArgument<Args>::Pack(args)..., {}};
    return FormatDetail::FormatPackedToString(pattern, slots, sizeof...(Args));
}

// Formats into `buffer` of `capacity` bytes: NUL-terminated (when capacity > 0), at most
// capacity - 1 characters; returns the characters written.
template <class... Args>
std::size_t FormatInto(char* buffer, std::size_t capacity, const char* pattern,
                       const Args&... args) {
    const FormatDetail::FormatSlot slots[sizeof...(Args) + 1] = {
        FormatDetail::FormatArgument<Args>::Pack(args)..., {}};
    return FormatDetail::FormatPacked(buffer, capacity, pattern, slots, sizeof...(Args));
}

}  // namespace Velto
