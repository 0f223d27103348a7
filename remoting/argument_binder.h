// Collects the argument values of one call from the places the host may send them: named values
// (headers, path parameters, query pairs, each with dotted keys that address members and
// elements inside an argument), direct arguments and the body.
//
// Every operation returns false once the call has failed: the first failure is written into the
// call's RemotingResponse and ends binding. Bounds that keep a short request cheap: a dotted key
// may nest at most kMaxNestingDepth levels, and the elements that indices create in all
// collections together may not exceed the growth budget given at construction, so a request costs
// memory in proportion to its own size.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/binding_result.h"
#include "platform/host_boundary.h"
#include "remoting/function_binding.h"

namespace Velto {

struct FunctionDescriptor;
struct RemotingResponse;

class ArgumentBinder {
  public:
    // One slot per argument of `function`, the elements of one collection: null, except that a
    // non-optional bool starts false.
    ArgumentBinder(const FunctionDescriptor& function, const FunctionBinding& binding,
                   RemotingResponse& response, std::size_t growthBudget);

    // Binds `value` under `key` (an argument name, or a dotted path into one) when the
    // argument's location allows `location`.
    bool BindNamedValue(std::string_view key, std::string_view value, std::string_view contentType,
                        ArgumentLocation location);
    // Binds the host's direct argument at `position`: by exact name, or, unnamed, to the argument
    // that follows the `pathParameters` bound from the path.
    bool BindDirectArgument(std::size_t position, std::size_t pathParameters,
                            const Client::HostArgument& argument);
    // Gives the body to the first argument whose location is Body, decoded by its content type.
    // Does nothing without a body or without such an argument.
    bool BindBody(const Client::HostRequest& request);

    // The collection of argument values.
    BindingProperty& Values() noexcept { return values_; }

  private:
    bool AssignPath(BindingProperty& slot, std::string_view path, std::string_view value,
                    std::string_view contentType);
    bool AssignArgument(std::size_t index, std::string_view value, std::string_view contentType);
    bool AssignText(BindingProperty& slot, std::string_view text, std::string_view contentType,
                    bool structured, std::string_view name);
    bool Decoded(BindingProperty& slot, BindingResult& decoded, const char* format,
                 std::string_view name);
    BindingProperty* Element(BindingProperty& node, std::string_view segment);
    bool Fail(std::string_view message);
    // The index of the argument named `name`; the argument count when there is none.
    std::size_t IndexOf(std::string_view name) const;

    const FunctionDescriptor& function_;
    const FunctionBinding& binding_;
    RemotingResponse& response_;
    std::size_t growthBudget_;
    BindingProperty values_;
    std::span<BindingProperty> slots_;  // the elements of values_, which never grows
};

}  // namespace Velto
