#include "formats/yaml_scalar.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <system_error>

#include "diagnostics/format.h"
#include "formats/decimal_number.h"
#include "platform/c_locale_numbers.h"

namespace Velto {
namespace {

constexpr std::string_view kStrTag = "tag:yaml.org,2002:str";
constexpr std::string_view kIntTag = "tag:yaml.org,2002:int";
constexpr std::string_view kFloatTag = "tag:yaml.org,2002:float";
constexpr std::string_view kBoolTag = "tag:yaml.org,2002:bool";

// The field and type names under which tagged scalars are converted, as in every conversion
// message of the binding layer.
constexpr const char* kFieldName = "yaml";
constexpr const char* kIncorrectFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
constexpr const char* kOutOfRange = "Value %1 for '%2' of type %3 is out of range";

YamlScalar Failed(BindingResult& result, const char* pattern, std::string_view text,
                  const char* type) {
    result.SetFailure(Format(pattern, text, kFieldName, type));
    return {};
}

enum class Word { Other, Null, True, False };

// The longest word of any list ("false", "FALSE").
constexpr std::size_t kLongestWord = 5;

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}

// The lists hold the empty text and "~" as null, and each of their words in lower case,
// capitalised and in upper case, nothing else: "null", "Null" and "NULL", but not "nULL".
Word ClassifyWord(std::string_view text) {
    if (text.size() > kLongestWord) {
        return Word::Other;
    }
    if (text.empty() || text == "~") {
        return Word::Null;
    }
    const bool upperTail = text.size() > 1 && IsUpper(text[1]);
    char lower[kLongestWord];
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const bool upper = IsUpper(c);
        if (!upper && !IsLower(c)) {
            return Word::Other;
        }
        if (at == 0 ? upperTail && !upper : upper != upperTail) {
            return Word::Other;
        }
        lower[at] = static_cast<char>(c | 0x20);
    }
    const std::string_view word(lower, text.size());
    if (word == "y" || word == "on" || word == "yes" || word == "true") {
        return Word::True;
    }
    if (word == "n" || word == "no" || word == "off" || word == "false") {
        return Word::False;
    }
    return word == "null" ? Word::Null : Word::Other;
}

