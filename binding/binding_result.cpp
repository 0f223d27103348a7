#include "binding/binding_result.h"

namespace Velto {

void BindingResult::SetFailure(std::string_view message) noexcept {
    // Built aside, because `message` may live in the tree about to be released.
    BindingProperty failure;
    failure.Member("error") = message;
    Take(failure);
    succeeded = false;
}

std::string_view BindingResult::FailureMessage() const noexcept {
    return succeeded ? std::string_view() : Find("error").GetString();
}

}  // namespace Velto
