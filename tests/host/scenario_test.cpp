// Scenario parsing and playing, and the JSON comparison its expectations use.
#include "host/scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/json_match.h"
#include "tests/host/host_test_support.h"

namespace {

using namespace Velto::TestHost;
using namespace Velto::TestHost::Testing;

std::vector<std::string> Commands(const Scenario& scenario) {
    std::vector<std::string> commands;
    for (const Scenario::Step& step : scenario.Steps()) {
        commands.push_back(std::to_string(step.line) + " " + step.command);
    }
    return commands;
}

TEST(Scenario, SkipsCommentsBlankLinesAndCarriageReturns) {
    const std::optional<Scenario> scenario =
        Scenario::Parse("  # a comment\r\n\r\n\t load 18.0.5 \r\nstart\n#start\nstop");
    ASSERT_TRUE(scenario.has_value());
    EXPECT_EQ(Commands(*scenario), (std::vector<std::string>{"3 load", "4 start", "6 stop"}));
}

TEST(Scenario, RejectsMalformedLinesWithTheirNumber) {
    struct Case {
        const char* text;
        std::size_t line;
        const char* reason;
    };
    const Case cases[] = {
        {"load\nfrobnicate now\n", 2, R"(unknown command "frobnicate")"},
        {"load 4294967296.0.0", 1,
         R"(load: bad version "4294967296.0.0" (usage: load [MAJOR.MINOR.PATCH]))"},
        {"load 18.0", 1, R"(load: bad version "18.0")"},
        {"load 18.0.0 extra", 1, R"(load: unexpected argument "extra")"},
        {"# comment\n\nstart one", 3,
         R"(start: bad connection handle "one" (usage: start [HANDLE]))"},
        {"memory now", 1, R"(memory: unexpected argument "now" (usage: memory))"},
        {"serve", 1, R"(serve: missing path (usage: serve PATH JSON))"},
        {"serve /p", 1, "serve: missing JSON value"},
        {"serve p {}", 1, R"(serve: path "p" does not start with '/')"},
        {"serve /p {\"a\":}", 1, "serve: bad JSON value: invalid JSON at offset 5: "},
        {"answer", 1,
         "answer: missing method (usage: answer METHOD PATH value JSON | answer METHOD PATH "
         "error STATUS MESSAGE... | answer METHOD PATH stream [length=N] PIECE...)"},
        {"answer GET", 1, "answer: missing path"},
        {"answer FETCH /p value 1", 1, R"(answer: unknown method "FETCH")"},
        {"answer GET /p", 1, "answer: missing answer kind"},
        {"answer GET /p reply 1", 1, R"(answer: unknown answer kind "reply")"},
        {"answer GET /p value", 1, "answer: missing JSON value"},
        {"answer GET /p error", 1, "answer: missing status"},
        {"answer GET /p error 4o4 gone", 1, R"(answer: bad status "4o4")"},
        {"answer GET /p error 404", 1, "answer: missing error message"},
        {"answer GET /p stream", 1, "answer: missing stream pieces"},
        {"answer GET /p stream length=x \"a\" end", 1, R"(answer: bad stream length "length=x")"},
        {"answer GET /p stream \"a\"", 1,
         R"(answer: stream piece "a" needs "more" or "end" after it)"},
        {"answer GET /p stream \"a end", 1, "answer: bad stream piece: unterminated"},
        {"answer GET /p stream \"\\q\" end", 1, "answer: bad stream piece: unterminated"},
        {"answer GET /p stream a end", 1, R"(answer: bad stream piece "a")"},
        {"fire", 1, R"(fire: missing event name (usage: fire EVENT JSON))"},
        {"fire OnX", 1, "fire: missing JSON value"},
        {"call", 1, "call: missing method (usage: call METHOD PATH)"},
        {"call GET", 1, "call: missing path"},
        {"call GET /p extra", 1, R"(call: unexpected argument "extra")"},
        {"load\ncall GET /p\n  header", 3,
         "call: header: missing header name (usage: header NAME [VALUE...])"},
        {"call GET /p\n\targ", 2,
         "call: arg: missing argument name (usage: arg NAME JSON | arg - JSON)"},
        {"call GET /p\n  arg - {", 2, "call: arg: bad JSON value: "},
        {"call GET /p\n  body", 2, "call: body: missing content type"},
        {"call GET /p\n  body application/x-msgpack 81", 2,
         "call: body: a body of type application/x-msgpack is given as hex bytes"},
        {"call GET /p\n  body application/octet-stream hex 8", 2,
         "call: body: odd number of hex digits"},
        {"call GET /p\n  body APPLICATION/X-MSGPACK hex 8g", 2, R"(call: body: bad hex digit "g")"},
        {"call GET /p\n  body text/plain a\n  body text/plain b", 3, "call: body: a second body"},
        {"call GET /p\n  function", 2, "call: function: missing function name"},
        {"call GET /p\n  function A\n  function B", 3, "call: function: a second function name"},
        {"call GET /p\n  # a comment\n  send x", 3,
         R"(call: unknown detail "send" (details: header, arg, body, function))"},
        {"call GET /p\n\n  header a b", 3, R"(unknown command "header")"},
        {"expect", 1,
         "expect: missing expectation (expectations: event, request, log, no, nothing, answer, "
         "memory) (usage: expect event NAME JSON | expect request METHOD PATH [JSON] | "},
        {"expect events OnX {}", 1, R"(expect: unknown expectation "events")"},
        {"expect event", 1, "expect: event: missing event name"},
        {"expect event OnX {", 1, "expect: event: bad JSON value: "},
        {"expect request FETCH /p", 1, R"(expect: request: unknown method "FETCH")"},
        {"expect request GET", 1, "expect: request: missing path"},
        {"expect request GET /p {}", 1, "expect: request: the arguments are a JSON array"},
        {"expect log INFO x", 1, R"(expect: log: unknown level "INFO")"},
        {"expect log", 1, "expect: log: missing level"},
        {"expect log ERROR", 1, "expect: log: missing log message"},
        {"expect no", 1, "expect: no: expect no event, no request or no log"},
        {"expect answer", 1, "expect: answer: missing status"},
        {"expect answer 2OO", 1, R"(expect: answer: bad status "2OO")"},
        {"expect answer 200 eror x", 1,
         R"(expect: answer: expected error or value after the status, not "eror")"},
        {"expect memory", 1, "expect: memory: expect memory baseline"},
    };
    for (const Case& c : cases) {
        ScenarioError error;
        EXPECT_FALSE(Scenario::Parse(c.text, &error).has_value()) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_EQ(error.reason.rfind(c.reason, 0), 0u)
            << "scenario " << c.text << " gave: " << error.reason;
    }
}

TEST(Scenario, RefusesAnUnreadableOrOversizedFileWithoutALine) {
    const std::string oversized = ::testing::TempDir() + "oversized.scenario";
    std::ofstream(oversized, std::ios::binary) << std::string(kMaxScenarioBytes + 1, '#');
    for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {"/nonexistent/x.scenario", "cannot read scenario /nonexistent/x.scenario: "},
             {oversized, "scenario " + oversized + " is larger than 16777216 bytes"},
         }) {
        ScenarioError error;
        EXPECT_FALSE(Scenario::ParseFile(path, &error).has_value());
        EXPECT_TRUE(error.ToString().starts_with(reason)) << error.ToString();
    }
    std::remove(oversized.c_str());
}

