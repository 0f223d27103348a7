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

TEST(RegisterBuiltins, EarlierRegistrationsWinAndASecondCallLeavesOnlyTheBuiltInTypesAndOneEvent) {
    BindingRegistry registry;
    registry.RegisterStruct<int>("BindingGenericEvent").Description("mine");
    Velto::RegisterBuiltins(registry);
    EXPECT_EQ(registry.FindType("BindingGenericEvent")->description, "mine");
    registry.RegisterStruct<int>("Mine");
    registry.RegisterEvent<int>("OnMine");
    Velto::RegisterBuiltins(registry);
    EXPECT_EQ(registry.FindType("Mine"), nullptr);
    EXPECT_EQ(registry.FindEvent("OnMine"), nullptr);
    EXPECT_TRUE(registry.BuiltinsRegistered());
    std::string names;
    for (const TypeDescriptor* type : registry.SnapshotTypes()) {
        names += type->name + " ";
    }
    EXPECT_EQ(names,
              "BindingAsyncCancelEvent BindingAsyncFailureEvent BindingAsyncState "
              "BindingCallbackEvent BindingFullApiHelp BindingFullArgumentHelp "
              "BindingFullEnumValueHelp BindingFullEventHelp BindingFullFieldHelp "
              "BindingFullFunctionHelp BindingFullTypeHelp BindingFullTypeIdentifier "
              "BindingGenericAsyncEvent BindingGenericEvent BindingHelpFormat ");
    const std::vector<const Velto::EventDescriptor*> events = registry.SnapshotEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->name, "OnCallback");
    EXPECT_EQ(events[0]->type, registry.FindType("BindingCallbackEvent"));
    // The enumerators' numbers are what the host receives.
    std::string values;
    for (const char* name : {"BindingAsyncState", "BindingHelpFormat"}) {
        for (const auto& [value, enumerator] : registry.FindType(name)->values) {
            values += value + "=" + std::to_string(enumerator.value) + " ";
        }
    }
    EXPECT_EQ(values,
              "Cancelled=3 Cancelling=2 Failed=5 None=0 Running=1 Succeeded=4 Epytext=2 Full=1 ");
}

// Every field holds its own value, so the rendering shows each field's name, kind and place.
TEST(RegisterBuiltins, HelpRecordsRoundTripAndEventRecordsWriteTheirFields) {
    BindingRegistry registry;
    Velto::RegisterBuiltins(registry);
    Velto::BindingHelpProvider::FullApiHelp api;
    api.functions.push_back({"f",
                             "fn",
                             {{"a", "ad", {"int32", "ae"}, true}},
                             {"vector", "re"},
                             "fd",
                             "fh",
                             true,
                             "fa",
                             {"ft"}});
    api.types.push_back(
        {"T", "tn", 8, "td", {"tt"}, {{"x", "xd", 4, {"string", "xe"}, true}}, {{"V", "vd", -3}}});
    api.events.push_back({"OnX", "en", {"BindingGenericEvent", "ee"}, "ed", {"et"}});
    Velto::BindingResult written;
    Velto::FromNative(written, api, registry);
    ASSERT_TRUE(written.succeeded) << written.FailureMessage();
    EXPECT_EQ(
        ConversionTest::Render(written),
        "{events=[{description=string:ed,name=string:OnX,nameSpace=string:en,"
        "tags=[string:et],type={elementType=string:ee,type=string:BindingGenericEvent}}],"
        "functions=[{arguments=[{description=string:ad,name=string:a,optional=bool:true,"
        "type={elementType=string:ae,type=string:int32}}],async=string:fa,"
        "description=string:fd,help=string:fh,name=string:f,nameSpace=string:fn,"
        "returns={elementType=string:re,type=string:vector},tags=[string:ft],"
        "threadSafe=bool:true}],"
        "types=[{description=string:td,fields=[{description=string:xd,name=string:x,"
        "offset=unsigned:4,optional=bool:true,type={elementType=string:xe,type=string:string}}],"
        "name=string:T,nameSpace=string:tn,size=unsigned:8,tags=[string:tt],"
        "values=[{description=string:vd,name=string:V,value=signed:-3}]}]}");
    Velto::BindingHelpProvider::FullApiHelp back;
    Velto::BindingResult status;
    Velto::ToNative(status, back, written, "api", registry);
    ASSERT_TRUE(status.succeeded) << status.FailureMessage();
    Velto::BindingResult again;
    Velto::FromNative(again, back, registry);
    EXPECT_EQ(ConversionTest::Render(again), ConversionTest::Render(written));

    Velto::FromNative(written, Velto::BindingAsyncFailureEvent{12, "broken"}, registry);
    EXPECT_EQ(ConversionTest::Render(written), "{asyncToken=unsigned:12,error=string:broken}");
    Velto::FromNative(written, Velto::BindingGenericAsyncEvent{5, Velto::BindingProperty("d")},
                      registry);
    EXPECT_EQ(ConversionTest::Render(written), "{asyncToken=unsigned:5,data=string:d}");
    Velto::BindingCallbackEvent callback{3, {}};
    callback.parameters.emplace_back("p");
    Velto::FromNative(written, callback, registry);
    EXPECT_EQ(ConversionTest::Render(written), "{id=unsigned:3,parameters=[string:p]}");
}

}  // namespace
