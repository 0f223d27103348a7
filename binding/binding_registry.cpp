#include "binding/binding_registry.h"

#include "binding/fnv1a.h"

namespace Velto {
namespace {

void AppendTag(std::vector<std::string>& tags, std::string_view text) {
    if (!text.empty()) {
        tags.emplace_back(text);
    }
}

// The descriptors of a name-ordered map, in its order.
template <class Pointer, class Map>
std::vector<Pointer> SnapshotOf(const Map& map) {
    std::vector<Pointer> snapshot;
    snapshot.reserve(map.size());
    for (const auto& [name, descriptor] : map) {
        snapshot.push_back(descriptor.get());
    }
    return snapshot;
}

// Places the last field of `type` in its member order and renumbers the ranks.
void InsertMemberOrder(TypeDescriptor& type) {
    const auto added = static_cast<uint32_t>(type.fields.size() - 1);
    const std::string_view name = type.fields[added].name;
    auto position = type.memberOrder.begin();
    while (position != type.memberOrder.end() &&
           std::string_view(type.fields[*position].name) <= name) {
        ++position;
    }
    type.memberOrder.insert(position, added);
    for (uint32_t rank = 0; rank < type.memberOrder.size(); ++rank) {
        type.fields[type.memberOrder[rank]].memberRank = rank;
    }
}

}  // namespace

TypeBuilder& TypeBuilder::AddField(std::string_view name, uint32_t offset,
                                   std::string_view description, uint32_t flags,
                                   const TypeSpec& extra, bool optional,
                                   const TypeIdentity& identity, const TypeSpec& spec,
                                   std::unique_ptr<FieldConverter> converter) {
    if (existed_) {
        return *this;
    }
    FieldDescriptor field;
    field.name = name;
    field.nameHash = Fnv1a(name);
    field.description = description;
    field.identity = &identity;
    field.offset = offset;
    field.spec = spec;
    if (extra.kind != TypeKind::None) {
        field.extra = FieldExtra{extra.kind, extra.descriptor};
    }
    field.flags = flags;
    field.converter = std::move(converter);
    field.owner = descriptor_;
    field.optional = optional;
    descriptor_->fields.push_back(std::move(field));
    InsertMemberOrder(*descriptor_);
    return *this;
}

TypeBuilder& TypeBuilder::Value(std::string_view name, int32_t value,
                                std::string_view description) {
    if (existed_) {
        return *this;
    }
    EnumValueDescriptor enumerator{value, std::string(name), std::string(description), descriptor_};
    descriptor_->values.emplace(std::string(name), std::move(enumerator));
    return *this;
}

TypeBuilder& TypeBuilder::Description(std::string_view text) {
    if (!existed_) {
        descriptor_->description = text;
    }
    return *this;
}

TypeBuilder& TypeBuilder::Tag(std::string_view text) {
    if (!existed_) {
        AppendTag(descriptor_->tags, text);
    }
    return *this;
}

TypeBuilder& TypeBuilder::Tags(std::initializer_list<std::string_view> list) {
    for (const std::string_view text : list) {
        Tag(text);
    }
    return *this;
}

TypeBuilder& TypeBuilder::Tags(const std::vector<std::string>& list) {
    for (const std::string& text : list) {
        Tag(text);
    }
    return *this;
}

EventBuilder& EventBuilder::Description(std::string_view text) {
    if (!existed_) {
        descriptor_->description = text;
    }
    return *this;
}

EventBuilder& EventBuilder::Tag(std::string_view text) {
    if (!existed_) {
        AppendTag(descriptor_->tags, text);
    }
    return *this;
}

EventBuilder& EventBuilder::Tags(std::initializer_list<std::string_view> list) {
    for (const std::string_view text : list) {
        Tag(text);
    }
    return *this;
}

EventBuilder& EventBuilder::Tags(const std::vector<std::string>& list) {
    for (const std::string& text : list) {
        Tag(text);
    }
    return *this;
}

BindingRegistry::BindingRegistry() = default;

BindingRegistry::~BindingRegistry() = default;

TypeBuilder BindingRegistry::RegisterType(uint32_t size, std::string_view name,
                                          const TypeIdentity& identity, bool isEnum) {
    std::lock_guard lock(mutex_);
    if (const auto found = types_.find(name); found != types_.end()) {
        return TypeBuilder(this, found->second.get(), true);
    }
    auto descriptor = std::make_unique<TypeDescriptor>();
    descriptor->size = size;
    descriptor->isEnum = isEnum;
    descriptor->name = name;
    descriptor->hash = identity.hash;
    descriptor->identity = &identity;
    descriptor->registry = this;
    TypeDescriptor* created = descriptor.get();
    types_.emplace(std::string(name), std::move(descriptor));
    if (identity.hash != VoidIdentity().hash) {
        typesByHash_.emplace(identity.hash, created);
    }
    return TypeBuilder(this, created, false);
}

EventBuilder BindingRegistry::RegisterEvent(std::string_view name, const TypeIdentity& dataType) {
    const TypeDescriptor* type = FindType(dataType);
    std::lock_guard lock(mutex_);
    if (const auto found = events_.find(name); found != events_.end()) {
        return EventBuilder(found->second.get(), true);
    }
    auto descriptor = std::make_unique<EventDescriptor>();
    descriptor->name = name;
    descriptor->type = type;
    EventDescriptor* created = descriptor.get();
    events_.emplace(std::string(name), std::move(descriptor));
    return EventBuilder(created, false);
}

std::pair<FunctionDescriptor*, bool> BindingRegistry::AddFunction(
    std::string_view name, FunctionDescriptorHandle descriptor) {
    std::lock_guard lock(mutex_);
    if (const auto found = functions_.find(name); found != functions_.end()) {
        return {found->second.get(), true};
    }
    if (descriptor == nullptr) {
        return {nullptr, false};
    }
    FunctionDescriptor* stored = descriptor.get();
    functions_.emplace(std::string(name), std::move(descriptor));
    return {stored, false};
}

const TypeDescriptor* BindingRegistry::FindType(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto found = types_.find(name);
    return found != types_.end() ? found->second.get() : nullptr;
}

const TypeDescriptor* BindingRegistry::FindType(const TypeIdentity& identity) const {
    return FindTypeByHash(identity.hash);
}

const TypeDescriptor* BindingRegistry::FindTypeByHash(uint32_t hash) const {
    std::lock_guard lock(mutex_);
    const auto found = typesByHash_.find(hash);
    return found != typesByHash_.end() ? found->second : nullptr;
}

const EventDescriptor* BindingRegistry::FindEvent(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto found = events_.find(name);
    return found != events_.end() ? found->second.get() : nullptr;
}

FunctionDescriptor* BindingRegistry::FindFunction(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto found = functions_.find(name);
    return found != functions_.end() ? found->second.get() : nullptr;
}

std::vector<const TypeDescriptor*> BindingRegistry::SnapshotTypes() const {
    std::lock_guard lock(mutex_);
    return SnapshotOf<const TypeDescriptor*>(types_);
}

std::vector<const EventDescriptor*> BindingRegistry::SnapshotEvents() const {
    std::lock_guard lock(mutex_);
    return SnapshotOf<const EventDescriptor*>(events_);
}

std::vector<FunctionDescriptor*> BindingRegistry::SnapshotFunctions() const {
    std::lock_guard lock(mutex_);
    return SnapshotOf<FunctionDescriptor*>(functions_);
}

bool BindingRegistry::BuiltinsRegistered() const {
    std::lock_guard lock(mutex_);
    return builtinsRegistered_;
}

void BindingRegistry::SetBuiltinsRegistered(bool registered) {
    std::lock_guard lock(mutex_);
    builtinsRegistered_ = registered;
}

void BindingRegistry::RemoveAll() {
    std::lock_guard lock(mutex_);
    functions_.clear();
    events_.clear();
    typesByHash_.clear();
    types_.clear();
}

bool IsValidValue(const TypeDescriptor* descriptor, int32_t value) noexcept {
    if (descriptor == nullptr) {
        return false;
    }
    for (const auto& [name, enumerator] : descriptor->values) {
        if (enumerator.value == value) {
            return true;
        }
    }
    return false;
}

const std::string* ValueName(const TypeIdentity* identity, int32_t value,
                             const BindingRegistry* registry) {
    if (identity == nullptr || registry == nullptr) {
        return nullptr;
    }
    const TypeDescriptor* descriptor = registry->FindType(*identity);
    if (descriptor == nullptr) {
        return nullptr;
    }
    for (const auto& [name, enumerator] : descriptor->values) {
        if (enumerator.value == value) {
            return &enumerator.name;
        }
    }
    return nullptr;
}

}  // namespace Velto
