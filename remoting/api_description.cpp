#include "remoting/api_description.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_registry.h"
#include "remoting/function_binding.h"
#include "remoting/function_bindings.h"
#include "remoting/function_descriptor.h"

namespace Velto {
namespace {

using Client::ApiArgumentLocationEntry;
using Client::ApiArgumentRecord;
using Client::ApiEnumValueRecord;
using Client::ApiEventRecord;
using Client::ApiFieldRecord;
using Client::ApiFunctionEntry;
using Client::ApiFunctionRecord;
using Client::ApiFunctionSignature;
using Client::ApiTextListEntry;
using Client::ApiTypeRecord;

constexpr char kEmptyText[] = "";

// The call contexts handed out by every live description. A context coming back from the host is
// trusted only when it is found here.
class LiveContexts {
  public:
    // Never destroyed, so that descriptions destroyed during static destruction can still leave;
    // built in static storage, so that an empty set holds no heap memory when the library goes.
    static LiveContexts& Instance() {
        alignas(LiveContexts) static unsigned char storage[sizeof(LiveContexts)];
        static LiveContexts* const instance = ::new (storage) LiveContexts;
        return *instance;
    }

    void Add(const FunctionCallContext* context) {
        const std::lock_guard<std::mutex> guard(mutex_);
        contexts_.insert(context);
    }

    void Remove(const FunctionCallContext* context) {
        const std::lock_guard<std::mutex> guard(mutex_);
        contexts_.erase(context);
    }

    // Only a pointer found in the set is read; any other is never dereferenced.
    FunctionBinding* BindingOf(const void* context) {
        const std::lock_guard<std::mutex> guard(mutex_);
        if (!contexts_.contains(context)) {
            return nullptr;
        }
        return static_cast<const FunctionCallContext*>(context)->binding;
    }

  private:
    std::mutex mutex_;
    std::set<const void*> contexts_;
};

// Owns the arrays the tables are made of. An array never moves once made, so the pointers the
// host keeps stay valid; its records start zeroed.
class Arena {
  public:
    template <class Record>
    std::span<Record> Make(std::size_t count) {
        if (count == 0) {
            return {};
        }
        std::shared_ptr<Record[]> array = std::make_shared<Record[]>(count);
        const std::span<Record> records(array.get(), count);
        arrays_.push_back(std::move(array));
        return records;
    }

