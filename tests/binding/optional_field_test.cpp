// Fields that wrap their type in std::optional: registration, both directions, failures.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "binding/help_records.h"
#include "binding/record_conversion.h"

namespace {

using Velto::BindingProperty;
using Velto::BindingResult;

struct Point {
    int32_t x = 0;
};

struct Maybe {
    std::optional<int32_t> count;
    std::optional<std::string> label;
    std::optional<Point> point;
    std::optional<std::vector<uint8_t>> levels;
};

class OptionalField : public ::testing::Test {
  protected:
    OptionalField() {
        registry_.RegisterStruct<Point>("Point").Field<int32_t>("x", offsetof(Point, x));
        registry_.RegisterStruct<Maybe>("Maybe")
            .Field<std::optional<int32_t>>("count", offsetof(Maybe, count))
            .Field<std::optional<std::string>>("label", offsetof(Maybe, label))
            .Field<std::optional<Point>>("point", offsetof(Maybe, point))
            .Field<std::optional<std::vector<uint8_t>>>("levels", offsetof(Maybe, levels));
        type_ = registry_.FindType("Maybe");
    }

    Velto::BindingRegistry registry_;
    const Velto::TypeDescriptor* type_ = nullptr;
};

TEST_F(OptionalField, RegistersTheWrappedTypeAsOptional) {
    ASSERT_NE(type_, nullptr);
    for (const Velto::FieldDescriptor& field : type_->fields) {
        EXPECT_TRUE(field.optional) << field.name;
    }
    EXPECT_EQ(type_->fields[0].spec.kind, Velto::TypeKind::Int32);
    EXPECT_EQ(type_->fields[2].spec.kind, Velto::TypeKind::Struct);
    EXPECT_NE(type_->fields[2].spec.descriptor, nullptr);
    EXPECT_EQ(type_->fields[3].spec.kind, Velto::TypeKind::Blob);
}

TEST_F(OptionalField, ValuesPresentConvertAsTheirTypeAndAbsentOnesAreEmpty) {
    Maybe full;
    full.count = -5;
    full.label = "name";
    full.point = Point{7};
    full.levels = std::vector<uint8_t>{1, 2};
    BindingResult written;
    Velto::WriteStruct(written, &full, type_);
    ASSERT_TRUE(written.succeeded) << written.FailureMessage();
    EXPECT_EQ(written.Find("count").GetSigned(), -5);
    EXPECT_EQ(written.Find("label").GetString(), "name");
    EXPECT_EQ(written.Find("point").Find("x").GetSigned(), 7);
    EXPECT_EQ(written.Find("levels").Size(), 2u);

    Maybe back;
    BindingResult status;
    Velto::ToStruct(status, &back, written, type_, "maybe");
    ASSERT_TRUE(status.succeeded) << status.FailureMessage();
    EXPECT_EQ(back.count, full.count);
    EXPECT_EQ(back.label, full.label);
    ASSERT_TRUE(back.point.has_value());
    EXPECT_EQ(back.point->x, 7);
    EXPECT_EQ(back.levels, full.levels);

    BindingResult none;
    back = Maybe{};
    Velto::WriteStruct(none, &back, type_);
    ASSERT_TRUE(none.succeeded);
    EXPECT_EQ(none.Size(), 4u);
    for (const char* name : {"count", "label", "point", "levels"}) {
        EXPECT_TRUE(none.Find(name).IsEmpty()) << name;
    }
}

TEST_F(OptionalField, EmptyInputClearsAndFailuresKeepTheField) {
    const auto& converter = *type_->fields[0].converter;
    std::optional<int32_t> count = 3;
    BindingResult status;
    converter.FromProperty(status, &count, BindingProperty(), "count");
    EXPECT_TRUE(status.succeeded);
    EXPECT_FALSE(count.has_value());

    count = 3;
    converter.FromProperty(status, &count, BindingProperty(int64_t{1} << 40), "count");
    EXPECT_FALSE(status.succeeded);
    EXPECT_NE(status.FailureMessage().find("'count'"), std::string_view::npos)
        << status.FailureMessage();
    EXPECT_EQ(count, 3);

    // A missing member leaves the field as it was.
    Maybe record;
    record.label = "kept";
    BindingProperty input;
    input.Member("count") = 9;
    BindingResult read;
    Velto::ToStruct(read, &record, input, type_, "maybe");
    ASSERT_TRUE(read.succeeded) << read.FailureMessage();
    EXPECT_EQ(record.count, 9);
    EXPECT_EQ(record.label, "kept");
}

}  // namespace
