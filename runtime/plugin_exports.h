// The three entry points every module hands to the host in its PluginExportTable.
//
// They accept whatever a host passes: a null module or record is a clean no-op (or a refusal),
// and nothing is ever thrown back to the host.
#pragma once

#include "platform/host_boundary.h"

namespace Velto::Client {

PluginExportTable MakePluginExportTable();

}  // namespace Velto::Client
