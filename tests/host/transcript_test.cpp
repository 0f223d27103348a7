// Transcript lines in their two forms.
#include "host/transcript.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using namespace Velto::TestHost;

TEST(TranscriptLine, RendersEachKindOfLineAsText) {
    struct Case {
        TranscriptLine line;
        const char* text;
    };
    const Case cases[] = {
        {TranscriptLine(LineKind::Call, Side::Host, "Shutdown"), "-> Shutdown()"},
        {TranscriptLine(LineKind::Return, Side::Plugin, "load")
             .Label("version")
             .Bare("version", "18.0.0", FieldStyle::Positional)
             .Bare("module", "ok"),
         "<- version 18.0.0 module=ok"},
        {TranscriptLine(LineKind::Return, Side::Host, "SendRequest")
             .Unsigned("status", 404, FieldStyle::Positional)
             .Quoted("error", "line\nbreak"),
         R"(plugin <- 404 error="line\nbreak")"},
        {TranscriptLine(LineKind::Note, Side::Host, "Start")
             .Bare("message", "Start skipped", FieldStyle::Positional),
         "host: Start skipped"},
        {TranscriptLine(LineKind::Call, Side::Plugin, "ScheduleCall")
             .Float("delay", 0.25)
             .Float("late", INFINITY)
             .Signed("level", -3)
             .Boolean("ok", false)
             .Json("payload", R"({"a":[1]})", FieldStyle::Positional),
         R"(plugin -> ScheduleCall(delay=0.25, late="inf", level=-3, ok=false, {"a":[1]}))"},
        {TranscriptLine(LineKind::Call, Side::Plugin, "SendEvent")
             .Quoted("name", "OnX", FieldStyle::Positional)
             .Json("payload",
                   R"({"text":"a, \"b\": {c}","list":[1,{}],"empty":[],"n":12345678901})",
                   FieldStyle::Positional)
             .Json("headers", R"({"x-a-rather-long-header-name":"and a value that is long too"})")
             .Unsigned("flags", 0),
         "plugin -> SendEvent(\"OnX\", flags=0)\n"
         "    {\n"
         "      \"text\": \"a, \\\"b\\\": {c}\",\n"
         "      \"list\": [\n"
         "        1,\n"
         "        {}\n"
         "      ],\n"
         "      \"empty\": [],\n"
         "      \"n\": 12345678901\n"
         "    }\n"
         "    headers={\n"
         "      \"x-a-rather-long-header-name\": \"and a value that is long too\"\n"
         "    }"},
        {TranscriptLine(LineKind::Step, Side::Host, "fire")
             .Label("host fires \"OnX\"")
             .Json("value", "[1,2]", FieldStyle::Positional),
         "host fires \"OnX\" [1,2]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.line.ToText(), c.text);
    }
}

TEST(Transcript, KeepsLinesInItsFormatAndEchoesThem) {
    std::ostringstream echo;
    Transcript transcript;
    transcript.EchoTo(&echo);
    transcript.Add(TranscriptLine(LineKind::Call, Side::Host, "Start").Unsigned("handle", 1));
    transcript.SetFormat(TranscriptFormat::Json);
    // A heading has no JSON form: it is left out.
    transcript.Add(TranscriptLine(LineKind::Step, Side::Host, "stop").Label("host stops"));
    transcript.Add(TranscriptLine(LineKind::Call, Side::Plugin, "Log")
                       .Bare("level", "ALWAYS", FieldStyle::Positional)
                       .Quoted("message", "a \"quoted\" text")
                       .Json("payload", "[1,null]")
                       .Float("delay", 0.5)
                       .Boolean("result", true));
    // One object per line, its members in the order they were added.
    const std::string expected =
        "-> Start(handle=1)\n"
        R"({"line":"call","from":"plugin","call":"Log","level":"ALWAYS",)"
        R"("message":"a \"quoted\" text","payload":[1,null],"delay":0.5,"result":true})"
        "\n";
    EXPECT_EQ(transcript.Text(), expected);
    EXPECT_EQ(echo.str(), expected);
    ASSERT_EQ(transcript.Lines().size(), 2u);
}

}  // namespace
