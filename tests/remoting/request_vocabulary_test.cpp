// The words of requests and responses: methods, content types, status reasons, URL components
// and the function names derived from routes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "remoting/content_type.h"
#include "remoting/function_name.h"
#include "remoting/http_method.h"
#include "remoting/status_reason.h"
#include "remoting/url_component.h"

namespace {

using namespace std::string_view_literals;
using Velto::ArgumentValueFormat;
using Velto::BodyFormat;
using Velto::HttpMethod;

TEST(ContentType, ClassifiesByCaseInsensitivePrefix) {
    const struct {
        std::string_view text;
        BodyFormat body;
        ArgumentValueFormat argument;
    } cases[] = {
        {"application/json", BodyFormat::Json, ArgumentValueFormat::Json},
        {"APPLICATION/JSON; charset=utf-8", BodyFormat::Json, ArgumentValueFormat::Json},
        {"application/vnd.api+json", BodyFormat::Json, ArgumentValueFormat::Unspecified},
        {"application/x-yaml", BodyFormat::Yaml, ArgumentValueFormat::Unspecified},
        {"text/x-yaml", BodyFormat::Unsupported, ArgumentValueFormat::Yaml},
        {"application/x-msgpack", BodyFormat::MessagePack, ArgumentValueFormat::MessagePack},
        {"application/octet-stream", BodyFormat::Unsupported, ArgumentValueFormat::Bytes},
        {"text/plain", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
        {"application/jso", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
        {"", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Velto::ClassifyBodyContentType(c.text), c.body) << "body type '" << c.text << "'";
        EXPECT_EQ(Velto::ClassifyArgumentContentType(c.text), c.argument)
            << "argument type '" << c.text << "'";
    }
}

TEST(StatusReason, GivesCodeAndRegisteredPhrase) {
    // Each reason starts with its own code: the first, one inside and the last of the table.
    for (const std::string reason :
         {"100 Continue", "207 Multi-Status", "511 Network Authentication Required"}) {
        EXPECT_EQ(Velto::StatusReason(std::stoul(reason)), reason) << "status " << reason;
    }
    for (const uint32_t status : {0u, 306u, 512u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Velto::StatusReason(status), "") << "status " << status;
    }
}

TEST(UrlComponent, DecodesPercentEscapesAndPlus) {
    const struct {
        std::string_view text;
        std::string_view decoded;
    } cases[] = {
        {"", ""},
        {"plain-text_1.2~", "plain-text_1.2~"},
        {"a%2Fb", "a/b"},
        {"x+y", "x y"},
        {"%c3%A9", "\xc3\xa9"},
        {"%00", "\0"sv},
        // A character that is not a hexadecimal digit counts as 16.
        {"%zz", "\x10"},
        {"%4g", "\x50"},
        {"%g4", "\x04"},
        {"%%41", "\x04\x31"},
        // A "%" without two characters after it is dropped.
        {"%", ""},
        {"%4", "4"},
        {"a%+", "a "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Velto::DecodeUrlComponent(c.text), c.decoded) << "text '" << c.text << "'";
    }
}

TEST(FunctionName, JoinsTheMethodsNameAndThePathIntoOneCapitalisedWord) {
    const struct {
        HttpMethod method;
        std::string path;
        std::string name;
    } cases[] = {
        {HttpMethod::Get, "/mek-active-boosts/v1/active-boosts",
         "GetMekActiveBoostsV1ActiveBoosts"},
        {HttpMethod::Get, "/items/{id}", "GetItemsById"},
        {HttpMethod::Delete, "/files/{+path}", "DeleteFilesByPath"},
        {HttpMethod::Options, "/a_b.c!d+e-f", "OptionsABCDEF"},
        {HttpMethod::Put, "/a}b/}c", "PutAbC"},
        {HttpMethod::Post, "/camelCase/x1y", "PostCamelCaseX1y"},
        {HttpMethod::None, "/x", "X"},
        {HttpMethod::Head, "", "Head"},
        // The text is formed by the message formatter: it ends at a NUL and holds 4095 characters.
        {HttpMethod::Get, std::string("/a\0b", 4), "GetA"},
        {HttpMethod::Get, "/" + std::string(5000, 'a'), "GetA" + std::string(4089, 'a')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Velto::FunctionNameFromRoute(c.method, c.path), c.name)
            << "method " << static_cast<int>(c.method) << ", path '" << c.path.substr(0, 40) << "'";
    }
    // The names themselves, as messages and the host's clients show them; codes past the last
    // one have the empty name.
    std::string names;
    for (uint32_t code = 0; code <= 9; ++code) {
        names += Velto::MethodName(static_cast<HttpMethod>(code)) + std::string(";");
    }
    EXPECT_EQ(names, ";DELETE;GET;HEAD;OPTIONS;PATCH;POST;PUT;;;");
}

}  // namespace
