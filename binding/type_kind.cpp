#include "binding/type_kind.h"

namespace Velto {
namespace {

constexpr const char* kKindNames[] = {
    "",       "bool",   "int8",   "uint8",  "int16",    "uint16", "int32",
    "uint32", "int64",  "uint64", "float",  "double",   "string", "object",
    "blob",   "vector", "enum",   "struct", "callback", "map",
};

}  // namespace

const char* KindName(TypeKind kind) noexcept {
    const auto index = static_cast<uint32_t>(kind);
    return index < sizeof kKindNames / sizeof kKindNames[0] ? kKindNames[index] : "";
}

}  // namespace Velto
