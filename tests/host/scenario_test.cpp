// Scenario parsing and playing.
#include "host/scenario.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Velto::TestHost;

std::vector<std::string> Commands(const Scenario& scenario) {
    std::vector<std::string> commands;
    for (const Scenario::Step& step : scenario.Steps()) {
        commands.push_back(std::to_string(step.line) + " " + step.command);
    }
    return commands;
}

TEST(Scenario, AcceptsTheDefaultScenario) {
    ScenarioError error;
    const std::optional<Scenario> scenario = Scenario::ParseFile(MEK_DEFAULT_SCENARIO, &error);
    ASSERT_TRUE(scenario.has_value()) << error.ToString();
    EXPECT_EQ(Commands(*scenario),
              (std::vector<std::string>{"2 load", "3 start", "4 memory", "5 stop"}));
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
        {"load 18.x.0", 1, R"(load: bad version "18.x.0" (usage: load [MAJOR.MINOR.PATCH]))"},
        {"load 18.0", 1, R"(load: bad version "18.0")"},
        {"load 18.0.0.1", 1, R"(load: bad version "18.0.0.1")"},
        {"load 4294967296.0.0", 1, R"(load: bad version "4294967296.0.0")"},
        {"load 18.0.0 extra", 1, R"(load: unexpected argument "extra")"},
        {"# comment\n\nstart one", 3,
         R"(start: bad connection handle "one" (usage: start [HANDLE]))"},
        {"start -1", 1, R"(start: bad connection handle "-1")"},
        {"memory now", 1, R"(memory: unexpected argument "now" (usage: memory))"},
        {"load\nstart\nstop 1", 3, R"(stop: unexpected argument "1")"},
        {"Load", 1, R"(unknown command "Load")"},
    };
    for (const Case& c : cases) {
        ScenarioError error;
        EXPECT_FALSE(Scenario::Parse(c.text, &error).has_value()) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_EQ(error.reason.rfind(c.reason, 0), 0u)
            << "scenario " << c.text << " gave: " << error.reason;
    }
}

TEST(Scenario, ReportsAnUnreadableFileWithoutALine) {
    ScenarioError error;
    EXPECT_FALSE(Scenario::ParseFile("/nonexistent/x.scenario", &error).has_value());
    EXPECT_EQ(error.line, 0u);
    EXPECT_EQ(error.ToString().rfind("cannot read scenario /nonexistent/x.scenario", 0), 0u)
        << error.ToString();
}

TEST(Scenario, PlaysMisplacedStepsAndLetsTheHostReportThem) {
    const std::optional<Scenario> scenario =
        Scenario::Parse("stop\nload 18.0.0\nstart 3\nstart\nmemory\nstop\nstop\n");
    ASSERT_TRUE(scenario.has_value());
    TestHost host;
    ASSERT_TRUE(host.OpenLibrary(MEK_FAKE_PLUGIN_PATH));
    ScenarioContext context{host};
    ScenarioError error;
    ASSERT_TRUE(scenario->Run(context, &error)) << error.ToString();
    EXPECT_EQ(host.State(), ModuleState::ShutDown);
    const std::string text = host.GetTranscript().Text();
    for (const char* line :
         {"host: Shutdown skipped: no module loaded\n", "-> Start(handle=3)\n",
          "host: Start called again on a started module\n", "-> GetMemoryStats()\n",
          "host: Shutdown skipped: the module was already shut down\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << "missing " << line << "in\n" << text;
    }
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
}

}  // namespace
