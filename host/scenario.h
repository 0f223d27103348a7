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
// Expectations check what the plug-in did during the latest step that was not an expectation
// (the calls the host recorded from its start to the expectation), or that step's outcome:
//
//   expect event NAME JSON     an event of this name was published with a payload that equals
//                              JSON as a JSON value (member order and number spelling do not
//                              matter); the text "*" in JSON matches any value, for dates that
//                              depend on the clock
//   expect request METHOD PATH [JSON]
//                              a request of this method to exactly this path was sent; with
//                              JSON, a JSON array, its positional arguments equal it
//   expect log LEVEL TEXT...   a line was logged at LEVEL (OKAY, WARN, ERROR, ALWAYS) whose
//                              message is exactly TEXT, the rest of the line
//   expect no event | expect no request | expect no log
//                              nothing of that kind happened
//   expect nothing             the plug-in made no call into the host at all
//   expect answer STATUS [error TEXT... | value JSON]
//                              the latest call step was answered with this status, and with
//                              exactly this error message, or with no error and this value
//   expect memory baseline     the latest memory step found the bytes in use (bytesAllocated
//                              minus bytesFreed) at their level just before the latest load
//                              (TestHost::BytesInUseBeforeLoad)
//
// e.g.   fire OnJsonApiEvent_mek-end-of-game_v1_eog-stats-block {"uri": ..., "eventType":
//          "Update", "data": {}}
//        expect nothing
//        call GET /mek-active-boosts/v1/active-boosts
//        expect answer 404 error Not found
//
// Each expectation writes a "host: expectation met" or "host: expectation NOT met" note to the
// transcript; an unmet one stops the scenario there, naming what was expected and what happened.
// Every other step first writes its heading to the transcript, e.g. `host fires "OnX"` with the
// payload below it.
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

#include "host/function_call.h"
#include "host/test_host.h"

namespace Velto::TestHost {

// Scenario files larger than this are refused rather than read.
inline constexpr std::size_t kMaxScenarioBytes = 16 * 1024 * 1024;

struct ScenarioError {
    std::size_t line = 0;  // 1-based; 0 when the fault is not on one line
    std::string reason;
    bool unmet = false;  // the fault is an expectation the plug-in did not meet

    // "line N: reason", or the reason alone for line 0.
    std::string ToString() const;
};

// What the steps of a scenario act on, and what expectations look back at.
struct ScenarioContext {
    explicit ScenarioContext(TestHost& testHost) : host(testHost) {}

    TestHost& host;
    // The number of calls the host had recorded when the latest step other than an
    // expectation began: expectations look at the calls after it.
    std::size_t stepCalls = 0;
    // The answer of the latest call step; empty before one, or when it called nothing.
    std::optional<FunctionAnswer> lastAnswer;
    // The reading of the latest memory step; empty before one, or when there was no export table.
    std::optional<MemoryStats> lastMemory;
};

class Scenario {
  public:
    // Carries out one parsed command; false, with `reason` set, stops the scenario.
    using Action = std::function<bool(ScenarioContext& context, std::string* reason)>;

    struct Step {
        std::size_t line = 0;
        std::string command;
        Action action;
        // What the transcript's heading says the host does, e.g. `host fires "OnX"`; empty for
        // an expectation.
        std::string heading;
        // A JSON value the heading shows (a payload, a served value); empty for none.
        std::string value;
    };

    // Parses a whole scenario; on the first malformed line the result is empty and `error`
    // names the line and the reason.
    static std::optional<Scenario> Parse(std::string_view text, ScenarioError* error = nullptr);
    // Reads and parses a scenario file; a file that cannot be read, or is larger than
    // kMaxScenarioBytes, is reported with line 0.
    static std::optional<Scenario> ParseFile(const std::string& path,
                                             ScenarioError* error = nullptr);

    // Runs every step in order; stops at the first failing step (an unmet expectation
    // included) and reports its line.
    bool Run(ScenarioContext& context, ScenarioError* error = nullptr) const;

    const std::vector<Step>& Steps() const { return steps_; }

    // One usage line per command, e.g. "load [MAJOR.MINOR.PATCH]".
    static std::vector<std::string> Usage();

  private:
    std::vector<Step> steps_;
};

}  // namespace Velto::TestHost
