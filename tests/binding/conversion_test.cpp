#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/dynamic_to_native.h"
#include "binding/field_converter.h"
#include "binding/record_conversion.h"
#include "platform/c_locale_numbers.h"
#include "tests/binding/conversion_test_support.h"
#include "tests/platform/comma_decimal_locale.h"

namespace {

using ConversionTest::Render;
using Velto::BindingProperty;
using Velto::BindingRegistry;
using Velto::BindingResult;
using Velto::EnumValue;
using Velto::TypeDescriptor;

enum class Colour : int32_t { Red = 1, Green = 2 };
enum class Small : int8_t { Low = -1, High = 1 };
enum class Wide : int64_t { Minus = -2, Plus = 2 };

struct Inner {
    int32_t x = 0;
    std::string label;
};

struct AllKinds {
    bool flag = false;
    int8_t i8 = 0;
    uint8_t u8 = 0;
    int16_t i16 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::string text;
    BindingProperty object;
    std::vector<uint8_t> blob;
    Colour colour = Colour::Red;
    Small small = Small::High;
    Wide wide = Wide::Plus;
    Inner inner;
    std::vector<int32_t> numbers;
    std::vector<std::string> words;
    std::unordered_map<std::string, std::string> names;
    std::vector<Inner> inners;
    std::unordered_map<std::string, Inner> innerMap;
    std::vector<Colour> colours;
    std::vector<std::vector<int32_t>> grid;
};

#define FIELD(member) Field<decltype(AllKinds::member)>(#member, offsetof(AllKinds, member))

void RegisterAll(BindingRegistry& registry) {
    registry.RegisterEnum<Colour>("Colour").Value("Red", 1).Value("Green", 2);
    registry.RegisterEnum<Small>("Small").Value("Low", -1).Value("High", 1);
    registry.RegisterEnum<Wide>("Wide").Value("Minus", -2).Value("Plus", 2);
    registry.RegisterStruct<Inner>("Inner")
        .Field<int32_t>("x", offsetof(Inner, x))
        .Field<std::string>("label", offsetof(Inner, label));
    registry.RegisterStruct<AllKinds>("AllKinds")
        .FIELD(flag)
        .FIELD(i8)
        .FIELD(u8)
        .FIELD(i16)
        .FIELD(u16)
        .FIELD(i32)
        .FIELD(u32)
        .FIELD(i64)
        .FIELD(u64)
        .FIELD(f32)
        .FIELD(f64)
        .FIELD(text)
        .FIELD(object)
        .FIELD(blob)
        .FIELD(colour)
        .FIELD(small)
        .FIELD(wide)
        .FIELD(inner)
        .FIELD(numbers)
        .FIELD(words)
        .FIELD(names)
        .FIELD(inners)
        .FIELD(innerMap)
        .FIELD(colours)
        .FIELD(grid);
}

BindingProperty List(std::initializer_list<BindingProperty> elements) {
    BindingProperty list;
    list.MakeCollection();
    for (const BindingProperty& element : elements) {
        list.Append() = element;
    }
    return list;
}

BindingProperty Object(std::initializer_list<std::pair<const char*, BindingProperty>> members) {
    BindingProperty object;
    object.MakeStructure();
    for (const auto& [name, value] : members) {
        object.Member(name) = value;
    }
    return object;
}

BindingProperty Enum(int32_t value) {
    return BindingProperty(EnumValue{value, &Velto::StaticType::HashCode<Colour>()});
}

BindingProperty Bytes(std::initializer_list<uint8_t> bytes) {
    return BindingProperty(std::vector<uint8_t>(bytes));
}

const Velto::FieldDescriptor& FieldOf(const TypeDescriptor& type, std::string_view name) {
    for (const Velto::FieldDescriptor& field : type.fields) {
        if (field.name == name) {
            return field;
        }
    }
    ADD_FAILURE() << "no field " << name;
    return type.fields.front();
}

struct Row {
    const char* field;
    BindingProperty input;
    std::string message;  // empty: the conversion succeeds
    std::string native;   // the field written back, rendered
};

class FieldConversion : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterAll(registry);
        type = registry.FindType("AllKinds");
        ASSERT_NE(type, nullptr);
    }

    void Check(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            AllKinds record;
            BindingResult status;
            BindingProperty input;
            input.Member(row.field) = row.input;
            Velto::ToStruct(status, &record, input, type, "record");
            EXPECT_EQ(status.succeeded, row.message.empty())
                << row.field << " " << Render(row.input);
            EXPECT_EQ(status.FailureMessage(), row.message)
                << row.field << " from " << Render(row.input);
            BindingResult written;
            Velto::WriteField(written, &record, FieldOf(*type, row.field));
            EXPECT_TRUE(written.succeeded);
            EXPECT_EQ(Render(written), row.native) << row.field << " from " << Render(row.input);
        }
    }

    BindingRegistry registry;
    const TypeDescriptor* type = nullptr;
};

