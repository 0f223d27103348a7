#include "remoting/api_description.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "remoting/function_binding.h"
#include "remoting/function_bindings.h"
#include "remoting/function_descriptor.h"

namespace {

using Velto::ApiDescription;
using Velto::ArgumentDescriptor;
using Velto::ArgumentLocation;
using Velto::FunctionBinding;
using Velto::FunctionCallContext;
using Velto::FunctionDescriptor;
using Velto::HttpMethod;
using Velto::TypeDescriptor;
using Velto::TypeKind;
using Velto::TypeSpec;
using Velto::Client::ApiArgumentLocationEntry;
using Velto::Client::ApiArgumentRecord;
using Velto::Client::ApiDescriptor;
using Velto::Client::ApiEnumValueRecord;
using Velto::Client::ApiEventRecord;
using Velto::Client::ApiFieldRecord;
using Velto::Client::ApiFunctionEntry;
using Velto::Client::ApiFunctionSignature;
using Velto::Client::ApiTextListEntry;
using Velto::Client::ApiTypeRecord;
namespace BoundaryLayout = Velto::Client::BoundaryLayout;

enum class Operation : int32_t { Create = 0, Update = 1, Delete = 2 };

struct Change {
    Operation operation;
    uint32_t id;
    std::vector<Operation> history;
    int32_t code;
    std::optional<std::string> note;
};

struct Unregistered {};

// The description does not convert values.
struct NoConverter {
    static std::unique_ptr<Velto::FieldConverter> Make(const TypeSpec&) { return nullptr; }
};

constexpr const char* kGetChanges = "/mek-active-boosts/v1/changes";
constexpr const char* kUpdateChange = "/changes/{history}";

void FakeCall(Velto::Client::HostResponse*, Velto::Client::HostRequest*) {}

template <class T>
T ReadAt(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

// A field of a boundary record. 32-bit builds read it at `offset`, its byte offset in the host's
// layout, so that the layout itself is checked; other builds read the member.
#define FIELD(record, member, offset)                                                  \
    (BoundaryLayout::kIs32Bit ? ReadAt<decltype((record)->member)>((record), (offset)) \
                              : (record)->member)

// The records reached from `first` through the next words; a chain that loops stops at a length
// no table here reaches, so that the test fails instead of hanging.
template <class Record>
std::vector<const Record*> Chain(const Record* first) {
    constexpr std::size_t kLongestChain = 64;
    std::vector<const Record*> chain;
    for (const Record* record = first; record != nullptr && chain.size() < kLongestChain;
         record = FIELD(record, next, 0)) {
        chain.push_back(record);
    }
    return chain;
}

// `count` records lying one after the other from `first`, linked in that order, the last one
// with a null next word; no records and a null pointer when `count` is 0.
template <class Record>
void ExpectArray(const Record* first, uint32_t count, const std::string& what) {
    const std::vector<const Record*> chain = Chain(first);
    ASSERT_EQ(chain.size(), count) << what;
    for (uint32_t index = 0; index < count; ++index) {
        EXPECT_EQ(chain[index], first + index) << what << " record " << index;
    }
}

std::vector<std::string> Texts(const char* const* texts, uint32_t count) {
    if (count == 0) {
        EXPECT_EQ(texts, nullptr);
    }
    return std::vector<std::string>(texts, texts + count);
}

TypeSpec Spec(TypeKind kind, TypeKind elementKind = TypeKind::None,
              const TypeDescriptor* descriptor = nullptr) {
    return TypeSpec{kind, elementKind, descriptor};
}

struct ArgumentCase {
    const char* name;
    const char* description;
    bool optional;
    TypeSpec type;
    TypeSpec overrideType;
    ArgumentLocation location;
    uint32_t kind;
    uint32_t elementKind;
    const char* typeName;
    uint32_t locationCode;
};

class ApiDescriptionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        operation_ = registry_.RegisterEnum<Operation>("Operation")
                         .Value("Create", 0, "made")
                         .Value("Update", 1)
                         .Value("Delete", 2)
                         .Description("What happened")
                         .Descriptor();
        change_ =
            registry_.RegisterStruct<Change>("Change")
                .Field<Operation, NoConverter>("operation", offsetof(Change, operation), "what")
                .Field<uint32_t, NoConverter>("id", offsetof(Change, id))
                .Field<std::vector<Operation>, NoConverter>("history", offsetof(Change, history))
                .Field<int32_t, NoConverter>("code", offsetof(Change, code), "", 0,
                                             TypeSpec{TypeKind::Enum, TypeKind::None, operation_})
                .Field<std::optional<std::string>, NoConverter>("note", offsetof(Change, note))
                .Description("One change")
                .Tags({"$builtin", "async"})
                .Descriptor();
        registry_.RegisterEvent<Change>("OnChange").Description("Something changed").Tag("events");
        registry_.RegisterEvent<Unregistered>("OnPing");
        const TypeSpec none = Spec(TypeKind::None);
        const TypeKind noKind = TypeKind::None;
        argumentCases_ = {
            {"id", "the change", true, Spec(TypeKind::Uint32), none, ArgumentLocation::Query, 7, 0,
             "", 1},
            {"change", "", false, Spec(TypeKind::Struct, noKind, change_), none,
             ArgumentLocation::Body, 17, 0, "Change", 5},
            {"code", "", false, Spec(TypeKind::Int32), Spec(TypeKind::Enum, noKind, operation_),
             ArgumentLocation::Header, 16, 0, "Operation", 4},
            {"history", "", false, Spec(TypeKind::Vector, TypeKind::Enum, operation_), none,
             ArgumentLocation::Path, 15, 16, "Operation", 2},
            {"label", "", false, Spec(TypeKind::String, noKind, change_), none,
             ArgumentLocation::Direct, 12, 0, "", 3},
            {"odd", "", false, Spec(static_cast<TypeKind>(42), static_cast<TypeKind>(20)), none,
             static_cast<ArgumentLocation>(9), 0, 0, "", 0},
            {"unnamed", "", false, Spec(TypeKind::Struct), none, ArgumentLocation::Anywhere, 17, 0,
             "", 0},
        };

        FunctionDescriptor* update = Add("UpdateChange");
        for (const ArgumentCase& row : argumentCases_) {
            ArgumentDescriptor& argument = update->arguments.emplace_back();
            argument.name = row.name;
            argument.description = row.description;
            argument.optional = row.optional;
            argument.type = row.type;
            argument.overrideType = row.overrideType;
        }
        update->returns = Spec(TypeKind::Int32);
        update->returnsOverride = Spec(TypeKind::Enum, noKind, operation_);
        update->description = "Updates one";
        update->help = "See body";
        update->threadSafe = true;
        update->asyncResultType = "Change";
        update_ = Bind(update);
        for (std::size_t index = 0; index < argumentCases_.size(); ++index) {
            update_->argumentLocations[index] = argumentCases_[index].location;
        }
        update_->route = kUpdateChange;
        update_->method = static_cast<HttpMethod>(12);

        FunctionDescriptor* getChanges = Add("GetChanges");
        getChanges->returns = Spec(TypeKind::Struct, noKind, change_);
        getChanges->tags = {"Plugins", "Plugin Test"};
        getChanges_ = Bind(getChanges);
        getChanges_->route = kGetChanges;
        getChanges_->method = HttpMethod::Get;

        FunctionDescriptor* listTexts = Add("ListTexts");
        listTexts->returns = Spec(TypeKind::Map, TypeKind::Struct, change_);
        listTexts_ = Bind(listTexts);
        listTexts_->method = HttpMethod::Custom;
        listTexts_->customMethod = "PURGE";
        listTexts_->flag = 1;
        listTexts_->textLists = {{"a", "b"}, {"c"}};

        Add("Unbound");
        orphanFunction_.name = "Orphan";
        orphanFunction_.arguments.resize(1);
        orphan_ = Bind(&orphanFunction_);
        orphan_->route = "/orphan";

        description_.Build(&module_, registry_, bindings_, &FakeCall);
    }

