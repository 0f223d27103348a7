// The words of requests and responses: methods, content types, status reasons, URL components
// and the function names derived from routes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "remoting/content_type.h"
#include "remoting/function_name.h"
#include "remoting/http_method.h"
#include "remoting/status_reason.h"
#include "remoting/url_component.h"

namespace {

using Velto::ArgumentValueFormat;
using Velto::BodyFormat;
using Velto::HttpMethod;

TEST(ContentType, ClassifiesByCaseInsensitivePrefix) {
    for (const auto& [text, body, argument] :
         std::initializer_list<std::tuple<std::string_view, BodyFormat, ArgumentValueFormat>>{
             {"application/json", BodyFormat::Json, ArgumentValueFormat::Json},
             {"APPLICATION/JSON; charset=utf-8", BodyFormat::Json, ArgumentValueFormat::Json},
             {"application/vnd.api+json", BodyFormat::Json, ArgumentValueFormat::Unspecified},
             {"application/x-yaml", BodyFormat::Yaml, ArgumentValueFormat::Unspecified},
             {"text/x-yaml", BodyFormat::Unsupported, ArgumentValueFormat::Yaml},
             {"application/x-msgpack", BodyFormat::MessagePack, ArgumentValueFormat::MessagePack},
             {"application/octet-stream", BodyFormat::Unsupported, ArgumentValueFormat::Bytes},
             {"text/plain", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
             {"", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
         }) {
        EXPECT_EQ(Velto::ClassifyBodyContentType(text), body) << "body type '" << text << "'";
        EXPECT_EQ(Velto::ClassifyArgumentContentType(text), argument)
            << "argument type '" << text << "'";
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
    for (const auto& [text, decoded] :
         std::initializer_list<std::pair<std::string_view, std::string_view>>{
             {"", ""},
             {"plain-text_1.2~", "plain-text_1.2~"},
             {"a%2Fb", "a/b"},
             {"x+y", "x y"},
             {"%c3%A9", "\xc3\xa9"},
             // A character that is not a hexadecimal digit counts as 16.
             {"%zz", "\x10"},
             {"%4g", "\x50"},
             {"%g4", "\x04"},
             {"%%41", "\x04\x31"},
             // A "%" without two characters after it is dropped.
             {"%", ""},
             {"%4", "4"},
             {"a%+", "a "},
         }) {
        EXPECT_EQ(Velto::DecodeUrlComponent(text), decoded) << "text '" << text << "'";
    }
}

TEST(FunctionName, JoinsTheMethodsNameAndThePathIntoOneCapitalisedWord) {
    for (const auto& [method, path, name] :
         std::initializer_list<std::tuple<HttpMethod, std::string, std::string>>{
             {HttpMethod::Get, "/mek-active-boosts/v1/active-boosts",
              "GetMekActiveBoostsV1ActiveBoosts"},
             {HttpMethod::Get, "/items/{id}", "GetItemsById"},
             {HttpMethod::Delete, "/files/{+path}", "DeleteFilesByPath"},
             {HttpMethod::Options, "/a_b.c!d+e-f", "OptionsABCDEF"},
             {HttpMethod::Put, "/a}b/}c", "PutAbC"},
             {HttpMethod::Post, "/camelCase/x1y", "PostCamelCaseX1y"},
             {HttpMethod::None, "/x", "X"},
             {HttpMethod::Head, "", "Head"},
             // The text is formed by the message formatter: it ends at a NUL and holds 4095
             // characters.
             {HttpMethod::Get, std::string("/a\0b", 4), "GetA"},
             {HttpMethod::Get, "/" + std::string(5000, 'a'), "GetA" + std::string(4089, 'a')},
         }) {
        EXPECT_EQ(Velto::FunctionNameFromRoute(method, path), name)
            << "method " << static_cast<int>(method) << ", path '" << path.substr(0, 40) << "'";
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
