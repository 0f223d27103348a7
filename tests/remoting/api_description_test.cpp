#include "remoting/api_description.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "binding/binding_registry.h"
#include "remoting/function_binding.h"
#include "remoting/function_bindings.h"
#include "remoting/function_descriptor.h"

namespace {

using Velto::ApiDescription;
using Velto::ArgumentLocation;
using Velto::FunctionBinding;
using Velto::FunctionDescriptor;
using Velto::HttpMethod;
using Velto::TypeDescriptor;
using Velto::TypeKind;
using Velto::TypeSpec;
using Velto::Client::ApiDescriptor;
using Velto::Client::ApiFunctionEntry;
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
std::vector<const Record*> ExpectArray(const Record* first, std::size_t count,
                                       const std::string& what) {
    const std::vector<const Record*> chain = Chain(first);
    EXPECT_EQ(chain.size(), count) << what;
    for (std::size_t index = 0; index < count && index < chain.size(); ++index) {
        EXPECT_EQ(chain[index], first + index) << what << " record " << index;
    }
    return chain;
}

// The words of the `count` records linked as an array from `first`, as `read` gives them, each
// followed by ";".
template <class Record, class Read>
std::string ArrayWords(const Record* first, std::size_t count, Read read) {
    std::string words;
    for (const Record* record : ExpectArray(first, count, "records")) {
        words += read(record) + ";";
    }
    return words;
}

// `count` texts joined by ","; no texts and a null pointer when `count` is 0.
std::string Texts(const char* const* texts, uint32_t count) {
    EXPECT_EQ(texts == nullptr, count == 0);
    std::string joined;
    for (uint32_t index = 0; index < count; ++index) {
        joined += (index == 0 ? "" : ",") + std::string(texts[index]);
    }
    return joined;
}

// The words of a record joined by "|", so that one comparison names every word that differs: a
// number in decimal, a null text as "-".
template <class... Words>
std::string Join(Words... words) {
    std::string joined;
    const auto add = [&joined](const auto& word) {
        using Word = std::decay_t<decltype(word)>;
        if constexpr (std::is_arithmetic_v<Word>) {
            joined += std::to_string(word);
        } else if constexpr (std::is_pointer_v<Word>) {
            joined += word != nullptr ? word : "-";
        } else {
            joined += word;
        }
        joined += '|';
    };
    (add(words), ...);
    joined.pop_back();
    return joined;
}

// Argument and field records differ only by the field's offset word at 12, so one reader serves
// both: `at` is the offset of the kind word. "name|description|kind|elementKind|typeName|optional"
template <class Record>
std::string TypedWords(const Record* record, std::size_t at) {
    return Join(FIELD(record, name, 4), FIELD(record, description, 8), FIELD(record, kind, at),
                FIELD(record, elementKind, at + 4), FIELD(record, typeName, at + 8),
                FIELD(record, optional, at + 12));
}

struct ArgumentCase {
    const char* name;
    const char* description;
    bool optional;
    TypeSpec type;
    TypeSpec overrideType;
    ArgumentLocation location;
    const char* words;  // of its record, as TypedWords gives them
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
        const TypeKind noKind = TypeKind::None;
        const TypeSpec none{};
        argumentCases_ = {
            {"id", "the change", true, TypeSpec{TypeKind::Uint32}, none, ArgumentLocation::Query,
             "id|the change|7|0||1", 1},
            {"change", "", false, TypeSpec{TypeKind::Struct, noKind, change_}, none,
             ArgumentLocation::Body, "change||17|0|Change|0", 5},
            {"code", "", false, TypeSpec{TypeKind::Int32},
             TypeSpec{TypeKind::Enum, noKind, operation_}, ArgumentLocation::Header,
             "code||16|0|Operation|0", 4},
            {"history", "", false, TypeSpec{TypeKind::Vector, TypeKind::Enum, operation_}, none,
             ArgumentLocation::Path, "history||15|16|Operation|0", 2},
            {"label", "", false, TypeSpec{TypeKind::String, noKind, change_}, none,
             ArgumentLocation::Direct, "label||12|0||0", 3},
            {"odd", "", false, TypeSpec{static_cast<TypeKind>(42), static_cast<TypeKind>(20)}, none,
             static_cast<ArgumentLocation>(9), "odd||0|0||0", 0},
            {"unnamed", "", false, TypeSpec{TypeKind::Struct}, none, ArgumentLocation::Anywhere,
             "unnamed||17|0||0", 0},
        };
        FunctionDescriptor* update = Add("UpdateChange");
        for (const ArgumentCase& row : argumentCases_) {
            update->arguments.push_back(
                {row.name, row.description, row.optional, row.type, row.overrideType});
        }
        update->returns = TypeSpec{TypeKind::Int32};
        update->returnsOverride = TypeSpec{TypeKind::Enum, noKind, operation_};
        update->description = "Updates one";
        update->help = "See body";
        update->threadSafe = true;
        update->asyncResultType = "Change";
        update_ = Bind(update);
        for (std::size_t index = 0; index < argumentCases_.size(); ++index) {
            update_->argumentLocations[index] = argumentCases_[index].location;
        }
        update_->route = "/changes/{history}";
        update_->method = static_cast<HttpMethod>(12);