  private:
    std::vector<std::shared_ptr<void>> arrays_;
};

uint32_t CountOf(std::size_t size) {
    return static_cast<uint32_t>(size);
}

// Chains `records` through their `next` words, the last one null; returns the first or null.
template <class Record>
Record* Linked(std::span<Record> records) {
    for (std::size_t index = 0; index < records.size(); ++index) {
        records[index].next = index + 1 < records.size() ? &records[index + 1] : nullptr;
    }
    return records.empty() ? nullptr : records.data();
}

// One linked array with a record per item, each filled by `fill(record, item)`; null when there
// are no items.
template <class Record, class Items, class Fill>
Record* LinkedRecords(Arena& arena, const Items& items, Fill fill) {
    const std::span<Record> records = arena.Make<Record>(std::size(items));
    auto record = records.begin();
    for (const auto& item : items) {
        fill(*record++, item);
    }
    return Linked(records);
}

// The tags of a function, type or event, or one text list of a binding, as an array of text
// pointers; null when there are none.
const char* const* TextPointers(Arena& arena, const std::vector<std::string>& texts) {
    const std::span<const char*> pointers = arena.Make<const char*>(texts.size());
    std::transform(texts.begin(), texts.end(), pointers.begin(),
                   [](const std::string& text) { return text.c_str(); });
    return pointers.empty() ? nullptr : pointers.data();
}

// A kind as the host reads it: 1 to 19, anything else 0.
uint32_t KindCode(TypeKind kind) {
    const auto code = static_cast<uint32_t>(kind);
    return code <= static_cast<uint32_t>(TypeKind::Map) ? code : 0;
}

bool IsNamedKind(TypeKind kind) {
    return kind == TypeKind::Vector || kind == TypeKind::Enum || kind == TypeKind::Struct ||
           kind == TypeKind::Map;
}

// What the host is told about a field, argument or result.
struct WrittenType {
    uint32_t kind = 0;
    uint32_t elementKind = 0;
    const char* name = kEmptyText;
};

// `declared`, or `override` in its place when its kind is set.
WrittenType Written(const TypeSpec& declared, const TypeSpec& override) {
    const TypeSpec& spec = override.kind != TypeKind::None ? override : declared;
    const bool named = IsNamedKind(spec.kind) && spec.descriptor != nullptr;
    return {KindCode(spec.kind), KindCode(spec.elementKind),
            named ? spec.descriptor->name.c_str() : kEmptyText};
}

template <class Record>
void WriteType(Record& record, const WrittenType& type) {
    record.kind = type.kind;
    record.elementKind = type.elementKind;
    record.typeName = type.name;
}

void FillArgument(ApiArgumentRecord& record, const ArgumentDescriptor& argument) {
    record.name = argument.name.c_str();
    record.description = argument.description.c_str();
    WriteType(record, Written(argument.type, argument.overrideType));
    record.optional = argument.optional ? 1 : 0;
}

void FillFunction(Arena& arena, ApiFunctionRecord& record, const FunctionDescriptor& function) {
    ApiFunctionSignature& signature = record.signature;
    signature.name = function.name.c_str();
    signature.nameSpace = function.nameSpace.c_str();
    signature.arguments = LinkedRecords<ApiArgumentRecord>(arena, function.arguments, FillArgument);
    signature.argumentCount = CountOf(function.arguments.size());
    const WrittenType returns = Written(function.returns, function.returnsOverride);
    signature.returnsKind = returns.kind;
    signature.returnsElementKind = returns.elementKind;
    signature.returnsTypeName = returns.name;
    signature.description = function.description.c_str();
    signature.help = function.help.c_str();
    signature.threadSafe = function.threadSafe ? 1 : 0;
    signature.asyncResultType = function.asyncResultType.c_str();
    signature.tags = TextPointers(arena, function.tags);
    signature.tagCount = CountOf(function.tags.size());
}

void FillField(ApiFieldRecord& record, const FieldDescriptor& field) {
    record.name = field.name.c_str();
    record.description = field.description.c_str();
    record.offset = field.offset;
    const TypeSpec extra{field.extra.kind, TypeKind::None, field.extra.descriptor};
    WriteType(record, Written(field.spec, extra));
    record.optional = field.optional ? 1 : 0;
}

void FillValue(ApiEnumValueRecord& record,
               const std::pair<const std::string, EnumValueDescriptor>& named) {
    record.name = named.first.c_str();
    record.description = named.second.description.c_str();
    record.value = named.second.value;
}

// A type with fields is described by them; one without, by its enumeration values.
void FillType(Arena& arena, ApiTypeRecord& record, const TypeDescriptor& type) {
    record.name = type.name.c_str();
    record.nameSpace = type.nameSpace.c_str();
    record.size = type.size;
    record.description = type.description.c_str();
    record.tags = TextPointers(arena, type.tags);
    record.tagCount = CountOf(type.tags.size());
    if (!type.fields.empty()) {
        record.fields = LinkedRecords<ApiFieldRecord>(arena, type.fields, FillField);
        record.count = CountOf(type.fields.size());
        return;
    }
    record.enumValues = LinkedRecords<ApiEnumValueRecord>(arena, type.values, FillValue);
    record.count = CountOf(type.values.size());
}

void FillEvent(Arena& arena, ApiEventRecord& record, const EventDescriptor& event) {
    record.name = event.name.c_str();
    record.nameSpace = event.nameSpace.c_str();
    record.dataTypeName = event.type != nullptr ? event.type->name.c_str() : kEmptyText;
    record.description = event.description.c_str();
    record.tags = TextPointers(arena, event.tags);
    record.tagCount = CountOf(event.tags.size());
}

// A location as the host reads it: 1 to 5, anything else 0.
void FillLocation(ApiArgumentLocationEntry& entry, ArgumentLocation location) {
    const auto code = static_cast<uint32_t>(location);
    entry.location = code <= static_cast<uint32_t>(ArgumentLocation::Body) ? code : 0;
}

// The entry's words that come from the binding rather than from the function's record.
void FillBinding(Arena& arena, ApiFunctionEntry& entry, const FunctionBinding& binding) {
    entry.argumentLocations =
        LinkedRecords<ApiArgumentLocationEntry>(arena, binding.argumentLocations, FillLocation);
    entry.route = binding.route.c_str();
    entry.method = static_cast<uint32_t>(MethodFromHost(static_cast<uint32_t>(binding.method)));
    entry.flag = binding.flag;
    entry.textLists = LinkedRecords<ApiTextListEntry>(
        arena, binding.textLists,
        [&arena](ApiTextListEntry& list, const std::vector<std::string>& texts) {
            list.texts = TextPointers(arena, texts);
            list.count = CountOf(texts.size());
        });
    entry.textListCount = CountOf(binding.textLists.size());
    entry.customMethod = binding.customMethod.c_str();
}

// Byte-wise name order. Names are unique among the module's functions; should two bindings
// share one anyway, only one of them is described.
std::map<std::string_view, FunctionBinding*> BindingsByName(
    const std::vector<FunctionBinding*>& bindings) {
    std::map<std::string_view, FunctionBinding*> byName;
    for (FunctionBinding* binding : bindings) {
        byName.emplace(binding->function->name, binding);
    }
    return byName;
}

std::map<std::string_view, const ApiFunctionRecord*> RecordsByName(const ApiFunctionRecord* first) {
    std::map<std::string_view, const ApiFunctionRecord*> byName;
    for (const ApiFunctionRecord* record = first; record != nullptr; record = record->next) {
        // Read by value: a reference to a member of a packed record may be misaligned.
        const char* const name = record->signature.name;
        byName.emplace(std::string_view(name), record);
    }
    return byName;
}

}  // namespace

struct ApiDescription::Tables {
    Tables() = default;
    Tables(const Tables&) = delete;
    Tables& operator=(const Tables&) = delete;

