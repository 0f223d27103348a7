#include "diagnostics/format.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/c_locale_numbers.h"

namespace Velto::FormatDetail {

// "%", flags, "*" width, ".*" precision, "ll" and the conversion of the printf call.
struct PrintFormat {
    char flags[64];
    std::int64_t width;      // 0 when absent; never negative
    std::int64_t precision;  // -1 when absent
    char conversion;
    // The "h" (2) or "hh" (1) of the pattern as the width in bytes an integer is narrowed to
    // before printing; 0 when absent.
    int narrowBytes;
};

namespace {

// A placeholder whose printf text reaches this many characters fails its placeholder.
constexpr std::size_t kPlaceholderTextLimit = 60;
// Numbers in patterns saturate here, far beyond any argument count or useful width.
constexpr std::int64_t kNumberCeiling = INT_MAX;
// Names no argument: what a "*0$" width or precision refers to.
constexpr std::size_t kNoSuchArgument = SIZE_MAX;
// Any double prints exactly with this many fraction (or significant) digits.
constexpr std::int64_t kExactRealDigits = 1100;
// Longer than any number printf makes, beside its precision (a double in "%f" has 309 digits).
constexpr std::int64_t kNumberOverhead = 400;

bool IsDigit(char character) {
    return character >= '0' && character <= '9';
}

bool IsFlag(char character) {
    return character == '-' || character == '+' || character == ' ' || character == '#' ||
           character == '0';
}

std::int64_t ReadNumber(const char*& cursor) {
    std::int64_t number = 0;
    for (; IsDigit(*cursor); ++cursor) {
        number = std::min(number * 10 + (*cursor - '0'), kNumberCeiling);
    }
    return number;
}

// The printf text of one placeholder as the walk copies it from the pattern, and the
// arguments it names (1-based; 0 = not chosen).
struct Placeholder {
    char text[kPlaceholderTextLimit];
    std::size_t length = 0;
    std::size_t index = 0;
    std::size_t widthIndex = 0;
    std::size_t precisionIndex = 0;
};

class PlaceholderParser {
  public:
    PlaceholderParser(const char*& cursor, std::size_t count, std::size_t& nextSequential)
        : cursor_(cursor), count_(count), next_(nextSequential) {}

    // Reads the placeholder starting at the "%" under the cursor. False when it is malformed.
    bool Parse(Placeholder& placeholder) {
        placeholder_ = &placeholder;
        Append(*cursor_++);
        const bool bare = ReadIndex();
        if (!bare && !ReadFullPlaceholder()) {
            return false;
        }
        if (placeholder.index == 0) {
            placeholder.index = next_++;
        }
        return true;
    }

  private:
    bool Append(char character) {
        if (placeholder_->length + 1 >= kPlaceholderTextLimit) {
            return false;
        }
        placeholder_->text[placeholder_->length++] = character;
        return true;
    }

    bool AppendWhile(bool (*accept)(char)) {
        for (; accept(*cursor_); ++cursor_) {
            if (!Append(*cursor_)) {
                return false;
            }
        }
        return true;
    }

    // A number up to the argument count is an index ("%2" bare, "%2$..." full); a larger one is
    // left to be read again as a width. True for a bare placeholder.
    bool ReadIndex() {
        if (*cursor_ < '1' || *cursor_ > '9') {
            return false;
        }
        const char* digits = cursor_;
        const std::int64_t number = ReadNumber(cursor_);
        if (static_cast<std::uint64_t>(number) > count_) {
            cursor_ = digits;
            return false;
        }
        placeholder_->index = static_cast<std::size_t>(number);
        if (*cursor_ != '$') {
            return true;
        }
        ++cursor_;
        return false;
    }

    bool ReadFullPlaceholder() {
        if (!AppendWhile(IsFlag) || !ReadAmount(placeholder_->widthIndex)) {
            return false;
        }
        if (*cursor_ == '.') {
            if (!Append(*cursor_++)) {
                return false;
            }
            if (*cursor_ == '-') {
                ++cursor_;
            }
            if (!ReadAmount(placeholder_->precisionIndex)) {
                return false;
            }
        }
        return ReadLengthModifier() && ReadConversion();
    }

