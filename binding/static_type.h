// Compile-time identities of native types.
//
// `StaticType::HashCode<T>()` names a native type by the FNV-1a hash of the compiler's own
// signature text of that instantiation (`__PRETTY_FUNCTION__` on GCC and Clang, `__FUNCSIG__` on
// MSVC). The text is the compiler's rendering of `T`, so `int` and `unsigned int` differ, and so do
// `T` and `T&`; every piece of code that exchanges identities must be built by the same compiler.
//
// Each identity is one immutable record per type, created on first use (thread-safe one-time
// initialisation of a function-local static) and never freed, so its address can be kept.
#pragma once

#include <cstdint>

#include "binding/fnv1a.h"

#if defined(_MSC_VER) && !defined(__clang__)
#define VELTO_SIGNATURE_TEXT __FUNCSIG__
#else
#define VELTO_SIGNATURE_TEXT __PRETTY_FUNCTION__
#endif

namespace Velto {

// `hash` identifies the type; `name` is the text shown for it. Records are neither copied nor
// moved: a hash-only identity's `name` points into the record itself.
struct TypeIdentity {
    // A hash-only identity: `name` is the hash printed with "#%08X".
    explicit TypeIdentity(uint32_t hash) noexcept;
    // A named identity: `name` is `signature`, which must outlive the record.
    TypeIdentity(uint32_t hash, const char* signature) noexcept;
    TypeIdentity(const TypeIdentity&) = delete;
    TypeIdentity& operator=(const TypeIdentity&) = delete;

    const uint32_t hash;
    const char* const name;

  private:
    char display_[12];
};

namespace StaticType {

// The hash-only identity of `T`; the same record on every call.
template <class T>
const TypeIdentity& HashCode() noexcept {
    static const TypeIdentity identity(Fnv1a(VELTO_SIGNATURE_TEXT));
    return identity;
}

// The identity of `T` with the same hash, named by the compiler's signature text of this
// function, which contains the type's name: for texts a person reads.
template <class T>
const TypeIdentity& Name() noexcept {
    static const TypeIdentity identity(HashCode<T>().hash, VELTO_SIGNATURE_TEXT);
    return identity;
}

}  // namespace StaticType

// The identity of `void`: a type without native counterpart.
inline const TypeIdentity& VoidIdentity() noexcept {
    return StaticType::HashCode<void>();
}

}  // namespace Velto
