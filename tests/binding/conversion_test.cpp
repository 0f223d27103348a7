// Conversions between dynamic values and native records: the field kinds, whole records, the
// shortcuts record conversion takes, and optional fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/dynamic_to_native.h"
#include "binding/field_converter.h"
#include "binding/record_conversion.h"
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

const TypeDescriptor* RegisterAll(BindingRegistry& registry) {
    registry.RegisterEnum<Colour>("Colour").Value("Red", 1).Value("Green", 2);
    registry.RegisterEnum<Small>("Small").Value("Low", -1).Value("High", 1);
    registry.RegisterEnum<Wide>("Wide").Value("Minus", -2).Value("Plus", 2);
    registry.RegisterStruct<Inner>("Inner")
        .Field<int32_t>("x", offsetof(Inner, x))
        .Field<std::string>("label", offsetof(Inner, label));
    Velto::TypeBuilder all = registry.RegisterStruct<AllKinds>("AllKinds");
    all.FIELD(flag).FIELD(i8).FIELD(u8).FIELD(i16).FIELD(u16).FIELD(i32).FIELD(u32).FIELD(i64);
    all.FIELD(u64).FIELD(f32).FIELD(f64).FIELD(text).FIELD(blob).FIELD(colour);
    all.FIELD(small).FIELD(wide).FIELD(inner).FIELD(numbers).FIELD(words).FIELD(names);
    return all.FIELD(inners).FIELD(innerMap).FIELD(colours).FIELD(grid).Descriptor();
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

// `expected` is the field written back, rendered, when the conversion succeeds, else the failure
// message; "range:X", "format:X" and "invalid:K" stand for the usual messages about input X or
// an input of kind K.
struct Row {
    const char* field;
    BindingProperty input;
    std::string expected;
};

class FieldConversion : public ::testing::Test {
  protected:
    void SetUp() override { type = RegisterAll(registry); }

    // The usual message for `field`, named in messages by its (element) kind.
    static std::string Expand(const std::string& expected, const Velto::FieldDescriptor& field) {
        const Velto::TypeKind kind = field.spec.elementKind != Velto::TypeKind::None
                                         ? field.spec.elementKind
                                         : field.spec.kind;
        const std::string where = "'" + field.name + "' of type " + Velto::KindName(kind);
        const std::string head = expected.substr(0, expected.find(':') + 1);
        const std::string rest = expected.substr(head.size());
        if (head == "range:" || head == "format:") {
            return "Value " + rest + " for " + where +
                   (head == "range:" ? " is out of range" : " is in an incorrect format");
        }
        if (head == "invalid:") {
            return "Couldn't assign value to " + where +
                   " because the input is of an invalid type " + rest + ".";
        }
        return expected;
    }

    // Reads each row's input into its field, then writes the field back.
    void Check(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.field) + " from " + Render(row.input));
            AllKinds record;
            BindingResult status;
            Velto::ToStruct(status, &record, Object({{row.field, row.input}}), type, "record");
            const auto found = std::ranges::find(type->fields, std::string(row.field),
                                                 &Velto::FieldDescriptor::name);
            ASSERT_NE(found, type->fields.end());
            const Velto::FieldDescriptor& field = *found;
            BindingResult written;
            Velto::WriteField(written, &record, field);
            EXPECT_EQ(status.succeeded ? Render(written) : status.FailureMessage(),
                      Expand(row.expected, field));
            if (written.Kind() == Velto::ValueKind::Enum) {
                EXPECT_EQ(written.GetEnum().identity, field.identity);
            }
        }
    }

    BindingRegistry registry;
    const TypeDescriptor* type = nullptr;
};

