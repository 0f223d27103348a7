// The host's scripted side: streamed answers (and the scripted stream alone) and stale deliveries
// for safety tests; answers by method and path are played by the scenario tests. The plug-in's
// side is played in process through the host's function table, or by the fake plug-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_stream.h"
#include "host/test_host.h"
#include "tests/host/host_test_support.h"

namespace {

using namespace Velto::TestHost;
using namespace Velto::TestHost::Testing;

constexpr uint32_t kGet = 2;

// Sends one request as the plug-in would; `response` must stay where it is until released.
void Send(TestHost& host, HostResponse* response, uint32_t method, const char* path) {
    HostRequest request{};
    request.method = method;
    request.path = path;
    *response = HostResponse{};
    host.Api()->SendRequest(host.Api(), response, &request);
}

// One read of a streamed answer as "bytes+" (more follows), "bytes." (the end) or "fail".
std::string ReadOnce(HostResponse& response, uint32_t capacity) {
    std::vector<uint8_t> buffer(capacity);
    uint32_t size = capacity;
    uint8_t more = 7;
    if (response.streamRead(response.stream, buffer.data(), &size, &more) == 0) {
        return "fail";
    }
    return std::string(buffer.begin(), buffer.begin() + size) + (more != 0 ? "+" : ".");
}

// A read through `read` straight into a small buffer, as "result size".
std::string RawRead(uint8_t (*read)(void*, uint8_t*, uint32_t*, uint8_t*), void* stream) {
    uint8_t buffer[4];
    uint32_t size = 4;
    uint8_t more = 1;
    const int result = read(stream, buffer, &size, &more);
    return std::to_string(result) + " " + std::to_string(size);
}

HostAnswer ThreePieces() {
    return HostAnswer::Stream(
        {StreamPiece{"[1,", true}, StreamPiece{"2345]", false}, StreamPiece{"", false, true}}, 8);
}

// A host answering GET /s with three pieces, and the plug-in's side of one such request.
class StreamedAnswer : public ::testing::Test {
  protected:
    void SetUp() override { Ask(host_, &response_); }
    static void Ask(TestHost& host, HostResponse* response) {
        host.SetAnswer(kGet, "/s", ThreePieces());
        Send(host, response, kGet, "/s");
    }
    static void ReleaseBoth(HostResponse& response) {
        response.streamRelease(response.stream);
        response.release(&response);
    }

    TestHost host_;
    HostResponse response_;
};

TEST_F(StreamedAnswer, DeliversPiecesRecordsEachReadAndCountsTheRelease) {
    // The record is packed: its fields are read by value. The declared length is 64 bits wide,
    // split in two words.
    const uint32_t lengthLow = response_.streamLengthLow;
    const uint32_t lengthHigh = response_.streamLengthHigh;
    EXPECT_EQ(lengthLow, 8u);
    EXPECT_EQ(lengthHigh, 0u);
    // The response's release zeroes the record: the stream and its routines are kept first.
    void* stream = response_.stream;
    auto release = response_.streamRelease;
    auto read = response_.streamRead;
    // No capacity delivers nothing and uses up nothing; a piece's own flag comes with its last
    // part; a read past the end fails once.
    std::string reads;
    for (const uint32_t capacity : {0, 4, 4, 4, 4, 4}) {
        reads += ReadOnce(response_, capacity) + " ";
    }
    EXPECT_EQ(reads, "+ [1,+ 2345+ ]. fail . ");
    response_.release(&response_);
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    EXPECT_EQ(host_.UnreleasedStreams(), 1u) << "the stream is released on its own";
    release(stream);
    EXPECT_EQ(host_.UnreleasedStreams(), 0u);
    release(stream);  // a second release is ignored
    EXPECT_EQ(RawRead(read, stream), "0 0") << "a released stream fails every read";

    std::string calls;
    for (const HostCall& call : host_.Calls()) {
        if (call.kind != HostCallKind::SendRequest) {
            calls += std::string(HostCallKindName(call.kind)) + " " +
                     std::to_string(call.streamId) + " " + std::to_string(call.capacity) + " [" +
                     call.text + "]" + (call.succeeded ? "" : " failed") +
                     (call.more ? " more" : "") + "\n";
        }
    }
    EXPECT_EQ(calls, R"(StreamRead 1 0 [] more
StreamRead 1 4 [[1,] more
StreamRead 1 4 [2345] more
StreamRead 1 4 []]
StreamRead 1 4 [] failed
StreamRead 1 4 []
StreamRelease 1 0 [] failed
)");
    for (const char* line : {
             "plugin -> StreamRead(stream=1, capacity=4)",
             "plugin <- read bytes=3 more=true",
             "plugin <- read failed bytes=0 more=false",
             "plugin -> StreamRelease(stream=1)",
         }) {
        EXPECT_TRUE(Contains(host_.GetTranscript().Lines(), line)) << "missing line: " << line;
    }

    // Every matching request gets a fresh copy of the stream, read from its start.
    HostResponse second;
    Send(host_, &second, kGet, "/s");
    EXPECT_EQ(ReadOnce(second, 4), "[1,+");
    ReleaseBoth(second);
}

TEST(StreamedAnswerLifetime, IsFreedByTheHostWhenThePluginNeverReleasesIt) {
    HostResponse response;
    void* stream = nullptr;
    {
        TestHost host;
        host.SetAnswer(kGet, "/s", ThreePieces());
        Send(host, &response, kGet, "/s");
        stream = response.stream;
        EXPECT_EQ(ReadOnce(response, 2), "[1+");
        EXPECT_EQ(host.UnreleasedStreams(), 1u);
        EXPECT_EQ(host.UnreleasedResponses(), 1u);
    }
    // The host is gone: its routines must not reach it any more.
    EXPECT_EQ(RawRead(response.streamRead, stream), "0 0");
    response.streamRelease(stream);
    response.release(&response);
}

TEST_F(StreamedAnswer, FailsAReadWithoutASizeOrFlagAndSaysSo) {
    uint8_t buffer[4];
    uint32_t size = 4;
    uint8_t more = 0;
    EXPECT_EQ(response_.streamRead(response_.stream, buffer, nullptr, &more), 0);
    EXPECT_EQ(response_.streamRead(response_.stream, buffer, &size, nullptr), 0);
    EXPECT_EQ(size, 0u);
    size = 4;
    EXPECT_EQ(response_.streamRead(response_.stream, nullptr, &size, &more), 0);
    EXPECT_TRUE(Contains(host_.GetTranscript().Lines(),
                         "host: the plug-in passed a null buffer, size or more-flag; the read "
                         "fails"));
    EXPECT_EQ(ReadOnce(response_, 4), "[1,+") << "failed calls use up no piece";
    ReleaseBoth(response_);
}

// A callback the test subscribes as if it were the plug-in's.
std::vector<void*> gSeenUserData;
void SeeUserData(Velto::Client::HostEvent* event) {
    void* userData = event->userData;  // the record is packed: read by value
    gSeenUserData.push_back(userData);
}

class StaleDelivery : public ::testing::Test {
  protected:
    void SetUp() override {
        gSeenUserData.clear();
        ASSERT_TRUE(host_.OpenLibrary(MEK_FAKE_PLUGIN_PATH));
        ASSERT_EQ(host_.Load(), LoadResult::Accepted);
        ASSERT_TRUE(host_.Start());
        host_.Api()->Subscribe(host_.Api(), "OnStale", 1, &SeeUserData, &marker_, 2);
    }