        FunctionDescriptor* getChanges = Add("GetChanges");
        getChanges->returns = TypeSpec{TypeKind::Struct, noKind, change_};
        getChanges->tags = {"Plugins", "Plugin Test"};
        getChanges_ = Bind(getChanges);
        getChanges_->route = "/mek-active-boosts/v1/changes";
        getChanges_->method = HttpMethod::Get;

        FunctionDescriptor* listTexts = Add("ListTexts");
        listTexts->returns = TypeSpec{TypeKind::Map, TypeKind::Struct, change_};
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

TEST_F(ApiDescriptionTest, DescribesEachBindingInFunctionNameOrder) {
    std::string updateArguments;  // in declaration order, with their overrides
    std::string updateLocations;
    for (const ArgumentCase& argument : argumentCases_) {
        updateArguments += argument.words + std::string(";");
        updateLocations += std::to_string(argument.locationCode) + ";";
    }
    const struct {
        FunctionBinding* binding;
        std::string words;  // route|method|flag|customMethod
        // Copied from the function record: name|nameSpace|argumentCount|returnsKind|
        // returnsElementKind|returnsTypeName|description|help|threadSafe|asyncResultType|tags
        std::string signature;
        std::string textLists;  // each joined by ","
        std::string arguments;  // as TypedWords gives them
        std::string locations;  // one per argument of the binding, with or without record
    } rows[] = {
        {getChanges_, "/mek-active-boosts/v1/changes|2|0|",
         "GetChanges||0|17|0|Change|||0||Plugins,Plugin Test", "", "", ""},
        {listTexts_, "|8|1|PURGE", "ListTexts||0|19|17|Change|||0||", "a,b;c;", "", ""},
        // A binding without record keeps zeros where the record's words would be.
        {orphan_, "/orphan|0|0|", "-|-|0|0|0|-|-|-|0|-|", "", "", "0;"},
        {update_, "/changes/{history}|0|0|",
         "UpdateChange||7|16|0|Operation|Updates one|See body|1|Change|", "", updateArguments,
         updateLocations},
    };
    const ApiDescriptor* descriptor = Descriptor();
    EXPECT_EQ(FIELD(descriptor, functionCount, 4), std::size(rows));
    const std::vector<const ApiFunctionEntry*> entries = ExpectArray(
        FIELD(descriptor, functions, 0), FIELD(descriptor, functionCount, 4), "entries");
    ASSERT_EQ(entries.size(), std::size(rows));
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const auto& row = rows[index];
        const ApiFunctionEntry* entry = entries[index];
        SCOPED_TRACE(row.words);
        EXPECT_EQ(FIELD(entry, zero, 4), 0u);
        EXPECT_EQ(FIELD(entry, call, 61), &FakeCall);
        EXPECT_EQ(Join(FIELD(entry, route, 69), FIELD(entry, method, 73), FIELD(entry, flag, 77),
                       FIELD(entry, customMethod, 86)),
                  row.words);
        EXPECT_EQ(
            Join(FIELD(entry, signature.name, 12), FIELD(entry, signature.nameSpace, 16),
                 FIELD(entry, signature.argumentCount, 24), FIELD(entry, signature.returnsKind, 28),
                 FIELD(entry, signature.returnsElementKind, 32),
                 FIELD(entry, signature.returnsTypeName, 36),
                 FIELD(entry, signature.description, 40), FIELD(entry, signature.help, 44),
                 FIELD(entry, signature.threadSafe, 48),
                 FIELD(entry, signature.asyncResultType, 49),
                 Texts(FIELD(entry, signature.tags, 53), FIELD(entry, signature.tagCount, 57))),
            row.signature);
        EXPECT_EQ(ArrayWords(FIELD(entry, textLists, 78), FIELD(entry, textListCount, 82),
                             [](const auto* list) {
                                 return Texts(FIELD(list, texts, 4), FIELD(list, count, 8));
                             }),
                  row.textLists);
        EXPECT_EQ(ArrayWords(FIELD(entry, signature.arguments, 20),
                             FIELD(entry, signature.argumentCount, 24),
                             [](const auto* argument) { return TypedWords(argument, 12); }),
                  row.arguments);
        EXPECT_EQ(
            ArrayWords(FIELD(entry, argumentLocations, 65),
                       std::count(row.locations.begin(), row.locations.end(), ';'),
                       [](const auto* location) { return Join(FIELD(location, location, 4)); }),
            row.locations);
        // The call context names the module and the binding.
        const void* context = FIELD(entry, callContext, 8);
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(ReadAt<void*>(context, 0), &module_);
        EXPECT_EQ(ReadAt<FunctionBinding*>(context, sizeof(void*)), row.binding);
        EXPECT_EQ(ApiDescription::BindingOfCallContext(context), row.binding);
    }
}

TEST_F(ApiDescriptionTest, DescribesRecordsByFieldsAndEnumerationsByValuesInNameOrder) {
    const ApiDescriptor* descriptor = Descriptor();
    EXPECT_EQ(FIELD(descriptor, typeCount, 12), 2u);
    const auto types =
        ExpectArray(FIELD(descriptor, types, 8), FIELD(descriptor, typeCount, 12), "types");
    ASSERT_EQ(types.size(), 2u);
    // name|nameSpace|size|description|tags|count
    const auto words = [](const auto* type) {
        return Join(FIELD(type, name, 4), FIELD(type, nameSpace, 8), FIELD(type, size, 12),
                    FIELD(type, description, 16),
                    Texts(FIELD(type, tags, 20), FIELD(type, tagCount, 24)),
                    FIELD(type, count, 36));
    };

    // A record: its fields in registration order, no values.
    EXPECT_EQ(words(types[0]),
              Join("Change", "", sizeof(Change), "One change", "$builtin,async", 5));
    EXPECT_EQ(ArrayWords(FIELD(types[0], fields, 28), 5,
                         [](const auto* field) {
                             return Join(FIELD(field, offset, 12)) + " " + TypedWords(field, 16);
                         }),
              Join(offsetof(Change, operation)) + " operation|what|16|0|Operation|0;" +
                  Join(offsetof(Change, id)) + " id||7|0||0;" + Join(offsetof(Change, history)) +
                  " history||15|16|Operation|0;" + Join(offsetof(Change, code)) +
                  " code||16|0|Operation|0;" + Join(offsetof(Change, note)) + " note||12|0||1;");
    EXPECT_EQ(FIELD(types[0], enumValues, 32), nullptr);

    // An enumeration: its values in name order, no fields.
    EXPECT_EQ(words(types[1]), "Operation||4|What happened||3");
    EXPECT_EQ(FIELD(types[1], fields, 28), nullptr);
    EXPECT_EQ(ArrayWords(FIELD(types[1], enumValues, 32), 3,
                         [](const auto* value) {
                             return Join(FIELD(value, name, 4), FIELD(value, value, 12),
                                         FIELD(value, description, 8));
                         }),
              "Create|0|made;Delete|2|;Update|1|;");
}

TEST_F(ApiDescriptionTest, NamesEachEventsDataTypeOrNothing) {
    const ApiDescriptor* descriptor = Descriptor();
    EXPECT_EQ(FIELD(descriptor, eventCount, 20), 2u);
    EXPECT_EQ(ArrayWords(FIELD(descriptor, events, 16), FIELD(descriptor, eventCount, 20),
                         [](const auto* event) {
                             return Join(FIELD(event, name, 4), FIELD(event, nameSpace, 8),
                                         FIELD(event, dataTypeName, 12),
                                         FIELD(event, description, 16),
                                         Texts(FIELD(event, tags, 20), FIELD(event, tagCount, 24)));
                         }),
              "OnChange||Change|Something changed|events;OnPing||||;");
}

// Contexts are known while their description lives, and no other pointer ever is.
TEST_F(ApiDescriptionTest, KnowsOnlyTheContextsOfLiveDescriptions) {
    const ApiFunctionEntry* entry = Entries().front();
    const char* context = static_cast<const char*>(FIELD(entry, callContext, 8));
    const void* foreign[] = {nullptr, &module_, entry, Descriptor(), context + 1};
    for (const void* pointer : foreign) {
        EXPECT_EQ(ApiDescription::BindingOfCallContext(pointer), nullptr) << pointer;
    }
    auto other = std::make_unique<ApiDescription>();
    other->Build(&module_, registry_, bindings_, &FakeCall);
    const void* otherContext =
        FIELD(Chain(FIELD(other->Descriptor(), functions, 0)).front(), callContext, 8);
    ASSERT_EQ(ApiDescription::BindingOfCallContext(otherContext), getChanges_);
    other.reset();
    EXPECT_EQ(ApiDescription::BindingOfCallContext(otherContext), nullptr);
    EXPECT_EQ(ApiDescription::BindingOfCallContext(context), getChanges_);
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
