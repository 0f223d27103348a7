#include "formats/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "formats/nesting_limit.h"
#include "tests/binding/same_tree.h"

namespace {

using Velto::BindingProperty;
using Velto::BindingResult;
using Velto::ReadJson;
using Velto::ValueKind;

struct NumberCase {
    const char* text;
    ValueKind kind;
    int64_t signedValue;
    uint64_t unsignedValue;
    double floatValue;
};

TEST(JsonReader, ReadsNumbersByWidthAndSign) {
    const NumberCase cases[] = {
        {"0", ValueKind::Unsigned, 0, 0, 0},
        {"5", ValueKind::Unsigned, 0, 5, 0},
        {"-5", ValueKind::Signed, -5, 0, 0},
        {"-0", ValueKind::Signed, 0, 0, 0},
        {"4294967295", ValueKind::Unsigned, 0, 4294967295u, 0},
        {"4294967296", ValueKind::Unsigned, 0, 4294967296u, 0},
        {"-2147483648", ValueKind::Signed, INT32_MIN, 0, 0},
        {"-2147483649", ValueKind::Signed, -2147483649, 0, 0},
        {"-4294967296", ValueKind::Signed, -4294967296, 0, 0},
        {"18446744073709551615", ValueKind::Unsigned, 0, UINT64_MAX, 0},
        {"-9223372036854775808", ValueKind::Signed, INT64_MIN, 0, 0},
        {"18446744073709551616", ValueKind::Float, 0, 0, 18446744073709551616.0},
        {"-9223372036854775809", ValueKind::Float, 0, 0, -9223372036854775809.0},
        {"1.5", ValueKind::Float, 0, 0, 1.5},
        {"5.0", ValueKind::Float, 0, 0, 5.0},
        {"1e2", ValueKind::Float, 0, 0, 100.0},
        {"-2.5E-3", ValueKind::Float, 0, 0, -0.0025},
        // Nearest doubles, where a fast conversion is a unit in the last place off.
        {"4.7764532767287607e-219", ValueKind::Float, 0, 0, 4.7764532767287607e-219},
        {"0.0000001e-300", ValueKind::Float, 0, 0, 1e-307},
        {"-3.7854635797286895e-22", ValueKind::Float, 0, 0, -3.7854635797286895e-22},
        // Zero significands with exponents are zero.
        {"0e-300", ValueKind::Float, 0, 0, 0.0},
        {"-0.0e300", ValueKind::Float, 0, 0, -0.0},
        {"1e-400", ValueKind::Float, 0, 0, 0.0},
    };
    for (const NumberCase& test : cases) {
        const BindingResult result = ReadJson(test.text);
        ASSERT_TRUE(result.succeeded) << test.text << ": " << result.FailureMessage();
        EXPECT_EQ(result.Kind(), test.kind)
            << test.text << " read as " << ValueKindName(result.Kind());
        EXPECT_EQ(result.GetSigned(), test.signedValue) << test.text;
        EXPECT_EQ(result.GetUnsigned(), test.unsignedValue) << test.text;
        EXPECT_EQ(result.GetFloat(), test.floatValue) << test.text;
    }
}

TEST(JsonReader, ReadsLiteralsAndStrings) {
    EXPECT_EQ(ReadJson("true").GetBool(false), true);
    EXPECT_EQ(ReadJson("false").GetBool(true), false);
    const BindingResult null = ReadJson("null");
    EXPECT_TRUE(null.succeeded);
    EXPECT_TRUE(null.IsEmpty());
    EXPECT_EQ(ReadJson(R"("caf\u00e9 \"q\" \\ \n")").GetString(), "caf\xc3\xa9 \"q\" \\ \n");
    EXPECT_EQ(ReadJson(R"("\ud83d\ude00")").GetString(), "\xf0\x9f\x98\x80");
    EXPECT_EQ(ReadJson(R"("")").Kind(), ValueKind::String);
}

TEST(JsonReader, EmptyOrWhitespaceTextReadsAsEmptyValue) {
    for (const char* text : {"", " ", "   ", " \t\r\n ", "\n"}) {
        const BindingResult result = ReadJson(text);
        EXPECT_TRUE(result.succeeded) << '"' << text << "\": " << result.FailureMessage();
        EXPECT_TRUE(result.IsEmpty()) << '"' << text << '"';
    }
    EXPECT_TRUE(ReadJson(nullptr).succeeded);
    EXPECT_TRUE(ReadJson(nullptr).IsEmpty());
    EXPECT_TRUE(ReadJson(std::string("  ")).IsEmpty());
}

TEST(JsonReader, WhitespaceAroundTheRootIsAllowed) {
    const BindingResult result = ReadJson(" \r\n\t[1] \n\t ");
    ASSERT_TRUE(result.succeeded) << result.FailureMessage();
    EXPECT_EQ(result.Size(), 1u);
}

struct ErrorCase {
    const char* text;
    const char* message;
};

TEST(JsonReader, ReportsEachParseErrorWithItsOffset) {
    const ErrorCase cases[] = {
        {"1 2", "Error: The document root must not follow by other values. at offset 2."},
        {"{} x", "Error: The document root must not follow by other values. at offset 3."},
        {"[1]\n[2]", "Error: The document root must not follow by other values. at offset 4."},
        {"nul", "Error: Invalid value. at offset 3."},
        {"NaN", "Error: Invalid value. at offset 0."},
        {"-Infinity", "Error: Invalid value. at offset 1."},
        {"'a'", "Error: Invalid value. at offset 0."},
        {"// note\n1", "Error: Invalid value. at offset 0."},
        {"[1,]", "Error: Invalid value. at offset 3."},
        {"[1", "Error: Missing a comma or ']' after an array element. at offset 2."},
        {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
        {"{", "Error: Missing a name for object member. at offset 1."},
        {R"({"a":1,})", "Error: Missing a name for object member. at offset 7."},
        {"{a:1}", "Error: Missing a name for object member. at offset 1."},
        {R"({"a" 1})", "Error: Missing a colon after a name of object member. at offset 5."},
        {R"({"a":1 "b":2})", "Error: Missing a comma or '}' after an object member. at offset 7."},
        {R"("abc)", "Error: Missing a closing quotation mark in string. at offset 4."},
        {R"("\x")", "Error: Invalid escape character in string. at offset 1."},
        {R"("\u12")", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
        {R"("\ud800")", "Error: The surrogate pair in string is invalid. at offset 1."},
        {"\"a\tb\"", "Error: Invalid escape character in string. at offset 2."},
        {"1.", "Error: Miss fraction part in number. at offset 2."},
        {"1e", "Error: Miss exponent in number. at offset 2."},
        {"1e400", "Error: Number too big to be stored in double. at offset 0."},
        {"1.8e308", "Error: Number too big to be stored in double. at offset 0."},
        {"[1, -922147480e+300]", "Error: Number too big to be stored in double. at offset 4."},
        {R"({"a": 17976931348623159e292})",
         "Error: Number too big to be stored in double. at offset 6."},
    };
    for (const ErrorCase& test : cases) {
        const BindingResult result = ReadJson(test.text);
        EXPECT_FALSE(result.succeeded) << test.text;
        EXPECT_EQ(result.FailureMessage(), test.message) << "input: " << test.text;
        EXPECT_EQ(result.Find("error").GetString(), test.message) << "input: " << test.text;
    }
}

TEST(JsonReader, StringOverloadReadsTheSameCharacters) {
    EXPECT_EQ(ReadJson(std::string("1 2")).FailureMessage(),
              "Error: The document root must not follow by other values. at offset 2.");
    EXPECT_EQ(ReadJson(std::string("[7]")).At(0).GetUnsigned(), 7u);
}

TEST(JsonReader, BuildsNestedContainers) {
    const BindingResult result =
        ReadJson(R"({"b": [1, -2, {"c": null, "d": []}, "x"], "a": {}, "e": [[true]]})");
    ASSERT_TRUE(result.succeeded) << result.FailureMessage();
    ASSERT_EQ(result.Kind(), ValueKind::Structure);
    EXPECT_EQ(result.Size(), 3u);
    EXPECT_EQ(result.Find("a").Kind(), ValueKind::Structure);
    EXPECT_EQ(result.Find("a").Size(), 0u);
    const BindingProperty& b = result.Find("b");
    ASSERT_EQ(b.Kind(), ValueKind::Collection);
    ASSERT_EQ(b.Size(), 4u);
    EXPECT_EQ(b.At(0).GetUnsigned(), 1u);
    EXPECT_EQ(b.At(1).GetSigned(), -2);
    EXPECT_EQ(b.At(2).Size(), 2u);
    EXPECT_TRUE(b.At(2).Find("c").IsEmpty());
    EXPECT_EQ(b.At(2).Find("d").Kind(), ValueKind::Collection);
    EXPECT_EQ(b.At(3).GetString(), "x");
    EXPECT_TRUE(result.Find("e").At(0).At(0).GetBool());
}

TEST(JsonReader, RepeatedKeyKeepsTheLastValue) {
    const BindingResult result = ReadJson(R"({"a": 1, "b": 2, "a": [3]})");
    ASSERT_TRUE(result.succeeded) << result.FailureMessage();
    EXPECT_EQ(result.Size(), 2u);
    EXPECT_EQ(result.Find("a").Kind(), ValueKind::Collection);
    EXPECT_EQ(result.Find("a").At(0).GetUnsigned(), 3u);
    EXPECT_EQ(ReadJson(R"({"a": 1, "a": 2})").Find("a").GetUnsigned(), 2u);
}

TEST(JsonReader, RepeatedKeysAddressTheSameMemberAtAnyDepth) {
    struct Case {
        const char* text;
        const char* member;  // of the last record
        const char* expected;
    };
    // Records before the repeat establish their keys; a repeated key in a later one, a null
    // that keeps the earlier value, and containers given again that keep what they hold.
    const Case cases[] = {
        {R"([{"a":1,"b":2},{"a":1,"b":2,"a":3}])", "a", "3"},
        {R"([{"a":1,"b":2},{"a":1,"a":null}])", "a", "1"},
        {R"([{"a":{"x":1}},{"a":{"x":1},"a":{"y":2}}])", "a", R"({"x":1,"y":2})"},
        {R"([{"a":[1]},{"a":[1],"a":[2]}])", "a", "[1,2]"},
        {R"([{"a":[1]},{"a":[1],"a":5}])", "a", "5"},
    };
    for (const Case& c : cases) {
        const BindingResult result = ReadJson(c.text);
        ASSERT_TRUE(result.succeeded) << c.text << result.FailureMessage();
        const BindingResult expected = ReadJson(c.expected);
        const BindingProperty& last = result.At(result.Size() - 1);
        EXPECT_EQ(last.Size(), last.Find("b").IsEmpty() ? 1u : 2u) << c.text;
        EXPECT_TRUE(TreeTesting::SameTree(last.Find(c.member), expected)) << c.text;
    }
}

TEST(JsonReader, FloatsAreTheNearestDoubleToTheirText) {
    std::vector<std::string> texts = {
        "0.1",
        "12.25",
        "-0.0",
        "1e22",
        "1e23",
        "123456789012345e-22",
        "1234567890123456e-22",
        "9007199254740993.0",
        "0.30000000000000004",
        "5e-324",
        "2.2250738585072011e-308",
        "1.7976931348623157e308",
        "0.000001e5",
        "100000000000000000000000e-3",
        "7.0e+0",
        "-4.35",
        // Around the largest significand a double holds exactly.
        "9007199254740992e-22",
        "9007199254740993e-5",
        "0.9007199254740993",
        "-9007199254740991.5",
        "1e-22",
        "3e-23",
        "0.0000000000000000000000000000001234",
        "123456789012345678901.5",
        "1234567890123456789e3",
    };
    // Random doubles written with 15 digits (RapidJSON's own conversion is exact), 17 digits
    // (it is not always) and with large exponents.
    std::mt19937_64 random(11);
    for (int index = 0; index < 3000; ++index) {
        const double value =
            std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 200) - 150);
        char text[40];
        std::snprintf(text, sizeof text, index % 2 == 0 ? "%.15g" : "%.17g", value);
        texts.push_back(std::string(text).find_first_of(".e") == std::string::npos
                            ? std::string(text) + ".0"
                            : text);
    }
    for (const std::string& text : texts) {
        const BindingResult result = ReadJson(text);
        ASSERT_EQ(result.Kind(), ValueKind::Float) << text;
        EXPECT_EQ(result.GetFloat(), std::strtod(text.c_str(), nullptr)) << text;
    }
}

TEST(JsonReader, EscapedNulEndsTextsAndNames) {
    EXPECT_EQ(ReadJson(R"("ab\u0000cd")").GetString(), "ab");
    const BindingResult result = ReadJson(R"({"k\u0000x": 1})");
    ASSERT_TRUE(result.succeeded) << result.FailureMessage();
    EXPECT_EQ(result.Find("k").GetUnsigned(), 1u);
}

// `depth` openings around `core`, each closed again.
std::string Nested(int depth, const std::string& open, const char* core, const char* close) {
    std::string text;
    for (int level = 0; level < depth; ++level) {
        text += open;
    }
    text += core;
    for (int level = 0; level < depth; ++level) {
        text += close;
    }
    return text;
}

std::string Repeated(const std::string& piece, int count) {
    std::string text;
    for (int index = 0; index < count; ++index) {
        text += piece;
    }
    return text;
}

TEST(JsonReader, AcceptsNestingUpToTheLimit) {
    const int limit = Velto::kMaxNestingDepth;
    for (const std::string& text : {Nested(limit, "[", "", "]"), Nested(limit, "{\"a\":", "1", "}"),
                                    Nested(limit / 2, "[{\"k\":", "null", "}]")}) {
        const BindingResult result = ReadJson(text);
        EXPECT_TRUE(result.succeeded) << text.substr(0, 40) << ": " << result.FailureMessage();
    }
    const BindingResult deepest = ReadJson(Nested(limit, "[", "7", "]"));
    const BindingProperty* value = &deepest;
    for (int level = 0; level < limit; ++level) {
        value = &value->At(0);
    }
    EXPECT_EQ(value->GetUnsigned(), 7u);
}

TEST(JsonReader, RefusesNestingBeyondTheLimit) {
    const int limit = Velto::kMaxNestingDepth;
    const std::string cases[] = {
        Nested(limit + 1, "[", "", "]"),
        Nested(limit + 1, "{\"a\":", "1", "}"),
        Nested(limit / 2 + 1, "[{\"k\":", "null", "}]"),
        std::string(1000000, '['),
        Repeated("{\"a\":", 1000000),
        Repeated("[{\"a\":", 500000),
    };
    for (const std::string& text : cases) {
        const BindingResult result = ReadJson(text);
        EXPECT_FALSE(result.succeeded) << text.substr(0, 40);
        EXPECT_EQ(result.FailureMessage(), "Nesting deeper than 512 levels is not supported.")
            << text.substr(0, 40);
    }
}

}  // namespace