const std::string kBoolFormat =
    " for 'flag' of type bool is in an incorrect format. Options are \"true\", \"false\", "
    "\"1\", \"0\".";

TEST_F(FieldConversion, BoolAcceptsExactWordsOnly) {
    Check({
        {"flag", true, "", "bool:true"},
        {"flag", "true", "", "bool:true"},
        {"flag", "1", "", "bool:true"},
        {"flag", "false", "", "bool:false"},
        {"flag", "0", "", "bool:false"},
        {"flag", "TRUE", "Value TRUE" + kBoolFormat, "bool:false"},
        {"flag", " true", "Value  true" + kBoolFormat, "bool:false"},
        {"flag", "", "Value " + kBoolFormat, "bool:false"},
        {"flag", 1,
         "Couldn't assign value to 'flag' of type bool because the input is of an invalid type "
         "signed.",
         "bool:false"},
        {"flag", 1.0,
         "Couldn't assign value to 'flag' of type bool because the input is of an invalid type "
         "float.",
         "bool:false"},
    });
}

TEST_F(FieldConversion, SignedIntegersKeepTheirKindsLimits) {
    Check({
        {"i8", 127, "", "signed:127"},
        {"i8", -128, "", "signed:-128"},
        {"i8", 128, "Value 128 for 'i8' of type int8 is out of range", "signed:0"},
        {"i8", -129, "Value -129 for 'i8' of type int8 is out of range", "signed:0"},
        {"i8", 300, "Value 300 for 'i8' of type int8 is out of range", "signed:0"},
        {"i8", 127u, "", "signed:127"},
        {"i8", 128u, "Value 128 for 'i8' of type int8 is out of range", "signed:0"},
        {"i8", 127.5, "Value 127.5 for 'i8' of type int8 is out of range", "signed:0"},
        {"i16", 32767, "", "signed:32767"},
        {"i16", -32768, "", "signed:-32768"},
        {"i16", 32768, "Value 32768 for 'i16' of type int16 is out of range", "signed:0"},
        {"i16", -32769, "Value -32769 for 'i16' of type int16 is out of range", "signed:0"},
        {"i32", 2147483647, "", "signed:2147483647"},
        {"i32", int64_t{-2147483648LL}, "", "signed:-2147483648"},
        {"i32", int64_t{2147483648LL}, "Value 2147483648 for 'i32' of type int32 is out of range",
         "signed:0"},
        {"i32", 3.9, "", "signed:3"},
        {"i32", -3.9, "", "signed:-3"},
        {"i32", std::nan(""), "Value nan for 'i32' of type int32 is out of range", "signed:0"},
        {"i32", Enum(2), "", "signed:2"},
        {"i64", INT64_MAX, "", "signed:9223372036854775807"},
        {"i64", INT64_MIN, "", "signed:-9223372036854775808"},
        {"i64", uint64_t{9223372036854775808ULL},
         "Value 9223372036854775808 for 'i64' of type int64 is out of range", "signed:0"},
        {"i64", 9223372036854775808.0, "Value 9.22337e+18 for 'i64' of type int64 is out of range",
         "signed:0"},
        {"i32", Bytes({1}),
         "Couldn't assign value to 'i32' of type int32 because the input is of an invalid type "
         "blob.",
         "signed:0"},
        {"i32", List({}),
         "Couldn't assign value to 'i32' of type int32 because the input is of an invalid type "
         "collection.",
         "signed:0"},
        {"i32", true,
         "Couldn't assign value to 'i32' of type int32 because the input is of an invalid type "
         "bool.",
         "signed:0"},
    });
}

