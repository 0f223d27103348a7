// Runs plug-in code from a callback of the host, where no exception may escape.
#pragma once

#include <functional>

namespace Velto::Client {

// Calls `work`; an exception it throws is logged at level Error, as
// "Unhandled exception in %1: %2" with `what` and the exception's text, and goes no further.
void RunGuarded(const char* what, const std::function<void()>& work) noexcept;

}  // namespace Velto::Client
