#include "remoting/host_response_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
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

// The record as the host reads it, a group of members after each "; ", the body as JSON.
std::string Describe(const HostResponse& host) {
    HostResponse status{};
    BindingProperty body;
    Velto::FromHostValue(status, body, host.body, "body");
    std::string text =
        "error " + std::to_string(host.errorFlag) + " " +
        (host.errorMessage != nullptr ? host.errorMessage : "-") + "; body " +
        (host.body.type == Velto::Client::kHostNull ? "null" : Velto::WriteJson(body)) +
        "; status " + std::to_string(host.statusCode) + " code " +
        std::to_string(host.responseCode) + " flag " + std::to_string(host.responseFlag) + " '" +
        (host.responseText != nullptr ? host.responseText : "-") + "'; ";
    text += host.headers == nullptr ? "no headers; " : "";
    for (uint32_t i = 0; host.headers != nullptr && i < host.headerCount; ++i) {
        text +=
            "header " + std::string(host.headers[2 * i]) + ": " + host.headers[2 * i + 1] + "; ";
    }
    return text + "stream " + (host.stream != nullptr ? "set" : "-") + " " +
           (host.streamRead != nullptr ? "read" : "-") + " " +
           std::to_string(host.streamLengthLow) + " " + std::to_string(host.streamLengthHigh);
}

// A stream that counts its destruction in `*destroyed`.
struct CountedStream : Velto::RemotingStream {
    explicit CountedStream(int* destroyed) : destroyed(destroyed) {}
    ~CountedStream() override { ++*destroyed; }
    uint8_t read(uint8_t*, uint32_t*, uint8_t*) override { return 0; }
    uint32_t length() override { return 1234; }
    int* destroyed;
};

class WriteHostResponseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        registry_.RegisterEnum<Tier>("Tier").Value("Bronze", 1).Value("Gold", 2);
    }

    void TearDown() override {
        if (host_.release != nullptr) {
            host_.release(&host_);
            EXPECT_TRUE(IsZeroed(host_)) << "the release routine must zero all 62 bytes";
        }
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
    EXPECT_EQ(
        Describe(host_),
        "error 1 Boost store unavailable; body null; status 500 code 0 flag 0 ''; no headers; "
        "stream - - 0 0");
    EXPECT_EQ(destroyed, 1) << "the failed result's stream must be destroyed";
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
    // Response codes past 3 are written as 0; the flag is copied as it is.
    response_.responseCode = 3;
    response_.responseFlag = 3;
    second_.responseCode = 4;
    second_.responseFlag = 4;
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
    std::string headers;  // copied in the map's order
    for (const auto& [name, value] : response_.headers) {
        headers += "header " + name + ": " + value + "; ";
    }
    EXPECT_EQ(Describe(host_), R"(error 0 -; body {"tier":"Gold","unnamedTier":-7}; )"
                               "status 207 code 3 flag 3 '207 Multi-Status'; " +
                                   headers + "stream set read 1234 0");
    EXPECT_TRUE(host_.headers[0] != response_.headers.begin()->first.c_str() &&
                host_.headers[2] != std::next(response_.headers.begin())->first.c_str())
        << "names are copies";
    EXPECT_EQ(response_.stream, nullptr) << "the stream moves into the record";
    void* const stream = host_.stream;
    const auto releaseStream = host_.streamRelease;

    Write(second_);
    EXPECT_EQ(Describe(host_),
              "error 1 second call failed; body null; status 0 code 0 flag 4 ''; no headers; "
              "stream - - 0 0");
    EXPECT_EQ(+host_.responseText, Velto::kEmptyResponseText);
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

    EXPECT_EQ(Describe(host_),
              "error 1 Couldn't write the result for the host: it nests deeper than 512 levels or "
              "memory ran out.; body null; status 0 code 0 flag 0 ''; no headers; stream - - 0 0");
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
