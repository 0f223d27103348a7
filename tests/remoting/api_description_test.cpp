// The API description's records are read through their members: the header asserts every 32-bit
// offset at compile time.
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
using Velto::ArgumentLocation;
using Velto::FunctionBinding;
using Velto::FunctionDescriptor;
using Velto::HttpMethod;
using Velto::TypeDescriptor;
using Velto::TypeKind;
using Velto::TypeSpec;
using Velto::Client::ApiDescriptor;
using Velto::Client::ApiFunctionEntry;

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

// `count` texts joined by ","; no texts and a null pointer when `count` is 0.
std::string Texts(const char* const* texts, uint32_t count) {
    EXPECT_EQ(texts == nullptr, count == 0);
    std::string joined;
    for (uint32_t index = 0; index < count; ++index) {
        joined += (index == 0 ? "" : ",") + std::string(texts[index]);
    }
    return joined;
}

// A word of a record: a number in decimal, a null text as "-".
std::string Word(const char* text) {
    return text != nullptr ? text : "-";
}
std::string Word(const std::string& text) {
    return text;
}
std::string Word(long long number) {
    return std::to_string(number);
}

// The words of a record joined by "|", so that one comparison names every word that differs.
// Taken by value: a packed record's members cannot be bound to references.
template <class... Words>
std::string Join(Words... words) {
    std::string joined = (std::string() + ... + (Word(words) + "|"));
    joined.pop_back();
    return joined;
}

// Argument and field records share these words: name|description|kind|elementKind|typeName|optional
template <class Record>
std::string TypedWords(const Record& record) {
    return Join(record.name, record.description, record.kind, record.elementKind, record.typeName,
                record.optional);
}

// The records linked from `first`, which must lie one after the other, as one array; a chain that
// loops stops at a length no table here reaches, so that the test fails instead of hanging.
template <class Record>
std::vector<const Record*> Array(const Record* first) {
    constexpr std::size_t kLongestChain = 64;
    std::vector<const Record*> records;
    for (const Record* record = first; record != nullptr && records.size() < kLongestChain;
         record = record->next) {
        EXPECT_EQ(record, first + records.size()) << "record " << records.size() << " lies apart";
        records.push_back(record);
    }
    return records;
}

