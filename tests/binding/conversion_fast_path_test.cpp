// The shortcuts record conversion takes: members inserted in name order with known hashes, field
// names interned through the context's cache, members looked up where a complete input has them.
// Each must give exactly what the plain operations give.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/field_converter.h"
#include "binding/fnv1a.h"
#include "binding/record_conversion.h"
#include "binding/storage_context.h"
#include "tests/binding/conversion_test_support.h"

namespace {

using ConversionTest::Render;
using Velto::BindingProperty;
using Velto::BindingRegistry;
using Velto::BindingResult;

TEST(MemberWithHash, MatchesMemberAndSurvivesAReusedAddress) {
    char name[8] = "abc";
    BindingProperty value;
    value.Member(std::string_view(name), Velto::Fnv1a("abc")) = 1;
    std::memcpy(name, "xyz", 3);
    value.Member(std::string_view(name), Velto::Fnv1a("xyz")) = 2;
    value.Member(std::string_view(name), Velto::Fnv1a("xyz")) = 3;
    value.Member("abc", Velto::Fnv1a("abc")) = 4;
    EXPECT_EQ(Render(value), "{abc=signed:4,xyz=signed:3}");
    value.Reset();
    EXPECT_EQ(Render(value), "empty");
    value.Member(std::string_view(name), Velto::Fnv1a("xyz")) = 5;
    EXPECT_EQ(Render(value), "{xyz=signed:5}") << "the cache starts over with the tree";
}

TEST(InternStable, KeepsOneReferenceAndChecksTheContent) {
    Velto::StorageContext* context = Velto::StorageContext::Create();
    ASSERT_NE(context, nullptr);
    char text[4] = "one";
    const Velto::InternedText* first = context->InternStable(text, Velto::Fnv1a("one"));
    EXPECT_EQ(first->View(), "one");
    EXPECT_EQ(context->InternStable(text, Velto::Fnv1a("one")), first);
    context->Release(first);
    context->Release(first);
    EXPECT_EQ(context->TextCount(), 1u) << "the cache still holds the text";
    std::memcpy(text, "two", 3);
    const Velto::InternedText* second = context->InternStable(text, Velto::Fnv1a("two"));
    EXPECT_EQ(second->View(), "two");
    context->Release(second);
    EXPECT_EQ(context->InternStable("", Velto::Fnv1a("")), &Velto::EmptyText());
    Velto::StorageContext::Destroy(context);
}

TEST(FindNear, FindsAtThePositionOrFallsBackToASearch) {
    BindingProperty value;
    value.Member("a") = 1;
    value.Member("b") = 2;
    value.Member("c") = 3;
    struct Case {
        const char* name;
        std::size_t position;
        std::string expected;
    };
    const Case cases[] = {
        {"b", 1, "signed:2"}, {"b", 0, "signed:2"}, {"c", 99, "signed:3"},
        {"d", 2, "empty"},    {"", 0, "empty"},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(Render(value.FindNear(test.name, test.position)), test.expected)
            << test.name << " at " << test.position;
    }
    EXPECT_EQ(Render(BindingProperty(5).FindNear("a", 0)), "empty");
}

struct Four {
    int32_t zeta = 1;
    int32_t alpha = 2;
    int32_t Mid = 3;
    int32_t alpha2 = 4;
};

TEST(MemberOrder, FollowsByteWiseNameOrder) {
    BindingRegistry registry;
    const Velto::TypeDescriptor* type = registry.RegisterStruct<Four>("Four")
                                            .Field<int32_t>("zeta", offsetof(Four, zeta))
                                            .Field<int32_t>("alpha", offsetof(Four, alpha))
                                            .Field<int32_t>("Mid", offsetof(Four, Mid))
                                            .Field<int32_t>("alpha2", offsetof(Four, alpha2))
                                            .Descriptor();
    EXPECT_EQ(type->memberOrder, (std::vector<uint32_t>{2, 1, 3, 0}));
    const uint32_t ranks[] = {3, 1, 0, 2};
    for (std::size_t index = 0; index < 4; ++index) {
        EXPECT_EQ(type->fields[index].memberRank, ranks[index]) << type->fields[index].name;
    }
    Four record;
    BindingResult written;
    Velto::WriteStruct(written, &record, type);
    EXPECT_EQ(Render(written), "{Mid=signed:3,alpha=signed:2,alpha2=signed:4,zeta=signed:1}");
    // An input lacking some fields, or with extra ones, moves members from their positions.
    BindingProperty input;
    input.Member("Aaa") = 0;
    input.Member("zeta") = 10;
    input.Member("alpha2") = 40;
    BindingResult status;
    Velto::ToStruct(status, &record, input, type, "four");
    EXPECT_TRUE(status.succeeded);
    EXPECT_EQ(record.zeta, 10);
    EXPECT_EQ(record.alpha, 2);
    EXPECT_EQ(record.alpha2, 40);
}

// Fails every write with a message naming the field.
class FailingConverter : public Velto::FieldConverter {
  public:
    explicit FailingConverter(std::string name) : name_(std::move(name)) {}
    void FromProperty(BindingResult&, void*, const BindingProperty&,
                      std::string_view) const override {}
    void ToProperty(BindingResult& output, const void*) const override {
        output.SetFailure("bad " + name_);
    }

  private:
    std::string name_;
};

template <const char* Name>
struct FailingFactory {
    static std::unique_ptr<Velto::FieldConverter> Make(const Velto::TypeSpec&) {
        return std::make_unique<FailingConverter>(Name);
    }
};

constexpr char kZulu[] = "zulu";
constexpr char kAlpha[] = "alpha";

TEST(WriteStruct, ReportsTheFirstFailureInRegistrationOrder) {
    BindingRegistry registry;
    const Velto::TypeDescriptor* type =
        registry.RegisterStruct<Four>("Four")
            .Field<int32_t>("ok", 0)
            .Field<int32_t, FailingFactory<kZulu>>("zulu", 4, "", 0, {}, true)
            .Field<int32_t, FailingFactory<kAlpha>>("alpha", 8, "", 0, {}, true)
            .Descriptor();
    Four record;
    BindingResult written;
    Velto::WriteStruct(written, &record, type);
    EXPECT_FALSE(written.succeeded);
    EXPECT_EQ(written.FailureMessage(), "bad zulu");
}

}  // namespace