    // A function the registry knows by `name`; the caller fills it in before binding it.
    FunctionDescriptor* Add(const std::string& name) {
        FunctionDescriptor function;
        function.name = name;
        function.registry = &registry_;
        return registry_.AddFunction(name, Velto::MakeFunctionDescriptor(std::move(function)))
            .first;
    }

    FunctionBinding* Bind(FunctionDescriptor* function) {
        return bindings_.Bind(*function, nullptr).first;
    }

    const ApiDescriptor* Descriptor() { return description_.Descriptor(); }

    std::vector<const ApiFunctionEntry*> Entries() {
        return Chain(FIELD(Descriptor(), functions, 0));
    }

    const ApiFunctionEntry* Entry(const std::string& route) {
        for (const ApiFunctionEntry* entry : Entries()) {
            if (FIELD(entry, route, 69) == route) {
                return entry;
            }
        }
        ADD_FAILURE() << "no entry with the route '" << route << "'";
        return nullptr;
    }

    const ApiTypeRecord* Type(const std::string& name) {
        for (const ApiTypeRecord* type : Chain(FIELD(Descriptor(), types, 8))) {
            if (FIELD(type, name, 4) == name) {
                return type;
            }
        }
        ADD_FAILURE() << "no type record named '" << name << "'";
        return nullptr;
    }

