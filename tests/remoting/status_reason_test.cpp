#include "remoting/status_reason.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace {

struct ReasonCase {
    uint32_t status;
    std::string_view reason;
};

constexpr ReasonCase kCases[] = {
    {100, "100 Continue"},
    {200, "200 OK"},
    {207, "207 Multi-Status"},
    {208, "208 Already Reported"},
    {226, "226 IM Used"},
    {306, ""},
    {308, "308 Permanent Redirect"},
    {404, "404 Not Found"},
    {418, ""},
    {423, "423 Locked"},
    {429, "429 Too Many Requests"},
    {451, "451 Unavailable For Legal Reasons"},
    {507, "507 Insufficient Storage"},
    {511, "511 Network Authentication Required"},
    {0, ""},
    {99, ""},
    {512, ""},
    {999, ""},
    {0xFFFFFFFF, ""},
};

TEST(StatusReason, GivesCodeAndRegisteredPhrase) {
    for (const ReasonCase& c : kCases) {
        EXPECT_EQ(Velto::StatusReason(c.status), c.reason) << "status " << c.status;
    }
}

}  // namespace