// For each record linked from `first`: `prefix`, the words `read` gives, and `end`.
template <class Record, class Read>
std::string Each(const char* prefix, const Record* first, Read read, const char* end = "\n") {
    std::string lines;
    for (const Record* record : Array(first)) {
        lines += prefix + read(*record) + end;
    }
    return lines;
}

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

        const TypeKind none = TypeKind::None;
        FunctionDescriptor* update = Add("UpdateChange");
        update->arguments = {
            {"id", "the change", true, TypeSpec{TypeKind::Uint32}, {}},
            {"change", "", false, TypeSpec{TypeKind::Struct, none, change_}, {}},
            {"code", "", false, TypeSpec{TypeKind::Int32},
             TypeSpec{TypeKind::Enum, none, operation_}},
            {"history", "", false, TypeSpec{TypeKind::Vector, TypeKind::Enum, operation_}, {}},
            // Only vectors, enumerations, records and maps name their type.
            {"label", "", false, TypeSpec{TypeKind::String, none, change_}, {}},
            // Kinds the host does not know are written as 0.
            {"odd", "", false, TypeSpec{static_cast<TypeKind>(42), static_cast<TypeKind>(20)}, {}},
            {"unnamed", "", false, TypeSpec{TypeKind::Struct}, {}},
        };
        update->returns = TypeSpec{TypeKind::Int32};
        update->returnsOverride = TypeSpec{TypeKind::Enum, none, operation_};
        update->description = "Updates one";
        update->help = "See body";
        update->threadSafe = true;
        update->asyncResultType = "Change";
        // Method 9 is one past the host's codes.
        FunctionBinding* binding = Bind(update, "/changes/{history}", static_cast<HttpMethod>(9));
        binding->argumentLocations = {
            ArgumentLocation::Query,    ArgumentLocation::Body,   ArgumentLocation::Header,
            ArgumentLocation::Path,     ArgumentLocation::Direct, static_cast<ArgumentLocation>(6),
            ArgumentLocation::Anywhere,
        };

        FunctionDescriptor* getChanges = Add("GetChanges");
        getChanges->returns = TypeSpec{TypeKind::Struct, none, change_};
        getChanges->tags = {"Plugins", "Plugin Test"};
        getChanges_ = Bind(getChanges, "/mek-active-boosts/v1/changes", HttpMethod::Get);

        FunctionDescriptor* listTexts = Add("ListTexts");
        listTexts->returns = TypeSpec{TypeKind::Map, TypeKind::Struct, change_};
        binding = Bind(listTexts, "", HttpMethod::Custom);
        binding->customMethod = "PURGE";
        binding->flag = 1;
        binding->textLists = {{"a", "b"}, {"c"}};

        Add("Unbound");
        orphanFunction_.name = "Orphan";
        orphanFunction_.arguments.resize(1);
        Bind(&orphanFunction_, "/orphan", static_cast<HttpMethod>(0xFFFFFFFF));

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

    FunctionBinding* Bind(FunctionDescriptor* function, const char* route = "",
                          HttpMethod method = HttpMethod::None) {
        FunctionBinding* binding = bindings_.Bind(*function, nullptr).first;
        binding->route = route;
        binding->method = method;
        return binding;
    }

    const ApiDescriptor* Descriptor() { return description_.Descriptor(); }

    // The description as the host reads it: a line per record, the records it points to on the
    // indented lines below it.
    std::string Describe() {
        const ApiDescriptor& descriptor = *Descriptor();
        std::string lines =
            Join(descriptor.functionCount, descriptor.typeCount, descriptor.eventCount) + "\n";
        for (const ApiFunctionEntry* entry : Array(descriptor.functions)) {
            EXPECT_EQ(+entry->zero, 0u);
            EXPECT_EQ(+entry->call, &FakeCall);
            const auto* context =
                static_cast<const Velto::FunctionCallContext*>(+entry->callContext);
            EXPECT_EQ(context != nullptr ? context->module : nullptr, &module_);
            const FunctionBinding* called = ApiDescription::BindingOfCallContext(context);
            // Copied from the function's record: name|nameSpace|argumentCount|returnsKind|
            // returnsElementKind|returnsTypeName|description|help|threadSafe|asyncResultType|tags
            const auto signature = entry->signature;
            lines +=
                "function " +
                Join(signature.name, signature.nameSpace, signature.argumentCount,
                     signature.returnsKind, signature.returnsElementKind, signature.returnsTypeName,
                     signature.description, signature.help, signature.threadSafe,
                     signature.asyncResultType, Texts(signature.tags, signature.tagCount)) +
                "\n";
            // From the binding: route|method|flag|customMethod|textListCount
            lines += "  binding " +
                     Join(entry->route, entry->method, entry->flag, entry->customMethod,
                          entry->textListCount) +
                     " calls " + (called != nullptr ? called->function->name : "nothing") + "\n";
            lines += Each("  argument ", signature.arguments,
                          [](const auto& argument) { return TypedWords(argument); });
            lines += "  locations " +
                     Each(
                         "", entry->argumentLocations,
                         [](const auto& location) { return Join(location.location); }, ";") +
                     "\n";
            lines += Each("  texts ", entry->textLists,
                          [](const auto& list) { return Texts(list.texts, list.count); });
        }
        for (const auto* type : Array(descriptor.types)) {
            lines += "type " +
                     Join(type->name, type->nameSpace, type->size, type->description,
                          Texts(type->tags, type->tagCount), type->count) +
                     "\n";
            lines += Each("  field ", type->fields, [](const auto& field) {
                return TypedWords(field) + " at " + std::to_string(field.offset);
            });
            lines += Each("  value ", type->enumValues, [](const auto& value) {
                return Join(value.name, value.value, value.description);
            });
        }
        return lines + Each("event ", descriptor.events, [](const auto& event) {
                   return Join(event.name, event.nameSpace, event.dataTypeName, event.description,
                               Texts(event.tags, event.tagCount));
               });
    }

    int module_ = 0;
    Velto::BindingRegistry registry_;
    FunctionDescriptor orphanFunction_;  // bound, but unknown to the registry
    Velto::FunctionBindings bindings_;
    ApiDescription description_;
    const TypeDescriptor* operation_ = nullptr;
    const TypeDescriptor* change_ = nullptr;
    FunctionBinding* getChanges_ = nullptr;
};

