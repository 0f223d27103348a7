#include "binding/static_type.h"

#include "diagnostics/bounded_print.h"

namespace Velto {

TypeIdentity::TypeIdentity(uint32_t hash) noexcept : hash(hash), name(display_) {
    BoundedPrint(display_, sizeof display_, "#%08X", static_cast<unsigned>(hash));
}

TypeIdentity::TypeIdentity(uint32_t hash, const char* signature) noexcept
    : hash(hash), name(signature), display_{} {}

}  // namespace Velto