    TestHost host_;
    int marker_ = 0;
};

TEST_F(StaleDelivery, DropsCallbacksAtShutdownByDefault) {
    ASSERT_TRUE(host_.Shutdown());
    EXPECT_TRUE(host_.Subscriptions().empty());
    EXPECT_EQ(host_.FireEvent("OnStale", HostValueTree()), 0u);
    EXPECT_EQ(host_.RunDeferredCalls(), 0u);
    EXPECT_TRUE(gSeenUserData.empty());
}

TEST_F(StaleDelivery, KeepsCallbacksPastShutdownWhenAsked) {
    host_.SetKeepCallbacksAfterShutdown(true);
    ASSERT_TRUE(host_.Shutdown());
    EXPECT_EQ(host_.Subscriptions().size(), 1u);
    EXPECT_EQ(host_.FireEvent("OnStale", HostValueTree()), 1u);
    // A test may deliver user data of its choice instead of the subscription's.
    void* madeUp = reinterpret_cast<void*>(uintptr_t{0x1000});
    EXPECT_EQ(host_.FireEvent("OnStale", HostValueTree(), madeUp), 1u);
    host_.ClearCalls();
    EXPECT_EQ(host_.RunDeferredCalls(), 1u);
    EXPECT_EQ(Logs(host_.Calls()),
              std::vector<std::string>{"deferred FakeDeferred userData=other"});
    EXPECT_EQ(gSeenUserData, (std::vector<void*>{&marker_, madeUp}));
    const std::vector<std::string>& lines = host_.GetTranscript().Lines();
    for (const char* note :
         {"host: kept 1 subscription(s) and 1 deferred call(s) the module left, for stale "
          "delivery",
          "host: stale delivery: 1 callback(s) into a module that was shut down",
          R"(-> Event("OnStale", null, userData=4096))",
          "-> EventCallback(subscription=2, handle=1, flags=2)"}) {
        EXPECT_TRUE(Contains(lines, note)) << "missing note: " << note;
    }
    host_.Unload();
    EXPECT_TRUE(host_.Subscriptions().empty()) << "the code of the callbacks is gone";
    EXPECT_TRUE(Contains(host_.GetTranscript().Lines(),
                         R"(host: dropped 1 subscription(s) the module left: "OnStale")"));
}

// One read as "bytes+" (more follows), "bytes." (the end) or "fail", with "!" once the stream
// has delivered its last piece.
std::string ReadOnce(ScriptedStream& stream, uint32_t capacity) {
    std::vector<uint8_t> buffer(capacity);
    const StreamReadResult result = stream.Read(buffer.data(), capacity);
    EXPECT_LE(result.delivered, capacity);
    return (result.succeeded ? std::string(buffer.begin(), buffer.begin() + result.delivered) +
                                   (result.more ? "+" : ".")
                             : "fail") +
           (stream.Finished() ? "!" : "");
}

StreamPiece Part(std::string bytes, bool more) {
    return StreamPiece{std::move(bytes), more, false};
}

// "!" if a stream of `pieces` is finished at once, then each read of `capacities`.
std::string Reads(const std::vector<StreamPiece>& pieces, std::vector<uint32_t> capacities) {
    ScriptedStream stream(pieces);
    std::string reads = stream.Finished() ? "!" : "";
    for (uint32_t capacity : capacities) {
        reads += " " + ReadOnce(stream, capacity);
    }
    return reads;
}

// The host's streamed answers are read through it in the streamed-answer tests; these are the
// bounds.
TEST(ScriptedStream, EndsAfterAPieceOfExactlyTheCapacityOrWithNoPieces) {
    EXPECT_EQ(Reads({Part("abcd", true), Part("", false)}, {4, 4, 4}), " abcd+ .! .!");
    EXPECT_EQ(Reads({}, {4, 4}), "! .! .!");
}

}  // namespace
