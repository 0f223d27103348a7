// The library's trace providers are registered from its static initialisation to its unload, so
// that a trace controller sees them for as long as the library is loaded.
//
// On Windows both run under the loader lock. Registering there loads "Advapi32.dll", a system
// library that is already loaded in nearly every process and whose start waits for no other
// thread, so loading it there cannot deadlock; it is never freed (see
// platform/system_functions.h). Waiting for the host's first call instead would name the wrong
// moment: the thread-naming event belongs to the load.
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