TEST_F(FieldConversion, UnsignedIntegersRefuseNegativeValues) {
    Check({
        {"u8", 255, "", "unsigned:255"},
        {"u8", 256, "Value 256 for 'u8' of type uint8 is out of range", "unsigned:0"},
        {"u8", -1, "Value -1 for 'u8' of type uint8 is out of range", "unsigned:0"},
        {"u8", -0.5, "Value -0.5 for 'u8' of type uint8 is out of range", "unsigned:0"},
        {"u8", 255.0, "", "unsigned:255"},
        {"u8", 255.5, "Value 255.5 for 'u8' of type uint8 is out of range", "unsigned:0"},
        {"u8", Enum(-1), "Value -1 for 'u8' of type uint8 is out of range", "unsigned:0"},
        {"u16", 65535, "", "unsigned:65535"},
        {"u16", 65536, "Value 65536 for 'u16' of type uint16 is out of range", "unsigned:0"},
        {"u32", 4294967295u, "", "unsigned:4294967295"},
        {"u32", int64_t{4294967296LL}, "Value 4294967296 for 'u32' of type uint32 is out of range",
         "unsigned:0"},
        {"u32", -1, "Value -1 for 'u32' of type uint32 is out of range", "unsigned:0"},
        {"u64", UINT64_MAX, "", "unsigned:18446744073709551615"},
        {"u64", 18446744073709551616.0,
         "Value 1.84467e+19 for 'u64' of type uint64 is out of range", "unsigned:0"},
        {"u64", "hello", "Value hello for 'u64' of type uint64 is in an incorrect format",
         "unsigned:0"},
        {"u64", 1.0, "", "unsigned:1"},
        {"u32", "string", "Value string for 'u32' of type uint32 is in an incorrect format",
         "unsigned:0"},
    });
}

TEST_F(FieldConversion, IntegerTextsParseInBaseZero) {
    Check({
        {"i32", "0x10", "", "signed:16"},
        {"i32", "010", "", "signed:8"},
        {"i32", "-0x10", "", "signed:-16"},
        {"i32", "  42", "", "signed:42"},
        {"i32", "+7", "", "signed:7"},
        {"i32", "", "", "signed:0"},
        {"i32", "12abc", "Value 12abc for 'i32' of type int32 is in an incorrect format",
         "signed:0"},
        {"i32", "42 ", "Value 42  for 'i32' of type int32 is in an incorrect format", "signed:0"},
        {"i32", " ", "Value   for 'i32' of type int32 is in an incorrect format", "signed:0"},
        {"i32", "2147483648", "Value 2147483648 for 'i32' of type int32 is out of range",
         "signed:0"},
        {"i32", "12345678901234567890",
         "Value 12345678901234567890 for 'i32' of type int32 is out of range", "signed:0"},
        {"i64", "9223372036854775807", "", "signed:9223372036854775807"},
        {"i64", "-9223372036854775808", "", "signed:-9223372036854775808"},
        {"i64", "9223372036854775808",
         "Value 9223372036854775808 for 'i64' of type int64 is out of range", "signed:0"},
        {"i8", "0x80", "Value 0x80 for 'i8' of type int8 is out of range", "signed:0"},
        {"u64", "18446744073709551615", "", "unsigned:18446744073709551615"},
        {"u64", "0xFFFFFFFFFFFFFFFF", "", "unsigned:18446744073709551615"},
        {"u64", "18446744073709551616",
         "Value 18446744073709551616 for 'u64' of type uint64 is out of range", "unsigned:0"},
        {"u64", "-0", "Value -0 for 'u64' of type uint64 is out of range", "unsigned:0"},
        {"u64", "-1", "Value -1 for 'u64' of type uint64 is out of range", "unsigned:0"},
        {"u64", " -1", "Value  -1 for 'u64' of type uint64 is out of range", "unsigned:0"},
        {"u8", "0377", "", "unsigned:255"},
        {"u8", "0400", "Value 0400 for 'u8' of type uint8 is out of range", "unsigned:0"},
        {"u32", "", "", "unsigned:0"},
        {"u32", "08", "Value 08 for 'u32' of type uint32 is in an incorrect format", "unsigned:0"},
    });
}