// One entry per binding, in function name order, with the words of its function's record or
// zeros where it has none; the registry's types and events, also in name order. Built once.
TEST_F(ApiDescriptionTest, DescribesBindingsTypesAndEventsInNameOrderOnce) {
    const std::string expected =
        std::string("4|2|2\n") +
        "function GetChanges||0|17|0|Change|||0||Plugins,Plugin Test\n"
        "  binding /mek-active-boosts/v1/changes|2|0||0 calls GetChanges\n"
        "  locations \n"
        "function ListTexts||0|19|17|Change|||0||\n"
        "  binding |8|1|PURGE|2 calls ListTexts\n"
        "  locations \n"
        "  texts a,b\n"
        "  texts c\n"
        "function -|-|0|0|0|-|-|-|0|-|\n"
        "  binding /orphan|0|0||0 calls Orphan\n"
        "  locations 0;\n"
        "function UpdateChange||7|16|0|Operation|Updates one|See body|1|Change|\n"
        "  binding /changes/{history}|0|0||0 calls UpdateChange\n"
        "  argument id|the change|7|0||1\n"
        "  argument change||17|0|Change|0\n"
        "  argument code||16|0|Operation|0\n"
        "  argument history||15|16|Operation|0\n"
        "  argument label||12|0||0\n"
        "  argument odd||0|0||0\n"
        "  argument unnamed||17|0||0\n"
        "  locations 1;5;4;2;3;0;0;\n"
        "type Change||" +
        Join(sizeof(Change)) + "|One change|$builtin,async|5\n" +
        "  field operation|what|16|0|Operation|0 at " + Join(offsetof(Change, operation)) + "\n" +
        "  field id||7|0||0 at " + Join(offsetof(Change, id)) + "\n" +
        "  field history||15|16|Operation|0 at " + Join(offsetof(Change, history)) + "\n" +
        "  field code||16|0|Operation|0 at " + Join(offsetof(Change, code)) + "\n" +
        "  field note||12|0||1 at " + Join(offsetof(Change, note)) + "\n" +
        "type Operation||4|What happened||3\n"
        "  value Create|0|made\n"
        "  value Delete|2|\n"
        "  value Update|1|\n"
        "event OnChange||Change|Something changed|events\n"
        "event OnPing||||\n";
    EXPECT_EQ(Describe(), expected);

    const ApiDescriptor before = *Descriptor();
    Bind(Add("AddedLater"));
    description_.Build(&module_, registry_, bindings_, &FakeCall);
    EXPECT_EQ(std::memcmp(Descriptor(), &before, sizeof before), 0);
    EXPECT_EQ(Describe(), expected) << "after a second build";
}

// Contexts are known while their description lives, and no other pointer ever is.
TEST_F(ApiDescriptionTest, KnowsOnlyTheContextsOfLiveDescriptions) {
    const ApiFunctionEntry* entry = Descriptor()->functions;
    const char* context = static_cast<const char*>(+entry->callContext);
    const void* foreign[] = {nullptr, &module_, entry, Descriptor(), context + 1};
    for (const void* pointer : foreign) {
        EXPECT_EQ(ApiDescription::BindingOfCallContext(pointer), nullptr) << pointer;
    }
    auto other = std::make_unique<ApiDescription>();
    other->Build(&module_, registry_, bindings_, &FakeCall);
    const void* otherContext = other->Descriptor()->functions->callContext;
    ASSERT_EQ(ApiDescription::BindingOfCallContext(otherContext), getChanges_);
    other.reset();
    EXPECT_EQ(ApiDescription::BindingOfCallContext(otherContext), nullptr);
    EXPECT_EQ(ApiDescription::BindingOfCallContext(context), getChanges_);
}

}  // namespace
