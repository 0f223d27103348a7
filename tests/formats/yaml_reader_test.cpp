// The full YAML reader, and the tree assembler that reads the plain documents faster.
#include "formats/yaml_reader.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <span>
#include <sstream>
#include <string>
#include <utility>

#include "formats/nesting_limit.h"
#include "formats/yaml_assembly.h"
#include "formats/yaml_node_reader.h"
#include "tests/binding/conversion_test_support.h"
#include "tests/formats/formats_test_support.h"
#include "tests/platform/comma_decimal_locale.h"

namespace {

using ConversionTest::Render;
using FormatsTesting::Repeated;
using Velto::BindingResult;
using Velto::ReadYaml;

// Each row is "text => value".
void ExpectValues(std::span<const char* const> rows) {
    for (const std::string row : rows) {
        SCOPED_TRACE(row);
        const std::size_t arrow = row.find(" => ");
        const BindingResult result = ReadYaml(row.substr(0, arrow));
        EXPECT_TRUE(result.succeeded) << result.FailureMessage();
        EXPECT_EQ(Render(result), row.substr(arrow + 4));
    }
}

TEST(YamlReader, TypesPlainScalarsAndKeepsQuotedOnesAsStrings) {
    const char* const rows[] = {
        // Block scalars are typed when chomped, like plain ones.
        "a: yes => {a=bool:true}", "a: 'yes' => {a=string:yes}", "a: \"no\" => {a=string:no}",
        "a: |-\n  true\n => {a=bool:true}", "a: >-\n  off\n => {a=bool:false}",
        "a: |\n  true\n => {a=string:true\n}",
        "[5, 5.0, 1e3, 0x10, -5, 0, -0] => "
        "[unsigned:5,unsigned:5,unsigned:1000,unsigned:16,signed:-5,unsigned:0,unsigned:0]",
        // Whatever strtod takes whole, in the plain decimal spelling and beyond it.
        "[.5, 5., -.5, +5, 1E2, 0.1, 976562.4990234375, 4.9e-324, 1e-400] => "
        "[float:0.5,unsigned:5,float:-0.5,unsigned:5,unsigned:100,float:0.10000000000000001,"
        "float:976562.4990234375,float:4.9406564584124654e-324,unsigned:0]",
        "[1e, 1e+, -, ., -e5, 1e400, 1.5.2, 1_000] => "
        "[string:1e,string:1e+,string:-,string:.,string:-e5,string:1e400,string:1.5.2,"
        "string:1_000]",
        "[inf, -inf, .inf, yes please, 1.2.3, 0x, 5 ] => "
        "[string:inf,string:-inf,string:.inf,string:yes please,string:1.2.3,string:0x,"
        "unsigned:5]",
        // Integers a double cannot hold exactly keep every digit; beyond 64 bits, or not in
        // digits, the double's value stands.
        "[9007199254740993, 9223372036854775807, 18446744073709551615, -9223372036854775807, "
        "-9223372036854775808, -9223372036854775809, 9.007199254740993e15] => "
        "[unsigned:9007199254740993,unsigned:9223372036854775807,"
        "unsigned:18446744073709551615,signed:-9223372036854775807,"
        "signed:-9223372036854775808,signed:-9223372036854775808,unsigned:9007199254740992]",
        "[+9007199254740993, 0x20000000000001, -0x20000000000001, 0X8000000000000001] => "
        "[unsigned:9007199254740993,unsigned:9007199254740993,signed:-9007199254740993,"
        "unsigned:9223372036854775809]",
        // Integral values beyond 64 bits stay doubles.
        "[18446744073709551616, 1e30, -1e30] => "
        "[float:1.8446744073709552e+19,float:1e+30,float:-1e+30]"};
    ExpectValues(rows);
}

TEST(YamlReader, RecognisesExactlyTheWordLists) {
    for (const auto& [expected, list] : std::initializer_list<std::pair<const char*, const char*>>{
             {"empty", "~ null Null NULL"},
             {"bool:true", "true True TRUE y Y yes Yes YES on On ON"},
             {"bool:false", "false False FALSE n N no No NO off Off OFF"},
             // Near misses stay texts.
             {nullptr, "nULL tRUE yES oN nO ofF yess nil none NuLL nulL TrUE fALSE YeS ~~ o nn 0n"},
         }) {
        std::istringstream words(list);
        for (std::string word; words >> word;) {
            const std::string value = expected != nullptr ? expected : "string:" + word;
            EXPECT_EQ(Render(ReadYaml("v: " + word + "\n")), "{v=" + value + "}") << word;
        }
    }
    EXPECT_EQ(Render(ReadYaml("v:\n")), "{v=empty}") << "the empty text is null";
}

TEST(YamlReader, AppliesTags) {
    const char* const rows[] = {"!!str 5 => string:5",
                                "!!int 42 => unsigned:42",
                                "!!int -42 => signed:-42",
                                "!!int 18446744073709551615 => unsigned:18446744073709551615",
                                "!!int -9223372036854775808 => signed:-9223372036854775808",
                                "!!int '' => unsigned:0",
                                "!!float 2 => float:2",
                                "!!bool yes => bool:true",
                                "!!bool OFF => bool:false",
                                "!!bool maybe => empty",
                                "!<tag:yaml.org,2002:int> 7 => unsigned:7",
                                "!!int [1] => [unsigned:1]"};
    ExpectValues(rows);
}

// Numbers the fast decimal path leaves to the C library, and tagged ones, read alike whatever
// the host's locale.
TEST(YamlReader, ReadsNumbersAlikeUnderACommaDecimalLocale) {
    const Velto::Testing::CommaDecimalLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << locale.Reason();
    }
    const char* const rows[] = {
        "[1.5, +2.5, 0x1.8p1, 1,5] => [float:1.5,float:2.5,unsigned:3,unsigned:1,unsigned:5]",
        "a: 2,5 => {a=string:2,5}", "!!float 2.5 => float:2.5", "!!float +1.5e3 => float:1500",
        "!!int 0x1F => unsigned:31"};
    ExpectValues(rows);
}

