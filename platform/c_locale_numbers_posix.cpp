#include "platform/c_locale_numbers.h"

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

namespace Velto::Platform {
namespace {

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

}  // namespace

double StrtodC(const char* text, char** end) noexcept {
    return strtod_l(text, end, CLocale());
}

long long StrtollC(const char* text, char** end, int base) noexcept {
    return strtoll_l(text, end, base, CLocale());
}

unsigned long long StrtoullC(const char* text, char** end, int base) noexcept {
    return strtoull_l(text, end, base, CLocale());
}

// POSIX has no vsnprintf_l: the calling thread alone uses the "C" locale for the call.
int VsnprintfC(char* buffer, std::size_t size, const char* format, va_list arguments) noexcept {
    const locale_t previous = uselocale(CLocale());
    const int printed = vsnprintf(buffer, size, format, arguments);
    uselocale(previous);
    return printed;
}

}  // namespace Velto::Platform
