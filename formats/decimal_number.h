// Decimal number texts ("-12.5e3") taken apart into a significand and a power of ten, so that
// most of them convert to the nearest double with one exact multiplication or division instead
// of the library's general conversion.
#pragma once

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <system_error>

namespace Velto {

struct DecimalNumber {
    uint64_t significand = 0;
    std::ptrdiff_t power = 0;  // of ten, clamped far beyond the range of doubles
    bool complete = true;      // whether every significant digit is in the significand
    bool negative = false;
    // Whether the text has a digit before its exponent and, when it has an exponent, a digit
    // after the "e" ("." and "1e" are not numbers).
    bool wellFormed = false;
    const char* end = nullptr;  // just past the number
};

namespace DecimalDetail {

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Adds the digits at `at` to `significand`, which wraps beyond 19 of them; the end of the
// digits.
inline const char* TakeDigits(const char* at, uint64_t& significand) {
    // Accumulated apart from `significand`, which the characters read could alias.
    uint64_t value = significand;
    for (; IsDigit(*at); ++at) {
        value = value * 10 + static_cast<unsigned>(*at - '0');
    }
    significand = value;
    return at;
}

}  // namespace DecimalDetail

// Scans an optional "-", digits with an optional fraction and an optional exponent from `at`,
// up to the first character that cannot continue them (a NUL terminator stops it). Inline, as
// readers call it for every number.
inline DecimalNumber ScanDecimal(const char* at) {
    constexpr std::ptrdiff_t kSignificandDigits = 19;  // any 19 digits fit in 64 bits
    constexpr std::ptrdiff_t kPowerBound = 100000;
    DecimalNumber number;
    number.negative = *at == '-';
    at += number.negative ? 1 : 0;
    const char* digits = at;
    at = DecimalDetail::TakeDigits(at, number.significand);
    std::ptrdiff_t digitCount = at - digits;
    std::ptrdiff_t fractionDigits = 0;
    if (*at == '.') {
        const char* fraction = at + 1;
        at = DecimalDetail::TakeDigits(fraction, number.significand);
        fractionDigits = at - fraction;
        digitCount += fractionDigits;
    }
    if (digitCount > kSignificandDigits) {
        // Zeros before the first other digit (and the point among them) add nothing.
        std::ptrdiff_t leadingZeros = 0;
        for (const char* digit = digits; *digit == '0' || *digit == '.'; ++digit) {
            leadingZeros += *digit == '0' ? 1 : 0;
        }
        number.complete = digitCount - leadingZeros <= kSignificandDigits;
    }
    number.wellFormed = digitCount > 0;
    std::ptrdiff_t exponent = 0;
    if (*at == 'e' || *at == 'E') {
        ++at;
        const bool negative = *at == '-';
        at += (*at == '-' || *at == '+') ? 1 : 0;
        const char* exponentDigits = at;
        for (; DecimalDetail::IsDigit(*at); ++at) {
            exponent = std::min<std::ptrdiff_t>(exponent * 10 + (*at - '0'), kPowerBound);
        }
        number.wellFormed = number.wellFormed && at != exponentDigits;
        exponent = negative ? -exponent : exponent;
    }
    number.power = exponent - std::min(fractionDigits, kPowerBound);
    number.end = at;
    return number;
}

// The double nearest to the well-formed number [begin, number.end) that `number` scanned; false
// when the library cannot convert it (it is beyond the range of doubles).
//
// A significand of at most 2^53 and a power of ten up to 1e22 are both exact doubles, so their
// one multiplication or division rounds once, correctly; other numbers go to the library's
// conversion. Arithmetic in x87 registers rounds twice, so there the library always converts.
inline bool NearestDouble(const char* begin, const DecimalNumber& number, double& value) {
    constexpr uint64_t kExactSignificand = uint64_t{1} << 53;
    static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::ptrdiff_t kExactPower = 22;
    constexpr bool kRoundsOnce = FLT_EVAL_METHOD == 0;
    if (kRoundsOnce && number.complete && number.significand <= kExactSignificand &&
        number.power >= -kExactPower && number.power <= kExactPower) {
        const auto significand = static_cast<double>(number.significand);
        const double magnitude = number.power < 0 ? significand / kExactPowers[-number.power]
                                                  : significand * kExactPowers[number.power];
        value = number.negative ? -magnitude : magnitude;
        return true;
    }
    const std::from_chars_result converted = std::from_chars(begin, number.end, value);
    return converted.ec == std::errc() && converted.ptr == number.end;
}

}  // namespace Velto
