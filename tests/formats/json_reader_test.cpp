#include "formats/json_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "formats/nesting_limit.h"
#include "tests/binding/conversion_test_support.h"
#include "tests/formats/formats_test_support.h"

namespace {

using ConversionTest::Render;
using FormatsTesting::Repeated;
using Velto::BindingResult;
using Velto::ReadJson;

TEST(JsonReader, ReadsEachKindOfValue) {
    for (const auto& [text, value] : std::initializer_list<std::pair<const char*, const char*>>{
             // Integers are unsigned unless negative, in 64 bits at most.
             {"-5", "signed:-5"},
             {"[0, 4294967295, 4294967296, 18446744073709551615]",
              "[unsigned:0,unsigned:4294967295,unsigned:4294967296,unsigned:18446744073709551615]"},
             {"[-0, -2147483648, -2147483649, -4294967296, -9223372036854775808]",
              "[signed:0,signed:-2147483648,signed:-2147483649,signed:-4294967296,"
              "signed:-9223372036854775808]"},
             // Any other number is the double nearest to its text; beyond 64 bits too.
             {"[1.5, 5.0, 1e2, -2.5E-3, 0.1, 7.0e+0, -4.35, 0.000001e5, "
              "100000000000000000000000e-3]",
              "[float:1.5,float:5,float:100,float:-0.0025000000000000001,float:0.10000000000000001,"
              "float:7,float:-4.3499999999999996,float:0.10000000000000001,float:1e+20]"},
             {"[18446744073709551616, -9223372036854775809]",
              "[float:1.8446744073709552e+19,float:-9.2233720368547758e+18]"},
             // A zero significand is zero whatever its exponent, and so is what underflows.
             {"[0e-300, -0.0e300, 1e-400, -0.0]", "[float:0,float:-0,float:0,float:-0]"},
             {"[5e-324, 2.2250738585072011e-308, 1.7976931348623157e308]",
              "[float:4.9406564584124654e-324,float:2.2250738585072009e-308,"
              "float:1.7976931348623157e+308]"},
             // Where a fast conversion is a unit in the last place off.
             {"[4.7764532767287607e-219, 0.0000001e-300, -3.7854635797286895e-22]",
              "[float:4.7764532767287604e-219,float:9.9999999999999991e-308,"
              "float:-3.7854635797286893e-22]"},
             // Around the powers of ten and the significands a double holds exactly.
             {"[1e22, 1e23, 1e-22, 3e-23, 123456789012345e-22, 1234567890123456e-22]",
              "[float:1e+22,float:9.9999999999999992e+22,float:1e-22,float:3e-23,"
              "float:1.23456789012345e-08,float:1.2345678901234561e-07]"},
             {"[9007199254740993.0, 9007199254740992e-22, 9007199254740993e-5, 0.9007199254740993, "
              "-9007199254740991.5]",
              "[float:9007199254740992,float:9.0071992547409924e-07,float:90071992547.409927,"
              "float:0.90071992547409929,float:-9007199254740992]"},
             {"[0.0000000000000000000000000000001234, 123456789012345678901.5, "
              "1234567890123456789e3]",
              "[float:1.2339999999999999e-31,float:1.2345678901234568e+20,"
              "float:1.2345678901234568e+21]"},
             {"[false, null]", "[bool:false,empty]"},
             {R"(["caf\u00e9 \"q\" \\ \n", "\ud83d\ude00"])",
              "[string:caf\xc3\xa9 \"q\" \\ \n,string:\xf0\x9f\x98\x80]"},
             // An escaped NUL ends texts and names.
             {R"("ab\u0000cd")", "string:ab"},
             {R"({"k\u0000x": 1})", "{k=unsigned:1}"},
             // Empty or blank text is the empty value; whitespace around a root is allowed.
             {"", "empty"},
             {" \t\r\n ", "empty"},
             {" \r\n\t[1] \n\t ", "[unsigned:1]"},
             {R"({"b": [1, -2, {"c": null, "d": []}, "x"], "a": {}, "e": [[true]]})",
              "{a={},b=[unsigned:1,signed:-2,{c=empty,d=[]},string:x],e=[[bool:true]]}"},
             // A repeated key keeps the last value; a collection or structure given again keeps
             // what it holds, a null keeps the earlier value, also in a record after one with the
             // same keys.
             {R"({"a": 1, "b": 2, "a": [3]})", "{a=[unsigned:3],b=unsigned:2}"},
             {R"([{"a":1,"b":2},{"a":1,"b":2,"a":3}])",
              "[{a=unsigned:1,b=unsigned:2},{a=unsigned:3,b=unsigned:2}]"},
             {R"([{"a":1,"b":2},{"a":1,"a":null}])",
              "[{a=unsigned:1,b=unsigned:2},{a=unsigned:1}]"},
             {R"([{"a":{"x":1}},{"a":{"x":1},"a":{"y":2}}])",
              "[{a={x=unsigned:1}},{a={x=unsigned:1,y=unsigned:2}}]"},
             {R"([{"a":[1]},{"a":[1],"a":[2]}])", "[{a=[unsigned:1]},{a=[unsigned:1,unsigned:2]}]"},
         }) {
        SCOPED_TRACE(text);
        const BindingResult result = ReadJson(text);
        EXPECT_TRUE(result.succeeded) << result.FailureMessage();
        EXPECT_EQ(Render(result), value);
    }
    EXPECT_EQ(Render(ReadJson(nullptr)), "empty");
    EXPECT_EQ(Render(ReadJson(std::string("[7]"))), "[unsigned:7]");
}

