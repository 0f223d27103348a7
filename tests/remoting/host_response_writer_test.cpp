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

// The record is packed: value-initialisation zeroes every byte.
bool IsZeroed(const HostResponse& response) {
    const HostResponse zero{};
    return std::memcmp(&response, &zero, sizeof response) == 0;
}

// A body as the host would read it back, written as JSON.
std::string BodyJson(const HostValue& body) {
    HostResponse status{};
    BindingProperty value;
    Velto::FromHostValue(status, value, body, "body");
    return Velto::WriteJson(value);
}

// A stream that counts its destruction in `*destroyed`.
class CountedStream : public Velto::RemotingStream {
  public:
    explicit CountedStream(int* destroyed) : destroyed_(destroyed) {}
    ~CountedStream() override { ++*destroyed_; }
    uint8_t read(uint8_t*, uint32_t*, uint8_t*) override { return 0; }
    uint32_t length() override { return 1234; }

  private:
    int* destroyed_;
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
    HostResponse host_{};
    std::optional<int64_t> baseline_;
};

TEST_F(WriteHostResponseTest, WritesAFailureAsAnErrorWithoutBodyOrStream) {
    int destroyed = 0;
    response_.stream = std::make_unique<CountedStream>(&destroyed);
    response_.status = 500;
    response_.result.SetFailure("Boost store unavailable");
    Write();

    EXPECT_EQ(+host_.errorFlag, 1);
    EXPECT_STREQ(+host_.errorMessage, "Boost store unavailable");
    EXPECT_EQ(+host_.body.type, Velto::Client::kHostNull);
    EXPECT_EQ(+host_.statusCode, 500u);
    EXPECT_EQ(+host_.stream, nullptr);
    EXPECT_EQ(+host_.streamRead, nullptr);
    EXPECT_EQ(destroyed, 1) << "the failed result's stream must be destroyed";
}

TEST_F(WriteHostResponseTest, KeepsOnlyResponseCodesOneToThree) {
    struct CodeCase {
        uint32_t given;
        uint32_t written;
    };
    for (const CodeCase c : {CodeCase{0, 0}, CodeCase{1, 1}, CodeCase{3, 3}, CodeCase{4, 0},
                             CodeCase{0xFFFFFFFF, 0}}) {
        response_.responseCode = c.given;
        response_.responseFlag = static_cast<uint8_t>(c.given);
        Write();
        EXPECT_EQ(+host_.responseCode, c.written) << "response code " << c.given;
        EXPECT_EQ(+host_.responseFlag, static_cast<uint8_t>(c.given)) << "flag " << c.given;
    }
}

// A success written with all a response carries, then a failure written over it: writing the
// failure releases what the success left, except its stream, which the host owns.
TEST_F(WriteHostResponseTest, ReleasesWhatAnEarlierCallLeftInTheRecordButItsStream) {
    BindingProperty& result = response_.result.MakeStructure();
    // Registered enumerators go by name, others by number.
    result.Member("tier") = Velto::EnumValue{2, &Velto::StaticType::HashCode<Tier>()};
    result.Member("unnamedTier") = Velto::EnumValue{-7, &Velto::StaticType::HashCode<Tier>()};
    response_.status = 207;
    response_.responseText = "207 Multi-Status";
    response_.headers = {{"content-type", "application/json"}, {"empty", ""}};
    int destroyed = 0;
    response_.stream = std::make_unique<CountedStream>(&destroyed);
    second_.stream = std::make_unique<CountedStream>(&destroyed);
    second_.SetFailure("second call failed");
    EXPECT_EQ(destroyed, 1) << "a failure destroys the stream it had";
    Write();
    const int64_t afterFirst = BytesInUse();
    ASSERT_GT(afterFirst, *baseline_);

    EXPECT_EQ(+host_.release, &Velto::ReleaseHostResponse);
    EXPECT_EQ(+host_.errorFlag, 0);
    EXPECT_EQ(BodyJson(host_.body), R"({"tier":"Gold","unnamedTier":-7})");
    EXPECT_EQ(+host_.statusCode, 207u);
    EXPECT_STREQ(+host_.responseText, "207 Multi-Status");
    ASSERT_EQ(+host_.headerCount, 2u);
    auto header = response_.headers.begin();  // copied in the map's order
    for (uint32_t i = 0; i < 2; ++i, ++header) {
        EXPECT_EQ(+host_.headers[2 * i], header->first) << "header " << i;
        EXPECT_EQ(+host_.headers[2 * i + 1], header->second) << "header " << i;
        EXPECT_NE(+host_.headers[2 * i], header->first.c_str()) << "names are copies";
    }
    EXPECT_EQ(response_.stream, nullptr) << "the stream moves into the record";
    EXPECT_EQ(+host_.streamLengthLow, 1234u);
    EXPECT_EQ(+host_.streamLengthHigh, 0u);
    void* const stream = host_.stream;
    const auto releaseStream = host_.streamRelease;

    Write(second_);
    EXPECT_STREQ(+host_.errorMessage, "second call failed");
    EXPECT_EQ(+host_.body.type, Velto::Client::kHostNull);
    EXPECT_EQ(+host_.headers, nullptr);
    EXPECT_EQ(+host_.responseText, Velto::kEmptyResponseText);
    EXPECT_EQ(+host_.stream, nullptr);
    EXPECT_LT(BytesInUse(), afterFirst) << "the first call's allocations were not released";
    EXPECT_EQ(destroyed, 1) << "releasing the record must leave the stream to the host";
    releaseStream(stream);
    EXPECT_EQ(destroyed, 2);
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
    HostResponse response{};
    const int64_t before = BytesInUse();
    Velto::ReleaseHostResponse(&response);
    EXPECT_TRUE(IsZeroed(response));
    // A message without the error flag is freed too.
    response.errorMessage = Velto::CountedDuplicate("stray message");
    Velto::ReleaseHostResponse(&response);
    EXPECT_TRUE(IsZeroed(response));
    EXPECT_EQ(BytesInUse(), before);
}

}  // namespace
