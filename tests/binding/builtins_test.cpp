#include "binding/builtins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "binding/help_records.h"
#include "binding/record_conversion.h"
#include "tests/binding/conversion_test_support.h"

namespace {

using Velto::BindingRegistry;
using Velto::TypeDescriptor;
using Velto::TypeKind;

constexpr bool kIs32Bit = sizeof(void*) == 4;

std::vector<std::string> Names(const std::vector<const TypeDescriptor*>& types) {
    std::vector<std::string> names;
    for (const TypeDescriptor* type : types) {
        names.push_back(type->name);
    }
    return names;
}

struct ExpectedField {
    const char* name;
    TypeKind kind;
    TypeKind elementKind;
    const char* typeName;  // the registered record or enumeration, or ""
    uint32_t offset32;     // offset on the 32-bit layout
    const char* description;
};

struct ExpectedType {
    const char* name;
    uint32_t size32;
    uint32_t nativeSize;
    const char* description;
    std::vector<std::string> tags;
    std::vector<ExpectedField> fields;
};

std::vector<ExpectedType> ExpectedRecords() {
    using namespace Velto;
    using namespace Velto::BindingHelpProvider;
    constexpr TypeKind S = TypeKind::String;
    constexpr TypeKind N = TypeKind::None;
    const std::vector<std::string> help = {"$builtin", "help"};
    const std::vector<std::string> async = {"$builtin", "async"};
    return {
        {"BindingGenericEvent",
         16,
         sizeof(BindingGenericEvent),
         "Represents generic data for an event.",
         {"$builtin"},
         {{"data", TypeKind::Object, N, "", 0, "Event data"}}},
        {"BindingCallbackEvent",
         16,
         sizeof(BindingCallbackEvent),
         "Represents the parameters of a call to a provided callback.",
         {"$builtin"},
         {{"id", TypeKind::Uint32, N, "", 0, "ID of the callback being invoked"},
          {"parameters", TypeKind::Vector, TypeKind::Object, "", 4, "Callback parameters"}}},
        {"BindingGenericAsyncEvent",
         24,
         sizeof(BindingGenericAsyncEvent),
         "Represents generic data for an asynchronous event.",
         async,
         {{"asyncToken", TypeKind::Uint32, N, "", 0, "Asynchronous operation token"},
          {"data", TypeKind::Object, N, "", 8, "Event data"}}},
        {"BindingAsyncFailureEvent",
         28,
         sizeof(BindingAsyncFailureEvent),
         "Represents a failed asynchronous operation.",
         async,
         {{"asyncToken", TypeKind::Uint32, N, "", 0, "Asynchronous operation token"},
          {"error", S, N, "", 4, "Error message"}}},
        {"BindingAsyncCancelEvent",
         4,
         sizeof(BindingAsyncCancelEvent),
         "Represents a cancelled asynchronous operation.",
         async,
         {{"asyncToken", TypeKind::Uint32, N, "", 0, "Asynchronous operation token"}}},
        {"BindingFullTypeIdentifier",
         48,
         sizeof(FullTypeIdentifier),
         "Describes the type of a value.",
         help,
         {{"type", S, N, "", 0, ""}, {"elementType", S, N, "", 24, ""}}},
        {"BindingFullArgumentHelp",
         100,
         sizeof(FullArgumentHelp),
         "Describes a function parameter.",
         help,
         {{"name", S, N, "", 0, ""},
          {"description", S, N, "", 24, ""},
          {"type", TypeKind::Struct, N, "BindingFullTypeIdentifier", 48, ""},
          {"optional", TypeKind::Bool, N, "", 96, ""}}},
        {"BindingFullFunctionHelp",
         196,
         sizeof(FullFunctionHelp),
         "Describes a function.",
         help,
         {{"name", S, N, "", 0, ""},
          {"nameSpace", S, N, "", 24, ""},
          {"arguments", TypeKind::Vector, TypeKind::Struct, "BindingFullArgumentHelp", 48, ""},
          {"returns", TypeKind::Struct, N, "BindingFullTypeIdentifier", 60, ""},
          {"description", S, N, "", 108, ""},
          {"help", S, N, "", 132, ""},
          {"threadSafe", TypeKind::Bool, N, "", 156, ""},
          {"async", S, N, "", 160, ""},
          {"tags", TypeKind::Vector, S, "", 184, ""}}},
        {"BindingFullEnumValueHelp",
         52,
         sizeof(FullEnumValueHelp),
         "Describes an enumerator.",
         help,
         {{"name", S, N, "", 0, ""},
          {"description", S, N, "", 24, ""},
          {"value", TypeKind::Int32, N, "", 48, ""}}},
        {"BindingFullFieldHelp",
         104,
         sizeof(FullFieldHelp),
         "Describes a member of a struct.",
         help,
         {{"name", S, N, "", 0, ""},
          {"description", S, N, "", 24, ""},
          {"offset", TypeKind::Uint32, N, "", 48, ""},
          {"type", TypeKind::Struct, N, "BindingFullTypeIdentifier", 52, ""},
          {"optional", TypeKind::Bool, N, "", 100, ""}}},
        {"BindingFullTypeHelp",
         112,
         sizeof(FullTypeHelp),
         "Describes a struct or enum type.",
         help,
         {{"name", S, N, "", 0, ""},
          {"nameSpace", S, N, "", 24, ""},
          {"size", TypeKind::Uint32, N, "", 48, ""},
          {"description", S, N, "", 52, ""},
          {"tags", TypeKind::Vector, S, "", 76, ""},
          {"fields", TypeKind::Vector, TypeKind::Struct, "BindingFullFieldHelp", 88, ""},
          {"values", TypeKind::Vector, TypeKind::Struct, "BindingFullEnumValueHelp", 100, ""}}},
        {"BindingFullEventHelp",
         132,
         sizeof(FullEventHelp),
         "Describes an event.",
         help,
         {{"name", S, N, "", 0, ""},
          {"nameSpace", S, N, "", 24, ""},
          {"type", TypeKind::Struct, N, "BindingFullTypeIdentifier", 48, ""},
          {"description", S, N, "", 96, ""},
          {"tags", TypeKind::Vector, S, "", 120, ""}}},
        {"BindingFullApiHelp",
         36,
         sizeof(FullApiHelp),
         "Describes the exposed native API.",
         help,
         {{"functions", TypeKind::Vector, TypeKind::Struct, "BindingFullFunctionHelp", 0, ""},
          {"types", TypeKind::Vector, TypeKind::Struct, "BindingFullTypeHelp", 12, ""},
          {"events", TypeKind::Vector, TypeKind::Struct, "BindingFullEventHelp", 24, ""}}},
    };
}

TEST(RegisterBuiltins, ListsTheBuiltInTypesAndOneEvent) {
    BindingRegistry registry;
    Velto::RegisterBuiltins(registry);
    EXPECT_TRUE(registry.BuiltinsRegistered());
    EXPECT_EQ(Names(registry.SnapshotTypes()),
              (std::vector<std::string>{
                  "BindingAsyncCancelEvent", "BindingAsyncFailureEvent", "BindingAsyncState",
                  "BindingCallbackEvent", "BindingFullApiHelp", "BindingFullArgumentHelp",
                  "BindingFullEnumValueHelp", "BindingFullEventHelp", "BindingFullFieldHelp",
                  "BindingFullFunctionHelp", "BindingFullTypeHelp", "BindingFullTypeIdentifier",
                  "BindingGenericAsyncEvent", "BindingGenericEvent", "BindingHelpFormat"}));
    const std::vector<const Velto::EventDescriptor*> events = registry.SnapshotEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->name, "OnCallback");
    EXPECT_EQ(events[0]->type, registry.FindType("BindingCallbackEvent"));
    EXPECT_EQ(events[0]->description, "Fired when a callback is invoked.");
    EXPECT_EQ(events[0]->tags, std::vector<std::string>{"$builtin"});
}

