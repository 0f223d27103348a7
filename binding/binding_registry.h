// The per-module registry of native records, enumerations, events and functions.
//
// Registration is get-or-create by name: the first registration of a name wins, and a builder
// returned for an existing name ignores every call. Types are found by name and by identity hash
// (a type registered with the identity of `void` is found by name only). Every map operation
// holds the registry's mutex for its own duration; descriptors themselves are not locked, so
// registration belongs to start-up, before other threads read them. Lock failures throw the
// threading library's std::system_error.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/native_kind.h"
#include "binding/static_type.h"
#include "binding/type_descriptor.h"

namespace Velto {

// A function's description; the remoting layer defines it, the registry only stores it by name.
// The handle carries the deleter of the layer that made the descriptor, so this folder never needs
// the definition.
struct FunctionDescriptor;
using FunctionDescriptorDeleter = void (*)(FunctionDescriptor*) noexcept;
using FunctionDescriptorHandle = std::unique_ptr<FunctionDescriptor, FunctionDescriptorDeleter>;

// Fills a newly registered type; does nothing at all when the type existed before. Each
// operation returns the builder so calls chain.
class TypeBuilder {
  public:
    TypeBuilder(BindingRegistry* registry, TypeDescriptor* descriptor, bool existed) noexcept
        : registry_(registry), descriptor_(descriptor), existed_(existed) {}

    // Adds field `name` of native type F at byte `offset`: identity HashCode<F>(), the TypeSpec
    // derived from F (TypeSpecOf), the converter of `Factory`, and `extra` kept as FieldExtra.
    // For an optional wrapper std::optional<T> the TypeSpec is T's and the field is marked optional
    // whatever `optional` says.
    template <class F, class Factory = FieldConverterFactory<F>>
    TypeBuilder& Field(std::string_view name, uint32_t offset, std::string_view description = {},
                       uint32_t flags = 0, const TypeSpec& extra = {}, bool optional = false);

    // The non-template core of Field: everything already derived.
    TypeBuilder& AddField(std::string_view name, uint32_t offset, std::string_view description,
                          uint32_t flags, const TypeSpec& extra, bool optional,
                          const TypeIdentity& identity, const TypeSpec& spec,
                          std::unique_ptr<FieldConverter> converter);

    // Adds an enumerator; a name given twice keeps its first number.
    TypeBuilder& Value(std::string_view name, int32_t value, std::string_view description = {});
    TypeBuilder& Description(std::string_view text);
    // Appends a tag; an empty text is ignored.
    TypeBuilder& Tag(std::string_view text);
    // Appends each tag of the list in order, as Tag does.
    TypeBuilder& Tags(std::initializer_list<std::string_view> list);
    TypeBuilder& Tags(const std::vector<std::string>& list);

    const TypeDescriptor* Descriptor() const noexcept { return descriptor_; }
    bool Existed() const noexcept { return existed_; }

  private:
    BindingRegistry* registry_;
    TypeDescriptor* descriptor_;
    bool existed_;
};

// Fills a newly registered event; does nothing when the event existed before.
class EventBuilder {
  public:
    EventBuilder(EventDescriptor* descriptor, bool existed) noexcept
        : descriptor_(descriptor), existed_(existed) {}

    EventBuilder& Description(std::string_view text);
    EventBuilder& Tag(std::string_view text);  // an empty text is ignored
    EventBuilder& Tags(std::initializer_list<std::string_view> list);
    EventBuilder& Tags(const std::vector<std::string>& list);

    const EventDescriptor* Descriptor() const noexcept { return descriptor_; }
    bool Existed() const noexcept { return existed_; }

  private:
    EventDescriptor* descriptor_;
    bool existed_;
};

class BindingRegistry {
  public:
    BindingRegistry();
    virtual ~BindingRegistry();
    BindingRegistry(const BindingRegistry&) = delete;
    BindingRegistry& operator=(const BindingRegistry&) = delete;

    template <class T>
    TypeBuilder RegisterStruct(std::string_view name) {
        return RegisterType(sizeof(T), name, StaticType::HashCode<T>(), false);
    }
    template <class T>
    TypeBuilder RegisterEnum(std::string_view name) {
        return RegisterType(sizeof(T), name, StaticType::HashCode<T>(), true);
    }
    // The core of both: returns the type named `name`, creating it (entered by name and, unless
    // `identity` is that of void, by hash) when absent.
    TypeBuilder RegisterType(uint32_t size, std::string_view name, const TypeIdentity& identity,
                             bool isEnum);

