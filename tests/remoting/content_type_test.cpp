#include "remoting/content_type.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using Velto::ArgumentValueFormat;
using Velto::BodyFormat;

struct ContentTypeCase {
    std::string_view text;
    BodyFormat body;
    ArgumentValueFormat argument;
};

constexpr ContentTypeCase kCases[] = {
    {"application/json", BodyFormat::Json, ArgumentValueFormat::Json},
    {"APPLICATION/JSON; charset=utf-8", BodyFormat::Json, ArgumentValueFormat::Json},
    {"application/vnd.api+json", BodyFormat::Json, ArgumentValueFormat::Unspecified},
    {"application/x-yaml", BodyFormat::Yaml, ArgumentValueFormat::Unspecified},
    {"Application/X-Yaml;charset=utf-8", BodyFormat::Yaml, ArgumentValueFormat::Unspecified},
    {"text/x-yaml", BodyFormat::Unsupported, ArgumentValueFormat::Yaml},
    {"application/x-msgpack", BodyFormat::MessagePack, ArgumentValueFormat::MessagePack},
    {"application/x-msgpack-ext", BodyFormat::MessagePack, ArgumentValueFormat::MessagePack},
    {"application/octet-stream", BodyFormat::Unsupported, ArgumentValueFormat::Bytes},
    {"text/plain", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
    {"application/jso", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
    {"application/x-msgpac", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
    {" application/json", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
    {"", BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
    {{}, BodyFormat::Unsupported, ArgumentValueFormat::Unspecified},
};

TEST(ContentType, ClassifiesByCaseInsensitivePrefix) {
    for (const ContentTypeCase& c : kCases) {
        EXPECT_EQ(Velto::ClassifyBodyContentType(c.text), c.body) << "body type '" << c.text << "'";
        EXPECT_EQ(Velto::ClassifyArgumentContentType(c.text), c.argument)
            << "argument type '" << c.text << "'";
    }
}

TEST(ContentType, PrefixIsComparedOnlyOverTheKnownTypesLength) {
    EXPECT_TRUE(Velto::HasContentTypePrefix("application/JSONx", Velto::kContentTypeJson));
    EXPECT_FALSE(Velto::HasContentTypePrefix("application/js", Velto::kContentTypeJson));
    EXPECT_TRUE(Velto::HasContentTypePrefix("anything", ""));
}

}  // namespace
