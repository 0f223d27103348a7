// plugin-host end to end: the program run on the fake plug-in, its output and its exit codes.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

const std::string kFakeLibrary = std::string("--library ") + Quote(MEK_FAKE_PLUGIN_PATH);

TEST(PluginHost, PlaysTheDefaultScenarioAndPrintsTheTranscript) {
    const Outcome outcome = RunPluginHost(kFakeLibrary);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    const std::vector<std::string> lines = Lines(outcome.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "-> load_mek_active_boosts(18.0.0)");
    std::size_t next = 0;
    for (const char* expected : {
             R"(plugin -> Subscribe("OnFakeEvent", handle=1, flags=1))",
             R"(plugin -> SendRequest(GET, "/fake/v1/thing", args=["hello"], context=1))",
             R"(plugin <- 404 error="No handler for GET /fake/v1/thing")",
             "<- Start true",
             "<- delivered 0",
             R"(-> DeferredCall("FakeDeferred", id=1))",
             R"(plugin -> Log(OKAY, "deferred FakeDeferred userData=module"))",
             "-> GetMemoryStats()",
             "<- memory peakBytesInUse=1 allocationsAtPeak=2 bytesAllocated=3 "
             "allocationCount=4 bytesFreed=5 freeCount=6",
             "-> Shutdown()",
             R"(plugin -> Unsubscribe("OnFakeEvent", handle=1))",
             "<- Shutdown",
         }) {
        while (next < lines.size() && lines[next] != expected) {
            ++next;
        }
        EXPECT_LT(next, lines.size()) << "missing, or out of order: " << expected << "\n"
                                      << outcome.out;
    }
    EXPECT_NE(outcome.out.find("\n-> Event(\"OnJsonApiEvent_mek-login_v1_login-data-packet\", "
                               "{\"uri\":\"/mek-login/v1/login-data-packet\",\"eventType\":"
                               "\"Update\",\"data\":{"),
              std::string::npos)
        << outcome.out;
}

TEST(PluginHost, PrintsJsonLinesThatParse) {
    const Outcome outcome = RunPluginHost(kFakeLibrary + " --json");
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const std::vector<std::string> lines = Lines(outcome.out);
    ASSERT_GT(lines.size(), 10u);
    for (const std::string& line : lines) {
        rapidjson::Document document;
        document.Parse(line.c_str());
        ASSERT_FALSE(document.HasParseError()) << line;
        ASSERT_TRUE(document.IsObject() && document.HasMember("call")) << line;
    }
    rapidjson::Document first;
    first.Parse(lines.front().c_str());
    EXPECT_STREQ(first["call"].GetString(), "load_mek_active_boosts");
    EXPECT_STREQ(first["version"].GetString(), "18.0.0");
}

TEST(PluginHost, PlaysTheScenarioItIsGiven) {
    const std::string path = TempPath("refused.scenario");
    WriteFile(path, "# an old host\nload 17.9.9\nstart\n");
    const Outcome outcome = RunPluginHost(kFakeLibrary + " " + Quote(path));
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out,
              "-> load_mek_active_boosts(17.9.9)\n"
              "<- version 17.9.9 module=null\n"
              "host: Start skipped: no live module\n");
}

TEST(PluginHost, PrintsItsUsageOnRequest) {
    const Outcome outcome = RunPluginHost("--help");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out.rfind("usage: plugin-host [--library PATH] [--json] [SCENARIO]", 0), 0u)
        << outcome.out;
    for (const char* usage :
         {"  load [MAJOR.MINOR.PATCH]\n", "  call METHOD PATH\n    header NAME [VALUE...]\n",
          "    function NAME\n  describe\n"}) {
        EXPECT_NE(outcome.out.find(usage), std::string::npos) << outcome.out;
    }
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
