#include "remoting/host_response_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "binding/binding_registry.h"
#include "binding/host_value_conversion.h"
#include "binding/static_type.h"
#include "diagnostics/memory_statistics.h"
#include "formats/json_writer.h"

namespace {

using Velto::BindingProperty;
using Velto::RemotingResponse;
using Velto::Client::HostResponse;
using Velto::Client::HostValue;

enum class Tier : int32_t { Bronze = 1, Gold = 2 };

int64_t BytesInUse() {
    const Velto::Client::MemoryStats stats = Velto::ReadMemoryStatistics();
    return static_cast<int64_t>(stats.bytesAllocated - stats.bytesFreed);
}

HostResponse ZeroedResponse() {
    HostResponse response;
    std::memset(static_cast<void*>(&response), 0, sizeof response);
    return response;
}

bool IsZeroed(const HostResponse& response) {
    const HostResponse zero = ZeroedResponse();
    return std::memcmp(&response, &zero, sizeof response) == 0;
}

// A body as the host would read it back, written as JSON.
std::string BodyJson(const HostValue& body) {
    HostResponse status{};
    BindingProperty value;
    Velto::FromHostValue(status, value, body, "body");
    return Velto::WriteJson(value);
}

struct StreamLog {
    int reads = 0;
    int destroyed = 0;
    uint8_t* buffer = nullptr;
    uint32_t* size = nullptr;
    uint8_t* more = nullptr;
};

class RecordingStream : public Velto::RemotingStream {
  public:
    explicit RecordingStream(StreamLog* log) : log_(log) {}
    ~RecordingStream() override { ++log_->destroyed; }
    uint8_t read(uint8_t* buffer, uint32_t* size, uint8_t* more) override {
        ++log_->reads;
        log_->buffer = buffer;
        log_->size = size;
        log_->more = more;
        return 0xA5;
    }
    uint32_t length() override { return 1234; }

  private:
    StreamLog* log_;
};

class WriteHostResponseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        registry_.RegisterEnum<Tier>("Tier").Value("Bronze", 1).Value("Gold", 2);
    }

    void TearDown() override {
        ReleaseIfWritten();
        ASSERT_TRUE(baseline_.has_value()) << "the test wrote no response";
        EXPECT_EQ(BytesInUse(), *baseline_) << "the release routine left counted memory behind";
    }

    // Dynamic values take their storage from a pool that keeps its pages, so the baseline is taken
    // once every value of the test exists, just before the first write.
    void Write(RemotingResponse& response) {
        if (!baseline_) {
            baseline_ = BytesInUse();
        }
        Velto::WriteHostResponse(&host_, response, &registry_);
    }
    void Write() { Write(response_); }

    void ReleaseIfWritten() {
        if (host_.release != nullptr) {
            host_.release(&host_);
            EXPECT_TRUE(IsZeroed(host_)) << "the release routine must zero all 62 bytes";
        }
    }

    Velto::BindingRegistry registry_;
    RemotingResponse response_;
    RemotingResponse second_;  // a later call on the same record
    HostResponse host_ = ZeroedResponse();
    std::optional<int64_t> baseline_;
};

TEST_F(WriteHostResponseTest, WritesAStructureResultAsAnObjectBody) {
    BindingProperty& result = response_.result.MakeStructure();
    result.Member("count") = int64_t{3};
    result.Member("name") = "xp";
    result.Member("tier") = Velto::EnumValue{2, &Velto::StaticType::HashCode<Tier>()};
    result.Member("unnamedTier") = Velto::EnumValue{-7, &Velto::StaticType::HashCode<Tier>()};
    Write();

    EXPECT_EQ(+host_.release, &Velto::ReleaseHostResponse);
    EXPECT_EQ(+host_.errorFlag, 0);
    EXPECT_EQ(+host_.errorMessage, nullptr);
    ASSERT_EQ(+host_.body.type, Velto::Client::kHostObject);
    // Registered enumerators go by name, others by number.
    EXPECT_EQ(BodyJson(host_.body), R"({"count":3,"name":"xp","tier":"Gold","unnamedTier":-7})");
}

