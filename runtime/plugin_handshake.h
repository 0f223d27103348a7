// The load handshake: checks the host's plug-in API version and hands the module to the host.
#pragma once

#include <memory>

#include "platform/host_boundary.h"
#include "runtime/app_module.h"

namespace Velto::Client {

// Completes the handshake for `module` and fills `context`: the plug-in's API version, its
// export table, the module, its short name and its API description. Returns the module, now
// owned by the host until Shutdown.
//
// A null context, or a host whose API version is incompatible, refuses the load: the result is
// null, the module is destroyed and the context is left as the host passed it. An incompatible
// host is also reported as "ALE-EECF0606" and logged.
void* CompleteHandshake(PluginLoadContext* context, std::unique_ptr<AppModule> module);

}  // namespace Velto::Client