TEST_F(FieldConversion, NumbersKeepTheirKindsLimitsAndUnsignedOnesRefuseNegativeValues) {
    Check({
        {"i8", 127, "signed:127"},
        {"i8", 128, "range:128"},
        {"i8", -129, "range:-129"},
        {"i8", 127u, "signed:127"},
        {"i8", 127.5, "range:127.5"},
        {"i16", 32768, "range:32768"},
        {"i32", 3.9, "signed:3"},
        {"i32", std::nan(""), "range:nan"},
        {"i32", Enum(2), "signed:2"},
        {"i64", uint64_t{9223372036854775808ULL}, "range:9223372036854775808"},
        {"i64", 9223372036854775808.0, "range:9.22337e+18"},
        {"i32", true, "invalid:bool"},
        // Unsigned kinds refuse negative values.
        {"u8", 255, "unsigned:255"},
        {"u8", 256, "range:256"},
        {"u8", -1, "range:-1"},
        {"u8", -0.5, "range:-0.5"},
        {"u8", 255.0, "unsigned:255"},
        {"u8", 255.5, "range:255.5"},
        {"u8", Enum(-1), "range:-1"},
        {"u16", 65536, "range:65536"},
        {"u64", 18446744073709551616.0, "range:1.84467e+19"},
        {"u64", "hello", "format:hello"},
        // Texts parse in base zero.
        {"i32", "0x10", "signed:16"},
        {"i32", "2147483648", "range:2147483648"},
        // An embedded NUL makes the text malformed; the message stops at it.
        {"i32", std::string_view("12\0003", 4), "format:12"},
        {"i64", "9223372036854775807", "signed:9223372036854775807"},
        {"i64", "9223372036854775808", "range:9223372036854775808"},
        {"u64", "18446744073709551615", "unsigned:18446744073709551615"},
        {"u64", "18446744073709551616", "range:18446744073709551616"},
        {"u64", "-0", "range:-0"},
        {"u8", "0400", "range:0400"},
        {"u32", "", "unsigned:0"},
        // Floats keep their ranges.
        {"f32", 7, "float:7"},
        {"f32", 7u, "float:7"},
        {"f32", 3.4028234663852886e38, "float:3.4028234663852886e+38"},
        {"f32", 3.5e38, "range:3.5e+38"},
        {"f32", -3.5e38, "range:-3.5e+38"},
        {"f32", "1e39", "range:1e39"},
        {"f64", "-Infinity", "range:-Infinity"},
        {"f64", "2.2250738585072014e-308", "float:2.2250738585072014e-308"},
        {"f64", "1e-310", "range:1e-310"},
        {"f64", "4.5abc", "format:4.5abc"},
        {"f64", Enum(2), "float:2"},
        {"f64", Object({}), "invalid:structure"},
    });
}

// Texts are read, and numbers in messages printed, as in the "C" locale, whatever the host's.
TEST_F(FieldConversion, NumberTextsIgnoreACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    Check({
        {"f64", "1.5", "float:1.5"},
        {"f64", "1,5", "format:1,5"},
        {"f32", 3.5e38, "range:3.5e+38"},
    });
}

TEST_F(FieldConversion, BoolsTakeExactWordsOnlyAndTextsAndBlobsTheirKinds) {
    const std::string bad =
        "Couldn't assign string value to 'blob' of type blob because the "
        "input has invalid base64 characters.";
    Check({
        {"flag", "true", "bool:true"},
        {"flag", "1", "bool:true"},
        {"flag", "false", "bool:false"},
        {"flag", "0", "bool:false"},
        {"flag", "TRUE",
         "Value TRUE for 'flag' of type bool is in an incorrect format. Options are \"true\", "
         "\"false\", \"1\", \"0\"."},
        {"flag", 1, "invalid:signed"},
        {"text", Enum(7), "7 is not a valid enumeration value for 'text'."},
        {"blob", "AQI=", "blob:AQI="},
        {"blob", std::vector<uint8_t>{1, 2, 3}, "blob:AQID"},
        {"blob", "AQ\nD", bad},
        {"blob", "AQ\xC3\xA9", bad},
        {"blob", 1,
         "Couldn't assign value to 'blob' of type blob because the input is not a blob."},
    });
}

TEST_F(FieldConversion, EnumerationsByNameNumberAndText) {
    const std::string no = " is not a valid Colour enumeration value for 'colour'.";
    Check({
        {"colour", 1u, "enum:1"},
        {"colour", "2", "enum:2"},
        {"colour", "Blue", "Blue" + no},
        {"colour", "3", "3" + no},
        {"colour", int64_t{4294967298LL}, "4294967298" + no},
        {"colour", uint64_t{4294967298ULL}, "4294967298" + no},
        {"colour", Enum(5), "5" + no},
        {"colour", 1.0,
         "Couldn't assign value to 'colour' of enum type because the input is of an "
         "invalid type float."},
        {"small", -1, "enum:-1"},
        {"wide", "Minus", "enum:-2"},
    });
}

TEST_F(FieldConversion, ContainersConvertTheirPartsAndSkipEmptyElements) {
    const std::string notA = "Couldn't assign value to '";
    Check({
        {"numbers", List({1, "x"}), "format:x"},
        {"numbers", 5, notA + "numbers' of type vector because the input not a collection."},
        {"words", List({"a", Enum(1)}), "[string:a,string:Red]"},
        {"colours", List({"Red", 2}), "[enum:1,enum:2]"},
        {"inners", List({Object({{"x", 1}}), BindingProperty()}),
         "[{label=string:,x=signed:1},{label=string:,x=signed:0}]"},
        {"names", Object({{"b", "2"}, {"a", "1"}, {"c", BindingProperty()}}),
         "{a=string:1,b=string:2}"},
        {"names", List({}), notA + "names' of type map because the input not a structure."},
        {"names", Object({{"a", 1}}), notA + "names' because the input is not a string."},
        {"innerMap", Object({{"k", Object({{"label", "v"}})}}), "{k={label=string:v,x=signed:0}}"},
    });
}