TEST(RegisterBuiltins, RecordsHaveTheirFieldsSizesDescriptionsAndTags) {
    BindingRegistry registry;
    Velto::RegisterBuiltins(registry);
    for (const ExpectedType& expected : ExpectedRecords()) {
        SCOPED_TRACE(expected.name);
        const TypeDescriptor* type = registry.FindType(expected.name);
        ASSERT_NE(type, nullptr);
        EXPECT_FALSE(type->isEnum);
        EXPECT_EQ(type->size, kIs32Bit ? expected.size32 : expected.nativeSize);
        EXPECT_EQ(type->description, expected.description);
        EXPECT_EQ(type->tags, expected.tags);
        ASSERT_EQ(type->fields.size(), expected.fields.size());
        for (std::size_t index = 0; index < expected.fields.size(); ++index) {
            const Velto::FieldDescriptor& field = type->fields[index];
            const ExpectedField& want = expected.fields[index];
            SCOPED_TRACE(want.name);
            EXPECT_EQ(field.name, want.name);
            EXPECT_EQ(field.spec.kind, want.kind);
            EXPECT_EQ(field.spec.elementKind, want.elementKind);
            EXPECT_EQ(field.spec.descriptor != nullptr ? field.spec.descriptor->name : "",
                      want.typeName);
            EXPECT_EQ(field.description, want.description);
            EXPECT_EQ(field.flags, 0u);
            EXPECT_FALSE(field.optional);
            EXPECT_NE(field.converter, nullptr);
            if (kIs32Bit) {
                EXPECT_EQ(field.offset, want.offset32);
            }
        }
    }
}

struct ExpectedValue {
    const char* name;
    int32_t value;
    const char* description;
};

