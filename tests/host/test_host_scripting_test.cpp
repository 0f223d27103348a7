// The host's scripted side: streamed answers and stale deliveries for safety tests; answers by
// method and path are played by the scenario tests. The plug-in's side is played in process through
// the host's function table, or by the fake plug-in.
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
std::string ReadOnce(const HostResponse& response, uint32_t capacity) {
    std::vector<uint8_t> buffer(capacity);
    uint32_t size = capacity;
    uint8_t more = 7;
    if (response.streamRead(response.stream, buffer.data(), &size, &more) == 0) {
        return "fail";
    }
    return std::string(buffer.begin(), buffer.begin() + size) + (more != 0 ? "+" : ".");
}

// The first piece fills a read of 4 exactly, the second ends the stream, the third fails.
HostAnswer ThreePieces() {
    return HostAnswer::Stream(
        {StreamPiece{"[1,2", true}, StreamPiece{"345]", false}, StreamPiece{"", false, true}}, 8);
}

// A host answering GET /s with three pieces, and the plug-in's side of one such request.
class StreamedAnswer : public ::testing::Test {
  protected:
    void SetUp() override {
        host_.SetAnswer(kGet, "/s", ThreePieces());
        Send(host_, &response_, kGet, "/s");
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
    const HostResponse kept = response_;
    // No capacity delivers nothing and uses up nothing; a piece's own flag comes with its last
    // part; a failing piece fails one read; past the end, reads deliver nothing.
    std::string reads;
    for (const uint32_t capacity : {0, 4, 4, 4, 4}) {
        reads += ReadOnce(response_, capacity) + " ";
    }
    EXPECT_EQ(reads, "+ [1,2+ 345]. fail . ");
    ScriptedStream empty({});
    EXPECT_TRUE(empty.Finished() && empty.Read(nullptr, 4).succeeded) << "no pieces: at its end";
    response_.release(&response_);
    EXPECT_EQ(host_.UnreleasedResponses(), 0u);
    EXPECT_EQ(host_.UnreleasedStreams(), 1u) << "the stream is released on its own";
    kept.streamRelease(kept.stream);
    EXPECT_EQ(host_.UnreleasedStreams(), 0u);
    kept.streamRelease(kept.stream);  // a second release is ignored
    EXPECT_EQ(ReadOnce(kept, 4), "fail") << "a released stream fails every read";

    EXPECT_STREQ(HostCallKindName(host_.Calls().at(1).kind), "StreamRead");
    EXPECT_STREQ(HostCallKindName(host_.Calls().back().kind), "StreamRelease");
    for (const char* line : {
             "plugin -> StreamRead(stream=1, capacity=4)",
             "plugin <- read bytes=4 more=true",
             "plugin <- read failed bytes=0 more=false",
             "plugin -> StreamRelease(stream=1)",
         }) {
        EXPECT_TRUE(Contains(host_.GetTranscript().Lines(), line)) << "missing line: " << line;
    }

    // Every matching request gets a fresh copy of the stream, read from its start.
    HostResponse second;
    Send(host_, &second, kGet, "/s");
    EXPECT_EQ(ReadOnce(second, 4), "[1,2+");
    ReleaseBoth(second);
}

TEST(StreamedAnswerLifetime, IsFreedByTheHostWhenThePluginNeverReleasesIt) {
    HostResponse response;
    {
        TestHost host;
        host.SetAnswer(kGet, "/s", ThreePieces());
        Send(host, &response, kGet, "/s");
        EXPECT_EQ(ReadOnce(response, 2), "[1+");
        EXPECT_EQ(host.UnreleasedStreams(), 1u);
        EXPECT_EQ(host.UnreleasedResponses(), 1u);
    }
    // The host is gone: its routines must not reach it any more.
    EXPECT_EQ(ReadOnce(response, 4), "fail");
    response.streamRelease(response.stream);
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
    EXPECT_EQ(ReadOnce(response_, 4), "[1,2+") << "failed calls use up no piece";
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
    EXPECT_TRUE(Contains(host_.GetTranscript().Lines(),
                         R"(plugin -> Log(OKAY, "deferred FakeDeferred userData=other"))"));
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

}  // namespace
