#include "binding/builtins.h"

#include <gtest/gtest.h>

#include <regex>
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

// "name spec@offset 'description'" for each field, or "name=value 'description'" for each
// enumerator, joined by "; ". Offsets are those of the 32-bit layout, shown on 32-bit builds only.
std::string Describe(const TypeDescriptor& type) {
    std::string text;
    for (const Velto::FieldDescriptor& field : type.fields) {
        text += (text.empty() ? "" : "; ") + field.name + " " +
                ConversionTest::SpecText(field.spec) +
                (kIs32Bit ? "@" + std::to_string(field.offset) : "") +
                (field.description.empty() ? "" : " '" + field.description + "'");
        EXPECT_EQ(field.flags, 0u) << field.name;
        EXPECT_FALSE(field.optional) << field.name;
        EXPECT_NE(field.converter, nullptr) << field.name;
    }
    for (const auto& [name, value] : type.values) {
        text += (text.empty() ? "" : "; ") + name + "=" + std::to_string(value.value) + " '" +
                value.description + "'";
    }
    return text;
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

TEST(RegisterBuiltins, TypesHaveTheirFieldsValuesSizesDescriptionsAndTags) {
    using namespace Velto;
    using namespace Velto::BindingHelpProvider;
    BindingRegistry registry;
    RegisterBuiltins(registry);
    const std::vector<std::string> builtin = {"$builtin"};
    const std::vector<std::string> async = {"$builtin", "async"};
    const std::vector<std::string> help = {"$builtin", "help"};
    struct Case {
        const char* name;
        uint32_t size32;
        std::size_t nativeSize;
        std::vector<std::string> tags;
        const char* description;
        const char* contents;  // as Describe gives it on 32-bit builds
    };
    const Case cases[] = {
        {"BindingGenericEvent", 16, sizeof(BindingGenericEvent), builtin,
         "Represents generic data for an event.", "data object@0 'Event data'"},
        {"BindingCallbackEvent", 16, sizeof(BindingCallbackEvent), builtin,
         "Represents the parameters of a call to a provided callback.",
         "id uint32@0 'ID of the callback being invoked'; "
         "parameters vector<object>@4 'Callback parameters'"},
        {"BindingGenericAsyncEvent", 24, sizeof(BindingGenericAsyncEvent), async,
         "Represents generic data for an asynchronous event.",
         "asyncToken uint32@0 'Asynchronous operation token'; data object@8 'Event data'"},
        {"BindingAsyncFailureEvent", 28, sizeof(BindingAsyncFailureEvent), async,
         "Represents a failed asynchronous operation.",
         "asyncToken uint32@0 'Asynchronous operation token'; error string@4 'Error message'"},
        {"BindingAsyncCancelEvent", 4, sizeof(BindingAsyncCancelEvent), async,
         "Represents a cancelled asynchronous operation.",
         "asyncToken uint32@0 'Asynchronous operation token'"},
        {"BindingFullTypeIdentifier", 48, sizeof(FullTypeIdentifier), help,
         "Describes the type of a value.", "type string@0; elementType string@24"},
        {"BindingFullArgumentHelp", 100, sizeof(FullArgumentHelp), help,
         "Describes a function parameter.",
         "name string@0; description string@24; type struct:BindingFullTypeIdentifier@48; "
         "optional bool@96"},
        {"BindingFullFunctionHelp", 196, sizeof(FullFunctionHelp), help, "Describes a function.",
         "name string@0; nameSpace string@24; "
         "arguments vector<struct>:BindingFullArgumentHelp@48; "
         "returns struct:BindingFullTypeIdentifier@60; description string@108; help string@132; "
         "threadSafe bool@156; async string@160; tags vector<string>@184"},
        {"BindingFullEnumValueHelp", 52, sizeof(FullEnumValueHelp), help,
         "Describes an enumerator.", "name string@0; description string@24; value int32@48"},
        {"BindingFullFieldHelp", 104, sizeof(FullFieldHelp), help,
         "Describes a member of a struct.",
         "name string@0; description string@24; offset uint32@48; "
         "type struct:BindingFullTypeIdentifier@52; optional bool@100"},
        {"BindingFullTypeHelp", 112, sizeof(FullTypeHelp), help, "Describes a struct or enum type.",
         "name string@0; nameSpace string@24; size uint32@48; description string@52; "
         "tags vector<string>@76; fields vector<struct>:BindingFullFieldHelp@88; "
         "values vector<struct>:BindingFullEnumValueHelp@100"},
        {"BindingFullEventHelp", 132, sizeof(FullEventHelp), help, "Describes an event.",
         "name string@0; nameSpace string@24; type struct:BindingFullTypeIdentifier@48; "
         "description string@96; tags vector<string>@120"},
        {"BindingFullApiHelp", 36, sizeof(FullApiHelp), help, "Describes the exposed native API.",
         "functions vector<struct>:BindingFullFunctionHelp@0; "
         "types vector<struct>:BindingFullTypeHelp@12; "
         "events vector<struct>:BindingFullEventHelp@24"},
        // Enumerations, 4 bytes everywhere; values in name order.
        {"BindingAsyncState", 4, 4, async, "Possible states of an asynchronous operation.",
         "Cancelled=3 'The operation was cancelled'; "
         "Cancelling=2 'A request to cancel the operation has been made'; "
         "Failed=5 'The operation encountered an error'; None=0 'Invalid state'; "
         "Running=1 'The operation is in flight'; "
         "Succeeded=4 'The operation completed successfully'"},
        {"BindingHelpFormat",
         4,
         4,
         {},
         "Help format for binding functions and types.",
         "Epytext=2 'Python epytext format'; Full=1 'Native help format'"},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.name);
        const TypeDescriptor* type = registry.FindType(expected.name);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->isEnum, !type->values.empty());
        EXPECT_EQ(type->size, kIs32Bit ? expected.size32 : expected.nativeSize);
        EXPECT_EQ(type->description, expected.description);
        EXPECT_EQ(type->tags, expected.tags);
        const std::string contents = Describe(*type);
        EXPECT_EQ(contents, kIs32Bit
                                ? expected.contents
                                : std::regex_replace(expected.contents, std::regex("@[0-9]+"), ""));
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
