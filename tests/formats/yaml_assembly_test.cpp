#include "formats/yaml_assembly.h"

#include <gtest/gtest.h>

#include <string>

#include "describe_value.h"
#include "formats/nesting_limit.h"
#include "formats/yaml_node_reader.h"

namespace {

using FormatsTesting::Describe;
using Velto::AssembleYaml;
using Velto::BindingResult;

std::string Nested(const char* open, const char* close, int levels) {
    std::string text;
    for (int level = 0; level < levels; ++level) {
        text += open;
    }
    for (int level = 0; level < levels; ++level) {
        text += close;
    }
    return text;
}

TEST(YamlAssembly, ReadsPlainDocumentsAsTheFullReaderDoes) {
    const std::string texts[] = {
        "",
        "~",
        "plain text",
        "- 1\n- -2\n- 2.5\n- x\n- yes\n- 'yes'\n- ~\n",
        "a: 1\nb: [x, z]\nc: {d: e}\n",
        "z: 1\ny: 2\nx: 3\n",
        "- {id: 1, name: a, tags: [x, y]}\n- {id: 2, name: b, tags: [x]}\n- {name: c, id: 3}\n",
        "a:\n  - []\n  - {}\n  -\n",
        "\"\": 1\nb: 2\n",
        "? \n: 2\n",
        "5: x\ntrue: w\n~: z\n!!str k: v\n",
        "!!int [1]\n",
        "[!!int 7, !!float 2, !!bool no, !!bool maybe, !!str 5]",
        "---\n---\na: 1\n",
        "a: |\n  line\n  next\nb: >-\n  folded\n  text\n",
        Nested("[", "]", Velto::kMaxNestingDepth),
    };
    for (const std::string& text : texts) {
        BindingResult assembled;
        ASSERT_TRUE(AssembleYaml(text, assembled)) << text.substr(0, 60);
        EXPECT_TRUE(assembled.succeeded);
        EXPECT_EQ(Describe(assembled), Describe(Velto::ReadYamlNodeByNode(text)))
            << text.substr(0, 60);
    }
}

TEST(YamlAssembly, LeavesAnchorsRepeatsAndFaultsToTheFullReader) {
    const std::string texts[] = {
        "a: &x 1\nb: *x\n",  "&k a: 1\n",    "- &l [1]\n",
        "a: &m {b: 1}\n",    "a: 1\na: 2\n", "[{a: 1, b: 2, a: 3}]",
        "a: 1\n---\nb: 2\n", "? [a]\n: 1\n", "? {a: 1}\n: 1\n",
        "!!int 5: x\n",      "!foo x",       "!!int abc",
        "a: b: c\n",         "[1, 2\n",      Nested("[", "]", Velto::kMaxNestingDepth + 1),
    };
    for (const std::string& text : texts) {
        BindingResult assembled;
        EXPECT_FALSE(AssembleYaml(text, assembled)) << text.substr(0, 60);
        EXPECT_TRUE(assembled.IsEmpty() && assembled.succeeded) << text.substr(0, 60);
    }
}

}  // namespace
