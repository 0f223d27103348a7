// Logging set-up for a plug-in module: the module brackets the logger's life, and once it knows
// the host's function table it sends every log line to the host instead of the consoles.
#pragma once

#include <functional>
#include <memory>

#include "diagnostics/log_target.h"

namespace Velto {

// The module's share of the logger: StartLogging when it is constructed, StopLogging when it is
// destroyed (the last stop destroys the logger).
void StartLogging() noexcept;
void StopLogging() noexcept;

// The name of the target that forwards log lines to the host.
inline constexpr const char* kPluginLogTargetName = "PluginLogTarget";

// Installs the plug-in's log target, unless a target named "PluginLogTarget" is attached
// already (then nothing changes and `createTarget` is not called):
//   1. detaches the standard-output, standard-error and debugger targets;
//   2. sets the logger's minimum level to 0 (Okay) and its suppressed groups to "XTR";
//   3. makes the target with `createTarget` and stores it in `moduleTarget`, destroying the
//      target held there before;
//   4. configures it with minimum level 0, no group filters and "#D| #L| #G| #M", which
//      attaches it.
// An empty `createTarget`, or one that returns null, leaves `moduleTarget` as it was.
void StartPluginLogging(std::unique_ptr<LogTarget>& moduleTarget,
                        const std::function<std::unique_ptr<LogTarget>()>& createTarget);

}  // namespace Velto