TEST_F(FieldConversion, IntegerTextWithAnEmbeddedNulIsMalformed) {
    Check({
        {"i32",
         std::string_view("12\0"
                          "3",
                          4),
         "Value 12 for 'i32' of type int32 is in an incorrect format", "signed:0"},
    });
}

TEST_F(FieldConversion, FloatsKeepTheirRanges) {
    Check({
        {"f32", 1.5, "", "float:1.5"},
        {"f32", 7, "", "float:7"},
        {"f32", 7u, "", "float:7"},
        {"f32", 3.4028234663852886e38, "", "float:3.4028234663852886e+38"},
        {"f32", 3.5e38, "Value 3.5e+38 for 'f32' of type float is out of range", "float:0"},
        {"f32", -3.5e38, "Value -3.5e+38 for 'f32' of type float is out of range", "float:0"},
        {"f32", "1e39", "Value 1e39 for 'f32' of type float is out of range", "float:0"},
        {"f32", "0.25", "", "float:0.25"},
        {"f64", "1e308", "", "float:1e+308"},
        {"f64", "1e309", "Value 1e309 for 'f64' of type double is out of range", "float:0"},
        {"f64", "-1e309", "Value -1e309 for 'f64' of type double is out of range", "float:0"},
        {"f64", "0x1p3", "", "float:8"},
        {"f64", "0x1.8p1", "", "float:3"},
        {"f64", "inf", "Value inf for 'f64' of type double is out of range", "float:0"},
        {"f64", "-Infinity", "Value -Infinity for 'f64' of type double is out of range", "float:0"},
        {"f64", "nan", "", "float:nan"},
        {"f64", std::nan(""), "", "float:nan"},
        {"f64", std::numeric_limits<double>::infinity(),
         "Value inf for 'f64' of type double is out of range", "float:0"},
        {"f64", "2.2250738585072014e-308", "", "float:2.2250738585072014e-308"},
        {"f64", "1e-310", "Value 1e-310 for 'f64' of type double is out of range", "float:0"},
        {"f64", "1e-400", "Value 1e-400 for 'f64' of type double is out of range", "float:0"},
        {"f64", "", "", "float:0"},
        {"f64", " ", "Value   for 'f64' of type double is in an incorrect format", "float:0"},
        {"f64", "4.5abc", "Value 4.5abc for 'f64' of type double is in an incorrect format",
         "float:0"},
        {"f64", Enum(2), "", "float:2"},
        {"f64", INT64_MAX, "", "float:9.2233720368547758e+18"},
        {"f64", "x", "Value x for 'f64' of type double is in an incorrect format", "float:0"},
        {"f64", Object({}),
         "Couldn't assign value to 'f64' of type double because the input is of an invalid type "
         "structure.",
         "float:0"},
    });
}

// Texts are read, and numbers in messages printed, as in the "C" locale, whatever the host's.
TEST_F(FieldConversion, NumberTextsIgnoreACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    Check({
        {"f64", "1.5", "", "float:1.5"},
        {"f64", "1,5", "Value 1,5 for 'f64' of type double is in an incorrect format", "float:0"},
        {"f32", " -2.25e1", "", "float:-22.5"},
        {"f32", 3.5e38, "Value 3.5e+38 for 'f32' of type float is out of range", "float:0"},
        {"i32", "0x10", "", "signed:16"},
        {"u8", "256", "Value 256 for 'u8' of type uint8 is out of range", "unsigned:0"},
    });
}