    // Returns the event named `name`, creating it when absent with the data type registered for
    // the identity of T (null when T is not registered).
    template <class T>
    EventBuilder RegisterEvent(std::string_view name) {
        return RegisterEvent(name, StaticType::HashCode<T>());
    }
    EventBuilder RegisterEvent(std::string_view name, const TypeIdentity& dataType);

    // Stores `descriptor` under `name` unless the name is taken. Returns the stored descriptor and
    // whether it existed before; a descriptor not stored is destroyed. A null handle stores
    // nothing and returns what is there.
    std::pair<FunctionDescriptor*, bool> AddFunction(std::string_view name,
                                                     FunctionDescriptorHandle descriptor);

    // Lookups; null when absent.
    const TypeDescriptor* FindType(std::string_view name) const;
    const TypeDescriptor* FindType(const TypeIdentity& identity) const;
    const TypeDescriptor* FindTypeByHash(uint32_t hash) const;
    const EventDescriptor* FindEvent(std::string_view name) const;
    FunctionDescriptor* FindFunction(std::string_view name) const;

    // Everything registered, in byte-wise name order.
    std::vector<const TypeDescriptor*> SnapshotTypes() const;
    std::vector<const EventDescriptor*> SnapshotEvents() const;
    std::vector<FunctionDescriptor*> SnapshotFunctions() const;

    // Whether the built-in types and events were registered into this registry.
    bool BuiltinsRegistered() const;
    void SetBuiltinsRegistered(bool registered);

    // Destroys every function, event and type. Pointers and builders taken before are invalid.
    void RemoveAll();

  private:
    mutable std::mutex mutex_;
    std::map<std::string, FunctionDescriptorHandle, std::less<>> functions_;
    std::map<std::string, std::unique_ptr<EventDescriptor>, std::less<>> events_;
    std::map<std::string, std::unique_ptr<TypeDescriptor>, std::less<>> types_;
    std::map<uint32_t, TypeDescriptor*> typesByHash_;
    bool builtinsRegistered_ = false;
};

// The TypeSpec of native type F: its kind; for vectors and maps the element's kind; for
// enumerations and records (or vectors and maps of them) the descriptor registered for the type's
// identity.
template <class F>
TypeSpec TypeSpecOf(const BindingRegistry& registry) {
    using Traits = NativeKind<F>;
    TypeSpec spec{Traits::kind, TypeKind::None, nullptr};
    if constexpr (Traits::kind == TypeKind::Enum || Traits::kind == TypeKind::Struct) {
        spec.descriptor = registry.FindType(StaticType::HashCode<F>());
    } else if constexpr (Traits::kind == TypeKind::Vector || Traits::kind == TypeKind::Map) {
        using Element = typename Traits::Element;
        constexpr TypeKind elementKind = NativeKind<Element>::kind;
        spec.elementKind = elementKind;
        if constexpr (elementKind == TypeKind::Enum || elementKind == TypeKind::Struct) {
            spec.descriptor = registry.FindType(StaticType::HashCode<Element>());
        }
    }
    return spec;
}

template <class F, class Factory>
TypeBuilder& TypeBuilder::Field(std::string_view name, uint32_t offset,
                                std::string_view description, uint32_t flags, const TypeSpec& extra,
                                bool optional) {
    if (existed_) {
        return *this;
    }
    const TypeSpec spec = TypeSpecOf<typename Unwrapped<F>::Type>(*registry_);
    return AddField(name, offset, description, flags, extra, optional || Unwrapped<F>::isOptional,
                    StaticType::HashCode<F>(), spec, Factory::Make(spec));
}

// Whether any enumerator of `descriptor` has the number `value`; false for a null descriptor.
bool IsValidValue(const TypeDescriptor* descriptor, int32_t value) noexcept;

// The name of the first enumerator, in name order, numbered `value` in the enumeration
// registered for `identity`; null when the registry, the enumeration or the number is unknown.
const std::string* ValueName(const TypeIdentity* identity, int32_t value,
                             const BindingRegistry* registry);

}  // namespace Velto
