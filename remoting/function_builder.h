// The handle that registering a function returns: it sets how the host reaches the function.
//
// A failed builder (the function could not be bound) ignores every call. Builders belong to
// start-up: they change the binding without a lock, before any call can reach it.
#pragma once

#include <string_view>
#include <vector>

#include "remoting/function_binding.h"
#include "remoting/http_method.h"

namespace Velto {

class FunctionBuilder {
  public:
    // A null binding makes a failed builder.
    explicit FunctionBuilder(FunctionBinding* binding) noexcept : binding_(binding) {}

    // The route template; one trailing "/" is removed from a path longer than one character.
    FunctionBuilder& Route(std::string_view path);
    // The method (None: any); clears the custom method name.
    FunctionBuilder& Method(HttpMethod method);
    // A custom method: HttpMethod::Custom with this name.
    FunctionBuilder& CustomMethod(std::string_view name);
    // Appends the texts to the function's tags.
    FunctionBuilder& Tags(const std::vector<std::string>& tags);
    // Restricts where the argument `name` may be supplied by name; an unknown name fails the
    // builder.
    FunctionBuilder& Location(std::string_view name, ArgumentLocation location);

    bool Failed() const noexcept { return binding_ == nullptr; }
    FunctionBinding* Binding() const noexcept { return binding_; }

  private:
    FunctionBinding* binding_;
};

}  // namespace Velto