    // A width or precision: digits, "*" taking the next sequential argument, or "*n$".
    bool ReadAmount(std::size_t& starIndex) {
        if (*cursor_ != '*') {
            return AppendWhile(IsDigit);
        }
        if (!Append(*cursor_++)) {
            return false;
        }
        const char* digits = cursor_;
        const std::int64_t number = ReadNumber(cursor_);
        if (cursor_ != digits && *cursor_ == '$') {
            ++cursor_;
            starIndex = number > 0 ? static_cast<std::size_t>(number) : kNoSuchArgument;
        } else {
            starIndex = next_++;
        }
        return true;
    }

    bool ReadLengthModifier() {
        const char letter = *cursor_;
        if (letter == 'L' || letter == 'j' || letter == 't' || letter == 'z') {
            return Append(*cursor_++);
        }
        if (letter != 'h' && letter != 'l') {
            return true;
        }
        if (!Append(*cursor_++)) {
            return false;
        }
        return *cursor_ != letter || Append(*cursor_++);
    }

    bool ReadConversion() { return *cursor_ == '\0' || Append(*cursor_++); }

    const char*& cursor_;
    std::size_t count_;
    std::size_t& next_;
    Placeholder* placeholder_ = nullptr;
};

bool IsValidStar(std::size_t index, const FormatSlot* arguments, std::size_t count) {
    return index == 0 || (index <= count && arguments[index - 1].kind->isInteger);
}

std::int64_t StarValue(std::size_t index, const FormatSlot* arguments) {
    const FormatSlot& slot = arguments[index - 1];
    return slot.kind->toInteger(slot.value);
}

// What "h" or "hh" at `cursor` narrows an integer to, in bytes (0 for anything else).
int NarrowBytes(const char* cursor) {
    if (cursor[0] != 'h') {
        return 0;
    }
    return cursor[1] == 'h' ? 1 : 2;
}

// Turns the copied text into the printf format for the argument's kind: a bare "%" and a
// disallowed or missing conversion get the default conversion, and the text left after the
// conversion is removed is read back into flags, width and precision.
PrintFormat Finish(Placeholder& placeholder, const FormatSlot* arguments) {
    const FormatKind& kind = *arguments[placeholder.index - 1].kind;
    PrintFormat result{};
    result.conversion = kind.conversions[0];
    if (placeholder.length > 1) {
        const char last = placeholder.text[--placeholder.length];
        if (std::strchr(kind.conversions, last) != nullptr) {
            result.conversion = last;
        }
    }
    placeholder.text[placeholder.length] = '\0';

    const char* cursor = placeholder.text + 1;
    std::size_t flags = 0;
    for (; IsFlag(*cursor); ++cursor) {
        result.flags[flags++] = *cursor;
    }
    if (*cursor == '*') {
        ++cursor;
        result.width = StarValue(placeholder.widthIndex, arguments);
    } else {
        result.width = ReadNumber(cursor);
    }
    if (result.width < 0) {
        // A negative "*" width is a left-aligned one, as printf reads it.
        result.flags[flags++] = '-';
        result.width = -result.width;
    }
    result.flags[flags] = '\0';
    result.precision = -1;
    if (*cursor == '.') {
        ++cursor;
        if (*cursor == '*') {
            ++cursor;
            result.precision = StarValue(placeholder.precisionIndex, arguments);
        } else {
            result.precision = ReadNumber(cursor);
        }
        result.precision = std::max<std::int64_t>(result.precision, -1);
    }
    result.narrowBytes = NarrowBytes(cursor);
    return result;
}

int Outcome(int needed, std::size_t space) {
    if (needed < 0) {
        return kRenderFailed;
    }
    return static_cast<std::size_t>(needed) < space ? needed : kRenderTruncated;
}

// Copies `text` like printf's "%s" would, without printf.
int CopyText(char* output, std::size_t space, std::string_view text) {
    const std::size_t kept = std::min(text.size(), space - 1);
    if (kept > 0) {
        std::memcpy(output, text.data(), kept);
    }
    output[kept] = '\0';
    return kept == text.size() ? static_cast<int>(kept) : kRenderTruncated;
}

bool IsPlain(const PrintFormat& printFormat) {
    return printFormat.flags[0] == '\0' && printFormat.width == 0 && printFormat.precision < 0;
}

// How much of `space` may matter: capacities beyond this do not occur, and capping keeps every
// width and precision computed from it within int.
std::int64_t Room(std::size_t space) {
    return static_cast<std::int64_t>(std::min<std::size_t>(space, std::size_t{1} << 28));
}

// A width reaching `natural` + `space` characters shows only padding in the visible output, and
// so does any larger one.
int VisibleWidth(std::int64_t width, std::int64_t natural, std::size_t space) {
    return static_cast<int>(std::min(width, std::min(natural + Room(space), kNumberCeiling)));
}

// A numeric precision beyond the space shows only digits that are zeros or exact either way.
int VisiblePrecision(std::int64_t precision, std::size_t space) {
    if (precision < 0) {
        return -1;
    }
    return static_cast<int>(std::min(precision, Room(space) + 2 * kExactRealDigits));
}

// Reducing a precision shortens the number by the digits dropped ("%g" without "#" strips them
// anyway as trailing zeros, "%c" has no digits), so the width shrinks as much to keep the padding.
std::int64_t DroppedDigits(const PrintFormat& printFormat, int precision) {
    const char conversion = printFormat.conversion;
    const bool stripsZeros =
        (conversion == 'g' || conversion == 'G') && std::strchr(printFormat.flags, '#') == nullptr;
    if (printFormat.precision <= precision || stripsZeros || conversion == 'c') {
        return 0;
    }
    return printFormat.precision - precision;
}

// snprintf with the "C" locale's decimal point, whatever locale the host has set.
int PrintInCLocale(char* output, std::size_t space, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int printed = Platform::VsnprintfC(output, space, format, arguments);
    va_end(arguments);
    return printed;
}

template <class Value>
int PrintNumber(char* output, std::size_t space, const PrintFormat& printFormat,
                const char* lengthModifier, Value value) {
    char format[sizeof printFormat.flags + 8];
    std::snprintf(format, sizeof format, "%%%s*.*%s%c", printFormat.flags, lengthModifier,
                  printFormat.conversion);
    const int precision = VisiblePrecision(printFormat.precision, space);
    const std::int64_t natural = (precision >= 0 ? precision : 6) + kNumberOverhead;
    const std::int64_t requested =
        std::max<std::int64_t>(printFormat.width - DroppedDigits(printFormat, precision), 0);
    const int width = VisibleWidth(requested, natural, space);
    return Outcome(PrintInCLocale(output, space, format, width, precision, value), space);
}

// Plain decimal without printf: the common bare placeholder on an integer.
template <class Value>
int PrintDecimal(char* output, std::size_t space, Value value) {
    char digits[24];
    const std::to_chars_result converted = std::to_chars(digits, digits + sizeof digits, value);
    return CopyText(output, space, std::string_view(digits, converted.ptr - digits));
}

// The value as "h" or "hh" would have printf convert it: to a short or char of the conversion's
// signedness. Done here rather than by printf, which could read a 64-bit value with them only
// through undefined behaviour.
template <class Signed>
Signed Narrowed(Signed value, int narrowBytes, bool isSigned) {
    if (narrowBytes == 1) {
        return isSigned ? static_cast<signed char>(value) : static_cast<unsigned char>(value);
    }
    if (narrowBytes == 2) {
        return isSigned ? static_cast<short>(value) : static_cast<unsigned short>(value);
    }
    return value;
}

// The value is handed to printf with the type its conversion reads, so signedness follows the
// conversion and "%c" always gets an int.
template <class Signed, class Unsigned>
int RenderInteger(char* output, std::size_t space, const PrintFormat& printFormat,
                  const char* lengthModifier, Signed value) {
    const char conversion = printFormat.conversion;
    const bool isSigned = conversion == 'd' || conversion == 'i';
    if (conversion != 'c') {
        value = Narrowed(value, printFormat.narrowBytes, isSigned);
    }
    if (IsPlain(printFormat) && (isSigned || conversion == 'u')) {
        return isSigned ? PrintDecimal(output, space, value)
                        : PrintDecimal(output, space, static_cast<Unsigned>(value));
    }
    if (conversion == 'c') {
        return PrintNumber(output, space, printFormat, "", static_cast<int>(value));
    }
    if (isSigned) {
        return PrintNumber(output, space, printFormat, lengthModifier, value);
    }
    return PrintNumber(output, space, printFormat, lengthModifier, static_cast<Unsigned>(value));
}

int RenderSigned32(char* output, std::size_t space, const PrintFormat& printFormat,
                   const FormatValue& value) {
    return RenderInteger<int, unsigned>(output, space, printFormat, "", value.int32);
}

int RenderUnsigned32(char* output, std::size_t space, const PrintFormat& printFormat,
                     const FormatValue& value) {
    return RenderInteger<int, unsigned>(output, space, printFormat, "",
                                        static_cast<int>(value.uint32));
}

int RenderSigned64(char* output, std::size_t space, const PrintFormat& printFormat,
                   const FormatValue& value) {
    return RenderInteger<long long, unsigned long long>(output, space, printFormat, "ll",
                                                        value.int64);
}

int RenderUnsigned64(char* output, std::size_t space, const PrintFormat& printFormat,
                     const FormatValue& value) {
    return RenderInteger<long long, unsigned long long>(output, space, printFormat, "ll",
                                                        static_cast<long long>(value.uint64));
}

int RenderReal(char* output, std::size_t space, const PrintFormat& printFormat,
               const FormatValue& value) {
    if (std::isfinite(value.real)) {
        return PrintNumber(output, space, printFormat, "", value.real);
    }
    // printf ignores the precision of "inf" and "nan"; dropping it keeps the width as it is.
    PrintFormat withoutPrecision = printFormat;
    withoutPrecision.precision = -1;
    return PrintNumber(output, space, withoutPrecision, "", value.real);
}

int RenderTextValue(char* output, std::size_t space, const PrintFormat& printFormat,
                    const FormatValue& value) {
    return RenderText(output, space, printFormat,
                      std::string_view(value.text.data, value.text.size));
}

std::int32_t Signed32ToInteger(const FormatValue& value) {
    return value.int32;
}

std::int32_t Unsigned32ToInteger(const FormatValue& value) {
    return static_cast<std::int32_t>(value.uint32);
}

// The low 32 bits, as a 32-bit signed integer.
std::int32_t Signed64ToInteger(const FormatValue& value) {
    return static_cast<std::int32_t>(value.int64);
}

std::int32_t Unsigned64ToInteger(const FormatValue& value) {
    return static_cast<std::int32_t>(value.uint64);
}

}  // namespace

const FormatKind kSigned32Kind{&RenderSigned32, &Signed32ToInteger, true, "dciouxX"};
const FormatKind kUnsigned32Kind{&RenderUnsigned32, &Unsigned32ToInteger, true, "ucdioxX"};
const FormatKind kCharKind{&RenderSigned32, &Signed32ToInteger, true, "cdiouxX"};
const FormatKind kSigned64Kind{&RenderSigned64, &Signed64ToInteger, true, "dciouxX"};
const FormatKind kUnsigned64Kind{&RenderUnsigned64, &Unsigned64ToInteger, true, "ucdioxX"};
const FormatKind kRealKind{&RenderReal, nullptr, false, "gaefGAEF"};
const FormatKind kTextKind{&RenderTextValue, nullptr, false, "s"};

// The precision handed to printf never exceeds the text's size, so texts need no terminator.
int RenderText(char* output, std::size_t space, const PrintFormat& printFormat,
               std::string_view text) {
    // A text ends at its first NUL, as printf reads it, whichever way it is printed.
    text = text.substr(0, text.find('\0'));
    if (IsPlain(printFormat)) {
        return CopyText(output, space, text);
    }
    const std::int64_t size =
        static_cast<std::int64_t>(std::min<std::size_t>(text.size(), INT_MAX));
    const std::int64_t shown =
        printFormat.precision < 0 ? size : std::min(printFormat.precision, size);
    const int width = VisibleWidth(printFormat.width, shown, space);
    char format[sizeof printFormat.flags + 8];
    std::snprintf(format, sizeof format, "%%%s*.*s", printFormat.flags);
    const char* data = text.data() != nullptr ? text.data() : "";
    return Outcome(std::snprintf(output, space, format, width, static_cast<int>(shown), data),
                   space);
}

namespace {

// The state of one walk over a pattern.
class Walk {
  public:
    Walk(char* buffer, std::size_t capacity, const char* pattern, const FormatSlot* arguments,
         std::size_t count)
        : buffer_(buffer),
          capacity_(capacity),
          end_(capacity - 1),
          cursor_(pattern != nullptr ? pattern : ""),
          arguments_(arguments),
          count_(count) {}

