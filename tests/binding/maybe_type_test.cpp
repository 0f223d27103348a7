#include "binding/maybe_type.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using Velto::Failure;
using Status = Velto::MaybeType<Failure, void>;
template <class T>
using Maybe = Velto::MaybeType<Failure, T>;

TEST(Failure, KeepsAFormatWithoutPlaceholdersAsItsMessageWithCodeZero) {
    const Failure failure("Couldn't convert LCDS call parameters.");
    EXPECT_STREQ(failure.Message(), "Couldn't convert LCDS call parameters.");
    EXPECT_EQ(failure.Code(), 0u);
    EXPECT_FALSE(failure.IsConstant());
}

TEST(Failure, FormatsItsMessageAndKeepsItsCode) {
    const Failure failure(400, "Request not sent: Error converting parameters for %1 %2: %3", "GET",
                          "/path", "bad");
    EXPECT_STREQ(failure.Message(),
                 "Request not sent: Error converting parameters for GET /path: bad");
    EXPECT_EQ(failure.Code(), 400u);
    EXPECT_EQ(Failure(0, "zero").Code(), 0u);
}

TEST(Failure, ConstantMessagesAreBorrowed) {
    static const char kText[] = "constant";
    const Failure failure = Failure::Constant(7, kText);
    EXPECT_EQ(failure.Message(), kText);
    EXPECT_TRUE(failure.IsConstant());
    EXPECT_EQ(Failure::Constant(7, nullptr).Message(), nullptr);
}

TEST(Failure, MovedFromFailureKeepsAnEmptyOwnedMessage) {
    Failure source(504, "Gateway %1", "timeout");
    const Failure target(std::move(source));
    EXPECT_STREQ(target.Message(), "Gateway timeout");
    EXPECT_STREQ(source.Message(), "");
    EXPECT_FALSE(source.IsConstant());
    Failure constant = Failure::Constant(1, "borrowed");
    Failure assigned;
    assigned = std::move(constant);
    EXPECT_STREQ(assigned.Message(), "borrowed");
    EXPECT_STREQ(constant.Message(), "");
}

TEST(MaybeType, HoldsAValueAndMovesIt) {
    Maybe<std::unique_ptr<int>> value(std::make_unique<int>(5));
    EXPECT_FALSE(value.IsFailure());
    Maybe<std::unique_ptr<int>> moved(std::move(value));
    ASSERT_NE(moved.Value(), nullptr);
    EXPECT_EQ(*moved.Value(), 5);
    EXPECT_EQ(value.Value(), nullptr) << "the value itself was moved";
}

TEST(MaybeType, HoldsAFailureAndSwitchesAlternativesOnAssignment) {
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
}

TEST(MaybeType, StatusRendersThroughTheFormatter) {
    struct Case {
        const char* what;
        Status status;
        const char* text;
    };
    const Case cases[] = {
        {"success", Status(), "Success"},
        {"failure with a code", Status(Failure(504, "Gateway timeout")), "Gateway timeout (504)"},
        {"code 0 is printed", Status(Failure("Broken")), "Broken (0)"},
        {"null message", Status(Failure::Constant(7, nullptr)), " (7)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Velto::Format("%1", c.status), c.text) << c.what;
    }
    EXPECT_EQ(Velto::Format("[%1$-9s]", Status()), "[Success  ]") << "a text form takes widths";
}

}  // namespace
