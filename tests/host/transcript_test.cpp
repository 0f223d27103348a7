// Transcript lines in their two forms.
#include "host/transcript.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

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
        {TranscriptLine(LineKind::Call, Side::Plugin, "Subscribe")
             .Quoted("name", "OnX", FieldStyle::Positional)
             .Unsigned("handle", 1)
             .Unsigned("flags", 1),
         R"(plugin -> Subscribe("OnX", handle=1, flags=1))"},
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
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.line.ToText(), c.text);
    }
}

TEST(TranscriptLine, RendersOneJsonObjectWithEveryField) {
    const TranscriptLine line = TranscriptLine(LineKind::Call, Side::Plugin, "Log")
                                    .Bare("level", "ALWAYS", FieldStyle::Positional)
                                    .Quoted("message", "a \"quoted\" text")
                                    .Json("payload", "[1,null]")
                                    .Float("delay", 0.5);
    const std::string json = line.ToJson();
    rapidjson::Document document;
    document.Parse(json.c_str());
    ASSERT_FALSE(document.HasParseError()) << json;
    EXPECT_STREQ(document["line"].GetString(), "call");
    EXPECT_STREQ(document["from"].GetString(), "plugin");
    EXPECT_STREQ(document["call"].GetString(), "Log");
    EXPECT_STREQ(document["level"].GetString(), "ALWAYS");
    EXPECT_STREQ(document["message"].GetString(), "a \"quoted\" text");
    EXPECT_TRUE(document["payload"].IsArray());
    EXPECT_EQ(document["delay"].GetDouble(), 0.5);
}

TEST(Transcript, KeepsLinesInItsFormatAndEchoesThem) {
    std::ostringstream echo;
    Transcript transcript;
    transcript.EchoTo(&echo);
    transcript.Add(TranscriptLine(LineKind::Call, Side::Host, "Start").Unsigned("handle", 1));
    transcript.SetFormat(TranscriptFormat::Json);
    transcript.Add(TranscriptLine(LineKind::Return, Side::Plugin, "Start").Boolean("result", true));
    const std::string expected =
        "-> Start(handle=1)\n"
        R"({"line":"return","from":"plugin","call":"Start","result":true})"
        "\n";
    EXPECT_EQ(transcript.Text(), expected);
    EXPECT_EQ(echo.str(), expected);
    ASSERT_EQ(transcript.Lines().size(), 2u);
}

}  // namespace
