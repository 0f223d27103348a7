#include "platform/c_locale_numbers.h"

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace Velto::Platform {
namespace {

using ConfigThreadLocale = int(__cdecl*)(int mode);

// The C runtime DLL's own _configthreadlocale: the import library of 32-bit builds replaces it by
// a stub that always refuses, as the oldest DLLs lack it. Null when the DLL lacks it too.
ConfigThreadLocale ThreadLocaleSwitch() {
    static const auto function = reinterpret_cast<ConfigThreadLocale>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("msvcrt.dll"), "_configthreadlocale")));
    return function;
}

// Gives the calling thread alone the "C" locale while it lives, then restores what the thread
// had. The C99 functions of the compiler's runtime read the decimal point through localeconv,
// which follows the thread's own locale once per-thread locales are on; the C runtime's
// functions that take a locale (_strtod_l, _vsnprintf_l) would read hexadecimal, infinite and
// NaN numbers and print some conversions differently. Where per-thread locales cannot be turned
// on, nothing is changed: setting the locale would change it for the whole host.
class ThreadInCLocale {
  public:
    ThreadInCLocale() : switch_(ThreadLocaleSwitch()) {
        previousMode_ = switch_ != nullptr ? switch_(_ENABLE_PER_THREAD_LOCALE) : -1;
        if (previousMode_ == -1) {
            return;
        }
        // A thread that follows the process's locale gets it back when the mode is restored;
        // only a thread with a locale of its own needs it saved (which allocates).
        if (previousMode_ == _ENABLE_PER_THREAD_LOCALE) {
            const char* current = setlocale(LC_ALL, nullptr);
            previous_ = current != nullptr ? current : "C";
        }
        setlocale(LC_ALL, "C");
    }
    ~ThreadInCLocale() {
        if (previousMode_ == -1) {
            return;
        }
        if (previousMode_ == _ENABLE_PER_THREAD_LOCALE) {
            setlocale(LC_ALL, previous_.c_str());
        }
        switch_(previousMode_);
    }
    ThreadInCLocale(const ThreadInCLocale&) = delete;
    ThreadInCLocale& operator=(const ThreadInCLocale&) = delete;

    // Whether the thread has the "C" locale for now.
    bool Isolated() const { return previousMode_ != -1; }

  private:
    ConfigThreadLocale switch_;
    int previousMode_;
    std::string previous_;
};

// The decimal point of the locale in use, when it is one character other than "."; else 0.
char ForeignDecimalPoint() {
    const char* point = localeconv()->decimal_point;
    return point != nullptr && point[0] != '\0' && point[0] != '.' && point[1] == '\0' ? point[0]
                                                                                       : '\0';
}

// Whether `format` holds a floating-point conversion and nothing but numbers: then every
// decimal point in its output is the locale's decimal point of a number.
bool PrintsOnlyNumbersWithAFraction(const char* format) {
    bool fraction = false;
    for (const char* at = std::strchr(format, '%'); at != nullptr; at = std::strchr(at, '%')) {
        at += std::strspn(at + 1, "-+ #0123456789.*hljztL") + 1;
        if (*at == '\0') {
            return false;
        }
        if (std::strchr("eEfFgGaA", *at) != nullptr) {
            fraction = true;
        } else if (std::strchr("diouxX%", *at) == nullptr) {
            return false;
        }
        ++at;
    }
    return fraction;
}

}  // namespace

double StrtodC(const char* text, char** end) noexcept {
    const ThreadInCLocale locale;
    const char point = locale.Isolated() ? '\0' : ForeignDecimalPoint();
    if (point == '\0') {
        return strtod(text, end);
    }
    // Without a locale of its own the thread reads a copy whose "." and decimal points are
    // exchanged, the latter for a byte no number holds; the copy keeps every offset.
    std::string copy(text);
    for (char& c : copy) {
        c = c == '.' ? point : (c == point ? '\x01' : c);
    }
    char* copyEnd = nullptr;
    const double value = strtod(copy.c_str(), &copyEnd);
    if (end != nullptr) {
        *end = const_cast<char*>(text) + (copyEnd - copy.c_str());
    }
    return value;
}

long long StrtollC(const char* text, char** end, int base) noexcept {
    const ThreadInCLocale locale;
    return strtoll(text, end, base);
}

unsigned long long StrtoullC(const char* text, char** end, int base) noexcept {
    const ThreadInCLocale locale;
    return strtoull(text, end, base);
}

int VsnprintfC(char* buffer, std::size_t size, const char* format, va_list arguments) noexcept {
    const ThreadInCLocale locale;
    const int printed = vsnprintf(buffer, size, format, arguments);
    const char point = locale.Isolated() ? '\0' : ForeignDecimalPoint();
    // Without a locale of its own the thread puts the point back where only numbers were
    // printed; text printed with the numbers is left as it is.
    if (point != '\0' && printed >= 0 && size != 0 && PrintsOnlyNumbersWithAFraction(format)) {
        std::replace(buffer, buffer + std::strlen(buffer), point, '.');
    }
    return printed;
}

}  // namespace Velto::Platform