    int module_ = 0;
    Velto::BindingRegistry registry_;
    FunctionDescriptor orphanFunction_;  // bound, but unknown to the registry
    Velto::FunctionBindings bindings_;
    ApiDescription description_;
    const TypeDescriptor* operation_ = nullptr;
    const TypeDescriptor* change_ = nullptr;
    std::vector<ArgumentCase> argumentCases_;
    FunctionBinding* update_ = nullptr;
    FunctionBinding* getChanges_ = nullptr;
    FunctionBinding* listTexts_ = nullptr;
    FunctionBinding* orphan_ = nullptr;
};

TEST_F(ApiDescriptionTest, LinksEveryArrayInOrderAndEndsItWithNull) {
    const ApiDescriptor* descriptor = Descriptor();
    EXPECT_EQ(FIELD(descriptor, functionCount, 4), 4u);
    EXPECT_EQ(FIELD(descriptor, typeCount, 12), 2u);
    EXPECT_EQ(FIELD(descriptor, eventCount, 20), 2u);
    ExpectArray(FIELD(descriptor, functions, 0), FIELD(descriptor, functionCount, 4), "entries");
    ExpectArray(FIELD(descriptor, types, 8), FIELD(descriptor, typeCount, 12), "types");
    ExpectArray(FIELD(descriptor, events, 16), FIELD(descriptor, eventCount, 20), "events");
    // One location per argument of the binding, even where the function has no record.
    const uint32_t locationCounts[] = {0, 0, 1, 7};
    const std::vector<const ApiFunctionEntry*> entries = Entries();
    ASSERT_EQ(entries.size(), std::size(locationCounts));
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const ApiFunctionEntry* entry = entries[index];
        ExpectArray(FIELD(entry, signature.arguments, 20),
                    FIELD(entry, signature.argumentCount, 24), "arguments");
        ExpectArray(FIELD(entry, argumentLocations, 65), locationCounts[index], "locations");
        ExpectArray(FIELD(entry, textLists, 78), FIELD(entry, textListCount, 82), "text lists");
    }
    for (const ApiTypeRecord* type : Chain(FIELD(descriptor, types, 8))) {
        const uint32_t count = FIELD(type, count, 36);
        const ApiFieldRecord* fields = FIELD(type, fields, 28);
        ExpectArray(fields, fields != nullptr ? count : 0, "fields");
        ExpectArray(FIELD(type, enumValues, 32), fields != nullptr ? 0 : count, "values");
    }
}

struct EntryRow {
    const char* route;
    const char* name;  // null: the function has no record
    uint32_t method;
    uint8_t flag;
    const char* customMethod;
    std::vector<std::vector<std::string>> textLists;
};