// Whether strtod could take `text` whole: it starts with white space, a sign, a digit, a point,
// or the first letter of "nan", "inf" or "infinity". Saves strtod on most words.
bool MayBeNumber(std::string_view text) {
    const char first = text.front();
    return (first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.' ||
           first == 'n' || first == 'N' || first == 'i' || first == 'I' || first == ' ' ||
           (first >= '\t' && first <= '\r');
}

// The conversions must consume all of `text`, so an embedded NUL counts as a trailing character.
bool ConsumedAll(std::string_view text, const char* end) {
    return end == text.data() + text.size();
}

YamlScalar ToUnsigned(BindingResult& result, std::string_view text) {
    const std::size_t firstNonBlank = text.find_first_not_of(" \t\n\v\f\r");
    // strtoull negates "-5" into a huge number instead of refusing it.
    if (firstNonBlank != std::string_view::npos && text[firstNonBlank] == '-') {
        return Failed(result, kOutOfRange, text, "uint64_t");
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = Platform::StrtoullC(text.data(), &end, 0);
    if (!ConsumedAll(text, end)) {
        return Failed(result, kIncorrectFormat, text, "uint64_t");
    }
    if (errno == ERANGE) {
        return Failed(result, kOutOfRange, text, "uint64_t");
    }
    return YamlScalar(static_cast<uint64_t>(value));
}

YamlScalar ToSigned(BindingResult& result, std::string_view text) {
    char* end = nullptr;
    errno = 0;
    const long long value = Platform::StrtollC(text.data(), &end, 0);
    if (!ConsumedAll(text, end)) {
        return Failed(result, kIncorrectFormat, text, "int64_t");
    }
    if (errno == ERANGE) {
        return Failed(result, kOutOfRange, text, "int64_t");
    }
    return YamlScalar(static_cast<int64_t>(value));
}

YamlScalar ToDouble(BindingResult& result, std::string_view text) {
    char* end = nullptr;
    errno = 0;
    const double value = Platform::StrtodC(text.data(), &end);
    if (!ConsumedAll(text, end)) {
        return Failed(result, kIncorrectFormat, text, "double");
    }
    constexpr double kMax = 1.7976931348623157e308;
    if (errno == ERANGE || value < -kMax || value > kMax) {
        return Failed(result, kOutOfRange, text, "double");
    }
    return YamlScalar(value);
}

// strtod on the whole text (false when something is left over). A plain decimal number (no
// sign but "-", no hexadecimal, no infinity) converts to the same correctly rounded double faster
// on its own.
bool ParseDouble(std::string_view text, double& value) {
    const DecimalNumber number = ScanDecimal(text.data());
    if (number.wellFormed && number.end == text.data() + text.size() &&
        NearestDouble(text.data(), number, value)) {
        return true;
    }
    char* end = nullptr;
    value = Platform::StrtodC(text.data(), &end);
    return ConsumedAll(text, end);
}

// `text` as an integer that 64 bits hold, read exactly: decimal or "0x" hexadecimal digits after
// an optional sign, as strtod spells them; false for any other text.
bool ToExactInteger(std::string_view text, YamlScalar& number) {
    const bool negative = text.front() == '-';
    std::string_view digits = text.substr(negative || text.front() == '+' ? 1 : 0);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    const char* const last = digits.data() + digits.size();
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(digits.data(), last, magnitude, base);
    if (error != std::errc() || end != last) {
        return false;
    }
    if (!negative) {
        number = YamlScalar(magnitude);
        return true;
    }
    constexpr uint64_t kMostNegative = uint64_t{1} << 63;
    if (magnitude > kMostNegative) {
        return false;
    }
    number = YamlScalar(static_cast<int64_t>(0 - magnitude));
    return true;
}

// A plain scalar that strtod takes whole and finite: integral values become integers where
// 64 bits hold them, everything else (fractions, NaN, integers beyond 64 bits) a double. False
// for any other text.
bool ToNumber(std::string_view text, YamlScalar& number) {
    double value = 0;
    if (text.empty() || !MayBeNumber(text) || !ParseDouble(text, value) || std::isinf(value)) {
        return false;
    }
    // A double holds every integer up to 2^53 only: a larger one written out in digits (an
    // identifier, say) is read exactly instead of rounded.
    constexpr double kTwoTo53 = 9007199254740992.0;
    const bool integral = std::trunc(value) == value;
    if (integral && std::fabs(value) >= kTwoTo53 && ToExactInteger(text, number)) {
        return true;
    }
    constexpr double kTwoTo63 = 9223372036854775808.0;
    constexpr double kTwoTo64 = 18446744073709551616.0;
    if (!integral || value < -kTwoTo63 || value >= kTwoTo64) {
        number = YamlScalar(value);
    } else if (value < 0) {
        number = YamlScalar(static_cast<int64_t>(value));
    } else {
        number = YamlScalar(static_cast<uint64_t>(value));
    }
    return true;
}

YamlScalar ResolveTagged(BindingResult& result, std::string_view tag, std::string_view text) {
    if (tag == kStrTag) {
        return YamlScalar(YamlScalar::Kind::Text);
    }
    if (tag == kIntTag) {
        return !text.empty() && text.front() == '-' ? ToSigned(result, text)
                                                    : ToUnsigned(result, text);
    }
    if (tag == kFloatTag) {
        return ToDouble(result, text);
    }
    if (tag == kBoolTag) {
        const Word word = ClassifyWord(text);
        return word == Word::True || word == Word::False ? YamlScalar(word == Word::True)
                                                         : YamlScalar{};
    }
    result.SetFailure(Format("Unsupported YAML tag '%1'.", tag));
    return {};
}

}  // namespace

bool IsKeyTag(const char* tag) {
    return tag == nullptr || tag == kStrTag;
}

YamlScalar ResolveScalar(BindingResult& result, const char* tag, std::string_view text,
                         bool quoted) {
    if (tag != nullptr) {
        return ResolveTagged(result, tag, text);
    }
    if (quoted) {
        return YamlScalar(YamlScalar::Kind::Text);
    }
    const Word word = ClassifyWord(text);
    if (word == Word::Null) {
        return {};
    }
    YamlScalar number;
    if (ToNumber(text, number)) {
        return number;
    }
    if (word != Word::Other) {
        return YamlScalar(word == Word::True);
    }
    return YamlScalar(YamlScalar::Kind::Text);
}

}  // namespace Velto
