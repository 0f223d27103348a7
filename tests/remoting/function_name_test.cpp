#include "remoting/function_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Velto::HttpMethod;

struct NameCase {
    HttpMethod method;
    std::string path;
    std::string name;
};

const NameCase kNameCases[] = {
    {HttpMethod::Get, "/mek-active-boosts/v1/active-boosts", "GetMekActiveBoostsV1ActiveBoosts"},
    {HttpMethod::Get, "/items/{id}", "GetItemsById"},
    {HttpMethod::Delete, "/files/{+path}", "DeleteFilesByPath"},
    {HttpMethod::Options, "/a_b.c!d+e-f", "OptionsABCDEF"},
    {HttpMethod::Put, "/a}b/}c", "PutAbC"},
    {HttpMethod::Post, "/camelCase/x1y", "PostCamelCaseX1y"},
    {HttpMethod::Patch, "/\xc3\xa9t\xc3\xa9", "Patch\xc3\xa9t\xc3\xa9"},
    {HttpMethod::None, "/x", "X"},
    {HttpMethod::Custom, "/x", "X"},
    {HttpMethod::Head, "", "Head"},
    // The text is formed by the message formatter: it ends at a NUL and holds 4095 characters.
    {HttpMethod::Get, std::string("/a\0b", 4), "GetA"},
    {HttpMethod::Get, "/" + std::string(5000, 'a'), "GetA" + std::string(4089, 'a')},
};

TEST(FunctionName, JoinsMethodAndPathIntoOneCapitalisedWord) {
    for (const NameCase& c : kNameCases) {
        EXPECT_EQ(Velto::FunctionNameFromRoute(c.method, c.path), c.name)
            << "method " << static_cast<int>(c.method) << ", path '" << c.path.substr(0, 40) << "'";
    }
}

}  // namespace