TEST_F(ApiDescriptionTest, OrdersEntriesByFunctionNameWithTheirBindingsWords) {
    const std::vector<EntryRow> rows = {
        {kGetChanges, "GetChanges", 2, 0, "", {}},
        {"", "ListTexts", 8, 1, "PURGE", {{"a", "b"}, {"c"}}},
        {"/orphan", nullptr, 0, 0, "", {}},
        {kUpdateChange, "UpdateChange", 0, 0, "", {}},
    };
    const std::vector<const ApiFunctionEntry*> entries = Entries();
    ASSERT_EQ(entries.size(), rows.size());
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const EntryRow& row = rows[index];
        const ApiFunctionEntry* entry = entries[index];
        SCOPED_TRACE(index);
        EXPECT_EQ(FIELD(entry, zero, 4), 0u);
        EXPECT_STREQ(FIELD(entry, signature.name, 12), row.name);
        EXPECT_EQ(FIELD(entry, call, 61), &FakeCall);
        EXPECT_STREQ(FIELD(entry, route, 69), row.route);
        EXPECT_EQ(FIELD(entry, method, 73), row.method);
        EXPECT_EQ(FIELD(entry, flag, 77), row.flag);
        EXPECT_STREQ(FIELD(entry, customMethod, 86), row.customMethod);
        std::vector<std::vector<std::string>> textLists;
        for (const ApiTextListEntry* list : Chain(FIELD(entry, textLists, 78))) {
            textLists.push_back(Texts(FIELD(list, texts, 4), FIELD(list, count, 8)));
        }
        EXPECT_EQ(textLists, row.textLists);
    }
}

struct SignatureRow {
    const char* route;
    uint32_t argumentCount;
    uint32_t returnsKind;
    uint32_t returnsElementKind;
    const char* returnsTypeName;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncResultType;
    std::vector<std::string> tags;
};

TEST_F(ApiDescriptionTest, CopiesTheFunctionRecordIntoTheEntry) {
    const std::vector<SignatureRow> rows = {
        {kGetChanges, 0, 17, 0, "Change", "", "", 0, "", {"Plugins", "Plugin Test"}},
        {"", 0, 19, 17, "Change", "", "", 0, "", {}},
        {kUpdateChange, 7, 16, 0, "Operation", "Updates one", "See body", 1, "Change", {}},
    };
    for (const SignatureRow& row : rows) {
        const ApiFunctionEntry* entry = Entry(row.route);
        ASSERT_NE(entry, nullptr);
        SCOPED_TRACE(FIELD(entry, signature.name, 12));
        EXPECT_STREQ(FIELD(entry, signature.nameSpace, 16), "");
        EXPECT_EQ(FIELD(entry, signature.argumentCount, 24), row.argumentCount);
        EXPECT_EQ(FIELD(entry, signature.returnsKind, 28), row.returnsKind);
        EXPECT_EQ(FIELD(entry, signature.returnsElementKind, 32), row.returnsElementKind);
        EXPECT_STREQ(FIELD(entry, signature.returnsTypeName, 36), row.returnsTypeName);
        EXPECT_STREQ(FIELD(entry, signature.description, 40), row.description);
        EXPECT_STREQ(FIELD(entry, signature.help, 44), row.help);
        EXPECT_EQ(FIELD(entry, signature.threadSafe, 48), row.threadSafe);
        EXPECT_STREQ(FIELD(entry, signature.asyncResultType, 49), row.asyncResultType);
        EXPECT_EQ(Texts(FIELD(entry, signature.tags, 53), FIELD(entry, signature.tagCount, 57)),
                  row.tags);
    }
    const ApiFunctionEntry* getChanges = Entry(kGetChanges);
    EXPECT_EQ(FIELD(getChanges, signature.arguments, 20), nullptr);
    EXPECT_EQ(FIELD(getChanges, argumentLocations, 65), nullptr);
}

