#include "binding/binding_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/fnv1a.h"
#include "tests/binding/conversion_test_support.h"

// The remoting layer owns the real definition; this executable links only the binding layer.
struct Velto::FunctionDescriptor {
    std::string name;
};

namespace {

using Velto::BindingRegistry;
using Velto::FieldConverter;
using Velto::FunctionDescriptor;
using Velto::FunctionDescriptorHandle;
using Velto::TypeDescriptor;
using Velto::TypeKind;
using Velto::TypeSpec;
namespace StaticType = Velto::StaticType;

struct Point {
    int32_t x;
    int32_t y;
};
struct Unregistered {};
enum class Colour : int32_t { Red = 1, Green = 2 };

// Registration in these tests does not need converters.
struct NoConverter {
    static std::unique_ptr<FieldConverter> Make(const TypeSpec&) { return nullptr; }
};

// Remembers the TypeSpec it was made for.
class SpecConverter : public FieldConverter {
  public:
    explicit SpecConverter(const TypeSpec& spec) : spec(spec) {}
    void FromProperty(Velto::BindingResult&, void*, const Velto::BindingProperty&,
                      std::string_view) const override {}
    void ToProperty(Velto::BindingResult&, const void*) const override {}
    TypeSpec spec;
};
struct SpecFactory {
    static std::unique_ptr<FieldConverter> Make(const TypeSpec& spec) {
        return std::make_unique<SpecConverter>(spec);
    }
};

TEST(KindName, NamesEveryKindAndNothingElse) {
    std::string names;
    for (const uint32_t kind : {0u,  1u,  2u,  3u,  4u,  5u,  6u,  7u,  8u,  9u,  10u,
                                11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 19u, 20u, 0xFFFFFFFFu}) {
        names += Velto::KindName(static_cast<TypeKind>(kind)) + std::string(",");
    }
    EXPECT_EQ(names,
              ",bool,int8,uint8,int16,uint16,int32,uint32,int64,uint64,float,double,string,object,"
              "blob,vector,enum,struct,callback,map,,,");
}

TEST(BindingRegistry, SecondRegistrationOfANameKeepsTheFirstDefinitionAndItsTags) {
    BindingRegistry registry;
    Velto::TypeBuilder first = registry.RegisterStruct<Point>("Point");
    EXPECT_FALSE(first.Existed());
    // Tags skip empty texts and keep their order.
    const std::vector<std::string> more = {"c", "", "d"};
    first.Field<int32_t, NoConverter>("x", 0).Description("first").Tag("").Tag("a");
    first.Tags({"b", ""}).Tags(more);
    const Velto::TypeBuilder again = registry.RegisterStruct<Unregistered>("Point");
    EXPECT_TRUE(again.Existed());
    Velto::TypeBuilder second = again;
    second.Field<int32_t, NoConverter>("y", 4).Description("second").Tag("two").Value("A", 1);

    const TypeDescriptor* point = registry.FindType("Point");
    EXPECT_EQ(again.Descriptor(), point);
    ASSERT_EQ(point->fields.size(), 1u);
    EXPECT_EQ(point->fields[0].name, "x");
    EXPECT_EQ(point->description, "first");
    EXPECT_EQ(point->tags, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_TRUE(point->values.empty());
    EXPECT_EQ(point->identity, &StaticType::HashCode<Point>());
    EXPECT_EQ(registry.FindType(StaticType::HashCode<Point>()), point);
    EXPECT_EQ(registry.FindTypeByHash(point->hash), point);
    EXPECT_EQ(registry.FindType(StaticType::HashCode<Unregistered>()), nullptr);
    EXPECT_EQ(registry.FindType("point"), nullptr) << "names are case-sensitive";
}

TEST(BindingRegistry, FieldsKeepRegistrationOrderAndEveryDetail) {
    BindingRegistry registry;
    Velto::TypeBuilder builder = registry.RegisterStruct<Point>("Point");
    const TypeDescriptor* point = builder.Descriptor();
    // An extra spec is kept only when its kind is set.
    const TypeSpec withoutKind{TypeKind::None, TypeKind::Int32, point};
    const TypeSpec withKind{TypeKind::Struct, TypeKind::Int32, point};
    builder.Field<int32_t, SpecFactory>("y", 4, "vertical", Velto::kFieldRequired, withoutKind)
        .Field<int32_t, SpecFactory>("x", 0, "horizontal", Velto::kFieldOmitZero, withKind, true);
    std::string fields;
    for (const Velto::FieldDescriptor& field : point->fields) {
        SCOPED_TRACE(field.name);
        fields += field.name + "@" + std::to_string(field.offset) + " '" + field.description +
                  "' flags " + std::to_string(field.flags) + " extra " +
                  Velto::KindName(field.extra.kind) +
                  (field.extra.descriptor != nullptr ? ":" + field.extra.descriptor->name : "") +
                  (field.optional ? " optional; " : "; ");
        EXPECT_EQ(field.nameHash, Velto::Fnv1a(field.name));
        EXPECT_EQ(field.identity, &StaticType::HashCode<int32_t>());
        EXPECT_EQ(field.owner, point);
        EXPECT_EQ(field.spec.kind, TypeKind::Int32);
        const auto* converter = dynamic_cast<const SpecConverter*>(field.converter.get());
        ASSERT_NE(converter, nullptr);
        EXPECT_EQ(converter->spec.kind, TypeKind::Int32) << "made for the field's TypeSpec";
    }
    EXPECT_EQ(fields, "y@4 'vertical' flags " + std::to_string(Velto::kFieldRequired) +
                          " extra ; x@0 'horizontal' flags " +
                          std::to_string(Velto::kFieldOmitZero) + " extra struct:Point optional; ");
}

struct Everything {};

// Registers a field of each type in `Types`, in order.
template <class... Types>
const TypeDescriptor* WithFieldsOf(Velto::TypeBuilder builder) {
    (builder.Field<Types, NoConverter>(Velto::StaticType::Name<Types>().name, 0), ...);
    return builder.Descriptor();
}

TEST(BindingRegistry, DerivesTypeSpecsFromNativeTypes) {
    BindingRegistry registry;
    registry.RegisterStruct<Point>("Point");
    registry.RegisterEnum<Colour>("Colour");
    const TypeDescriptor* everything =
        WithFieldsOf<bool, int8_t, uint8_t, int16_t, uint16_t, int32_t, uint32_t, int64_t, uint64_t,
                     float, double, std::string, Velto::BindingProperty, std::vector<uint8_t>,
                     std::vector<int32_t>, std::vector<Point>, std::vector<Colour>,
                     std::vector<std::vector<int32_t>>, std::unordered_map<std::string, double>,
                     std::unordered_map<std::string, Point>, Colour, Point, Unregistered>(
            registry.RegisterStruct<Everything>("Everything"));
    std::string specs;
    for (const Velto::FieldDescriptor& field : everything->fields) {
        specs += (specs.empty() ? "" : " ") + ConversionTest::SpecText(field.spec);
    }
    EXPECT_EQ(specs,
              "bool int8 uint8 int16 uint16 int32 uint32 int64 uint64 float double string object "
              "blob vector<int32> vector<struct>:Point vector<enum>:Colour vector<vector> "
              "map<double> map<struct>:Point enum:Colour struct:Point struct");
}

TEST(BindingRegistry, EnumeratorsAreOrderedByNameAndANumberNamesTheFirstThatHasIt) {
    BindingRegistry registry;
    const TypeDescriptor* colour = registry.RegisterEnum<Colour>("Colour")
                                       .Value("Red", 1, "warm")
                                       .Value("Green", 2)
                                       .Value("Crimson", 1)
                                       .Value("Red", 7)
                                       .Descriptor();
    // A name given twice keeps its first number and description.
    std::string values;
    for (const auto& [name, value] : colour->values) {
        values += name + "=" + std::to_string(value.value) + " '" + value.description + "' ";
        EXPECT_EQ(value.owner, colour) << name;
    }
    EXPECT_EQ(values, "Crimson=1 '' Green=2 '' Red=1 'warm' ");
    EXPECT_TRUE(colour->isEnum);
    const Velto::TypeIdentity* identity = &StaticType::HashCode<Colour>();
    std::string lookups;
    for (const int32_t number : {1, 2, 0, 7}) {
        const std::string* name = Velto::ValueName(identity, number, &registry);
        lookups += std::to_string(number) +
                   (Velto::IsValidValue(colour, number) ? " valid " : " ") +
                   (name != nullptr ? *name : "unnamed") + "; ";
    }
    EXPECT_EQ(lookups, "1 valid Crimson; 2 valid Green; 0 unnamed; 7 unnamed; ");
    // Lookups with a piece missing find nothing.
    EXPECT_FALSE(Velto::IsValidValue(nullptr, 1));
    EXPECT_EQ(Velto::ValueName(nullptr, 1, &registry), nullptr);
    EXPECT_EQ(Velto::ValueName(identity, 1, nullptr), nullptr);
    EXPECT_EQ(Velto::ValueName(&StaticType::HashCode<Point>(), 1, &registry), nullptr);
}

TEST(BindingRegistry, EventsAreGetOrCreateWithTheirDataTypeFoundByIdentity) {
    BindingRegistry registry;
    const TypeDescriptor* point = registry.RegisterStruct<Point>("Point").Descriptor();
    const Velto::EventDescriptor* moved =
        registry.RegisterEvent<Point>("OnMoved").Description("Moved.").Tag("x").Descriptor();
    registry.RegisterEvent<Unregistered>("OnMoved").Description("Again.").Tag("y");
    EXPECT_EQ(registry.FindEvent("OnMoved"), moved);
    EXPECT_EQ(moved->type, point);
    EXPECT_EQ(moved->description, "Moved.");
    EXPECT_EQ(moved->tags, std::vector<std::string>{"x"});
    EXPECT_EQ(registry.RegisterEvent<Unregistered>("OnOther").Descriptor()->type, nullptr);
    EXPECT_TRUE(registry.RegisterEvent<Point>("OnOther").Existed());
    EXPECT_EQ(registry.FindEvent("OnNothing"), nullptr);
}

int destroyedFunctions = 0;

FunctionDescriptorHandle MakeFunction(const char* name) {
    return FunctionDescriptorHandle(new FunctionDescriptor{name},
                                    [](FunctionDescriptor* function) noexcept {
                                        ++destroyedFunctions;
                                        delete function;
                                    });
}

TEST(BindingRegistry, FunctionsAreStoredByNameAndDestroyedByRemoveAllOrWithTheRegistry) {
    destroyedFunctions = 0;
    {
        BindingRegistry registry;
        const auto [first, firstExisted] = registry.AddFunction("Get", MakeFunction("first"));
        EXPECT_FALSE(firstExisted);
        const auto [again, againExisted] = registry.AddFunction("Get", MakeFunction("second"));
        EXPECT_TRUE(againExisted);
        EXPECT_EQ(again, first);
        EXPECT_EQ(destroyedFunctions, 1) << "the descriptor not stored is destroyed";
        EXPECT_EQ(registry.FindFunction("Get")->name, "first");
        EXPECT_EQ(registry.FindFunction("Put"), nullptr);
        const auto [none, noneExisted] =
            registry.AddFunction("Put", FunctionDescriptorHandle(nullptr, nullptr));
        EXPECT_EQ(none, nullptr);
        EXPECT_FALSE(noneExisted);
        registry.AddFunction("Delete", MakeFunction("third"));
        std::vector<std::string> names;
        for (const FunctionDescriptor* function : registry.SnapshotFunctions()) {
            names.push_back(function->name);
        }
        EXPECT_EQ(names, (std::vector<std::string>{"third", "first"}));
        // RemoveAll destroys the functions and forgets the types as well.
        registry.RegisterStruct<Point>("Point");
        registry.RemoveAll();
        EXPECT_EQ(destroyedFunctions, 3);
        EXPECT_TRUE(registry.SnapshotFunctions().empty());
        EXPECT_EQ(registry.FindType(StaticType::HashCode<Point>()), nullptr);
    }
    EXPECT_EQ(destroyedFunctions, 3);
}

TEST(BindingRegistry, SnapshotsAreInByteWiseNameOrderAndVoidIdentityTypesFoundByNameOnly) {
    BindingRegistry registry;
    registry.RegisterStruct<Point>("b");
    registry.RegisterStruct<Colour>("a");
    const TypeDescriptor* opaque =
        registry.RegisterType(0, "C", Velto::VoidIdentity(), false).Descriptor();
    registry.RegisterEvent<Point>("OnB");
    registry.RegisterEvent<Point>("OnA");
    std::string names;
    for (const TypeDescriptor* type : registry.SnapshotTypes()) {
        names += type->name + " ";
    }
    for (const Velto::EventDescriptor* event : registry.SnapshotEvents()) {
        names += event->name + " ";
    }
    EXPECT_EQ(names, "C a b OnA OnB ");
    EXPECT_EQ(registry.FindType("C"), opaque);
    EXPECT_EQ(registry.FindType(Velto::VoidIdentity()), nullptr);
    EXPECT_EQ(registry.FindTypeByHash(Velto::VoidIdentity().hash), nullptr);
}

}  // namespace
