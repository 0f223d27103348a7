#include "host/api_description.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "host/host_call.h"
#include "host/transcript.h"

namespace Velto::TestHost {
namespace {

using namespace Client;
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

std::string TextOf(const char* text) {
    return text != nullptr ? text : "";
}

// Follows `next` links from `first`, stopping after `count` records or at a null link.
template <typename Record>
std::vector<const Record*> Walk(const Record* first, uint32_t count) {
    std::vector<const Record*> records;
    for (const Record* record = first; record != nullptr && records.size() < count;
         record = record->next) {
        records.push_back(record);
    }
    return records;
}

std::vector<std::string> CopyTags(const char* const* tags, uint32_t count) {
    std::vector<std::string> copy;
    for (uint32_t i = 0; tags != nullptr && i < count; ++i) {
        copy.push_back(TextOf(tags[i]));
    }
    return copy;
}

std::vector<ArgumentDescription> CopyArguments(const ApiFunctionEntry& entry) {
    const ApiFunctionSignature signature = entry.signature;
    const std::vector<const ApiArgumentLocationEntry*> locations =
        Walk<ApiArgumentLocationEntry>(entry.argumentLocations, signature.argumentCount);
    std::vector<ArgumentDescription> arguments;
    for (const ApiArgumentRecord* record :
         Walk<ApiArgumentRecord>(signature.arguments, signature.argumentCount)) {
        const std::size_t index = arguments.size();
        arguments.push_back(ArgumentDescription{
            TextOf(record->name),
            TypeDescription{record->kind, record->elementKind, TextOf(record->typeName)},
            record->optional != 0, index < locations.size() ? locations[index]->location : 0});
    }
    return arguments;
}

FunctionDescription CopyFunction(const ApiFunctionEntry& entry) {
    const ApiFunctionSignature signature = entry.signature;
    return FunctionDescription{
        TextOf(signature.name),
        TextOf(entry.route),
        entry.method,
        TextOf(entry.customMethod),
        CopyArguments(entry),
        TypeDescription{signature.returnsKind, signature.returnsElementKind,
                        TextOf(signature.returnsTypeName)},
        CopyTags(signature.tags, signature.tagCount),
    };
}

TypeRecordDescription CopyType(const ApiTypeRecord& record) {
    TypeRecordDescription type{TextOf(record.name), record.size, {}, {}};
    for (const ApiFieldRecord* field : Walk<ApiFieldRecord>(record.fields, record.count)) {
        type.fields.push_back(FieldDescription{
            TextOf(field->name), field->offset,
            TypeDescription{field->kind, field->elementKind, TextOf(field->typeName)},
            field->optional != 0});
    }
    if (record.fields == nullptr) {
        for (const ApiEnumValueRecord* value :
             Walk<ApiEnumValueRecord>(record.enumValues, record.count)) {
            type.values.push_back(EnumValueDescription{TextOf(value->name), value->value});
        }
    }
    return type;
}

const char* KindName(uint32_t kind) {
    static constexpr const char* kNames[] = {"void",   "bool",   "int8",   "uint8",    "int16",
                                             "uint16", "int32",  "uint32", "int64",    "uint64",
                                             "float",  "double", "string", "object",   "blob",
                                             "vector", "enum",   "struct", "callback", "map"};
    return kind < std::size(kNames) ? kNames[kind] : "unknown";
}

std::string MethodWord(uint32_t method, const std::string& customMethod) {
    return method == 0 ? "ANY" : MethodText(method, customMethod);
}

std::string ArgumentText(const ArgumentDescription& argument) {
    std::string text = argument.name + (argument.optional ? "?: " : ": ") + argument.type.ToText();
    if (argument.location != 0) {
        text += " in " + LocationName(argument.location);
    }
    return text;
}

std::string FunctionSummary(const FunctionDescription& function) {
    std::string text = "function " + function.name + " " +
                       MethodWord(function.method, function.customMethod) + " " +
                       (function.route.empty() ? "by name" : QuoteJson(function.route)) + " (";
    for (std::size_t i = 0; i < function.arguments.size(); ++i) {
        text += (i == 0 ? "" : ", ") + ArgumentText(function.arguments[i]);
    }
    return text + ") returns " + function.returns.ToText();
}

std::string TypeSummary(const TypeRecordDescription& type) {
    std::string members;
    for (const FieldDescription& field : type.fields) {
        members += (members.empty() ? "" : ", ") + field.name + (field.optional ? "?: " : ": ") +
                   field.type.ToText() + " @" + std::to_string(field.offset);
    }
    for (const EnumValueDescription& value : type.values) {
        members += (members.empty() ? "" : ", ") + value.name + "=" + std::to_string(value.value);
    }
    return "type " + type.name + " size=" + std::to_string(type.size) + " {" + members + "}";
}

std::string EventSummary(const EventDescription& event) {
    return "event " + event.name + (event.dataTypeName.empty() ? "" : " " + event.dataTypeName);
}

void WriteText(JsonWriter& writer, const char* key, const std::string& text) {
    writer.Key(key);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void WriteFunction(JsonWriter& writer, const FunctionDescription& function) {
    writer.StartObject();
    WriteText(writer, "name", function.name);
    WriteText(writer, "route", function.route);
    WriteText(writer, "method", MethodWord(function.method, function.customMethod));
    writer.Key("arguments");
    writer.StartArray();
    for (const ArgumentDescription& argument : function.arguments) {
        writer.StartObject();
        WriteText(writer, "name", argument.name);
        WriteText(writer, "type", argument.type.ToText());
        writer.Key("optional");
        writer.Bool(argument.optional);
        WriteText(writer, "location", LocationName(argument.location));
        writer.EndObject();
    }
    writer.EndArray();
    WriteText(writer, "returns", function.returns.ToText());
    writer.Key("tags");
    writer.StartArray();
    for (const std::string& tag : function.tags) {
        writer.String(tag.data(), static_cast<rapidjson::SizeType>(tag.size()));
    }
    writer.EndArray();
    writer.EndObject();
}

void WriteTypeRecord(JsonWriter& writer, const TypeRecordDescription& type) {
    writer.StartObject();
    WriteText(writer, "name", type.name);
    writer.Key("size");
    writer.Uint(type.size);
    writer.Key(type.values.empty() ? "fields" : "values");
    writer.StartArray();
    for (const FieldDescription& field : type.fields) {
        writer.StartObject();
        WriteText(writer, "name", field.name);
        writer.Key("offset");
        writer.Uint(field.offset);
        WriteText(writer, "type", field.type.ToText());
        writer.Key("optional");
        writer.Bool(field.optional);
        writer.EndObject();
    }
    for (const EnumValueDescription& value : type.values) {
        writer.StartObject();
        WriteText(writer, "name", value.name);
        writer.Key("value");
        writer.Int(value.value);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
}

void WriteEvent(JsonWriter& writer, const EventDescription& event) {
    writer.StartObject();
    WriteText(writer, "name", event.name);
    WriteText(writer, "dataType", event.dataTypeName);
    writer.EndObject();
}

template <typename Item, typename Write>
void WriteList(JsonWriter& writer, const char* key, const std::vector<Item>& items, Write write) {
    writer.Key(key);
    writer.StartArray();
    for (const Item& item : items) {
        write(writer, item);
    }
    writer.EndArray();
}

}  // namespace

std::string TypeDescription::ToText() const {
    auto named = [this](uint32_t of) {
        return (of == 16 || of == 17) && !typeName.empty() ? typeName : std::string(KindName(of));
    };
    if (kind == 15 || kind == 19) {
        return std::string(KindName(kind)) + "<" + named(elementKind) + ">";
    }
    return named(kind);
}

std::string LocationName(uint32_t location) {
    static constexpr const char* kNames[] = {"anywhere", "query",  "path",
                                             "direct",   "header", "body"};
    return location < std::size(kNames) ? kNames[location] : std::to_string(location);
}

std::vector<const ApiFunctionEntry*> FunctionEntries(const ApiDescriptor& descriptor) {
    return Walk<ApiFunctionEntry>(descriptor.functions, descriptor.functionCount);
}

ApiDescription ApiDescription::CopyOf(const ApiDescriptor* descriptor) {
    ApiDescription description;
    if (descriptor == nullptr) {
        return description;
    }
    for (const ApiFunctionEntry* entry : FunctionEntries(*descriptor)) {
        description.functions.push_back(CopyFunction(*entry));
    }
    for (const ApiTypeRecord* record :
         Walk<ApiTypeRecord>(descriptor->types, descriptor->typeCount)) {
        description.types.push_back(CopyType(*record));
    }
    for (const ApiEventRecord* record :
         Walk<ApiEventRecord>(descriptor->events, descriptor->eventCount)) {
        description.events.push_back(
            EventDescription{TextOf(record->name), TextOf(record->dataTypeName)});
    }
    return description;
}

std::vector<std::string> ApiDescription::Summaries() const {
    std::vector<std::string> lines;
    for (const FunctionDescription& function : functions) {
        lines.push_back(FunctionSummary(function));
    }
    for (const TypeRecordDescription& type : types) {
        lines.push_back(TypeSummary(type));
    }
    for (const EventDescription& event : events) {
        lines.push_back(EventSummary(event));
    }
    return lines;
}

std::string ApiDescription::ToJson() const {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    WriteList(writer, "functions", functions, &WriteFunction);
    WriteList(writer, "types", types, &WriteTypeRecord);
    WriteList(writer, "events", events, &WriteEvent);
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Velto::TestHost
