// Conversion of whole native values of any supported type, and the FieldConverter of every field
// kind that TypeBuilder::Field<F> makes.
//
// Native types: bool, the integers, float, double, std::string, BindingProperty ("object"),
// std::vector<uint8_t> (a blob), enumerations, registered records, std::vector<E> and
// std::unordered_map<std::string, E> of any of these; fields may also be std::optional<T> of any
// of them. Dynamic to native follows the converters of
// binding/dynamic_to_native.h with each kind's exact limits and type name ("int8": -128..127,
// "uint32": 0..4294967295, "float": +-3.4028234663852886e38, ...). Vectors and maps are cleared
// first; "empty" elements and members are skipped (keeping the default element); the first
// failure stops the walk and leaves the container empty. Native to dynamic writes scalars as
// "bool", "signed" (sign-extended), "unsigned" or "float", texts, deep copies of objects, blobs,
// enum payloads, structures for records and maps, and collections for vectors.
//
// A vector or map of records or enumerations takes the element's descriptor from the TypeSpec it
// was made with; nesting deeper than one container knows no descriptor, so records and enumerations
// there are reported unregistered. Texts for enum inputs are named through the registry of the
// spec's descriptor, or the registry handed to ToNative.
#pragma once

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/dynamic_to_native.h"
#include "binding/record_conversion.h"
#include "diagnostics/format.h"

