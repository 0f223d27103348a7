#include "platform/c_locale_numbers.h"

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

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

  private:
    ConfigThreadLocale switch_;
    int previousMode_;
    std::string previous_;
};

}  // namespace

bool KeepsHostLocaleOut() noexcept {
    return ThreadLocaleSwitch() != nullptr;
}

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