TEST(YamlReader, NamesMembersByKeyAndCopiesAnchoredValuesAndKeys) {
    const char* const rows[] = {
        // Keys of any scalar stay texts, and members come in byte-wise name order.
        "true: w\n5: x\n~: z\n => {5=string:x,true=string:w,~=string:z}",
        // An empty key names a member like any other key.
        "\"\": 1\nb: 2\n => {=unsigned:1,b=unsigned:2}",
        "? \n: 1\nb: 2\n => {=unsigned:1,b=unsigned:2}",
        "a: &k ''\n*k : 1\n => {=unsigned:1,a=string:}",
        // A repeated key replaces the earlier value, whatever its kind.
        "{'': [x], '': z} => {=string:z}",
        "a: [1, 2]\na: [3]\n => {a=[unsigned:3]}",
        "a: 5\na: {x: 1}\n => {a={x=unsigned:1}}",
        // Document markers, and an empty document before the one that holds the mapping.
        "---\n---\na: 1\n...\n => {a=unsigned:1}",
        // Anchored values and keys are copied where their aliases stand.
        "a: &x {b: 1}\nc: *x\n => {a={b=unsigned:1},c={b=unsigned:1}}",
        "- &n 7\n- *n\n- [*n, *n]\n => [unsigned:7,unsigned:7,[unsigned:7,unsigned:7]]",
        "&k a: 1\nb: *k\n => {a=unsigned:1,b=string:a}",
        "&k a: 1\n*k : 2\n => {a=unsigned:2}",
        "a: &s text\n*s : 3\n => {a=string:text,text=unsigned:3}",
    };
    ExpectValues(rows);
}

struct FailureCase {
    std::string text;
    std::string message;
};

void ExpectFailures(std::initializer_list<FailureCase> cases) {
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const BindingResult result = ReadYaml(c.text);
        EXPECT_FALSE(result.succeeded);
        EXPECT_EQ(result.FailureMessage(), c.message);
    }
}

