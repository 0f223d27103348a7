// The log target that sends the plug-in's log lines to the host application.
#pragma once

#include <memory>

#include "diagnostics/log_target.h"
#include "platform/host_boundary.h"

namespace Velto::Client {

// Passes each record's level and message text (not a line expanded from its line format) to the
// host's Log slot. Always reports the record written; the host's handling is its own affair.
class PluginLogTarget final : public LogTarget {
  public:
    explicit PluginLogTarget(HostApi* api) noexcept;
    ~PluginLogTarget() override;

    const char* Name() const noexcept override;
    bool Write(const LogRecord& record) override;

  private:
    HostApi* api_;
};

// Sends the log to the host through `api` from now on, keeping the target in `moduleTarget`,
// unless a plug-in log target is attached already.
void InstallPluginLogTarget(std::unique_ptr<LogTarget>& moduleTarget, HostApi* api);

}  // namespace Velto::Client
