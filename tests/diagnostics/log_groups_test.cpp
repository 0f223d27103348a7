// The table of log group names: the list of names for a mask, and registration of new names.
#include "diagnostics/log_groups.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "diagnostics/log.h"
#include "diagnostics/log_api.h"

namespace {

using Velto::LogGroupTable;

// Lists into exactly `size` bytes followed by a guard byte that must stay untouched.
std::string ListText(const LogGroupTable& table, uint64_t mask, std::size_t size = 256) {
    std::vector<char> buffer(size + 1, '\x7F');
    const std::size_t length = table.ListText(buffer.data(), size, mask);
    EXPECT_EQ(buffer[size], '\x7F') << "wrote past the buffer of " << size << " bytes";
    if (size == 0) {
        EXPECT_EQ(length, 0u);
        return buffer[0] == '\x7F' ? "<untouched>" : "<written>";
    }
    EXPECT_EQ(std::string(buffer.data()).size(), length);
    return buffer.data();
}

// A three-letter name for slot number `index`, distinct for every index below 26 * 26.
std::string NameFor(int index) {
    return std::string{'Q', static_cast<char>('A' + index / 26),
                       static_cast<char>('A' + index % 26)};
}

// Names are listed in ascending bit order; a name is started only with two bytes of room
// (one for it, one for the terminator) and cut to what fits.
TEST(LogGroups, ListsTheNamesOfAMaskAndCutsThemToTheBuffer) {
    const uint64_t dbgNet = Velto::kLogGroupDbg | Velto::kLogGroupNet;
    const struct {
        uint64_t mask;
        std::size_t size;
        const char* expected;
    } rows[] = {
        {0xFF, 256, "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST"},
        {uint64_t{1} << 8 | uint64_t{1} << 63, 256, "???;???"},  // unregistered bits
        {0, 256, ""},
        {dbgNet, 256, "DBG;NET"},
        {dbgNet, 0, "<untouched>"},
        {dbgNet, 1, ""},
        {dbgNet, 2, "D"},
        {dbgNet, 3, "DB"},
        {dbgNet, 4, "DBG"},
        {dbgNet, 5, "DBG;"},
        {dbgNet, 6, "DBG;N"},
        {dbgNet, 8, "DBG;NET"},
    };
    const LogGroupTable table;
    for (const auto& row : rows) {
        EXPECT_EQ(ListText(table, row.mask, row.size), row.expected)
            << "mask 0x" << std::hex << row.mask << std::dec << " into " << row.size;
    }
    EXPECT_EQ(table.ListText(nullptr, 10, dbgNet), 0u);
}

TEST(LogGroups, RegisteringFindsExistingNamesAndTakesTheNextFreeBit) {
    LogGroupTable table;
    EXPECT_EQ(table.LastUsedIndex(), 7) << "the predefined groups fill bits 0 to 7";
    EXPECT_EQ(table.Register("DBG"), Velto::kLogGroupDbg);
    EXPECT_EQ(table.Register("TST"), Velto::kLogGroupTst);
    const uint64_t added = table.Register("ABC");
    EXPECT_EQ(added, uint64_t{1} << 8);
    EXPECT_EQ(table.Register("ABC"), added) << "the same name must keep its bit";
    EXPECT_EQ(table.Register("ABCD"), added) << "only the first three characters count";
    EXPECT_EQ(table.Register("AB"), uint64_t{1} << 9) << "\"AB\" is not \"ABC\"";
    EXPECT_EQ(ListText(table, uint64_t{3} << 8), "ABC;AB");
    EXPECT_EQ(table.Register(nullptr), 0u);
    EXPECT_EQ(table.Register(""), 0u);
    EXPECT_EQ(table.LastUsedIndex(), 9);
}

TEST(LogGroups, HoldsSixtyFourGroupsAndRefusesMore) {
    LogGroupTable table;
    for (int slot = 8; slot < LogGroupTable::kSlotCount; ++slot) {
        ASSERT_EQ(table.Register(NameFor(slot).c_str()), uint64_t{1} << slot) << "slot " << slot;
    }
    EXPECT_EQ(table.Register("NEW"), 0u) << "a full table stores no new name";
    EXPECT_EQ(table.LastUsedIndex(), 63);
    EXPECT_EQ(table.Register(NameFor(63).c_str()), uint64_t{1} << 63) << "existing names are found";
    EXPECT_EQ(table.Register("DBG"), 1u);
    EXPECT_EQ(ListText(table, uint64_t{1} << 63), NameFor(63));
}

TEST(LogGroups, ConcurrentRegistrationGivesEachNameOneBit) {
    LogGroupTable table;
    constexpr int kThreads = 4;
    constexpr int kNames = 20;
    std::vector<std::vector<uint64_t>> masks(kThreads, std::vector<uint64_t>(kNames));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < kNames; ++n) {
                masks[t][n] = table.Register(NameFor(n).c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 1; t < kThreads; ++t) {
        EXPECT_EQ(masks[t], masks[0]) << "thread " << t << " saw other bits";
    }
    EXPECT_EQ(table.LastUsedIndex(), 7 + kNames);
}

TEST(LogGroups, ProcessTableHoldsLocationAtBitEight) {
    EXPECT_EQ(Velto::ProcessLogGroups().Register("LOC"), Velto::kLogGroupLoc);
    EXPECT_EQ(Velto::GetLogApi()->RegisterGroup("LOC"), Velto::kLogGroupLoc);
    EXPECT_EQ(Velto::GetLogApi()->RegisterGroup("DBG"), Velto::kLogGroupDbg);
    char text[16];
    Velto::GetLogApi()->GroupListText(text, sizeof text, Velto::kLogGroupLoc | 1);
    EXPECT_STREQ(text, "DBG;LOC");
}

}  // namespace