TEST_F(ApiDescriptionTest, WritesArgumentsWithOverridesAndLocationsInDeclarationOrder) {
    const ApiFunctionEntry* entry = Entries().back();
    const std::vector<const ApiArgumentRecord*> arguments =
        Chain(FIELD(entry, signature.arguments, 20));
    const std::vector<const ApiArgumentLocationEntry*> locations =
        Chain(FIELD(entry, argumentLocations, 65));
    const std::vector<ArgumentCase>& rows = argumentCases_;
    ASSERT_EQ(arguments.size(), rows.size());
    ASSERT_EQ(locations.size(), rows.size());
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const ArgumentCase& row = rows[index];
        const ApiArgumentRecord* argument = arguments[index];
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(FIELD(argument, name, 4), row.name);
        EXPECT_STREQ(FIELD(argument, description, 8), row.description);
        EXPECT_EQ(FIELD(argument, kind, 12), row.kind);
        EXPECT_EQ(FIELD(argument, elementKind, 16), row.elementKind);
        EXPECT_STREQ(FIELD(argument, typeName, 20), row.typeName);
        EXPECT_EQ(FIELD(argument, optional, 24), row.optional ? 1 : 0);
        EXPECT_EQ(FIELD(locations[index], location, 4), row.locationCode);
    }
}

TEST_F(ApiDescriptionTest, KeepsZerosInTheSignatureOfABindingWithoutRecord) {
    const ApiFunctionEntry* entry = Entry("/orphan");
    ASSERT_NE(entry, nullptr);
    const char zeros[sizeof(ApiFunctionSignature)] = {};
    const char* signature =
        reinterpret_cast<const char*>(entry) + offsetof(ApiFunctionEntry, signature);
    EXPECT_EQ(std::memcmp(signature, zeros, sizeof zeros), 0);
    const std::vector<const ApiArgumentLocationEntry*> locations =
        Chain(FIELD(entry, argumentLocations, 65));
    ASSERT_EQ(locations.size(), 1u);
    EXPECT_EQ(FIELD(locations[0], location, 4), 0u);
    EXPECT_EQ(ApiDescription::BindingOfCallContext(FIELD(entry, callContext, 8)), orphan_);
}

struct FieldRow {
    const char* name;
    const char* description;
    uint32_t offset;
    uint32_t kind;
    uint32_t elementKind;
    const char* typeName;
    uint8_t optional;
};

TEST_F(ApiDescriptionTest, DescribesARecordByItsFieldsInRegistrationOrder) {
    const std::vector<FieldRow> rows = {
        {"operation", "what", offsetof(Change, operation), 16, 0, "Operation", 0},
        {"id", "", offsetof(Change, id), 7, 0, "", 0},
        {"history", "", offsetof(Change, history), 15, 16, "Operation", 0},
        {"code", "", offsetof(Change, code), 16, 0, "Operation", 0},
        {"note", "", offsetof(Change, note), 12, 0, "", 1},
    };
    const ApiTypeRecord* type = Type("Change");
    ASSERT_NE(type, nullptr);
    EXPECT_STREQ(FIELD(type, nameSpace, 8), "");
    EXPECT_EQ(FIELD(type, size, 12), sizeof(Change));
    EXPECT_STREQ(FIELD(type, description, 16), "One change");
    EXPECT_EQ(Texts(FIELD(type, tags, 20), FIELD(type, tagCount, 24)),
              (std::vector<std::string>{"$builtin", "async"}));
    EXPECT_EQ(FIELD(type, enumValues, 32), nullptr);
    EXPECT_EQ(FIELD(type, count, 36), rows.size());
    const std::vector<const ApiFieldRecord*> fields = Chain(FIELD(type, fields, 28));
    ASSERT_EQ(fields.size(), rows.size());
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const FieldRow& row = rows[index];
        const ApiFieldRecord* field = fields[index];
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(FIELD(field, name, 4), row.name);
        EXPECT_STREQ(FIELD(field, description, 8), row.description);
        EXPECT_EQ(FIELD(field, offset, 12), row.offset);
        EXPECT_EQ(FIELD(field, kind, 16), row.kind);
        EXPECT_EQ(FIELD(field, elementKind, 20), row.elementKind);
        EXPECT_STREQ(FIELD(field, typeName, 24), row.typeName);
        EXPECT_EQ(FIELD(field, optional, 28), row.optional);
    }
}