TEST(YamlReader, ReportsFaultsWithTheirPositions) {
    ExpectFailures({
        {"a: 1\n---\nb: 2\n", "Multi-document YAML is not supported."},
        {"- &x [1, *x]\n", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 10"},
        {"&r\na:\n  b: *r\n", "Cannot deserialize cyclic aliases. Alias \"r\". At line: 3 col: 6"},
        {"a: *y\n", "Undefined alias encountered: \"y\". At line: 1 col: 4"},
        {"a: &x 1\nb: &x 2\n", "Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
        {"&x a: &x 1\n", "Duplicate occurrence of anchor \"x\". At line: 1 col: 7"},
        {"? [a]\n: 1\n", "Unexpected start of sequence. At line: 1 col: 3"},
        {"x: 1\n? {a: 1}\n: 2\n", "Unexpected start of mapping. At line: 2 col: 3"},
        {"!!int 5: x\n",
         "Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
        {"a: &m [1]\n*m : 2\n",
         "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1"},
        {"!foo x", "Unsupported YAML tag '!foo'."},
        {"!!int abc", "Value abc for 'yaml' of type uint64_t is in an incorrect format"},
        {"!!int -abc", "Value -abc for 'yaml' of type int64_t is in an incorrect format"},
        {"!!int 18446744073709551616",
         "Value 18446744073709551616 for 'yaml' of type uint64_t is out of range"},
        {"!!int -9223372036854775809",
         "Value -9223372036854775809 for 'yaml' of type int64_t is out of range"},
        {"!!int ' -5'", "Value  -5 for 'yaml' of type uint64_t is out of range"},
        {"!!float x", "Value x for 'yaml' of type double is in an incorrect format"},
        {"!!float 1e999", "Value 1e999 for 'yaml' of type double is out of range"},
        {"a: b: c\n",
         "YAML parser error: mapping values are not allowed in this context. At line: 0 col: 4"},
    });
}

TEST(YamlReader, StopsAtTheNestingLimit) {
    const std::size_t kMax = Velto::kMaxNestingDepth;
    const BindingResult deepest = ReadYaml(Repeated("[", kMax) + Repeated("]", kMax));
    EXPECT_TRUE(deepest.succeeded) << deepest.FailureMessage();
    ExpectFailures({
        {Repeated("[", kMax + 1) + Repeated("]", kMax + 1), Velto::kNestingTooDeepMessage},
        {Repeated("{a: ", kMax + 1) + "1" + Repeated("}", kMax + 1), Velto::kNestingTooDeepMessage},
        {Repeated("[", 1000000), Velto::kNestingTooDeepMessage},
        // Aliases may not carry a deep value deeper still.
        {"a: &d " + Repeated("[", 300) + Repeated("]", 300) + "\nb: " + Repeated("[", 300) + "*d" +
             Repeated("]", 300) + "\n",
         Velto::kNestingTooDeepMessage},
    });
}

TEST(YamlReader, CapsTheValuesThatAliasesExpandTo) {
    // Ten times more values per level: 10^9 strings from a few hundred bytes.
    std::string laughs = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
    for (char level = 'b'; level <= 'i'; ++level) {
        const std::string previous(1, static_cast<char>(level - 1));
        laughs += std::string(1, level) + ": &" + level + " [" +
                  Repeated("*" + previous + ", ", 9) + "*" + previous + "]\n";
    }
    const BindingResult result = ReadYaml(laughs);
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.FailureMessage().substr(0, 46),
              "YAML aliases expand to more than 1000000 value")
        << result.FailureMessage();

    // Up to e: 11,110 values copied, well within the budget.
    const std::string modest = laughs.substr(0, laughs.find("f:"));
    const BindingResult accepted = ReadYaml(modest);
    EXPECT_TRUE(accepted.succeeded) << accepted.FailureMessage();
    EXPECT_EQ(accepted.Find("e").At(9).At(9).At(9).At(9).At(9).GetString(), "x");
}

// Documents without anchors, aliases, repeated keys or faults: the assembler reads them, and
// gives what the node-by-node reader gives. It leaves the others to the full reader untouched.
TEST(YamlAssembly, ReadsPlainDocumentsAsTheNodeReaderDoesAndLeavesTheRest) {
    for (const auto& [text, plain] : std::initializer_list<std::pair<std::string, bool>>{
             {"", true},
             {"plain text", true},
             {"- 1\n- -2\n- 2.5\n- x\n- yes\n- 'yes'\n- ~\n", true},
             {"a: 1\nb: [x, z]\nc: {d: e}\n", true},
             {"- {id: 1, name: a, tags: [x, y]}\n- {id: 2, name: b, tags: [x]}\n- {name: c, id: "
              "3}\n",
              true},
             {"a:\n  - []\n  - {}\n  -\n", true},
             {"? \n: 2\n", true},
             {"5: x\ntrue: w\n~: z\n!!str k: v\n", true},
             {"!!int [1]\n", true},
             {"[!!int 7, !!float 2, !!bool no, !!bool maybe, !!str 5]", true},
             {"---\n---\na: 1\n", true},
             {"a: |\n  line\n  next\nb: >-\n  folded\n  text\n", true},
             {Repeated("[", Velto::kMaxNestingDepth) + Repeated("]", Velto::kMaxNestingDepth),
              true},
             {"a: &x 1\nb: *x\n", false},
             {"&k a: 1\n", false},
             {"- &l [1]\n", false},
             {"a: &m {b: 1}\n", false},
             {"a: 1\na: 2\n", false},
             {"a: 1\n---\nb: 2\n", false},
             {"? [a]\n: 1\n", false},
             {"!!int 5: x\n", false},
             {"!foo x", false},
             {"a: b: c\n", false},
             {Repeated("[", Velto::kMaxNestingDepth + 1) +
                  Repeated("]", Velto::kMaxNestingDepth + 1),
              false},
         }) {
        SCOPED_TRACE(text.substr(0, 60));
        BindingResult assembled;
        ASSERT_EQ(Velto::AssembleYaml(text, assembled), plain);
        EXPECT_TRUE(assembled.succeeded);
        EXPECT_EQ(Render(assembled),
                  plain ? Render(Velto::ReadYamlNodeByNode(text)) : std::string("empty"));
    }
}

}  // namespace