TEST_F(FieldConversion, TextsAndEnumNames) {
    Check({
        {"text", "abc", "", "string:abc"},
        {"text", "", "", "string:"},
        {"text", Enum(2), "", "string:Green"},
        {"text", Enum(7), "7 is not a valid enumeration value for 'text'.", "string:"},
        {"text", 5, "Couldn't assign value to 'text' because the input is not a string.",
         "string:"},
    });
}

const std::string kBadBase64 =
    "Couldn't assign string value to 'blob' of type blob because the input has invalid base64 "
    "characters.";

TEST_F(FieldConversion, BlobsTakeBytesOrBase64) {
    Check({
        {"blob", "AQID", "", "blob:AQID"},
        {"blob", "AQI=", "", "blob:AQI="},
        {"blob", "", "", "blob:"},
        {"blob", Bytes({1, 2, 3}), "", "blob:AQID"},
        {"blob", "AQ*D", kBadBase64, "blob:"},
        {"blob", "AQ D", kBadBase64, "blob:"},
        {"blob", "AQ\nD", kBadBase64, "blob:"},
        {"blob", "AQ\xC3\xA9", kBadBase64, "blob:"},
        {"blob", 1, "Couldn't assign value to 'blob' of type blob because the input is not a blob.",
         "blob:"},
    });
}

const std::string kNotColour = " is not a valid Colour enumeration value for 'colour'.";

TEST_F(FieldConversion, EnumerationsByNameNumberAndText) {
    Check({
        {"colour", "Green", "", "enum:2"},
        {"colour", 2, "", "enum:2"},
        {"colour", 1u, "", "enum:1"},
        {"colour", "2", "", "enum:2"},
        {"colour", "0x1", "", "enum:1"},
        {"colour", Enum(2), "", "enum:2"},
        {"colour", "Blue", "Blue" + kNotColour, "enum:0"},
        {"colour", "green", "green" + kNotColour, "enum:0"},
        {"colour", "3", "3" + kNotColour, "enum:0"},
        {"colour", "99999999999", "99999999999" + kNotColour, "enum:0"},
        {"colour", 3, "3" + kNotColour, "enum:0"},
        {"colour", int64_t{4294967298LL}, "4294967298" + kNotColour, "enum:0"},
        {"colour", uint64_t{4294967298ULL}, "4294967298" + kNotColour, "enum:0"},
        {"colour", Enum(5), "5" + kNotColour, "enum:0"},
        {"colour", 1.0,
         "Couldn't assign value to 'colour' of enum type because the input is of an invalid "
         "type float.",
         "enum:0"},
        {"small", "Low", "", "enum:-1"},
        {"small", -1, "", "enum:-1"},
        {"wide", "Minus", "", "enum:-2"},
        {"wide", 2, "", "enum:2"},
    });
}

TEST_F(FieldConversion, ObjectsAreDeepCopiesOfAnyInput) {
    Check({
        {"object", 5, "", "signed:5"},
        {"object", Object({{"b", 1}, {"a", List({"x"})}}), "", "{a=[string:x],b=signed:1}"},
    });
}

TEST_F(FieldConversion, VectorsConvertElementsAndSkipEmptyOnes) {
    Check({
        {"numbers", List({1, BindingProperty(), "3"}), "", "[signed:1,signed:0,signed:3]"},
        {"numbers", List({}), "", "[]"},
        {"numbers", List({1, "x"}), "Value x for 'numbers' of type int32 is in an incorrect format",
         "[]"},
        {"numbers", 5,
         "Couldn't assign value to 'numbers' of type vector because the input not a collection.",
         "[]"},
        {"words", List({"a", Enum(1)}), "", "[string:a,string:Red]"},
        {"colours", List({"Red", 2}), "", "[enum:1,enum:2]"},
        {"colours", List({"Red", 3}), "3 is not a valid Colour enumeration value for 'colours'.",
         "[]"},
        {"inners", List({Object({{"x", 1}}), BindingProperty()}), "",
         "[{label=string:,x=signed:1},{label=string:,x=signed:0}]"},
        {"inners", List({"a"}),
         "Couldn't assign value to 'inners' of type Inner because the input not a structure.",
         "[]"},
        {"grid", List({List({1, 2}), List({})}), "", "[[signed:1,signed:2],[]]"},
        {"grid", List({List({"y"})}), "Value y for 'grid' of type int32 is in an incorrect format",
         "[]"},
    });
}

