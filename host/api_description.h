// The plug-in's API description as plain data: a copy of the ApiDescriptor it wrote into the load
// context, with its functions, types and events, and its readable and JSON forms.
//
// The descriptor's records live in the plug-in's memory; the copy keeps no pointer into them, so
// it stays usable after the module is gone. The walk is defensive: each list is followed by its
// `next` links and stops at its count or at the first null link, whichever comes first; null texts
// are copied as empty texts and null arrays as empty lists. A record's pointers must still point
// at readable memory: the host cannot check that.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_boundary.h"

namespace Velto::TestHost {

using Client::ApiDescriptor;
using Client::ApiFunctionEntry;

// What a field, argument or return value holds: TypeKind numbers and the registered type's name.
struct TypeDescription {
    uint32_t kind = 0;
    uint32_t elementKind = 0;
    std::string typeName;

    // E.g. "int32", "FakeItem", "vector<int32>", "map<FakeItem>"; "void" for kind 0 and
    // "unknown" for kinds above 19.
    std::string ToText() const;
};

struct ArgumentDescription {
    std::string name;
    TypeDescription type;
    bool optional = false;
    uint32_t location = 0;  // ArgumentLocation: 0 anywhere, 1 query, 2 path, 3 direct, 4 header,
                            // 5 body; 0 when the entry lists fewer locations than arguments
};

struct FunctionDescription {
    std::string name;
    std::string route;  // empty: the function is addressed by its name
    uint32_t method = 0;
    std::string customMethod;
    std::vector<ArgumentDescription> arguments;
    TypeDescription returns;
    std::vector<std::string> tags;
};

struct FieldDescription {
    std::string name;
    uint32_t offset = 0;
    TypeDescription type;
    bool optional = false;
};

struct EnumValueDescription {
    std::string name;
    int32_t value = 0;
};

// A record (with fields) or an enumeration (with values).
struct TypeRecordDescription {
    std::string name;
    uint32_t size = 0;
    std::vector<FieldDescription> fields;
    std::vector<EnumValueDescription> values;
};

struct EventDescription {
    std::string name;
    std::string dataTypeName;
};

struct ApiDescription {
    std::vector<FunctionDescription> functions;  // in the order of FunctionEntries
    std::vector<TypeRecordDescription> types;
    std::vector<EventDescription> events;

    // The copy of `descriptor`; empty for null.
    static ApiDescription CopyOf(const ApiDescriptor* descriptor);

    // One readable line per function, type and event, e.g.
    //   function PostItem POST "/fake/v1/items/{id}" (id: string in path, item: FakeItem in
    //   body) returns FakeItem
    //   type FakeItem size=32 {id: int32 @0, name: string @8}
    //   type FakeColour size=4 {Blue=2, Red=1}
    //   event OnFakeEvent FakeItem
    std::vector<std::string> Summaries() const;
    // One JSON object: {"functions": [...], "types": [...], "events": [...]}.
    std::string ToJson() const;
};

// The function entries in list order, walked as described above.
std::vector<const ApiFunctionEntry*> FunctionEntries(const ApiDescriptor& descriptor);

// The name of an ArgumentLocation: "anywhere", "query", "path", "direct", "header", "body", or
// the number for others.
std::string LocationName(uint32_t location);

}  // namespace Velto::TestHost
