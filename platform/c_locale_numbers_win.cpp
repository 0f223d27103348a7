#include "platform/c_locale_numbers.h"

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace Velto::Platform {
namespace {

// Gives the calling thread alone the "C" locale while it lives, then restores what the thread
// had. The C99 functions of the compiler's runtime read the decimal point through localeconv,
// which follows the thread's own locale once per-thread locales are on; the C runtime's
// functions that take a locale (_strtod_l, _vsnprintf_l) would read hexadecimal, infinite and
// NaN numbers and print some conversions differently.
class ThreadInCLocale {
  public:
    ThreadInCLocale() : previousMode_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
        // A thread that follows the process's locale gets it back when the mode is restored;
        // only a thread with a locale of its own needs it saved (which allocates).
        if (previousMode_ == _ENABLE_PER_THREAD_LOCALE) {
            const char* current = setlocale(LC_ALL, nullptr);
            previous_ = current != nullptr ? current : "C";
        }
        setlocale(LC_ALL, "C");
    }
    ~ThreadInCLocale() {
        if (previousMode_ == _ENABLE_PER_THREAD_LOCALE) {
            setlocale(LC_ALL, previous_.c_str());
        }
        _configthreadlocale(previousMode_);
    }
    ThreadInCLocale(const ThreadInCLocale&) = delete;
    ThreadInCLocale& operator=(const ThreadInCLocale&) = delete;

  private:
    int previousMode_;
    std::string previous_;
};

}  // namespace

double StrtodC(const char* text, char** end) noexcept {
    const ThreadInCLocale locale;
    return strtod(text, end);
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
    return vsnprintf(buffer, size, format, arguments);
}

}  // namespace Velto::Platform
