// Comparing JSON texts as values, with "*" matching anything.
#include "host/json_match.h"

#include <gtest/gtest.h>

namespace {

using Velto::TestHost::JsonMismatch;

TEST(JsonMismatch, ComparesValuesAndNamesTheFirstDifference) {
    struct Case {
        const char* expected;
        const char* actual;
        const char* mismatch;  // null: they match
    };
    const Case cases[] = {
        {R"({"a": 1, "b": [1.0, "x"]})", R"({"b":[1,"x"],"a":1})", nullptr},
        {R"({"a": "*", "b": {"c": "*"}})", R"({"a":[1,{}],"b":{"c":null}})", nullptr},
        {R"("*")", "[]", nullptr},
        {R"({"a": {"b": [1, 2]}})", R"({"a":{"b":[1,3]}})", "at a.b[1]: expected 2, got 3"},
        {R"({"a": 1, "b": 2})", R"({"a":1})", R"(at the top: no member "b")"},
        {R"({"a": {}})", R"({"a":{"c":true}})", R"(at a: unexpected member "c")"},
        {R"({"a": "*"})", R"({})", R"(at the top: no member "a")"},
        {"[1]", "[]", "at the top: expected 1 items, got 0"},
        {R"("1")", "1", R"(at the top: expected "1", got 1)"},
        {"1", "{", "the text is not JSON"},
        {"{", "1", "the expected text is not JSON"},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> mismatch = JsonMismatch(c.expected, c.actual);
        EXPECT_EQ(mismatch.value_or("(match)"), c.mismatch != nullptr ? c.mismatch : "(match)")
            << c.expected << " against " << c.actual;
    }
}

}  // namespace
