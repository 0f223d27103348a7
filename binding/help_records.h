// Native records that describe an API: functions with their arguments, types with their fields
// and values, events, and the whole API. Registered among the built-in types (binding/builtins.h)
// under "Binding" followed by the record's name, tagged "$builtin" and "help".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Velto {

class BindingRegistry;

namespace BindingHelpProvider {

enum class HelpFormat : int32_t {
    Full = 1,
    Epytext = 2,
};

struct FullTypeIdentifier {
    std::string type;
    std::string elementType;
};

struct FullArgumentHelp {
    std::string name;
    std::string description;
    FullTypeIdentifier type;
    bool optional = false;
};

struct FullFunctionHelp {
    std::string name;
    std::string nameSpace;
    std::vector<FullArgumentHelp> arguments;
    FullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string async;
    std::vector<std::string> tags;
};

struct FullEnumValueHelp {
    std::string name;
    std::string description;
    int32_t value = 0;
};

struct FullFieldHelp {
    std::string name;
    std::string description;
    uint32_t offset = 0;
    FullTypeIdentifier type;
    bool optional = false;
};

struct FullTypeHelp {
    std::string name;
    std::string nameSpace;
    uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<FullFieldHelp> fields;
    std::vector<FullEnumValueHelp> values;
};

struct FullEventHelp {
    std::string name;
    std::string nameSpace;
    FullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
};

struct FullApiHelp {
    std::vector<FullFunctionHelp> functions;
    std::vector<FullTypeHelp> types;
    std::vector<FullEventHelp> events;
};

// Registers "BindingHelpFormat", then the eight help records in the order above (each record's
// nested records come before it). Get-or-create: existing names keep their first definition.
void RegisterHelpRecords(BindingRegistry& registry);

}  // namespace BindingHelpProvider
}  // namespace Velto
