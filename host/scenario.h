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
//   call METHOD PATH           calls the plug-in's function PATH is addressed to, through its
//                              entry in the API description, as the host does (TestHost::
//                              CallFunction); the transcript shows the call and the answer.
//                              METHOD is DELETE to PUT, a method code, or any other word, sent
//                              as a custom method (code 8). PATH is one word, query included.
//                              Indented lines right after it add to the call:
//     header NAME [VALUE...]     a request header; the value is the rest of the line
//     arg NAME JSON              a named direct argument
//     arg - JSON                 a positional direct argument; all arguments go in line order
//     body CONTENT-TYPE [TEXT...]
//                                the body: the rest of the line as it stands (without the
//                                blanks around it)
//     body CONTENT-TYPE hex HEX...
//                                the body of a binary content type (application/x-msgpack...,
//                                application/octet-stream), which is always given so: pairs of
//                                hex digits, blanks ignored; e.g. body application/x-msgpack
//                                hex 81a161 01
//     function NAME              calls the function of this name, whatever PATH says
//                              e.g.  call POST /fake/v1/items/7?verbose
//                                      header x-trace 1
//                                      body application/json {"id": 7}
//   describe                   writes the plug-in's API description: a line per function (method,
//                              route, arguments with their type and location, return type), type
//                              (size, fields or values) and event; one JSON object with --json
//
// PATH of serve and answer is one word starting with '/', matched exactly (query string
// included). A later serve or answer for the same method and path replaces the earlier one;
// requests with no answer get the host's 404 "No handler for METHOD PATH". JSON values run to the
// end of the line. A call's detail lines end at the first blank or unindented line; comment lines
// among them are skipped. CONTENT-TYPE is one word (e.g. application/json;charset=utf-8).
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