// What playing a scenario against the fake plug-in left: the error (empty when it ran to its
// end) and the host's transcript, whole and as lines.
struct Played {
    ScenarioError error;
    std::string text;
    std::vector<std::string> lines;
};

Played Play(const std::string& text, TranscriptFormat format = TranscriptFormat::Text) {
    const std::optional<Scenario> scenario = Scenario::Parse(text);
    EXPECT_TRUE(scenario.has_value()) << text;
    TestHost host(format);
    EXPECT_TRUE(host.OpenLibrary(MEK_FAKE_PLUGIN_PATH));
    ScenarioContext context{host};
    Played played;
    if (scenario.has_value()) {
        scenario->Run(context, &played.error);
    }
    played.text = host.GetTranscript().Text();
    played.lines = host.GetTranscript().Lines();
    return played;
}

// Plays `text`, which must run to its end, and returns the transcript.
std::string PlayText(const std::string& text) {
    const Played played = Play(text);
    EXPECT_EQ(played.error.reason, "") << text;
    return played.text;
}

void ExpectLines(const std::string& text, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << "missing " << line << " in\n"
                                                             << text;
    }
}

// The bundled scenarios serve values and replace answers.
TEST(Scenario, AnswersThePluginsRequestAsScripted) {
    const std::pair<const char*, std::string> cases[] = {
        {"answer GET /fake/v1/thing error 503 busy, # try later",
         R"(plugin <- 503 error="busy, # try later")"},
        {"answer GET /fake/v1/thing stream \"ab\" more fail",
         "plugin <- 200 stream=1 pieces=2 length=2"},
        {"answer GET /fake/v1/thing stream length=7 \"ab\" end",
         "plugin <- 200 stream=1 pieces=1 length=7"},
        {"serve /fake/v1/other 1\nanswer POST /fake/v1/thing value 1",
         R"(plugin <- 404 error="No handler for GET /fake/v1/thing")"},
    };
    for (const auto& [answer, line] : cases) {
        SCOPED_TRACE(answer);
        ExpectLines(PlayText(std::string(answer) + "\nload\nstart\nstop\n"), {line});
    }
}

TEST(Scenario, CallsThePluginsFunctionsAndDescribesThem) {
    const std::string text = PlayText(
        "load\nstart\n"
        "call POST /fake/v1/items/7?verbose\n"
        "  header x-trace 1 2\n"
        "  arg - 5\n"
        "  arg item {\"id\": 7}\n"
        "  body application/json {\"id\": 7}\n"
        "call 3 /nowhere\n"
        "  function Ping\n"
        "  body application/x-msgpack hex 81a161 01\n"
        "call PURGE /fake/v1/cache#all\n"
        "call GET /fake/v1/fail\n"
        "call GET /fake/v1/files/x\n"
        "call GET /nothing\n"
        "describe\n"
        "stop\n");
    ExpectLines(
        text,
        {
            R"(-> PostItem(POST, "/fake/v1/items/7?verbose", args=[5], named={"item":{"id":7}}, )"
            R"(headers={"x-trace":"1 2"}, contentType="application/json", body="{\"id\": 7}", )"
            "context=0)",
            R"(<- 200 headers={"x-fake":"echo"})",
            R"(-> Ping(HEAD, "/nowhere", contentType="application/x-msgpack", bodyHex=81a16101, )"
            "context=0)",
            R"(-> Purge(PURGE, "/fake/v1/cache#all", context=0))",
            R"(<- 503 error="Not today")",
            // The fake delivers three bytes per read, and releases the stream first.
            "plugin -> Log(OKAY, \"released stream\")\n"
            "  plugin -> Log(OKAY, \"released response\")",
            R"(<- 200 stream="[1,2,3]" length=7 reads=3)",
            R"(host: no function fits GET "/nothing"; nothing called)",
            "<- description functions=7 types=1 events=1",
            R"(<- function PostItem POST "/fake/v1/items/{id}" (id: string in path, )"
            R"(verbose?: bool in query) returns FakeItem)",
        });
}

TEST(Scenario, WritesTheNewStepsAsJsonLinesToo) {
    const std::vector<std::string> calls = JsonCalls(
        Play("answer GET /fake/v1/thing stream \"ab\" end\nload\nstart\nfire OnFakeEvent 1\n"
             "run-deferred\nrun-deferred\ncall GET /fake/v1/thing\ndescribe\nstop\n",
             TranscriptFormat::Json)
            .lines);
    for (const char* call : {"return SendRequest", "call Event", "call EventCallback",
                             "return Event", "call DeferredCall", "note DeferredCall",
                             "call GetThing", "return GetThing", "return describe"}) {
        EXPECT_TRUE(Contains(calls, call)) << call;
    }
}

TEST(Scenario, ChecksExpectationsAgainstWhatThePluginDidInTheStepBefore) {
    // Played after "load" and "start" unless they begin with "load". The fake's Start subscribes,
    // publishes "OnFakeSent", queues a deferred call, waits, sends GET /fake/v1/thing("hello")
    // and logs what came back.
    const std::string payload = R"({"answer":42,"items":[true,"x",null,1.5]})";
    struct Case {
        std::string steps;
        std::string happened;  // empty: every expectation is met
    };
    const Case cases[] = {
        {R"(expect event OnFakeSent {"answer": 43, "items": "*"})",
         R"(but it published "OnFakeSent" with another payload: at answer: expected 43, got 42)"},
        {"expect event OnOther {}", R"(but it published "OnFakeSent" )" + payload},
        {"expect request GET /fake/v1/thing [\"bye\"]",
         R"(with other arguments: at [0]: expected "bye", got "hello")"},
        {"expect request POST /fake/v1/thing", R"(but it sent GET "/fake/v1/thing" ["hello"])"},
        {"expect log ALWAYS fake plug-in started",
         R"(but it logged ALWAYS "fake plug-in started, response 404)"},
        {"expect nothing",
         "but it called Subscribe, SendEvent, ScheduleCall, BeginWait, Yield, EndWait, "
         "SendRequest, Log, Reserved"},
        {"run-deferred\nexpect no event\nexpect no request\nexpect no log",
         R"(but it logged OKAY "deferred FakeDeferred userData=module")"},
        {"load\nexpect no request\nstart\nexpect no request", "but it sent GET"},
        {"expect answer 0", "but no call step before it was answered"},
        {"call GET /fake/v1/fail\nexpect answer 503 value {}",
         R"(but it answered 503 error "Not today")"},
        {"call GET /fake/v1/fail\nexpect answer 200", "but it answered 503"},
        {"call GET /fake/v1/thing\nexpect answer 200 value {\"function\": \"Get\"}",
         R"(which differs at function: expected "Get", got "GetThing")"},
        {"expect memory baseline", "but no memory step before it read the statistics"},
        // The fake reports 3 bytes allocated and 5 freed whenever it is asked.
        {"stop\nmemory\nexpect memory baseline",
         "but 18446744073709551614 bytes are in use, 0 were before the load"},
    };
    for (const Case& c : cases) {
        const ScenarioError error =
            Play(c.steps.starts_with("load") ? c.steps : "load\nstart\n" + c.steps).error;
        if (c.happened.empty()) {
            EXPECT_EQ(error.reason, "") << c.steps;
            continue;
        }
        EXPECT_TRUE(error.unmet) << c.steps << "\ngave: " << error.reason;
        EXPECT_EQ(error.reason.rfind("expect: expected ", 0), 0u) << error.reason;
        EXPECT_NE(error.reason.find(c.happened), std::string::npos)
            << c.steps << "\ngave: " << error.reason;
    }
}

TEST(Scenario, WritesEachStepUnderItsHeadingWithTheOutcomeOfEachExpectation) {
    const Played played = Play(
        "load\nstart 3\nexpect request GET /fake/v1/thing\nfire OnFakeEvent {\"a\": 1}\n"
        "fire OnNobody {}\nrun-deferred\nrun-deferred\nexpect event OnX {}\nstop\n");
    const std::string& transcript = played.text;
    EXPECT_EQ(played.error.line, 8u);
    EXPECT_TRUE(played.error.unmet);
    ExpectLines(transcript, {
                                "host starts the plug-in on connection 3",
                                "  -> Start(handle=3)",
                                R"(  host: expectation met (line 3): request GET "/fake/v1/thing")",
                                "",
                                R"(host fires "OnFakeEvent" {"a":1})",
                                R"(  -> Event("OnFakeEvent", {"a":1}))",
                                "  -> EventCallback(subscription=1, handle=3, flags=1)",
                                R"(  -> DeferredCall("FakeDeferred", id=1))",
                                R"(  plugin -> Log(OKAY, "deferred FakeDeferred userData=module"))",
                                "  host: no deferred calls queued",
                                R"(  host: expectation NOT met (line 8): expected event "OnX" {}, )"
                                R"(but it published no event)",
                            });
    EXPECT_EQ(transcript.find("host shuts the plug-in down"), std::string::npos)
        << "the scenario stops at the unmet expectation";
}

TEST(Scenario, StopsAtAStepThatCannotRunAndNamesItsLine) {
    const std::optional<Scenario> scenario = Scenario::Parse("# no library\nload\nstart\n");
    ASSERT_TRUE(scenario.has_value());
    TestHost host;
    ScenarioContext context{host};
    ScenarioError error;
    EXPECT_FALSE(scenario->Run(context, &error));
    EXPECT_EQ(error.ToString(), "line 2: load: no plug-in library is open");
    EXPECT_EQ(host.GetTranscript().Text().find("Start"), std::string::npos)
        << "the steps after the failing one do not run";
    EXPECT_FALSE(host.GetMemoryStats().has_value());
}

TEST(JsonMismatch, ComparesValuesAndNamesTheFirstDifference) {
    struct Case {
        const char* expected;
        const char* actual;
        const char* mismatch;  // null: they match
    };
    const Case cases[] = {
        {R"({"a": 1, "b": [1.0, "x"]})", R"({"b":[1,"x"],"a":1})", nullptr},
        {R"({"a": "*", "b": {"c": "*"}})", R"({"a":[1,{}],"b":{"c":null}})", nullptr},
        {R"({"a": {"b": [1, 2]}})", R"({"a":{"b":[1,3]}})", "at a.b[1]: expected 2, got 3"},
        {R"({"a": 1, "b": 2})", R"({"a":1})", R"(at the top: no member "b")"},
        {R"({"a": {}})", R"({"a":{"c":true}})", R"(at a: unexpected member "c")"},
        {"[1]", "[]", "at the top: expected 1 items, got 0"},
        {R"("1")", "1", R"(at the top: expected "1", got 1)"},
        {"1", "{", "the text is not JSON"},
        {"{", "1", "the expected text is not JSON"},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> mismatch = JsonMismatch(c.expected, c.actual);
        EXPECT_EQ(mismatch.value_or("(match)"), c.mismatch != nullptr ? c.mismatch : "(match)")
            << c.expected << " against " << c.actual;
    }
}

}  // namespace
