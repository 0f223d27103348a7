#include "binding/help_records.h"

#include <cstddef>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"

namespace Velto::BindingHelpProvider {
namespace {

// The 32-bit layout the host sees; other layouts register their own sizes.
constexpr bool kIs32Bit = sizeof(void*) == 4;
static_assert(!kIs32Bit || sizeof(FullTypeIdentifier) == 48);
static_assert(!kIs32Bit || sizeof(FullArgumentHelp) == 100);
static_assert(!kIs32Bit || sizeof(FullFunctionHelp) == 196);
static_assert(!kIs32Bit || sizeof(FullEnumValueHelp) == 52);
static_assert(!kIs32Bit || sizeof(FullFieldHelp) == 104);
static_assert(!kIs32Bit || sizeof(FullTypeHelp) == 112);
static_assert(!kIs32Bit || sizeof(FullEventHelp) == 132);
static_assert(!kIs32Bit || sizeof(FullApiHelp) == 36);

#define VELTO_HELP_FIELD(Record, member) \
    Field<decltype(Record::member)>(#member, offsetof(Record, member))

}  // namespace

void RegisterHelpRecords(BindingRegistry& registry) {
    registry.RegisterEnum<HelpFormat>("BindingHelpFormat")
        .Value("Full", 1, "Native help format")
        .Value("Epytext", 2, "Python epytext format")
        .Description("Help format for binding functions and types.");
    registry.RegisterStruct<FullTypeIdentifier>("BindingFullTypeIdentifier")
        .VELTO_HELP_FIELD(FullTypeIdentifier, type)
        .VELTO_HELP_FIELD(FullTypeIdentifier, elementType)
        .Description("Describes the type of a value.")
        .Tags({"$builtin", "help"});
    registry.RegisterStruct<FullArgumentHelp>("BindingFullArgumentHelp")
        .VELTO_HELP_FIELD(FullArgumentHelp, name)
        .VELTO_HELP_FIELD(FullArgumentHelp, description)
        .VELTO_HELP_FIELD(FullArgumentHelp, type)
        .VELTO_HELP_FIELD(FullArgumentHelp, optional)
        .Description("Describes a function parameter.")
        .Tags({"$builtin", "help"});
    registry.RegisterStruct<FullFunctionHelp>("BindingFullFunctionHelp")
        .VELTO_HELP_FIELD(FullFunctionHelp, name)
        .VELTO_HELP_FIELD(FullFunctionHelp, nameSpace)
        .VELTO_HELP_FIELD(FullFunctionHelp, arguments)
        .VELTO_HELP_FIELD(FullFunctionHelp, returns)
        .VELTO_HELP_FIELD(FullFunctionHelp, description)
        .VELTO_HELP_FIELD(FullFunctionHelp, help)
        .VELTO_HELP_FIELD(FullFunctionHelp, threadSafe)
        .VELTO_HELP_FIELD(FullFunctionHelp, async)
        .VELTO_HELP_FIELD(FullFunctionHelp, tags)
        .Description("Describes a function.")
        .Tags({"$builtin", "help"});
    registry.RegisterStruct<FullEnumValueHelp>("BindingFullEnumValueHelp")
        .VELTO_HELP_FIELD(FullEnumValueHelp, name)
        .VELTO_HELP_FIELD(FullEnumValueHelp, description)
        .VELTO_HELP_FIELD(FullEnumValueHelp, value)
        .Description("Describes an enumerator.")
        .Tags({"$builtin", "help"});
    registry.RegisterStruct<FullFieldHelp>("BindingFullFieldHelp")
        .VELTO_HELP_FIELD(FullFieldHelp, name)
        .VELTO_HELP_FIELD(FullFieldHelp, description)
        .VELTO_HELP_FIELD(FullFieldHelp, offset)
        .VELTO_HELP_FIELD(FullFieldHelp, type)
        .VELTO_HELP_FIELD(FullFieldHelp, optional)
        .Description("Describes a member of a struct.")
        .Tags({"$builtin", "help"});
    registry.RegisterStruct<FullTypeHelp>("BindingFullTypeHelp")
        .VELTO_HELP_FIELD(FullTypeHelp, name)
        .VELTO_HELP_FIELD(FullTypeHelp, nameSpace)
        .VELTO_HELP_FIELD(FullTypeHelp, size)
        .VELTO_HELP_FIELD(FullTypeHelp, description)
        .VELTO_HELP_FIELD(FullTypeHelp, tags)
        .VELTO_HELP_FIELD(FullTypeHelp, fields)
        .VELTO_HELP_FIELD(FullTypeHelp, values)
        .Description("Describes a struct or enum type.")
        .Tags({"$builtin", "help"});
    registry.RegisterStruct<FullEventHelp>("BindingFullEventHelp")
        .VELTO_HELP_FIELD(FullEventHelp, name)
        .VELTO_HELP_FIELD(FullEventHelp, nameSpace)
        .VELTO_HELP_FIELD(FullEventHelp, type)
        .VELTO_HELP_FIELD(FullEventHelp, description)
        .VELTO_HELP_FIELD(FullEventHelp, tags)
        .Description("Describes an event.")
        .Tags({"$builtin", "help"});
    registry.RegisterStruct<FullApiHelp>("BindingFullApiHelp")
        .VELTO_HELP_FIELD(FullApiHelp, functions)
        .VELTO_HELP_FIELD(FullApiHelp, types)
        .VELTO_HELP_FIELD(FullApiHelp, events)
        .Description("Describes the exposed native API.")
        .Tags({"$builtin", "help"});
}

}  // namespace Velto::BindingHelpProvider
