// What a field, argument or element holds: the kind of its native type, and the full spec of
// kind, element kind and registered descriptor.
#pragma once

#include <cstdint>

namespace Velto {

struct TypeDescriptor;

// The kinds of native types. The numbers travel to the host in the API description.
enum class TypeKind : uint32_t {
    None = 0,
    Bool = 1,
    Int8 = 2,
    Uint8 = 3,
    Int16 = 4,
    Uint16 = 5,
    Int32 = 6,
    Uint32 = 7,
    Int64 = 8,
    Uint64 = 9,
    Float = 10,
    Double = 11,
    String = 12,    // std::string, UTF-8
    Object = 13,    // a BindingProperty held as is
    Blob = 14,      // std::vector<uint8_t>
    Vector = 15,    // std::vector of the element kind
    Enum = 16,      // a registered enumeration, stored in 1, 2, 4 or 8 bytes
    Struct = 17,    // a registered record
    Callback = 18,  // a callback handle
    Map = 19,       // std::unordered_map from std::string to the element kind
};

// "bool", "int8", ... "map"; the empty text for None and for any number outside 1..19.
const char* KindName(TypeKind kind) noexcept;

// `elementKind` is set for Vector and Map (the mapped value's kind for a map), None otherwise.
// `descriptor` is the registered enumeration or record when `kind` or `elementKind` is Enum or
// Struct and the type was registered; null otherwise. An element is itself described by
// {elementKind, None, descriptor}, so one level of nesting is expressible.
struct TypeSpec {
    TypeKind kind = TypeKind::None;
    TypeKind elementKind = TypeKind::None;
    const TypeDescriptor* descriptor = nullptr;

    // The TypeSpec of one element of a vector or map.
    TypeSpec Element() const noexcept { return TypeSpec{elementKind, TypeKind::None, descriptor}; }
};

}  // namespace Velto
