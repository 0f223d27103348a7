// plugin-host end to end: the program run on the fake plug-in, its output and its exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& word) {
    return "'" + word + "'";
}

// Each test runs in a process of its own, possibly beside the others: names carry the process id.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "plugin_host_test_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// Runs plugin-host with `arguments` (already quoted where needed), through the emulator that
// runs this build's programs, if any.
Outcome RunPluginHost(const std::string& arguments) {
    const std::string errPath = TempPath("stderr.txt");
    const std::string command = std::string(MEK_TEST_EMULATOR) + " " + Quote(MEK_PLUGIN_HOST_PATH) +
                                " " + arguments + " 2>" + Quote(errPath);
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        outcome.out.append(buffer, n);
    }
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = ReadFile(errPath);
    return outcome;
}

const std::string kFakeLibrary = std::string("--library ") + Quote(MEK_FAKE_PLUGIN_PATH);

// Every expectation of the session is checked by the scenario.session test; this one checks
// that it is what plugin-host plays, against the built plug-in, when given nothing.
TEST(PluginHost, PlaysTheSessionScenarioAgainstThePluginByDefault) {
    const Outcome outcome = RunPluginHost("");
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err << outcome.out;
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(
        outcome.out.starts_with("host loads the plug-in with API version 18.0.0\n"
                                "  -> load_mek_active_boosts(18.0.0)\n"))
        << outcome.out;
    EXPECT_TRUE(outcome.out.ends_with("): memory baseline\n")) << outcome.out;
}

TEST(PluginHost, PlaysTheScenarioItIsGiven) {
    const std::string path = TempPath("refused.scenario");
    WriteFile(path, "# an old host\nload 17.9.9\nstart\n");
    const Outcome outcome = RunPluginHost(kFakeLibrary + " " + Quote(path));
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out,
              "host loads the plug-in with API version 17.9.9\n"
              "  -> load_mek_active_boosts(17.9.9)\n"
              "  <- version 17.9.9 module=null\n"
              "\n"
              "host starts the plug-in on connection 1\n"
              "  host: Start skipped: no live module\n");
}

TEST(PluginHost, PrintsItsUsageOnRequest) {
    const Outcome outcome = RunPluginHost("--help");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out.rfind("usage: plugin-host [--library PATH] [--json] [SCENARIO]", 0), 0u)
        << outcome.out;
    for (const char* usage : {"  call METHOD PATH\n    header NAME [VALUE...]\n",
                              "    function NAME\n  describe\n", "3 an expectation\n"}) {
        EXPECT_NE(outcome.out.find(usage), std::string::npos) << outcome.out;
    }
}

TEST(PluginHost, ExitsWithThreeAtAnUnmetExpectationAndSaysWhy) {
    const std::string path = TempPath("unmet.scenario");
    WriteFile(path,
              "load\nstart\nexpect event OnFakeSent {\"answer\": 41, \"items\": \"*\"}\nstop\n");
    const Outcome outcome = RunPluginHost(kFakeLibrary + " " + Quote(path));
    EXPECT_EQ(outcome.exitCode, 3) << outcome.err;
    const std::string why = R"(expected event "OnFakeSent" {"answer":41,"items":"*"}, but it )"
                            R"(published "OnFakeSent" with another payload: at answer: )"
                            "expected 41, got 42";
    EXPECT_EQ(outcome.err, "plugin-host: " + path + ":3: expect: " + why + "\n");
    // The steps after the unmet expectation do not run; the host shuts the module down as it goes.
    EXPECT_NE(
        outcome.out.find("  host: expectation NOT met (line 3): " + why + "\n  -> Shutdown()\n"),
        std::string::npos)
        << outcome.out;
}

TEST(PluginHost, FailsWithAClearMessage) {
    const std::string badScenario = TempPath("bad.scenario");
    WriteFile(badScenario, "load\nfly away\n");
    struct Case {
        std::string arguments;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {"--bogus", 2, "plugin-host: unknown option --bogus\nusage: "},
        {"--library", 2, "plugin-host: --library needs a path\n"},
        {kFakeLibrary + " a.scenario b.scenario", 2, "plugin-host: more than one scenario given\n"},
        {"--library /nonexistent/plugin.so", 1,
         "plugin-host: cannot load plug-in library /nonexistent/plugin.so: "},
        {kFakeLibrary + " " + Quote(badScenario), 1,
         "plugin-host: " + badScenario + ":2: unknown command \"fly\"\n"},
        {kFakeLibrary + " /nonexistent/x.scenario", 1,
         "plugin-host: cannot read scenario /nonexistent/x.scenario: "},
    };
    for (const Case& c : cases) {
        const Outcome outcome = RunPluginHost(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments << "\n" << outcome.err;
        EXPECT_EQ(outcome.err.rfind(c.message, 0), 0u)
            << "arguments " << c.arguments << " gave: " << outcome.err;
        EXPECT_EQ(outcome.out, "") << c.arguments;
    }
}

}  // namespace