TEST_F(FieldConversion, MapsConvertMembersIntoEntries) {
    Check({
        {"names", Object({{"b", "2"}, {"a", "1"}, {"c", BindingProperty()}}), "",
         "{a=string:1,b=string:2}"},
        {"names", Object({}), "", "{}"},
        {"names", List({}),
         "Couldn't assign value to 'names' of type map because the input not a structure.", "{}"},
        {"names", Object({{"a", 1}}),
         "Couldn't assign value to 'names' because the input is not a string.", "{}"},
        {"innerMap", Object({{"k", Object({{"label", "v"}})}}), "",
         "{k={label=string:v,x=signed:0}}"},
    });
}

TEST_F(FieldConversion, NestedRecordsConvertFieldByField) {
    Check({
        {"inner", Object({{"x", 4}, {"label", "four"}, {"extra", true}}), "",
         "{label=string:four,x=signed:4}"},
        {"inner", Object({{"x", "bad"}}),
         "Value bad for 'x' of type int32 is in an incorrect format", "{label=string:,x=signed:0}"},
        {"inner", 5,
         "Couldn't assign value to 'inner' of type Inner because the input not a structure.",
         "{label=string:,x=signed:0}"},
    });
}

// Three fields that each hold a prior native value.
struct Triple {
    int32_t a = 10;
    int8_t b = 20;
    int32_t c = 30;
};

struct Strict {
    int32_t id = 7;
    int32_t other = 8;
};

class RecordConversion : public ::testing::Test {
  protected:
    void SetUp() override {
        registry.RegisterStruct<Triple>("Triple")
            .Field<int32_t>("a", offsetof(Triple, a))
            .Field<int8_t>("b", offsetof(Triple, b))
            .Field<int32_t>("c", offsetof(Triple, c));
        registry.RegisterStruct<Strict>("Strict")
            .Field<int32_t>("id", offsetof(Strict, id), "", Velto::kFieldRequired)
            .Field<int32_t>("other", offsetof(Strict, other), "", Velto::kFieldOmitZero);
        triple = registry.FindType("Triple");
        strict = registry.FindType("Strict");
    }

    BindingRegistry registry;
    const TypeDescriptor* triple = nullptr;
    const TypeDescriptor* strict = nullptr;
};

TEST_F(RecordConversion, FirstFailureStopsTheWalkAndKeepsLaterFields) {
    Triple record;
    BindingResult status;
    Velto::ToStruct(status, &record, Object({{"a", 1}, {"b", 300}, {"c", "bad"}}), triple, "t");
    EXPECT_FALSE(status.succeeded);
    EXPECT_EQ(status.FailureMessage(), "Value 300 for 'b' of type int8 is out of range");
    EXPECT_EQ(record.a, 1) << "fields before the failure keep their new values";
    EXPECT_EQ(record.b, 0) << "the failing field holds its default";
    EXPECT_EQ(record.c, 30) << "later fields are not touched";
}

TEST_F(RecordConversion, MissingMembersLeaveFieldsAndExtraMembersAreIgnored) {
    Triple record;
    BindingResult status;
    Velto::ToStruct(status, &record, Object({{"c", 3}, {"zzz", "x"}, {"a", BindingProperty()}}),
                    triple, "t");
    EXPECT_TRUE(status.succeeded) << status.FailureMessage();
    EXPECT_EQ(record.a, 10);
    EXPECT_EQ(record.b, 20);
    EXPECT_EQ(record.c, 3);
}

