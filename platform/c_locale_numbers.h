// Number texts read and printed as in the "C" locale, whatever locale the host process has set.
//
// The plug-in shares the host's C runtime, and with it the locale the host chose: the plain C
// functions would then read and print "1,5" where the system means "1.5". These behave like the
// C functions named, with the "C" locale's rules on every build; they set errno as those do. They
// are thread-safe and never change the locale other threads see: on Windows the calling thread
// alone uses the "C" locale during the call, and gets its own back before the call returns. A
// Windows C runtime that cannot give a thread a locale of its own (older than Vista, or wine's
// msvcrt.dll) reads a copy of the text with the decimal points exchanged, and puts the "." back
// into output made only of numbers; output that also prints texts keeps the host's decimal point
// there (the system's own lines print finished texts).
#pragma once

#include <cstdarg>
#include <cstddef>

namespace Velto::Platform {

// strtod, strtoll and strtoull in the "C" locale.
double StrtodC(const char* text, char** end) noexcept;
long long StrtollC(const char* text, char** end, int base) noexcept;
unsigned long long StrtoullC(const char* text, char** end, int base) noexcept;

// vsnprintf in the "C" locale: writes at most `size` bytes, NUL-terminated when `size` is not 0.
// Returns the characters written when the output fit, a number of at least `size` when it was
// cut, and a negative number when the format was refused.
int VsnprintfC(char* buffer, std::size_t size, const char* format, va_list arguments) noexcept;

}  // namespace Velto::Platform
