// The scalar stores of TreeAssembler's interface, for builders that place every value through
// their own Next().
#pragma once

#include <string_view>

#include "binding/binding_property.h"

namespace Velto {

template <class Builder>
class PlacesThroughNext {
  public:
    // Sets the value Next() gives; false when it gives none.
    template <class Value>
    bool Store(Value value) noexcept {
        BindingProperty* target = static_cast<Builder*>(this)->Next();
        if (target != nullptr) {
            *target = value;
        }
        return target != nullptr;
    }
    bool StoreText(std::string_view text) noexcept { return Store(text); }
};

}  // namespace Velto