TEST_F(RecordConversion, RefusalsOfTheWholeRecord) {
    struct Case {
        BindingProperty input;
        const TypeDescriptor* descriptor;
        std::string message;
    };
    const std::vector<Case> cases = {
        {BindingProperty(), triple, "A value for 't' is required."},
        {BindingProperty(), nullptr, "A value for 't' is required."},
        {Object({}), nullptr,
         "Couldn't assign value to 't' because the input is an unregistered structure or not a "
         "structure at all."},
        {List({}), triple,
         "Couldn't assign value to 't' of type Triple because the input not a structure."},
        {Object({{"other", 1}}), strict,
         "Couldn't assign value to 't' of type Strict because the input structure doesn't have "
         "required field 'id'."},
        {Object({{"id", BindingProperty()}}), strict,
         "Couldn't assign value to 't' of type Strict because the input structure doesn't have "
         "required field 'id'."},
    };
    for (const Case& test : cases) {
        Triple record;
        BindingResult status;
        Velto::ToStruct(status, &record, test.input, test.descriptor, "t");
        EXPECT_FALSE(status.succeeded);
        EXPECT_EQ(status.FailureMessage(), test.message) << Render(test.input);
    }
}

TEST_F(RecordConversion, AFailedStatusMakesEveryConversionANoOp) {
    Triple record;
    BindingResult status;
    status.SetFailure("earlier");
    Velto::ToStruct(status, &record, Object({{"a", 1}}), triple, "t");
    EXPECT_EQ(record.a, 10);
    std::string text = "kept";
    Velto::ToText(status, text, BindingProperty("new"), "x", nullptr);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(Velto::ToSigned(status, BindingProperty(5), "x", 0, 9, "int32"), 0);
    EXPECT_EQ(status.FailureMessage(), "earlier");
}

TEST_F(RecordConversion, WritesMembersInByteWiseOrderAndOmitsZeroWhenAsked) {
    Strict record;
    BindingResult result;
    Velto::WriteStruct(result, &record, strict);
    EXPECT_EQ(Render(result), "{id=signed:7,other=signed:8}");
    record.other = 0;
    Velto::WriteStruct(result, &record, strict);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(Render(result), "{id=signed:7}");
}

struct Omitted {
    int32_t number = 0;
    std::string text;
    std::vector<int32_t> list;
    bool flag = false;
};

TEST(WriteStruct, OmitsZeroNumbersEmptyTextsAndEmptyVectors) {
    BindingRegistry registry;
    const TypeDescriptor* type =
        registry.RegisterStruct<Omitted>("Omitted")
            .Field<int32_t>("number", offsetof(Omitted, number), "", Velto::kFieldOmitZero)
            .Field<std::string>("text", offsetof(Omitted, text), "", Velto::kFieldOmitZero)
            .Field<std::vector<int32_t>>("list", offsetof(Omitted, list), "", Velto::kFieldOmitZero)
            .Field<bool>("flag", offsetof(Omitted, flag))
            .Descriptor();
    Omitted record;
    BindingResult result;
    Velto::WriteStruct(result, &record, type);
    EXPECT_EQ(Render(result), "{flag=bool:false}");
    record = Omitted{3, "t", {1}, true};
    Velto::WriteStruct(result, &record, type);
    EXPECT_EQ(Render(result), "{flag=bool:true,list=[signed:1],number=signed:3,text=string:t}");
}

struct Unknown {
    int32_t value = 0;
};

struct HoldsUnknown {
    int32_t first = 1;
    Unknown unknown;
    std::vector<Unknown> unknowns;
};

TEST(WriteStruct, UnregisteredRecordsFailWithTheFirstMessage) {
    BindingRegistry registry;
    const TypeDescriptor* type =
        registry.RegisterStruct<HoldsUnknown>("HoldsUnknown")
            .Field<int32_t>("first", offsetof(HoldsUnknown, first))
            .Field<Unknown>("unknown", offsetof(HoldsUnknown, unknown))
            .Field<std::vector<Unknown>>("unknowns", offsetof(HoldsUnknown, unknowns))
            .Descriptor();
    const std::string message =
        "Couldn't convert native value because it's an unregistered structure.";
    HoldsUnknown record;
    record.unknowns.resize(1);
    BindingResult result;
    Velto::WriteStruct(result, &record, type);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.FailureMessage(), message);
    Velto::WriteStruct(result, &record, nullptr);
    EXPECT_EQ(result.FailureMessage(), message);
    // A later success clears the flag: every native-to-dynamic call starts succeeded.
    Velto::WriteField(result, &record, type->fields[0]);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(Render(result), "signed:1");
}

