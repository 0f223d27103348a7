// Base64 with the standard alphabet and "=" padding (RFC 4648), as blobs travel in text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Velto {

// Four characters per three bytes, the last group padded with "="; no line breaks. Empty input
// gives the empty text.
std::string Base64Encode(const void* bytes, std::size_t size);

// Decodes up to the first "=", the first character outside the alphabet, or the end, whichever
// comes first; what follows is ignored. A last group of two or three characters gives one or two
// bytes, a single character nothing. Never fails: checking the characters is the caller's job.
std::string Base64Decode(std::string_view text);

}  // namespace Velto