TEST_F(ApiDescriptionTest, DescribesAnEnumerationByItsValuesInNameOrder) {
    const ApiTypeRecord* type = Type("Operation");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(FIELD(type, size, 12), 4u);
    EXPECT_STREQ(FIELD(type, description, 16), "What happened");
    EXPECT_EQ(FIELD(type, fields, 28), nullptr);
    EXPECT_EQ(FIELD(type, count, 36), 3u);
    std::vector<std::string> values;
    for (const ApiEnumValueRecord* value : Chain(FIELD(type, enumValues, 32))) {
        values.push_back(std::string(FIELD(value, name, 4)) + "=" +
                         std::to_string(FIELD(value, value, 12)) + ":" +
                         FIELD(value, description, 8));
    }
    EXPECT_EQ(values, (std::vector<std::string>{"Create=0:made", "Delete=2:", "Update=1:"}));
}

TEST_F(ApiDescriptionTest, NamesEachEventsDataTypeOrNothing) {
    const std::vector<const ApiEventRecord*> events = Chain(FIELD(Descriptor(), events, 16));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_STREQ(FIELD(events[0], name, 4), "OnChange");
    EXPECT_STREQ(FIELD(events[0], nameSpace, 8), "");
    EXPECT_STREQ(FIELD(events[0], dataTypeName, 12), "Change");
    EXPECT_STREQ(FIELD(events[0], description, 16), "Something changed");
    EXPECT_EQ(Texts(FIELD(events[0], tags, 20), FIELD(events[0], tagCount, 24)),
              std::vector<std::string>{"events"});
    EXPECT_STREQ(FIELD(events[1], name, 4), "OnPing");
    EXPECT_STREQ(FIELD(events[1], dataTypeName, 12), "");
    EXPECT_EQ(Texts(FIELD(events[1], tags, 20), FIELD(events[1], tagCount, 24)),
              std::vector<std::string>{});
}

TEST_F(ApiDescriptionTest, CallContextsNameTheModuleAndTheBinding) {
    const std::vector<FunctionBinding*> expected = {getChanges_, listTexts_, orphan_, update_};
    const std::vector<const ApiFunctionEntry*> entries = Entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t index = 0; index < entries.size(); ++index) {
        SCOPED_TRACE(index);
        const auto* context =
            static_cast<const FunctionCallContext*>(FIELD(entries[index], callContext, 8));
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(ReadAt<void*>(context, 0), &module_);
        EXPECT_EQ(ReadAt<FunctionBinding*>(context, sizeof(void*)), expected[index]);
        EXPECT_EQ(ApiDescription::BindingOfCallContext(context), expected[index]);
    }
}

TEST_F(ApiDescriptionTest, RejectsPointersItNeverHandedOut) {
    const ApiFunctionEntry* entry = Entries().front();
    const char* context = static_cast<const char*>(FIELD(entry, callContext, 8));
    const void* foreign[] = {nullptr, &module_, entry, Descriptor(), context + 1};
    for (const void* pointer : foreign) {
        EXPECT_EQ(ApiDescription::BindingOfCallContext(pointer), nullptr) << pointer;
    }
}

TEST_F(ApiDescriptionTest, ForgetsItsContextsWhenDestroyed) {
    auto other = std::make_unique<ApiDescription>();
    other->Build(&module_, registry_, bindings_, &FakeCall);
    const void* context =
        FIELD(Chain(FIELD(other->Descriptor(), functions, 0)).front(), callContext, 8);
    ASSERT_EQ(ApiDescription::BindingOfCallContext(context), getChanges_);
    other.reset();
    EXPECT_EQ(ApiDescription::BindingOfCallContext(context), nullptr);
    EXPECT_EQ(ApiDescription::BindingOfCallContext(FIELD(Entries().front(), callContext, 8)),
              getChanges_);
}

TEST_F(ApiDescriptionTest, ASecondBuildChangesNothing) {
    const ApiDescriptor before = *Descriptor();
    const auto* bytes = reinterpret_cast<const char*>(before.functions);
    const std::vector<char> entriesBefore(bytes,
                                          bytes + before.functionCount * sizeof(ApiFunctionEntry));
    Bind(Add("AddedLater"));
    description_.Build(&module_, registry_, bindings_, &FakeCall);
    EXPECT_EQ(std::memcmp(Descriptor(), &before, sizeof before), 0);
    EXPECT_EQ(std::vector<char>(bytes, bytes + entriesBefore.size()), entriesBefore);
}

}  // namespace