TEST_F(FieldConversion, RoundTripKeepsEveryKind) {
    AllKinds record;
    record.flag = true;
    record.i8 = -8;
    record.u8 = 8;
    record.i16 = -16;
    record.u16 = 16;
    record.i32 = -32;
    record.u32 = 32;
    record.i64 = INT64_MIN;
    record.u64 = UINT64_MAX;
    record.f32 = 0.5f;
    record.f64 = -2.25;
    record.text = "text";
    record.object.Member("k") = "v";
    record.blob = {0, 255};
    record.colour = Colour::Green;
    record.small = Small::Low;
    record.wide = Wide::Minus;
    record.inner = Inner{5, "five"};
    record.numbers = {1, 2};
    record.words = {"a", ""};
    record.names = {{"x", "1"}, {"y", "2"}};
    record.inners = {Inner{1, "one"}};
    record.innerMap = {{"k", Inner{2, "two"}}};
    record.colours = {Colour::Red};
    record.grid = {{1}, {}};

    BindingResult written;
    Velto::FromNative(written, record, registry);
    ASSERT_TRUE(written.succeeded) << written.FailureMessage();
    AllKinds back;
    BindingResult status;
    Velto::ToNative(status, back, written, "record", registry);
    ASSERT_TRUE(status.succeeded) << status.FailureMessage();
    BindingResult again;
    Velto::FromNative(again, back, registry);
    EXPECT_EQ(Render(again), Render(written));
    EXPECT_EQ(back.i64, INT64_MIN);
    EXPECT_EQ(back.u64, UINT64_MAX);
    EXPECT_EQ(back.wide, Wide::Minus);
    EXPECT_EQ(back.names, record.names);
    EXPECT_EQ(Render(written.Find("small")), "enum:-1");
    EXPECT_EQ(written.Find("colour").GetEnum().identity, &Velto::StaticType::HashCode<Colour>());
}

TEST(TypedConversion, TopLevelValuesRequireAValue) {
    BindingRegistry registry;
    int32_t number = 4;
    BindingResult status;
    Velto::ToNative(status, number, BindingProperty(), "argument", registry);
    EXPECT_EQ(status.FailureMessage(), "A value for 'argument' is required.");
    BindingResult objectStatus;
    BindingProperty object = 1;
    Velto::ToNative(objectStatus, object, BindingProperty(), "argument", registry);
    EXPECT_TRUE(objectStatus.succeeded) << "an object accepts the empty value";
    EXPECT_TRUE(object.IsEmpty());
}

TEST(TypedConversion, FieldConvertersMatchTheGenericWalk) {
    BindingRegistry registry;
    const auto converter = Velto::FieldConverterFactory<std::vector<uint8_t>>::Make(
        Velto::TypeSpecOf<std::vector<uint8_t>>(registry));
    std::vector<uint8_t> blob;
    BindingResult status;
    converter->FromProperty(status, &blob, BindingProperty("AAE="), "data");
    EXPECT_TRUE(status.succeeded);
    EXPECT_EQ(blob, (std::vector<uint8_t>{0, 1}));
    BindingResult output;
    output.SetFailure("old");
    converter->ToProperty(output, &blob);
    EXPECT_TRUE(output.succeeded);
    EXPECT_EQ(Render(output), "blob:AAE=");
}

TEST(Strtod, DenormalResultsSetErangeOnThisLibrary) {
    // The out-of-range rule for "1e-310" above relies on this; it must hold on every build.
    errno = 0;
    const double value = Velto::Platform::StrtodC("1e-310", nullptr);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_GT(value, 0.0);
}

}  // namespace
