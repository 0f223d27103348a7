#include "binding/maybe_type.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using Velto::Failure;
using Status = Velto::MaybeType<Failure, void>;
template <class T>
using Maybe = Velto::MaybeType<Failure, T>;

TEST(Failure, ConstantMessagesAreBorrowedAndMovedFromFailuresKeepAnEmptyOwnedMessage) {
    Failure source(504, "Gateway %1", "timeout");
    const Failure target(std::move(source));
    EXPECT_STREQ(target.Message(), "Gateway timeout");
    EXPECT_FALSE(target.IsConstant());
    EXPECT_STREQ(source.Message(), "");
    EXPECT_FALSE(source.IsConstant());
    static const char kBorrowed[] = "borrowed";
    Failure constant = Failure::Constant(1, kBorrowed);
    Failure assigned;
    assigned = std::move(constant);
    EXPECT_EQ(assigned.Message(), kBorrowed) << "the very text, not a copy";
    EXPECT_TRUE(assigned.IsConstant());
    EXPECT_EQ(Failure::Constant(7, nullptr).Message(), nullptr);
    EXPECT_STREQ(constant.Message(), "");
}

TEST(MaybeType, HoldsEitherAlternativeSwitchesThemOnAssignmentAndMovesMoveOnlyValues) {
    Maybe<std::string> result = Failure(504, "Gateway timeout");
    ASSERT_TRUE(result.IsFailure());
    EXPECT_EQ(result.GetFailure().Code(), 504u);
    result = Maybe<std::string>(std::string("value"));
    ASSERT_FALSE(result.IsFailure());
    EXPECT_EQ(result.Value(), "value");
    const Maybe<std::string> copy = result;
    EXPECT_EQ(copy.Value(), "value");
    result = Maybe<std::string>(Failure("again"));
    EXPECT_STREQ(result.GetFailure().Message(), "again");
    Maybe<std::string> failedCopy(result);
    EXPECT_STREQ(failedCopy.GetFailure().Message(), "again");

    Maybe<std::unique_ptr<int>> owner(std::make_unique<int>(5));
    const Maybe<std::unique_ptr<int>> moved(std::move(owner));
    ASSERT_NE(moved.Value(), nullptr);
    EXPECT_EQ(*moved.Value(), 5);
    EXPECT_EQ(owner.Value(), nullptr) << "the value itself was moved";
}

TEST(MaybeType, StatusRendersThroughTheFormatter) {
    EXPECT_EQ(Velto::Format("%1", Status()), "Success");
    EXPECT_EQ(Velto::Format("%1", Status(Failure(504, "Gateway timeout"))),
              "Gateway timeout (504)");
    EXPECT_EQ(Velto::Format("%1", Status(Failure::Constant(7, nullptr))), " (7)");
    EXPECT_EQ(Velto::Format("[%1$-9s]", Status()), "[Success  ]") << "a text form takes widths";
}

}  // namespace
