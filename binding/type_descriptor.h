// Descriptions of registered native types: records with their fields, enumerations with their
// values, and events. Descriptors are created and owned by a BindingRegistry and live as long as
// it does; they are complete when the builder call that fills them returns and are not locked.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/static_type.h"
#include "binding/type_kind.h"

namespace Velto {

class BindingProperty;
class BindingResult;
class BindingRegistry;
struct TypeDescriptor;

// Converts one native field of a known native type; one instance per field, made by
// TypeBuilder::Field<F> through FieldConverterFactory<F>. Conversion uses it for the kinds it
// does not handle generically (blobs, callbacks, optional wrappers, containers of records).
class FieldConverter {
  public:
    // Reads `input` into the native field at `field`; reports through `status` (which it leaves
    // alone when it has already failed). `name` is the field's name for messages.
    virtual void FromProperty(BindingResult& status, void* field, const BindingProperty& input,
                              std::string_view name) const = 0;
    // Writes the native field at `field` into `output`.
    virtual void ToProperty(BindingResult& output, const void* field) const = 0;
    virtual ~FieldConverter() = default;
    // Writes the native field at `field` straight into `output`, a value that may live inside a
    // tree, sparing records a scratch root per field. False with the message in `error` on
    // failure. The default goes through ToProperty and a scratch result.
    virtual bool WriteInto(BindingProperty& output, const void* field, std::string& error) const;
};

// Makes the converter of native type F: `static std::unique_ptr<FieldConverter> Make(const
// TypeSpec& spec)`, `spec` being the field's spec. Declared here, defined by the conversion
// layer; code that registers fields includes its definition.
template <class F>
struct FieldConverterFactory;

// Field flags.
inline constexpr uint32_t kFieldOmitZero = 1;  // left out of the dynamic value when IsZero()
inline constexpr uint32_t kFieldRequired = 2;  // must be present in the dynamic value

// The override kept with a field: the first and third words (kind and descriptor) of the
// registration's `extra` spec when its kind is not None, zero otherwise.
struct FieldExtra {
    TypeKind kind = TypeKind::None;
    const TypeDescriptor* descriptor = nullptr;
};

struct FieldDescriptor {
    std::string name;
    uint32_t nameHash = 0;  // Fnv1a(name)
    std::string description;
    const TypeIdentity* identity = nullptr;
    uint32_t offset = 0;  // byte offset inside the native record
    TypeSpec spec;
    FieldExtra extra;
    uint32_t flags = 0;
    std::unique_ptr<FieldConverter> converter;  // null when the factory made none
    const TypeDescriptor* owner = nullptr;
    bool optional = false;    // the native field wraps `spec` in an optional
    uint32_t memberRank = 0;  // position of `name` in the owner's memberOrder
};

struct EnumValueDescriptor {
    int32_t value = 0;
    std::string name;
    std::string description;
    const TypeDescriptor* owner = nullptr;
};

struct TypeDescriptor {
    uint32_t size = 0;  // native size in bytes
    bool isEnum = false;
    std::string name;  // unique in the registry
    std::string nameSpace;
    uint32_t hash = 0;
    const TypeIdentity* identity = nullptr;
    std::string description;
    std::vector<std::string> tags;        // in the order added
    std::vector<FieldDescriptor> fields;  // in registration order
    // Indices into `fields` in byte-wise order of their names (ties in registration order), so
    // that writers can insert members in the order a structure keeps them.
    std::vector<uint32_t> memberOrder;
    std::map<std::string, EnumValueDescriptor, std::less<>> values;  // byte-wise name order
    BindingRegistry* registry = nullptr;
};

struct EventDescriptor {
    std::string name;
    const TypeDescriptor* type = nullptr;  // the data record; null when it was not registered
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
};

}  // namespace Velto
