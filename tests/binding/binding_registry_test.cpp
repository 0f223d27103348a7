#include "binding/binding_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(KindName, NamesEveryKindAndNothingElse) {
    std::string names;
    for (uint32_t kind = 0; kind <= 20; ++kind) {
        names += Velto::KindName(static_cast<TypeKind>(kind)) + std::string(",");
    }
    EXPECT_EQ(names,
              ",bool,int8,uint8,int16,uint16,int32,uint32,int64,uint64,float,double,string,object,"
              "blob,vector,enum,struct,callback,map,,");
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
}

TEST(BindingRegistry, FieldsKeepRegistrationOrderAndEveryDetail) {
    BindingRegistry registry;
    Velto::TypeBuilder builder = registry.RegisterStruct<Point>("Point");
    const TypeDescriptor* point = builder.Descriptor();
    // An extra spec is kept only when its kind is set.
    const TypeSpec withoutKind{TypeKind::None, TypeKind::Int32, point};
    const TypeSpec withKind{TypeKind::Struct, TypeKind::Int32, point};
    builder.Field<int32_t, NoConverter>("y", 4, "vertical", Velto::kFieldRequired, withoutKind)
        .Field<int32_t, NoConverter>("x", 0, "horizontal", Velto::kFieldOmitZero, withKind, true);
    std::string fields;
    for (const Velto::FieldDescriptor& field : point->fields) {
        SCOPED_TRACE(field.name);
        fields += field.name + "@" + std::to_string(field.offset) + " '" + field.description +
                  "' flags " + std::to_string(field.flags) + " extra " +
                  Velto::KindName(field.extra.kind) +
                  (field.extra.descriptor != nullptr ? ":" + field.extra.descriptor->name : "") +
                  (field.optional ? " optional; " : "; ");
        EXPECT_EQ(field.identity, &StaticType::HashCode<int32_t>());
        EXPECT_EQ(field.owner, point);
    }
    EXPECT_EQ(fields, "y@4 'vertical' flags " + std::to_string(Velto::kFieldRequired) +
                          " extra ; x@0 'horizontal' flags " +
                          std::to_string(Velto::kFieldOmitZero) + " extra struct:Point optional; ");
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

TEST(BindingRegistry, EventsAreGetOrCreateAndSnapshotsAreInByteWiseNameOrder) {
    BindingRegistry registry;
    const TypeDescriptor* point = registry.RegisterStruct<Point>("b").Descriptor();
    registry.RegisterStruct<Colour>("a");
    const TypeDescriptor* opaque =
        registry.RegisterType(0, "C", Velto::VoidIdentity(), false).Descriptor();
    // An event keeps the data type, description and tags of its first registration.
    const Velto::EventDescriptor* moved =
        registry.RegisterEvent<Point>("OnB").Description("Moved.").Tag("x").Descriptor();
    registry.RegisterEvent<Unregistered>("OnB").Description("Again.").Tag("y");
    EXPECT_EQ(registry.FindEvent("OnB"), moved);
    EXPECT_EQ(moved->type, point);
    EXPECT_EQ(moved->description, "Moved.");
    EXPECT_EQ(moved->tags, std::vector<std::string>{"x"});
    EXPECT_EQ(registry.RegisterEvent<Unregistered>("OnA").Descriptor()->type, nullptr);
    EXPECT_TRUE(registry.RegisterEvent<Point>("OnA").Existed());
    EXPECT_EQ(registry.FindEvent("OnNothing"), nullptr);
    std::string names;
    for (const TypeDescriptor* type : registry.SnapshotTypes()) {
        names += type->name + " ";
    }
    for (const Velto::EventDescriptor* event : registry.SnapshotEvents()) {
        names += event->name + " ";
    }
    EXPECT_EQ(names, "C a b OnA OnB ");
    // A type without an identity is found by its name only.
    EXPECT_EQ(registry.FindType("C"), opaque);
    EXPECT_EQ(registry.FindType(Velto::VoidIdentity()), nullptr);
    EXPECT_EQ(registry.FindTypeByHash(Velto::VoidIdentity().hash), nullptr);
}

}  // namespace
