// Decodes one MessagePack value into a dynamic value.
//
// Every type family maps onto a value kind: integers 0x00-0x7F, int 8..64 and negative fixints
// give "signed", uint 8..64 "unsigned", float 32/64 "float", nil stays "empty", str "string",
// bin "blob", arrays "collection", maps "structure" (members in name order). Extension types,
// 0xC1 and maps with keys that are not strings fail.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/binding_result.h"

namespace Velto {

// Decodes the first value at the front of `data` and sets `consumed` to the number of bytes
// used; bytes after that value are not read. `data` is only read during the call.
//
// - Empty input gives an "empty" value that succeeded, `consumed` 0.
// - Input that ends inside an open array or map succeeds with the elements read so far and
//   `consumed` equal to `size`: callers that need a complete value compare `consumed` and check
//   what they got.
// - Truncated fields, strings and blobs, extension types and non-string keys fail with a message
//   naming the position; arrays and maps nested deeper than kMaxNestingDepth fail with
//   kNestingTooDeepMessage. Memory follows the bytes present, never a declared count or length;
//   when it runs out the read fails rather than drop a value.
// - A repeated map key writes into the same member again.
// On failure the result holds {"error": message} and `consumed` is the position reached.
BindingResult ReadMessagePack(const uint8_t* data, std::size_t size, std::size_t& consumed);
// The same, also telling whether the value was read whole: `complete` is false when the input
// ended inside an open array or map (or, on failure, before the value ended). Empty input counts
// as complete: it holds no value to cut short.
BindingResult ReadMessagePack(const uint8_t* data, std::size_t size, std::size_t& consumed,
                              bool& complete);

}  // namespace Velto
