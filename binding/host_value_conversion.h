// Conversion between dynamic values and the host's plain value tree (HostValue), and the freeing
// of host value trees.
//
// Ownership: ToHostValue allocates every text, byte array, element array, entry array and key it
// writes with the counted heap and marks them owned (text tag 6, bytes tag 8, ownsKey 1);
// FreeHostValue frees exactly the owned parts of a tree (owned texts and bytes, keys whose entry
// owns them, every element and entry array) and never touches borrowed texts or bytes.
//
// Outside input: FromHostValue reads only what the counts say (a text up to its length or its
// first NUL, whichever comes first), refuses a null text, byte, element
// or entry pointer that comes with a non-zero count, and a null key, with the incompatible-type
// message, and stops at nesting deeper than kMaxHostValueDepth. Neither direction recurses deeper
// than that; FreeHostValue does not recurse at all.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"
#include "platform/host_boundary.h"

namespace Velto {

class BindingRegistry;

// Arrays and objects nested deeper than this are refused in both directions.
inline constexpr uint32_t kMaxHostValueDepth = 512;

// Makes `property` the dynamic form of `hostValue`: null to "empty", tags 1 to 4 to their kinds,
// texts to "string", bytes to "blob" (copied), arrays to collections and objects to structures
// (entries in entry order), stopping at the first failure. On failure `hostResult.body` is freed,
// its `errorMessage` (freed first when set) becomes an owned copy of the message, its `errorFlag`
// is set, and the result is false; `property` then holds what was converted. `name` names the
// value for messages.
bool FromHostValue(Client::HostResponse& hostResult, BindingProperty& property,
                   const Client::HostValue& hostValue, std::string_view name);

// Writes `property` into `hostValue` (whose old content is not freed): "empty" to null, scalars to
// tags 1 to 4, texts to owned texts, blobs to owned bytes, enums to their registered name (when
// `registry` is given and knows it) or their number, collections to arrays and structures to
// objects in key order. False when memory runs out or the value nests deeper than
// kMaxHostValueDepth; the tree written so far is still valid and must be freed.
bool ToHostValue(Client::HostValue& hostValue, const BindingProperty& property,
                 const BindingRegistry* registry);

// Frees the owned parts of `hostValue` and makes it null.
void FreeHostValue(Client::HostValue& hostValue);

}  // namespace Velto
