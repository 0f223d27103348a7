// Writing a tree and reading the text back gives the same tree, for random trees of every kind
// JSON carries both ways (blobs and enumerations read back as strings or numbers, so they are
// covered by the writer's own tests; a signed value only reads back as signed when negative).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "formats/json_reader.h"
#include "formats/json_writer.h"
#include "tests/binding/same_tree.h"

namespace {

using Velto::BindingProperty;
using Velto::BindingResult;

class RandomTrees {
  public:
    explicit RandomTrees(uint32_t seed) : random_(seed) {}

    void Fill(BindingProperty& value, int depth) {
        const int kinds = depth < kMaxDepth ? 9 : 7;
        switch (Below(kinds)) {
            case 0:
                value.Reset();
                return;
            case 1:
                value = Below(2) == 1;
                return;
            case 2:
                value = -static_cast<int64_t>((random_() >> 1) >> Below(63)) - 1;
                return;
            case 3:
                value = static_cast<uint64_t>(random_() >> Below(64));
                return;
            case 4:
                value = FiniteDouble();
                return;
            case 5:
            case 6:
                value = Text();
                return;
            case 7:
                FillCollection(value, depth);
                return;
            default:
                FillStructure(value, depth);
                return;
        }
    }

    double FiniteDouble() {
        for (;;) {
            const double value = Below(2) == 0
                                     ? std::bit_cast<double>(static_cast<uint64_t>(random_()))
                                     : static_cast<double>(random_() % 100000) / 64;
            if (std::isfinite(value)) {
                return value;
            }
        }
    }

  private:
    static constexpr int kMaxDepth = 6;

    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(random_() % bound); }

    // Any bytes but NUL, which ends a text read from JSON; invalid UTF-8 passes through.
    std::string Text() {
        std::string text(Below(12), ' ');
        for (char& c : text) {
            c = static_cast<char>(Below(2) == 0 ? 'a' + Below(26) : 1 + Below(255));
        }
        return text;
    }

    void FillCollection(BindingProperty& value, int depth) {
        value.MakeCollection();
        for (uint32_t count = Below(6); count > 0; --count) {
            Fill(value.Append(), depth + 1);
        }
    }

    void FillStructure(BindingProperty& value, int depth) {
        value.MakeStructure();
        for (uint32_t count = Below(6); count > 0; --count) {
            Fill(value.Member(Text()), depth + 1);
        }
    }

    std::mt19937_64 random_;
};

TEST(JsonRoundTrip, WrittenRandomTreesReadBackEqual) {
    RandomTrees trees(20261206);
    for (int round = 0; round < 3000; ++round) {
        BindingProperty tree;
        trees.Fill(tree, 0);
        for (const char* newline : {static_cast<const char*>(nullptr), "\n", "\r\n"}) {
            const std::string text = Velto::WriteJson(tree, nullptr, newline);
            const BindingResult read = Velto::ReadJson(text);
            ASSERT_TRUE(read.succeeded)
                << "round " << round << ": " << read.FailureMessage() << "\n"
                << text;
            ASSERT_TRUE(TreeTesting::SameTree(tree, read)) << "round " << round << " wrote\n"
                                                           << text << "\nand read back\n"
                                                           << Velto::WriteJson(read);
        }
    }
}

TEST(JsonRoundTrip, FloatsReadBackToTheSameDouble) {
    RandomTrees trees(7);
    for (int round = 0; round < 200000; ++round) {
        const double value = trees.FiniteDouble();
        const std::string text = Velto::WriteJson(BindingProperty(value));
        const BindingResult read = Velto::ReadJson(text);
        ASSERT_EQ(read.Kind(), Velto::ValueKind::Float) << text;
        ASSERT_EQ(std::bit_cast<uint64_t>(read.GetFloat()), std::bit_cast<uint64_t>(value))
            << text << " read back as " << Velto::WriteJson(read);
    }
}

}  // namespace