    std::size_t Run() {
        while (*cursor_ != '\0' && position_ < end_ && Step()) {
        }
        buffer_[position_] = '\0';
        return position_;
    }

  private:
    // Copies a run of text, a "%%", or prints one placeholder. False when the walk ends.
    bool Step() {
        if (cursor_[0] != '%') {
            const std::size_t run = std::min(std::strcspn(cursor_, "%"), end_ - position_);
            std::memcpy(buffer_ + position_, cursor_, run);
            position_ += run;
            cursor_ += run;
            return true;
        }
        if (cursor_[1] == '%') {
            buffer_[position_++] = '%';
            cursor_ += 2;
            return true;
        }
        return PrintPlaceholder();
    }

    bool PrintPlaceholder() {
        Placeholder placeholder;
        if (!PlaceholderParser(cursor_, count_, nextSequential_).Parse(placeholder) ||
            placeholder.index > count_ ||
            !IsValidStar(placeholder.widthIndex, arguments_, count_) ||
            !IsValidStar(placeholder.precisionIndex, arguments_, count_)) {
            return false;
        }
        const PrintFormat printFormat = Finish(placeholder, arguments_);
        const FormatSlot& argument = arguments_[placeholder.index - 1];
        const int printed = argument.kind->render(buffer_ + position_, capacity_ - position_,
                                                  printFormat, argument.value);
        if (printed == kRenderFailed) {
            buffer_[position_] = '\0';
            return false;
        }
        position_ = printed == kRenderTruncated ? end_ : position_ + printed;
        return true;
    }

    char* buffer_;
    std::size_t capacity_;
    std::size_t end_;
    const char* cursor_;
    const FormatSlot* arguments_;
    std::size_t count_;
    std::size_t position_ = 0;
    std::size_t nextSequential_ = 1;
};

}  // namespace

std::size_t FormatPacked(char* buffer, std::size_t capacity, const char* pattern,
                         const FormatSlot* arguments, std::size_t count) {
    if (capacity == 0) {
        return 0;
    }
    return Walk(buffer, capacity, pattern, arguments, count).Run();
}

std::string FormatPackedToString(const char* pattern, const FormatSlot* arguments,
                                 std::size_t count) {
    char buffer[kFormatCapacity];
    const std::size_t length = FormatPacked(buffer, sizeof buffer, pattern, arguments, count);
    return std::string(buffer, length);
}

}  // namespace Velto::FormatDetail
