// The library's trace providers are registered from its static initialisation to its unload, so
// that a trace controller sees them for as long as the library is loaded.
//
// On Windows both run under the loader lock. Registering there loads "Advapi32.dll", a system
// library that is already loaded in nearly every process and needs no other thread to
// initialise, so the loader lock is safe to hold; the library is never freed (see
// platform/system_functions.h). Waiting until the host's first call would miss a controller that
// watches the load itself.
#include "diagnostics/trace_providers.h"
#include "platform/system_functions.h"

namespace {

class TraceRegistration {
  public:
    TraceRegistration() noexcept { providers_.Register(Velto::Platform::SystemFunctions()); }

  private:
    Velto::TraceProviders providers_;  // unregisters them when destroyed, at unload
};

TraceRegistration registration;

}  // namespace
