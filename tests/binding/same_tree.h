// Structural equality of two value trees, for checks of copies, moves and codec round trips.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "binding/binding_property.h"

namespace TreeTesting {

// How integer kinds compare: exactly, or with a signed zero equal to an unsigned one (JSON's "-0"
// reads as signed zero, which writes as "0" and reads back unsigned).
enum class Integers { Exact, SignedZeroIsUnsigned };

struct Comparison {
    Integers integers = Integers::Exact;
};

// Same kinds, same scalars (floats bit for bit: -0.0 differs from 0.0, a NaN equals itself), same
// texts and bytes, same elements in order, same member names in the same order with the same
// values.
inline bool SameTree(const Velto::BindingProperty& left, const Velto::BindingProperty& right,
                     Comparison comparison = {}) {
    using Velto::ValueKind;
    if (comparison.integers == Integers::SignedZeroIsUnsigned && left.Kind() == ValueKind::Signed &&
        left.GetSigned() == 0 && right.Kind() == ValueKind::Unsigned && right.GetUnsigned() == 0) {
        return true;
    }
    if (left.Kind() != right.Kind() || left.Size() != right.Size()) {
        return false;
    }
    switch (left.Kind()) {
        case ValueKind::Empty:
            return true;
        case ValueKind::Bool:
            return left.GetBool() == right.GetBool();
        case ValueKind::Signed:
            return left.GetSigned() == right.GetSigned();
        case ValueKind::Unsigned:
            return left.GetUnsigned() == right.GetUnsigned();
        case ValueKind::Float:
            return std::bit_cast<uint64_t>(left.GetFloat()) ==
                   std::bit_cast<uint64_t>(right.GetFloat());
        case ValueKind::String:
            return left.GetString() == right.GetString();
        case ValueKind::Blob:
            return std::ranges::equal(left.GetBlob(), right.GetBlob());
        case ValueKind::Enum:
            return left.GetEnum().value == right.GetEnum().value &&
                   left.GetEnum().identity == right.GetEnum().identity;
        case ValueKind::Collection:
            for (std::size_t index = 0; index < left.Size(); ++index) {
                if (!SameTree(left.At(index), right.At(index), comparison)) {
                    return false;
                }
            }
            return true;
        case ValueKind::Structure: {
            auto other = right.Members().begin();
            for (const Velto::MemberEntry& member : left.Members()) {
                if (member.Name() != other->Name() ||
                    !SameTree(member.Value(), other->Value(), comparison)) {
                    return false;
                }
                ++other;
            }
            return true;
        }
    }
    return false;
}

}  // namespace TreeTesting