    ~Tables() {
        for (const auto& [name, context] : contexts) {
            LiveContexts::Instance().Remove(&context);
        }
    }

    // The call context of the function `name`, made live for BindingOfCallContext.
    FunctionCallContext* Enter(std::string_view name, void* module, FunctionBinding* binding) {
        FunctionCallContext& context = contexts[std::string(name)];
        context = FunctionCallContext{module, binding};
        LiveContexts::Instance().Add(&context);
        return &context;
    }

    Arena arena;
    std::map<std::string, FunctionCallContext, std::less<>> contexts;  // by function name
};

ApiDescription::ApiDescription() = default;

ApiDescription::~ApiDescription() = default;

void ApiDescription::Build(void* module, const BindingRegistry& registry,
                           const FunctionBindings& bindings, HostCallRoutine call) {
    if (tables_ != nullptr) {
        return;
    }
    tables_ = std::make_unique<Tables>();
    Tables& tables = *tables_;
    Arena& arena = tables.arena;

    const auto bound = BindingsByName(bindings.Snapshot());
    const auto records = RecordsByName(LinkedRecords<ApiFunctionRecord>(
        arena, registry.SnapshotFunctions(),
        [&arena](ApiFunctionRecord& record, const FunctionDescriptor* function) {
            FillFunction(arena, record, *function);
        }));
    descriptor_.functions = LinkedRecords<ApiFunctionEntry>(
        arena, bound, [&](ApiFunctionEntry& entry, const auto& named) {
            const auto& [name, binding] = named;
            if (const auto found = records.find(name); found != records.end()) {
                entry.signature = found->second->signature;
            }
            FillBinding(arena, entry, *binding);
            entry.callContext = tables.Enter(name, module, binding);
            entry.call = call;
        });
    descriptor_.functionCount = CountOf(bound.size());

    const std::vector<const TypeDescriptor*> types = registry.SnapshotTypes();
    descriptor_.types = LinkedRecords<ApiTypeRecord>(
        arena, types, [&arena](ApiTypeRecord& record, const TypeDescriptor* type) {
            FillType(arena, record, *type);
        });
    descriptor_.typeCount = CountOf(types.size());

    const std::vector<const EventDescriptor*> events = registry.SnapshotEvents();
    descriptor_.events = LinkedRecords<ApiEventRecord>(
        arena, events, [&arena](ApiEventRecord& record, const EventDescriptor* event) {
            FillEvent(arena, record, *event);
        });
    descriptor_.eventCount = CountOf(events.size());
}

FunctionBinding* ApiDescription::BindingOfCallContext(const void* callContext) noexcept {
    if (callContext == nullptr) {
        return nullptr;
    }
    return LiveContexts::Instance().BindingOf(callContext);
}

}  // namespace Velto
