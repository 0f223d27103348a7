// Scenarios: small line-based scripts that play the host's side against a plug-in.
//
// One command per line, its arguments after it, separated by blanks or tabs. Blank lines and
// lines whose first non-blank character is '#' are skipped; a '#' further on belongs to the line,
// so that commands carrying a value can take it as JSON text (the rest of the line). Commands:
//
//   load [MAJOR.MINOR.PATCH]   the load handshake with this host API version (default 18.0.0)
//   start [HANDLE]             Start with this connection handle (default 1)
//   memory                     GetMemoryStats
//   stop                       Shutdown
//   serve PATH JSON            answers every GET of PATH with the value
//   answer METHOD PATH value JSON
//                              answers every request of METHOD (DELETE, GET, HEAD, OPTIONS,
//                              PATCH, POST or PUT) to PATH with the value, status 200
//   answer METHOD PATH error STATUS MESSAGE...
//                              ... with a failure: this status and the rest of the line as the
//                              error message
//   answer METHOD PATH stream [length=N] PIECE...
//                              ... with a streamed body, one piece per read of the plug-in.
//                              A piece is a JSON string followed by `more` (the more-flag is set
//                              after it) or `end` (clear), or the word `fail` (that read fails).
//                              The declared length is N, or else the pieces' byte count; e.g.
//                              answer GET /p stream "[1," more "2]" end
//   fire EVENT JSON            FireEvent: the event with this name and payload, to every
//                              subscription of that name, with the subscription's flags
//   run-deferred               RunDeferredCalls
//
// PATH is one word starting with '/', matched exactly (query string included). A later serve or
// answer for the same method and path replaces the earlier one; requests with no answer get the
// host's 404 "No handler for METHOD PATH". JSON values run to the end of the line.
//
// A scenario is parsed whole before any of it runs, so a malformed line is reported with its
// number before the plug-in sees anything. Misplaced steps (a second start, stopping a module
// that never started) are not scenario errors: the host carries them out as far as is safe and
// reports them in its transcript.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/test_host.h"

namespace Velto::TestHost {

// Scenario files larger than this are refused rather than read.
inline constexpr std::size_t kMaxScenarioBytes = 16 * 1024 * 1024;

struct ScenarioError {
    std::size_t line = 0;  // 1-based; 0 when the fault is not on one line
    std::string reason;

    // "line N: reason", or the reason alone for line 0.
    std::string ToString() const;
};

// What the steps of a scenario act on.
struct ScenarioContext {
    TestHost& host;
};

class Scenario {
  public:
    // Carries out one parsed command; false, with `reason` set, stops the scenario.
    using Action = std::function<bool(ScenarioContext& context, std::string* reason)>;

    struct Step {
        std::size_t line = 0;
        std::string command;
        Action action;
    };

    // Parses a whole scenario; on the first malformed line the result is empty and `error`
    // names the line and the reason.
    static std::optional<Scenario> Parse(std::string_view text, ScenarioError* error = nullptr);
    // Reads and parses a scenario file; a file that cannot be read, or is larger than
    // kMaxScenarioBytes, is reported with line 0.
    static std::optional<Scenario> ParseFile(const std::string& path,
                                             ScenarioError* error = nullptr);

    // Runs every step in order; stops at the first failing step and reports its line.
    bool Run(ScenarioContext& context, ScenarioError* error = nullptr) const;

    const std::vector<Step>& Steps() const { return steps_; }

    // One usage line per command, e.g. "load [MAJOR.MINOR.PATCH]".
    static std::vector<std::string> Usage();

  private:
    std::vector<Step> steps_;
};

}  // namespace Velto::TestHost