TEST(JsonReader, ReportsEachParseErrorWithItsOffset) {
    const struct {
        const char* message;
        std::vector<std::pair<const char*, int>> inputs;  // and the offset of the fault
    } cases[] = {
        {"The document root must not follow by other values.",
         {{"1 2", 2}, {"{} x", 3}, {"[1]\n[2]", 4}}},
        {"Invalid value.",
         {{"nul", 3}, {"NaN", 0}, {"-Infinity", 1}, {"'a'", 0}, {"// note\n1", 0}, {"[1,]", 3}}},
        {"Missing a comma or ']' after an array element.", {{"[1", 2}, {"[1 2]", 3}}},
        {"Missing a name for object member.", {{"{", 1}, {R"({"a":1,})", 7}, {"{a:1}", 1}}},
        {"Missing a colon after a name of object member.", {{R"({"a" 1})", 5}}},
        {"Missing a comma or '}' after an object member.", {{R"({"a":1 "b":2})", 7}}},
        {"Missing a closing quotation mark in string.", {{R"("abc)", 4}}},
        {"Invalid escape character in string.", {{R"("\x")", 1}, {"\"a\tb\"", 2}}},
        {"Incorrect hex digit after \\u escape in string.", {{R"("\u12")", 1}}},
        {"The surrogate pair in string is invalid.", {{R"("\ud800")", 1}}},
        {"Miss fraction part in number.", {{"1.", 2}}},
        {"Miss exponent in number.", {{"1e", 2}}},
        {"Number too big to be stored in double.",
         {{"1e400", 0},
          {"1.8e308", 0},
          {"[1, -922147480e+300]", 4},
          {R"({"a": 17976931348623159e292})", 6}}},
    };
    for (const auto& c : cases) {
        for (const auto& [text, offset] : c.inputs) {
            SCOPED_TRACE(text);
            const std::string message =
                "Error: " + std::string(c.message) + " at offset " + std::to_string(offset) + ".";
            const BindingResult result = ReadJson(text);
            EXPECT_FALSE(result.succeeded);
            EXPECT_EQ(result.FailureMessage(), message);
            EXPECT_EQ(result.Find("error").GetString(), message);
        }
    }
}

TEST(JsonReader, AcceptsNestingUpToTheLimitAndRefusesOneLevelMore) {
    const std::size_t limit = Velto::kMaxNestingDepth;
    const auto nested = [](std::size_t depth, const char* open, const char* core,
                           const char* close) {
        return Repeated(open, depth) + core + Repeated(close, depth);
    };
    for (const auto& [text, succeeds] : std::initializer_list<std::pair<std::string, bool>>{
             {nested(limit, "[", "", "]"), true},
             {nested(limit, "{\"a\":", "1", "}"), true},
             {nested(limit / 2, "[{\"k\":", "null", "}]"), true},
             {nested(limit + 1, "[", "", "]"), false},
             {nested(limit + 1, "{\"a\":", "1", "}"), false},
             {nested(limit / 2 + 1, "[{\"k\":", "null", "}]"), false},
             {Repeated("[", 1000000), false},
             {Repeated("{\"a\":", 1000000), false},
             {Repeated("[{\"a\":", 500000), false},
         }) {
        SCOPED_TRACE(text.substr(0, 40));
        const BindingResult result = ReadJson(text);
        EXPECT_EQ(result.succeeded, succeeds) << result.FailureMessage();
        if (!succeeds) {
            EXPECT_EQ(result.FailureMessage(), "Nesting deeper than 512 levels is not supported.");
        }
    }
    const BindingResult deepest = ReadJson(nested(limit, "[", "7", "]"));
    EXPECT_EQ(Render(deepest), nested(limit, "[", "unsigned:7", "]"));
}

}  // namespace