namespace Velto {

template <class T>
void ReadNative(BindingResult& status, T& output, const BindingProperty& input,
                std::string_view name, const TypeSpec& spec, const BindingRegistry* registry);

template <class T>
bool WriteNative(BindingProperty& output, const T& value, const TypeSpec& spec, std::string& error);

namespace ConversionDetail {

template <class T>
inline constexpr bool kAlwaysFalse = false;

template <class E, class A>
void ToVector(BindingResult& status, std::vector<E, A>& output, const BindingProperty& input,
              std::string_view name, const TypeSpec& spec, const BindingRegistry* registry) {
    output.clear();
    if (!RequireValue(status, input, name)) {
        return;
    }
    if (input.Kind() != ValueKind::Collection) {
        status.SetFailure(Format(
            "Couldn't assign value to '%1' of type vector because the input not a collection.",
            name));
        return;
    }
    const std::span<const BindingProperty> elements = input.Elements();
    output.resize(elements.size());
    const TypeSpec elementSpec = spec.Element();
    for (std::size_t index = 0; index < elements.size(); ++index) {
        if (elements[index].IsEmpty()) {
            continue;
        }
        if constexpr (std::is_same_v<E, bool>) {
            bool value = false;
            ReadNative(status, value, elements[index], name, elementSpec, registry);
            output[index] = value;
        } else {
            ReadNative(status, output[index], elements[index], name, elementSpec, registry);
        }
        if (!status.succeeded) {
            output.clear();
            return;
        }
    }
}

template <class E, class H, class Q, class A>
void ToMap(BindingResult& status, std::unordered_map<std::string, E, H, Q, A>& output,
           const BindingProperty& input, std::string_view name, const TypeSpec& spec,
           const BindingRegistry* registry) {
    output = {};
    if (!RequireValue(status, input, name)) {
        return;
    }
    if (input.Kind() != ValueKind::Structure) {
        status.SetFailure(Format(
            "Couldn't assign value to '%1' of type map because the input not a structure.", name));
        return;
    }
    output.reserve(input.Size());
    const TypeSpec elementSpec = spec.Element();
    for (const MemberEntry& member : input.Members()) {
        if (member.Value().IsEmpty()) {
            continue;
        }
        E& slot = output[std::string(member.Name())];
        ReadNative(status, slot, member.Value(), name, elementSpec, registry);
        if (!status.succeeded) {
            output.clear();
            return;
        }
    }
}

template <class E, class A>
bool WriteVector(BindingProperty& output, const std::vector<E, A>& value, const TypeSpec& spec,
                 std::string& error) {
    output.Reset();
    output.Reserve(value.size());
    const TypeSpec elementSpec = spec.Element();
    for (const auto& element : value) {
        if (!WriteNative<E>(output.Append(), element, elementSpec, error)) {
            return false;
        }
    }
    return true;
}

template <class E, class H, class Q, class A>
bool WriteMap(BindingProperty& output, const std::unordered_map<std::string, E, H, Q, A>& value,
              const TypeSpec& spec, std::string& error) {
    output.Reset();
    output.MakeStructure();
    const TypeSpec elementSpec = spec.Element();
    for (const auto& [key, element] : value) {
        if (!WriteNative<E>(output.Member(key), element, elementSpec, error)) {
            return false;
        }
    }
    return true;
}

// An enumeration's number as the enum payload holds it: the value read with the enumeration's
// size, sign-extended.
template <class T>
int32_t EnumNumber(T value) {
    using Signed = std::make_signed_t<std::underlying_type_t<T>>;
    return static_cast<int32_t>(static_cast<Signed>(value));
}

}  // namespace ConversionDetail

// Converts `input` into `output`, a native value described by `spec`; does nothing when `status`
// has already failed.
template <class T>
void ReadNative(BindingResult& status, T& output, const BindingProperty& input,
                std::string_view name, const TypeSpec& spec, const BindingRegistry* registry) {
    if (!status.succeeded) {
        return;
    }
    constexpr TypeKind kind = NativeKind<T>::kind;
    if constexpr (kind == TypeKind::Bool) {
        output = ToBool(status, input, name);
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        output = static_cast<T>(ToSigned(status, input, name, std::numeric_limits<T>::min(),
                                         std::numeric_limits<T>::max(), KindName(kind)));
    } else if constexpr (std::is_integral_v<T>) {
        output = static_cast<T>(
            ToUnsigned(status, input, name, std::numeric_limits<T>::max(), KindName(kind)));
    } else if constexpr (kind == TypeKind::Float || kind == TypeKind::Double) {
        output = static_cast<T>(ToFloat(status, input, name, -std::numeric_limits<T>::max(),
                                        std::numeric_limits<T>::max(), KindName(kind)));
    } else if constexpr (kind == TypeKind::String) {
        ToText(status, output, input, name, registry);
    } else if constexpr (kind == TypeKind::Object) {
        ToObject(status, output, input);
    } else if constexpr (kind == TypeKind::Blob) {
        ToBlob(status, output, input, name);
    } else if constexpr (kind == TypeKind::Enum) {
        output = static_cast<T>(ToEnum(status, input, name, spec.descriptor));
    } else if constexpr (kind == TypeKind::Struct) {
        ToStruct(status, &output, input, spec.descriptor, name);
    } else if constexpr (kind == TypeKind::Vector) {
        ConversionDetail::ToVector(status, output, input, name, spec, registry);
    } else if constexpr (kind == TypeKind::Map) {
        ConversionDetail::ToMap(status, output, input, name, spec, registry);
    } else {
        static_assert(ConversionDetail::kAlwaysFalse<T>, "no conversion for this native type");
    }
}

// Writes `value`, described by `spec`, into `output` (a value anywhere in a tree). False with the
// message in `error` on failure (an unregistered record).
template <class T>
bool WriteNative(BindingProperty& output, const T& value, const TypeSpec& spec,
                 std::string& error) {
    constexpr TypeKind kind = NativeKind<T>::kind;
    if constexpr (std::is_arithmetic_v<T>) {
        output = value;
    } else if constexpr (kind == TypeKind::String) {
        output.SetString(value);
    } else if constexpr (kind == TypeKind::Object) {
        output.Assign(value);
    } else if constexpr (kind == TypeKind::Blob) {
        output.SetBlob(value);
    } else if constexpr (kind == TypeKind::Enum) {
        output.SetEnum(ConversionDetail::EnumNumber(value), &StaticType::HashCode<T>());
    } else if constexpr (kind == TypeKind::Struct) {
        return WriteStructInto(output, &value, spec.descriptor, error);
    } else if constexpr (kind == TypeKind::Vector) {
        return ConversionDetail::WriteVector(output, value, spec, error);
    } else if constexpr (kind == TypeKind::Map) {
        return ConversionDetail::WriteMap(output, value, spec, error);
    } else {
        static_assert(ConversionDetail::kAlwaysFalse<T>, "no conversion for this native type");
    }
    return true;
}

// Converts `input` into the native value `output`, its spec derived from T and `registry`.
template <class T>
void ToNative(BindingResult& status, T& output, const BindingProperty& input, std::string_view name,
              const BindingRegistry& registry) {
    ReadNative(status, output, input, name, TypeSpecOf<T>(registry), &registry);
}

// Writes the native value `value` into `result`, marking it succeeded first.
template <class T>
void FromNative(BindingResult& result, const T& value, const BindingRegistry& registry) {
    result.succeeded = true;
    std::string error;
    if (!WriteNative(result, value, TypeSpecOf<T>(registry), error)) {
        result.SetFailure(error);
    }
}

// ReadNative with the registry of the TypeSpec's descriptor, as field converters read.
template <class T>
void ReadNativeOfSpec(BindingResult& status, T& output, const BindingProperty& input,
                      std::string_view name, const TypeSpec& spec) {
    const BindingRegistry* registry =
        spec.descriptor != nullptr ? spec.descriptor->registry : nullptr;
    ReadNative(status, output, input, name, spec, registry);
}

// The converter of a field of native type F, keeping the field's spec.
template <class F>
class TypedFieldConverter final : public FieldConverter {
  public:
    explicit TypedFieldConverter(const TypeSpec& spec) noexcept : spec_(spec) {}