TEST_F(WriteHostResponseTest, WritesAFailureAsAnErrorWithoutBodyOrStream) {
    StreamLog log;
    response_.stream = std::make_unique<RecordingStream>(&log);
    response_.status = 500;
    response_.result.SetFailure("Boost store unavailable");
    Write();

    EXPECT_EQ(+host_.errorFlag, 1);
    ASSERT_NE(+host_.errorMessage, nullptr);
    EXPECT_STREQ(+host_.errorMessage, "Boost store unavailable");
    EXPECT_EQ(+host_.body.type, Velto::Client::kHostNull);
    EXPECT_EQ(+host_.statusCode, 500u);
    EXPECT_EQ(+host_.stream, nullptr);
    EXPECT_EQ(+host_.streamRead, nullptr);
    EXPECT_EQ(log.destroyed, 1) << "the failed result's stream must be destroyed";
}

TEST_F(WriteHostResponseTest, KeepsOnlyResponseCodesOneToThree) {
    struct CodeCase {
        uint32_t given;
        uint32_t written;
    };
    for (const CodeCase c : {CodeCase{0, 0}, CodeCase{1, 1}, CodeCase{2, 2}, CodeCase{3, 3},
                             CodeCase{4, 0}, CodeCase{7, 0}, CodeCase{0xFFFFFFFF, 0}}) {
        response_.responseCode = c.given;
        response_.responseFlag = static_cast<uint8_t>(c.given);
        Write();
        EXPECT_EQ(+host_.responseCode, c.written) << "response code " << c.given;
        EXPECT_EQ(+host_.responseFlag, static_cast<uint8_t>(c.given)) << "flag " << c.given;
    }
}

TEST_F(WriteHostResponseTest, WritesAnUntouchedResponseAsAnEmptySuccessWithTheStaticText) {
    Write();
    EXPECT_EQ(+host_.errorFlag, 0);
    EXPECT_EQ(+host_.errorMessage, nullptr);
    EXPECT_EQ(+host_.body.type, Velto::Client::kHostNull);
    EXPECT_EQ(+host_.statusCode, 0u);
    EXPECT_EQ(+host_.responseCode, 0u);
    EXPECT_EQ(+host_.responseFlag, 0);
    EXPECT_EQ(+host_.responseText, Velto::kEmptyResponseText);
    EXPECT_EQ(+host_.headers, nullptr);
    EXPECT_EQ(+host_.headerCount, 0u);
    EXPECT_EQ(+host_.stream, nullptr);
    EXPECT_EQ(+host_.streamRead, nullptr);
    // TearDown checks that releasing does not free the static text (ASan and the counters).
}

TEST_F(WriteHostResponseTest, CopiesTextStatusAndHeaders) {
    response_.status = 207;
    response_.responseText = "207 Multi-Status";
    response_.headers = {{"content-type", "application/json"}, {"x-boost", "1"}, {"empty", ""}};
    Write();

    EXPECT_EQ(+host_.statusCode, 207u);
    ASSERT_NE(+host_.responseText, Velto::kEmptyResponseText);
    EXPECT_STREQ(+host_.responseText, "207 Multi-Status");
    ASSERT_EQ(+host_.headerCount, 3u);
    ASSERT_NE(+host_.headers, nullptr);
    auto expected = response_.headers.begin();
    for (uint32_t i = 0; i < host_.headerCount; ++i, ++expected) {
        EXPECT_EQ(+host_.headers[2 * i], expected->first) << "header " << i << " in map order";
        EXPECT_EQ(+host_.headers[2 * i + 1], expected->second) << "header " << i;
        EXPECT_NE(+host_.headers[2 * i], expected->first.c_str()) << "names are copies";
    }
}

