#include <gtest/gtest.h>

#include <memory>

#include "binding/static_type.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"
#include "remoting/route_match.h"

namespace {

class CountingStream : public Velto::RemotingStream {
  public:
    explicit CountingStream(int* destroyed) : destroyed_(destroyed) {}
    ~CountingStream() override { ++*destroyed_; }
    uint8_t read(uint8_t*, uint32_t*, uint8_t*) override { return 1; }
    uint32_t length() override { return 0; }

  private:
    int* destroyed_;
};

TEST(RemotingResponse, StartsSucceededAndEmpty) {
    const Velto::RemotingResponse response;
    EXPECT_TRUE(response.result.succeeded);
    EXPECT_TRUE(response.result.IsEmpty());
    EXPECT_EQ(response.responseFlag, 0);
    EXPECT_EQ(response.responseCode, 0u);
    EXPECT_EQ(response.status, 0u);
    EXPECT_TRUE(response.responseText.empty());
    EXPECT_TRUE(response.headers.empty());
    EXPECT_EQ(response.stream, nullptr);
}

TEST(RemotingResponse, SetFailureKeepsTheMessageAndDestroysTheStream) {
    int destroyed = 0;
    Velto::RemotingResponse response;
    response.stream = std::make_unique<CountingStream>(&destroyed);
    response.SetFailure("no such boost");
    EXPECT_FALSE(response.result.succeeded);
    EXPECT_EQ(response.result.FailureMessage(), "no such boost");
    EXPECT_EQ(response.stream, nullptr);
    EXPECT_EQ(destroyed, 1);
}

TEST(RouteMatch, StartsUnmatched) {
    const Velto::RouteMatch match;
    EXPECT_EQ(match.method, Velto::HttpMethod::None);
    EXPECT_EQ(match.function, nullptr);
    EXPECT_EQ(match.binding, nullptr);
    EXPECT_TRUE(match.pathParameters.empty());
}

}  // namespace