    void FromProperty(BindingResult& status, void* field, const BindingProperty& input,
                      std::string_view name) const override {
        ReadNativeOfSpec(status, *static_cast<F*>(field), input, name, spec_);
    }

    void ToProperty(BindingResult& output, const void* field) const override {
        output.succeeded = true;
        std::string error;
        if (!WriteNative(output, *static_cast<const F*>(field), spec_, error)) {
            output.SetFailure(error);
        }
    }

    bool WriteInto(BindingProperty& output, const void* field, std::string& error) const override {
        return WriteNative(output, *static_cast<const F*>(field), spec_, error);
    }

  private:
    TypeSpec spec_;
};

// The converter of an optional field std::optional<T>: an empty input or an absent value is
// "no value"; a value present converts as T, and the wrapper is set only when that succeeds.
template <class T>
class OptionalFieldConverter final : public FieldConverter {
  public:
    explicit OptionalFieldConverter(const TypeSpec& spec) noexcept : spec_(spec) {}

    void FromProperty(BindingResult& status, void* field, const BindingProperty& input,
                      std::string_view name) const override {
        auto& wrapper = *static_cast<std::optional<T>*>(field);
        if (!status.succeeded) {
            return;
        }
        if (input.IsEmpty()) {
            wrapper.reset();
            return;
        }
        // Into a copy, so that a failed conversion leaves the field as it was.
        T value = wrapper.has_value() ? *wrapper : T{};
        ReadNativeOfSpec(status, value, input, name, spec_);
        if (status.succeeded) {
            wrapper = std::move(value);
        }
    }

    void ToProperty(BindingResult& output, const void* field) const override {
        output.succeeded = true;
        std::string error;
        if (!WriteInto(output, field, error)) {
            output.SetFailure(error);
        }
    }

    bool WriteInto(BindingProperty& output, const void* field, std::string& error) const override {
        const auto& wrapper = *static_cast<const std::optional<T>*>(field);
        if (!wrapper.has_value()) {
            output.Reset();
            return true;
        }
        return WriteNative(output, *wrapper, spec_, error);
    }

  private:
    TypeSpec spec_;
};

template <class F>
struct FieldConverterFactory {
    static std::unique_ptr<FieldConverter> Make(const TypeSpec& spec) {
        return std::make_unique<TypedFieldConverter<F>>(spec);
    }
};

template <class T>
struct FieldConverterFactory<std::optional<T>> {
    static std::unique_ptr<FieldConverter> Make(const TypeSpec& spec) {
        return std::make_unique<OptionalFieldConverter<T>>(spec);
    }
};

}  // namespace Velto
