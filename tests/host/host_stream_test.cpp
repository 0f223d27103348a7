// The scripted stream alone: how its pieces come out of reads of a given capacity.
#include "host/host_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Velto::TestHost;

// One read as "bytes+" (more follows), "bytes." (the end) or "fail".
std::string ReadOnce(ScriptedStream& stream, uint32_t capacity) {
    std::vector<uint8_t> buffer(capacity);
    const StreamReadResult result = stream.Read(buffer.data(), capacity);
    if (!result.succeeded) {
        return "fail";
    }
    EXPECT_LE(result.delivered, capacity);
    return std::string(buffer.begin(), buffer.begin() + result.delivered) +
           (result.more ? "+" : ".");
}

StreamPiece Part(std::string bytes, bool more) {
    return StreamPiece{std::move(bytes), more, false};
}

const StreamPiece kFailure{"", false, true};

TEST(ScriptedStream, DeliversItsPiecesSplitByCapacity) {
    struct Case {
        const char* name;
        std::vector<StreamPiece> pieces;
        std::vector<uint32_t> capacities;
        std::vector<std::string> reads;
    };
    const Case cases[] = {
        {"one read per piece",
         {Part("abc", true), Part("de", false)},
         {4, 4, 4},
         {"abc+", "de.", "."}},
        {"a piece longer than the buffer",
         {Part("abcdefghij", false)},
         {4, 4, 4, 4},
         {"abcd+", "efgh+", "ij.", "."}},
        {"the split keeps more set, then the piece's own flag",
         {Part("abcdef", true)},
         {4, 4, 4},
         {"abcd+", "ef+", "."}},
        {"exactly the capacity, then an empty end",
         {Part("abcd", true), Part("", false)},
         {4, 4, 4},
         {"abcd+", ".", "."}},
        {"a failing read is used up",
         {Part("ab", true), kFailure, Part("cd", false)},
         {8, 8, 8, 8},
         {"ab+", "fail", "cd.", "."}},
        {"no capacity delivers nothing yet", {Part("ab", false)}, {0, 4}, {"+", "ab."}},
        {"no pieces at all", {}, {4, 4}, {".", "."}},
    };
    for (const Case& c : cases) {
        ScriptedStream stream(c.pieces);
        std::vector<std::string> reads;
        for (uint32_t capacity : c.capacities) {
            reads.push_back(ReadOnce(stream, capacity));
        }
        EXPECT_EQ(reads, c.reads) << c.name;
        EXPECT_TRUE(stream.Finished()) << c.name;
    }
}

TEST(ScriptedStream, IsFinishedOnlyAfterItsLastPiece) {
    ScriptedStream stream({Part("abcdef", false)});
    EXPECT_FALSE(stream.Finished());
    EXPECT_EQ(ReadOnce(stream, 4), "abcd+");
    EXPECT_FALSE(stream.Finished()) << "part of the piece is still to come";
    EXPECT_EQ(ReadOnce(stream, 4), "ef.");
    EXPECT_TRUE(stream.Finished());
}

}  // namespace
