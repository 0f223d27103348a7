#include "remoting/http_method.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace {

using Velto::HttpMethod;

struct MethodCase {
    uint32_t hostCode;
    HttpMethod method;
    std::string_view name;
};

constexpr MethodCase kMethodCases[] = {
    {0, HttpMethod::None, ""},           {1, HttpMethod::Delete, "DELETE"},
    {2, HttpMethod::Get, "GET"},         {3, HttpMethod::Head, "HEAD"},
    {4, HttpMethod::Options, "OPTIONS"}, {5, HttpMethod::Patch, "PATCH"},
    {6, HttpMethod::Post, "POST"},       {7, HttpMethod::Put, "PUT"},
    {8, HttpMethod::Custom, ""},         {9, HttpMethod::None, ""},
    {0xFFFFFFFF, HttpMethod::None, ""},
};

TEST(HttpMethod, HostCodesMapToMethodsAndTheirNames) {
    for (const MethodCase& c : kMethodCases) {
        const HttpMethod method = Velto::MethodFromHost(c.hostCode);
        EXPECT_EQ(method, c.method) << "host code " << c.hostCode;
        EXPECT_EQ(std::string_view(Velto::MethodName(method)), c.name)
            << "host code " << c.hostCode;
    }
}

TEST(HttpMethod, NamesOfValuesOutsideTheTableAreEmpty) {
    for (const uint32_t code : {9u, 100u, 0x80000000u, 0xFFFFFFFFu}) {
        const char* name = Velto::MethodName(static_cast<HttpMethod>(code));
        ASSERT_NE(name, nullptr) << "code " << code;
        EXPECT_STREQ(name, "") << "code " << code;
    }
}

}  // namespace