TEST_F(WriteHostResponseTest, ReleasesWhatAnEarlierCallLeftInTheRecord) {
    response_.result.MakeStructure().Member("first") = "call";
    response_.responseText = "first";
    response_.headers = {{"a", "b"}};
    second_.SetFailure("second call failed");
    Write();
    const int64_t afterFirst = BytesInUse();
    ASSERT_GT(afterFirst, *baseline_);

    Write(second_);
    EXPECT_STREQ(+host_.errorMessage, "second call failed");
    EXPECT_EQ(+host_.body.type, Velto::Client::kHostNull);
    EXPECT_EQ(+host_.headers, nullptr);
    EXPECT_EQ(+host_.responseText, Velto::kEmptyResponseText);
    EXPECT_LT(BytesInUse(), afterFirst) << "the first call's allocations were not released";
}

TEST_F(WriteHostResponseTest, MovesTheStreamInWithForwardingRoutines) {
    StreamLog log;
    response_.stream = std::make_unique<RecordingStream>(&log);
    Write();

    EXPECT_EQ(response_.stream, nullptr) << "the stream must move into the record";
    ASSERT_NE(+host_.stream, nullptr);
    EXPECT_EQ(+host_.streamLengthLow, 1234u);
    EXPECT_EQ(+host_.streamLengthHigh, 0u);
    ASSERT_NE(+host_.streamRead, nullptr);
    ASSERT_NE(+host_.streamRelease, nullptr);

    uint8_t buffer[4];
    uint32_t size = sizeof buffer;
    uint8_t more = 0;
    EXPECT_EQ(+host_.streamRead(+host_.stream, buffer, &size, &more), 0xA5);
    EXPECT_EQ(log.reads, 1);
    EXPECT_EQ(log.buffer, buffer);
    EXPECT_EQ(log.size, &size);
    EXPECT_EQ(log.more, &more);

    host_.streamRelease(host_.stream);
    EXPECT_EQ(log.destroyed, 1);
    ReleaseIfWritten();
    EXPECT_EQ(log.destroyed, 1) << "the response's release routine must leave the stream alone";
}

TEST_F(WriteHostResponseTest, WritesAResultTooDeepForTheHostAsAFailure) {
    BindingProperty* level = &response_.result;
    for (uint32_t depth = 0; depth <= Velto::kMaxHostValueDepth; ++depth) {
        level = &level->MakeCollection().Append();
    }
    *level = int64_t{1};
    Write();

    EXPECT_EQ(+host_.errorFlag, 1);
    ASSERT_NE(+host_.errorMessage, nullptr);
    EXPECT_NE(std::strstr(+host_.errorMessage, "nests deeper than 512 levels"), nullptr)
        << +host_.errorMessage;
    EXPECT_EQ(+host_.body.type, Velto::Client::kHostNull);
}

TEST(ReleaseHostResponse, IgnoresNullAndZeroedRecordsAndFreesAStrayErrorMessage) {
    Velto::ReleaseHostResponse(nullptr);
    HostResponse response = ZeroedResponse();
    const int64_t before = BytesInUse();
    Velto::ReleaseHostResponse(&response);
    EXPECT_TRUE(IsZeroed(response));
    // A message without the error flag is freed too.
    response.errorMessage = Velto::CountedDuplicate("stray message");
    Velto::ReleaseHostResponse(&response);
    EXPECT_TRUE(IsZeroed(response));
    EXPECT_EQ(BytesInUse(), before);
}

TEST(RemotingResponse, SetFailureKeepsTheMessageAndDestroysTheStream) {
    StreamLog log;
    RemotingResponse response;
    response.stream = std::make_unique<RecordingStream>(&log);
    response.SetFailure("no such boost");
    EXPECT_FALSE(response.result.succeeded);
    EXPECT_EQ(response.result.FailureMessage(), "no such boost");
    EXPECT_EQ(response.stream, nullptr);
    EXPECT_EQ(log.destroyed, 1);
}

}  // namespace