TEST(RegisterBuiltins, EnumerationsHaveTheirValues) {
    BindingRegistry registry;
    Velto::RegisterBuiltins(registry);
    struct Case {
        const char* name;
        const char* description;
        std::vector<std::string> tags;
        std::vector<ExpectedValue> values;  // in name order
    };
    const Case cases[] = {
        {"BindingAsyncState",
         "Possible states of an asynchronous operation.",
         {"$builtin", "async"},
         {{"Cancelled", 3, "The operation was cancelled"},
          {"Cancelling", 2, "A request to cancel the operation has been made"},
          {"Failed", 5, "The operation encountered an error"},
          {"None", 0, "Invalid state"},
          {"Running", 1, "The operation is in flight"},
          {"Succeeded", 4, "The operation completed successfully"}}},
        {"BindingHelpFormat",
         "Help format for binding functions and types.",
         {},
         {{"Epytext", 2, "Python epytext format"}, {"Full", 1, "Native help format"}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const TypeDescriptor* type = registry.FindType(test.name);
        ASSERT_NE(type, nullptr);
        EXPECT_TRUE(type->isEnum);
        EXPECT_EQ(type->size, 4u);
        EXPECT_EQ(type->description, test.description);
        EXPECT_EQ(type->tags, test.tags);
        ASSERT_EQ(type->values.size(), test.values.size());
        auto value = type->values.begin();
        for (const ExpectedValue& want : test.values) {
            EXPECT_EQ(value->first, want.name);
            EXPECT_EQ(value->second.value, want.value);
            EXPECT_EQ(value->second.description, want.description);
            ++value;
        }
    }
}

TEST(RegisterBuiltins, ASecondCallStartsFromAnEmptyRegistry) {
    BindingRegistry registry;
    Velto::RegisterBuiltins(registry);
    registry.RegisterStruct<int>("Mine");
    registry.RegisterEvent<int>("OnMine");
    Velto::RegisterBuiltins(registry);
    EXPECT_EQ(registry.FindType("Mine"), nullptr);
    EXPECT_EQ(registry.FindEvent("OnMine"), nullptr);
    EXPECT_EQ(registry.SnapshotTypes().size(), 15u);
    EXPECT_NE(registry.FindEvent("OnCallback"), nullptr);
    EXPECT_TRUE(registry.BuiltinsRegistered());
}

TEST(RegisterBuiltins, EarlierRegistrationsOfABuiltInNameWin) {
    BindingRegistry registry;
    registry.RegisterStruct<int>("BindingGenericEvent").Description("mine");
    Velto::RegisterBuiltins(registry);
    EXPECT_EQ(registry.FindType("BindingGenericEvent")->description, "mine");
}

TEST(RegisterBuiltins, AFailureEventConvertsToTokenAndError) {
    BindingRegistry registry;
    Velto::RegisterBuiltins(registry);
    Velto::BindingAsyncFailureEvent event{12, "broken"};
    Velto::BindingResult result;
    Velto::FromNative(result, event, registry);
    ASSERT_TRUE(result.succeeded);
    EXPECT_EQ(ConversionTest::Render(result), "{asyncToken=unsigned:12,error=string:broken}");
    Velto::BindingCallbackEvent callback;
    Velto::BindingResult status;
    Velto::BindingProperty input;
    input.Member("id") = 3;
    input.Member("parameters").Append() = "p";
    Velto::ToNative(status, callback, input, "event", registry);
    ASSERT_TRUE(status.succeeded) << status.FailureMessage();
    EXPECT_EQ(callback.id, 3u);
    ASSERT_EQ(callback.parameters.size(), 1u);
    EXPECT_EQ(callback.parameters[0].GetString(), "p");
}

TEST(RegisterBuiltins, HelpRecordsRoundTrip) {
    BindingRegistry registry;
    Velto::RegisterBuiltins(registry);
    Velto::BindingHelpProvider::FullApiHelp api;
    api.functions.resize(1);
    api.functions[0].name = "f";
    api.functions[0].arguments.push_back({"a", "arg", {"int32", ""}, true});
    api.types.resize(1);
    api.types[0].fields.push_back({"x", "", 4, {"string", ""}, false});
    api.types[0].values.push_back({"V", "", -3});
    api.events.push_back({"OnX", "", {"BindingGenericEvent", ""}, "d", {"t"}});
    Velto::BindingResult written;
    Velto::FromNative(written, api, registry);
    ASSERT_TRUE(written.succeeded) << written.FailureMessage();
    Velto::BindingHelpProvider::FullApiHelp back;
    Velto::BindingResult status;
    Velto::ToNative(status, back, written, "api", registry);
    ASSERT_TRUE(status.succeeded) << status.FailureMessage();
    Velto::BindingResult again;
    Velto::FromNative(again, back, registry);
    EXPECT_EQ(ConversionTest::Render(again), ConversionTest::Render(written));
    EXPECT_EQ(back.types[0].values[0].value, -3);
    EXPECT_TRUE(back.functions[0].arguments[0].optional);
}

}  // namespace
