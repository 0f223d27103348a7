// The status of every conversion and the output of every reader: a value plus a success flag.
//
// A fresh result has succeeded and holds an empty value. A failed one holds the structure
// {"error": message}. Conversions do nothing once a status has failed, so the first failure wins.
#pragma once

#include <string_view>

#include "binding/binding_property.h"

namespace Velto {

class BindingResult : public BindingProperty {
  public:
    using BindingProperty::BindingProperty;
    using BindingProperty::operator=;
    BindingResult() noexcept = default;

    // Replaces the value by {"error": message} and clears `succeeded`. `message` may be a text
    // of this result.
    void SetFailure(std::string_view message) noexcept;
    // The "error" text of a failed result; the empty text when it succeeded or when "error" is
    // not a string.
    std::string_view FailureMessage() const noexcept;

    bool succeeded = true;
};

}  // namespace Velto
