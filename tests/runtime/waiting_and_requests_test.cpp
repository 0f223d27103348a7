// Waiting for futures through the host's yield, and requests to the host with their answers.
#include <future>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/runtime/runtime_fixture.h"

namespace Velto::Client::Testing {
namespace {

using TestHost::StreamPiece;
using ::testing::StartsWith;

constexpr uint32_t kGet = static_cast<uint32_t>(HttpMethod::Get);
constexpr uint32_t kPost = static_cast<uint32_t>(HttpMethod::Post);

using AwaitTest = RuntimeFixture;

TEST_F(AwaitTest, ALateFutureOpensOneWaitAndYieldsUntilReady) {
    std::promise<std::string> promise;
    int yields = 0;
    host_.SetYieldHook([&] {
        if (++yields == 3) {
            promise.set_value("done");
        }
    });
    EXPECT_EQ(module_->Await(promise.get_future()), "done");
    EXPECT_EQ(Recorded(), std::string("BeginWait \"Wait: future<") +
                              StaticType::Name<std::string>().name +
                              ">\" zero=0\nYield\nYield\nYield\nEndWait\n");
    EXPECT_EQ(host_.OpenWaits(), 0);
}

TEST_F(AwaitTest, FutureErrorsAreReportedAndThrownOnOtherErrorsPassUnchanged) {
    EXPECT_THROW(module_->Await(std::future<int>()), std::future_error);
    EXPECT_EQ(Recorded(), "Log ERROR Assertion failed!\n\nExpression: ALE-6D828C10\n");

    host_.ClearCalls();
    std::promise<int> failing;
    failing.set_exception(std::make_exception_ptr(std::runtime_error("producer failed")));
    EXPECT_THROW(module_->Await(failing.get_future()), std::runtime_error);
    EXPECT_EQ(Recorded(), "");
}

using RequestTest = RuntimeFixture;

TEST_F(RequestTest, ArgumentsTravelAsPositionalHostValuesWithTheConnectionHandle) {
    host_.SetAnswer(kPost, "/mek-x/v1/echo", HostAnswer::Value(Json("true")));
    const MaybeType<Failure, void> sent = module_->SendApiRequest(
        HttpMethod::Post, "/mek-x/v1/echo", Greeting{"hi", 2}, Mood::Busy, std::string("text"));
    ASSERT_FALSE(sent.IsFailure()) << sent.GetFailure().Message();
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    // A code the host does not know is sent as 0.
    module_->SendApiRequest(static_cast<HttpMethod>(12), "/mek-x/v1/echo");
    EXPECT_EQ(Recorded(),
              R"(SendRequest POST /mek-x/v1/echo ({"count":2,"text":"hi"},"Busy","text") context=7
SendRequest METHOD0 /mek-x/v1/echo () context=7
)");
}

TEST_F(RequestTest, FailuresNameTheMethodAndPathWithTheirCodes) {
    host_.SetAnswer(kGet, "/mek-x/v1/missing", HostAnswer::Error(404, "Resource not found"));
    host_.SetAnswer(kGet, "/mek-x/v1/number", HostAnswer::Value(Json("\"not a number\"")));
    HostValue unknownTag{};
    unknownTag.type = 42;
    host_.SetAnswer(kGet, "/mek-x/v1/odd", HostAnswer::Value(HostValueTree::CopyOf(unknownTag)));
    BindingProperty tooDeep;
    BindingProperty* innermost = &tooDeep;
    for (int level = 0; level < 600; ++level) {
        innermost = &innermost->Append();
    }
    for (const auto& [result, message] :
         std::initializer_list<std::pair<MaybeType<Failure, Greeting>, std::string>>{
             {module_->CallApi<Greeting>(HttpMethod::Get, "/mek-x/v1/missing"),
              "404 Error response for GET /mek-x/v1/missing: Resource not found"},
             {module_->CallApi<Greeting>(HttpMethod::Get, "/mek-x/v1/number"),
              "0 Error converting response for GET /mek-x/v1/number: Couldn't assign value to "
              "'<result>' of type Greeting because the input not a structure."},
             {module_->CallApi<Greeting>(HttpMethod::Get, "/mek-x/v1/odd"),
              "0 Error converting response for GET /mek-x/v1/odd: Couldn't assign value to "
              "'<result>' of type object because the input is of an incompatible type ''."},
             {module_->CallApi<Greeting>(HttpMethod::Post, "/mek-x/v1/any", Unregistered{}),
              "400 Request not sent: Error converting parameters for POST /mek-x/v1/any: "},
             {module_->CallApi<Greeting>(HttpMethod::Post, "/mek-x/v1/any", tooDeep),
              "400 Request not sent: Error converting parameters for POST /mek-x/v1/any: "
              "Couldn't convert a parameter to a host value"},
         }) {
        EXPECT_THAT(FailureText(result), StartsWith(message));
    }
    // The unconvertible calls are not sent.
    EXPECT_EQ(Recorded(), R"(SendRequest GET /mek-x/v1/missing () context=7
SendRequest GET /mek-x/v1/number () context=7
SendRequest GET /mek-x/v1/odd () context=7
)");
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
}

TEST_F(RequestTest, StreamedBodiesAreReadInFullBuffersYieldingOnShortReads) {
    const std::string full = R"({"size": ")" + std::string(4096 - 13, 'x') + R"(", "n": 1})";
    const std::string head = full.substr(0, 4096);
    const std::string tail = full.substr(4096);
    const std::string exact = R"({"size": ")" + std::string(4096 - 12, 'y') + R"("})";
    const std::string failure = "0 Error reading streamed response for GET /mek-x/v1/stream: ";
    const struct {
        const char* name;
        uint32_t declaredLength;
        std::size_t yields;
        std::string failure;  // the start of FailureText
        std::vector<StreamPiece> pieces;
    } cases[] = {
        {"short read with more", 0, 1, "succeeded", {{head, true}, {tail, true}, {"", false}}},
        {"exactly one buffer", 4096, 0, "succeeded", {{exact, true}, {"", false}}},
        {"declared far beyond what is sent", UINT32_MAX, 0, "succeeded", {{exact, false}}},
        {"failed read", 0, 1, failure + "Stream read error", {{"{", true}, {"", false, true}}},
        {"not JSON", 0, 0, failure + "Error: ", {{"{\"size\":", false}}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        host_.ClearCalls();
        host_.SetAnswer(kGet, "/mek-x/v1/stream",
                        HostAnswer::Stream(entry.pieces, entry.declaredLength));
        MaybeType<Failure, BindingProperty> body =
            module_->CallApi<BindingProperty>(HttpMethod::Get, "/mek-x/v1/stream");
        // Each yield is bracketed by its own wait.
        std::string waits;
        for (std::size_t yield = 0; yield < entry.yields; ++yield) {
            waits += "BeginWait \"Wait: yield\" zero=0\nYield\nEndWait\n";
        }
        EXPECT_EQ(
            Render(CallsOf(HostCallKind::BeginWait, HostCallKind::Yield, HostCallKind::EndWait)),
            waits);
        EXPECT_EQ(host_.UnreleasedStreams(), 0u);
        EXPECT_EQ(host_.UnreleasedResponses(), 0u);
        EXPECT_THAT(FailureText(body), StartsWith(entry.failure));
        if (!body.IsFailure()) {
            EXPECT_EQ(body.Value().Find("size").Kind(), ValueKind::String);
        }
    }
}

}  // namespace
}  // namespace Velto::Client::Testing
