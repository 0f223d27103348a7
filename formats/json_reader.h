// Reads JSON text into a dynamic value.
//
// Strict JSON (no comments, trailing commas, NaN or Infinity literals); any value may be the
// root. Numbers: a non-negative integer that fits in 64 bits reads as "unsigned", a negative one
// as "signed", every other number as "float" (the double nearest to its text, so
// every double the writer produces reads back unchanged). Objects become structures (a repeated key
// addresses the same member again, so the last value wins), arrays collections, null an empty
// value. Strings and member names end at their first NUL, so an escaped code point 0 cuts them.
//
// A text that is empty or holds only spaces, tabs, carriage returns and line feeds reads as a
// success holding an empty value. After the root value only whitespace may follow. Every parse
// error fails the result with "Error: <reason> at offset <byte offset>." (a number beyond the
// range of a double is such an error, at the number's offset); containers nested
// deeper than kMaxNestingDepth fail it with kNestingTooDeepMessage, and running out of memory
// with "Not enough memory for the JSON value at offset <byte offset>.".
//
// Never throws; thread-safe (each call builds its own tree).
#pragma once

#include <string>

#include "binding/binding_result.h"

namespace Velto {

// `text` is NUL-terminated UTF-8; null reads as the empty text.
BindingResult ReadJson(const char* text) noexcept;
// The same on the characters of `text`, up to its first NUL.
BindingResult ReadJson(const std::string& text) noexcept;

}  // namespace Velto
