// The TypeKind of a native C++ type, deduced at compile time.
//
// bool, the integers by size and signedness, float, double, std::string, BindingProperty,
// std::vector<uint8_t> (a blob), std::vector<E>, std::unordered_map<std::string, E>, enumerations
// and other class types (records). A type with another meaning (a callback handle) specializes
// `NativeKind` to say so.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/type_kind.h"

namespace Velto {

class BindingProperty;

namespace NativeKindDetail {

template <class T>
struct ContainerOf {
    using Element = void;
    static constexpr bool isVector = false;
    static constexpr bool isMap = false;
};
template <class E, class Allocator>
struct ContainerOf<std::vector<E, Allocator>> {
    using Element = E;
    static constexpr bool isVector = true;
    static constexpr bool isMap = false;
};
template <class E, class Hash, class Equal, class Allocator>
struct ContainerOf<std::unordered_map<std::string, E, Hash, Equal, Allocator>> {
    using Element = E;
    static constexpr bool isVector = false;
    static constexpr bool isMap = true;
};

template <class T>
constexpr TypeKind IntegerKind() {
    constexpr bool isSigned = std::is_signed_v<T>;
    switch (sizeof(T)) {
        case 1:
            return isSigned ? TypeKind::Int8 : TypeKind::Uint8;
        case 2:
            return isSigned ? TypeKind::Int16 : TypeKind::Uint16;
        case 4:
            return isSigned ? TypeKind::Int32 : TypeKind::Uint32;
        case 8:
            return isSigned ? TypeKind::Int64 : TypeKind::Uint64;
        default:
            return TypeKind::None;
    }
}

template <class T>
constexpr TypeKind DeduceKind() {
    using Container = ContainerOf<T>;
    if constexpr (std::is_same_v<T, bool>) {
        return TypeKind::Bool;
    } else if constexpr (std::is_integral_v<T>) {
        return IntegerKind<T>();
    } else if constexpr (std::is_same_v<T, float>) {
        return TypeKind::Float;
    } else if constexpr (std::is_same_v<T, double>) {
        return TypeKind::Double;
    } else if constexpr (std::is_same_v<T, std::string>) {
        return TypeKind::String;
    } else if constexpr (std::is_same_v<T, BindingProperty>) {
        return TypeKind::Object;
    } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
        return TypeKind::Blob;
    } else if constexpr (Container::isVector) {
        return TypeKind::Vector;
    } else if constexpr (Container::isMap) {
        return TypeKind::Map;
    } else if constexpr (std::is_enum_v<T>) {
        return TypeKind::Enum;
    } else if constexpr (std::is_class_v<T>) {
        return TypeKind::Struct;
    } else {
        return TypeKind::None;
    }
}

}  // namespace NativeKindDetail

// `kind` of T; for vectors and maps also `Element`, the element (mapped) type, else void.
template <class T>
struct NativeKind {
    static constexpr TypeKind kind = NativeKindDetail::DeduceKind<T>();
    using Element = typename NativeKindDetail::ContainerOf<T>::Element;
};

// A field's native type T as its kind sees it: T itself, or the value of an optional wrapper
// (std::optional<T>, a field that may hold no value), whose conversion its own converter does.
template <class T>
struct Unwrapped {
    using Type = T;
    static constexpr bool isOptional = false;
};
template <class T>
struct Unwrapped<std::optional<T>> {
    using Type = T;
    static constexpr bool isOptional = true;
};

}  // namespace Velto