// Three fields that each hold a prior native value.
struct Triple {
    int32_t a = 10;
    int8_t b = 20;
    int32_t c = 30;
};

class RecordConversion : public ::testing::Test {
  protected:
    void SetUp() override {
        triple = registry.RegisterStruct<Triple>("Triple")
                     .Field<int32_t>("a", offsetof(Triple, a))
                     .Field<int8_t>("b", offsetof(Triple, b))
                     .Field<int32_t>("c", offsetof(Triple, c))
                     .Descriptor();
        // Its one required field lies over the record's first.
        strict = registry.RegisterType(sizeof(Triple), "Strict", Velto::VoidIdentity(), false)
                     .Field<int32_t>("id", 0, "", Velto::kFieldRequired)
                     .Descriptor();
    }

    BindingRegistry registry;
    const TypeDescriptor* triple = nullptr;
    const TypeDescriptor* strict = nullptr;
};

TEST_F(RecordConversion, ReadsStopAtTheFirstFailureAndLeaveMissingFieldsAlone) {
    const std::string untouched = "{a=signed:10,b=signed:20,c=signed:30}";
    const std::tuple<BindingProperty, const TypeDescriptor*, std::string, std::string> cases[] = {
        // Fields before the failure keep their new values, the failing one holds its default,
        // later ones are not touched.
        {Object({{"a", 1}, {"b", 300}, {"c", "bad"}}), triple,
         "Value 300 for 'b' of type int8 is out of range", "{a=signed:1,b=signed:0,c=signed:30}"},
        // Missing or empty members leave their fields; extra members are ignored.
        {Object({{"c", 3}, {"zzz", "x"}, {"a", BindingProperty()}}), triple, "",
         "{a=signed:10,b=signed:20,c=signed:3}"},
        {Object({}), triple, "", untouched},
        {BindingProperty(), triple, "A value for 't' is required.", untouched},
        {Object({}), nullptr,
         "Couldn't assign value to 't' because the input is an unregistered structure or not a "
         "structure at all.",
         untouched},
        {List({}), triple,
         "Couldn't assign value to 't' of type Triple because the input not a structure.",
         untouched},
        {Object({{"id", BindingProperty()}}), strict,
         "Couldn't assign value to 't' of type Strict because the input structure doesn't have "
         "required field 'id'.",
         untouched},
    };
    for (const auto& [input, descriptor, message, after] : cases) {
        SCOPED_TRACE(Render(input) + " as " +
                     (descriptor != nullptr ? descriptor->name : "no type"));
        Triple record;
        BindingResult status;
        Velto::ToStruct(status, &record, input, descriptor, "t");
        EXPECT_EQ(status.FailureMessage(), message);
        BindingResult written;
        Velto::WriteStruct(written, &record, triple);
        EXPECT_EQ(Render(written), after);
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

TEST_F(RecordConversion, TopLevelValuesRequireAValueExceptObjects) {
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

TEST_F(RecordConversion, AFieldConverterWritesAsTheGenericWalk) {
    const auto converter = Velto::FieldConverterFactory<std::vector<uint8_t>>::Make(
        Velto::TypeSpecOf<std::vector<uint8_t>>(registry));
    const std::vector<uint8_t> blob = {0, 1};
    BindingResult output;
    output.SetFailure("old");
    converter->ToProperty(output, &blob);
    EXPECT_TRUE(output.succeeded);
    EXPECT_EQ(Render(output), "blob:AAE=");
}

TEST_F(RecordConversion, WritesMembersInByteWiseOrderAndOmitsZeroWhenAsked) {
    // Zero numbers, empty texts and empty vectors are all omitted. Upper case sorts first, and a
    // name before the longer names it starts.
    const TypeDescriptor* type =
        registry.RegisterStruct<AllKinds>("Omitted")
            .Field<int32_t>("number", offsetof(AllKinds, i32), "", Velto::kFieldOmitZero)
            .Field<std::string>("Text", offsetof(AllKinds, text), "", Velto::kFieldOmitZero)
            .Field<std::vector<int32_t>>("numbers", offsetof(AllKinds, numbers), "",
                                         Velto::kFieldOmitZero)
            .Field<bool>("flag", offsetof(AllKinds, flag))
            .Descriptor();
    AllKinds omitted;
    BindingResult result;
    Velto::WriteStruct(result, &omitted, type);
    EXPECT_EQ(Render(result), "{flag=bool:false}");
    omitted.i32 = 3;
    omitted.text = "t";
    omitted.numbers = {1};
    omitted.flag = true;
    Velto::WriteStruct(result, &omitted, type);
    EXPECT_EQ(Render(result), "{Text=string:t,flag=bool:true,number=signed:3,numbers=[signed:1]}");
}

// Fails every write with a message naming the field's kind.
struct FailingConverter : Velto::FieldConverter {
    explicit FailingConverter(Velto::TypeKind kind) : kind(kind) {}
    static std::unique_ptr<Velto::FieldConverter> Make(const Velto::TypeSpec& spec) {
        return std::make_unique<FailingConverter>(spec.kind);
    }
    void FromProperty(BindingResult&, void*, const BindingProperty&,
                      std::string_view) const override {}
    void ToProperty(BindingResult& output, const void*) const override {
        output.SetFailure(std::string("bad ") + Velto::KindName(kind));
    }
    Velto::TypeKind kind;
};

TEST_F(RecordConversion, WritingFailsWithTheFirstFailureInRegistrationOrder) {
    // Inner is not registered here. The failing converters do not read their fields' memory.
    const TypeDescriptor* type =
        registry.RegisterStruct<AllKinds>("Failing")
            .Field<int32_t>("ok", offsetof(AllKinds, i32))
            .Field<uint32_t, FailingConverter>("zulu", 0, "", 0, {}, true)
            .Field<int32_t, FailingConverter>("alpha", 0, "", 0, {}, true)
            .Field<Inner>("unknown", offsetof(AllKinds, inner))
            .Field<std::vector<Inner>>("unknowns", offsetof(AllKinds, inners))
            .Descriptor();
    AllKinds record;
    record.i32 = 1;
    record.inners.resize(1);
    // Every native-to-dynamic call starts succeeded, whatever the result held.
    BindingResult result;
    const auto outcome = [&result] {
        return (result.succeeded ? Render(result) : std::string(result.FailureMessage())) + "\n";
    };
    Velto::WriteStruct(result, &record, type);
    std::string transcript = "record: " + outcome();
    Velto::WriteStruct(result, &record, nullptr);
    transcript += "no type: " + outcome();
    for (const Velto::FieldDescriptor& field : type->fields) {
        Velto::WriteField(result, &record, field);
        transcript += field.name + ": " + outcome();
    }
    EXPECT_EQ(transcript, R"(record: bad uint32
no type: Couldn't convert native value because it's an unregistered structure.
ok: signed:1
zulu: bad uint32
alpha: bad int32
unknown: Couldn't convert native value because it's an unregistered structure.
unknowns: Couldn't convert native value because it's an unregistered structure.
)");
}

struct Maybe {
    std::optional<int32_t> count;
    std::optional<std::string> label;
    std::optional<Inner> point;
    std::optional<std::vector<uint8_t>> levels;
};

// A value present converts as its type and an absent one is empty; an empty input clears the
// field, and a failed conversion keeps it.
TEST_F(RecordConversion, OptionalFields) {
    registry.RegisterStruct<Inner>("Inner").Field<int32_t>("x", offsetof(Inner, x));
    const TypeDescriptor* type =
        registry.RegisterStruct<Maybe>("Maybe")
            .Field<std::optional<int32_t>>("count", offsetof(Maybe, count))
            .Field<std::optional<std::string>>("label", offsetof(Maybe, label))
            .Field<std::optional<Inner>>("point", offsetof(Maybe, point))
            .Field<std::optional<std::vector<uint8_t>>>("levels", offsetof(Maybe, levels))
            .Descriptor();
    const Maybe full{-5, "name", Inner{7, "not registered"}, std::vector<uint8_t>{1, 2}};
    BindingResult written;
    Velto::WriteStruct(written, &full, type);
    EXPECT_EQ(Render(written),
              "{count=signed:-5,label=string:name,levels=blob:AQI=,point={x=signed:7}}");
    Maybe back;
    BindingResult status;
    Velto::ToStruct(status, &back, written, type, "maybe");
    ASSERT_TRUE(status.succeeded) << status.FailureMessage();
    BindingResult again;
    Velto::WriteStruct(again, &back, type);
    EXPECT_EQ(Render(again), Render(written));

    back = Maybe{};
    Velto::WriteStruct(written, &back, type);
    EXPECT_EQ(Render(written), "{count=empty,label=empty,levels=empty,point=empty}");

    const auto& converter = *type->fields[0].converter;
    std::optional<int32_t> count = 3;
    converter.FromProperty(status, &count, BindingProperty(), "count");
    EXPECT_FALSE(count.has_value());
    count = 3;
    converter.FromProperty(status, &count, BindingProperty(int64_t{1} << 40), "count");
    EXPECT_EQ(status.FailureMessage(),
              "Value 1099511627776 for 'count' of type int32 is out of range");
    EXPECT_EQ(count, 3);
}

}  // namespace
