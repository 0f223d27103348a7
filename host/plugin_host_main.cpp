// plugin-host: loads the plug-in into the in-process test host, plays a scenario and prints the
// transcript of everything that crossed the boundary on standard output.
//
// Exit codes: 0 when the scenario ran to its end with every expectation met, 1 when the library or
// the scenario could not be used, 2 for bad arguments, 3 when an expectation was not met. The
// reason of a 1 or a 3, with the scenario's line, goes to standard error; an unmet expectation is
// also the transcript's last line.
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/scenario.h"
#include "host/test_host.h"
#include "platform/executable_path.h"

namespace {

using namespace Velto::TestHost;

struct Options {
    std::string library;
    std::string scenario = MEK_DEFAULT_SCENARIO;
    bool json = false;
    bool help = false;
};

std::string UsageText() {
    std::string text =
        "usage: plugin-host [--library PATH] [--json] [SCENARIO]\n"
        "  --library PATH  the plug-in library to load (default: the built plug-in)\n"
        "  --json          print the transcript as one JSON object per line\n"
        "  SCENARIO        the scenario file to play (default: the bundled session scenario)\n"
        "Exit codes: 0 done, 1 unusable library or scenario, 2 bad arguments, 3 an expectation\n"
        "was not met (its line, what was expected and what happened go to standard error).\n"
        "Scenario commands, one per line ('#' starts a comment line); the details of a call go\n"
        "on the indented lines right after it (host/scenario.h describes every command).\n"
        "An expectation checks what the plug-in did during the latest other step: events and\n"
        "answers are compared as JSON values, where \"*\" matches any value; log texts and\n"
        "error texts are compared whole (LEVEL is OKAY, WARN, ERROR or ALWAYS); memory\n"
        "baseline means bytes in use are back at their level before the latest load.\n";
    for (const std::string& usage : Scenario::Usage()) {
        text += "  " + usage + "\n";
    }
    return text;
}

// The built plug-in where the build put it, else a library of its name beside this program.
std::string DefaultLibrary() {
    std::vector<std::string> candidates;
#ifdef MEK_DEFAULT_PLUGIN_PATH
    candidates.emplace_back(MEK_DEFAULT_PLUGIN_PATH);
#endif
    char buffer[4096];
    const std::size_t length = Velto::Platform::ExecutablePath(buffer, sizeof buffer);
    const std::filesystem::path program(std::string(buffer, length));
    candidates.push_back((program.parent_path() / MEK_PLUGIN_FILE_NAME).string());
    std::error_code ignored;
    for (const std::string& candidate : candidates) {
        if (std::filesystem::exists(candidate, ignored)) {
            return candidate;
        }
    }
    return candidates.front();
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    bool scenarioGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options->help = true;
        } else if (argument == "--json") {
            options->json = true;
        } else if (argument == "--library") {
            if (i + 1 == argc) {
                *error = "--library needs a path";
                return false;
            }
            options->library = argv[++i];
        } else if (argument.starts_with("--library=")) {
            options->library = argument.substr(std::string_view("--library=").size());
        } else if (argument.starts_with("-")) {
            *error = "unknown option " + std::string(argument);
            return false;
        } else if (scenarioGiven) {
            *error = "more than one scenario given";
            return false;
        } else {
            options->scenario = argument;
            scenarioGiven = true;
        }
    }
    if (options->library.empty() && !options->help) {
        options->library = DefaultLibrary();
    }
    return true;
}

int Fail(const std::string& message, int exitCode = 1) {
    std::cerr << "plugin-host: " << message << "\n";
    return exitCode;
}

std::string ScenarioFailure(const std::string& path, const ScenarioError& error) {
    return error.line == 0 ? error.reason
                           : path + ":" + std::to_string(error.line) + ": " + error.reason;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::cerr << "plugin-host: " << error << "\n" << UsageText();
        return 2;
    }
    if (options.help) {
        std::cout << UsageText();
        return 0;
    }
    ScenarioError scenarioError;
    const std::optional<Scenario> scenario = Scenario::ParseFile(options.scenario, &scenarioError);
    if (!scenario) {
        return Fail(ScenarioFailure(options.scenario, scenarioError));
    }
    TestHost host(options.json ? TranscriptFormat::Json : TranscriptFormat::Text);
    host.GetTranscript().EchoTo(&std::cout);
    if (!host.OpenLibrary(options.library, &error)) {
        return Fail("cannot load plug-in library " + options.library + ": " + error);
    }
    ScenarioContext context{host};
    if (!scenario->Run(context, &scenarioError)) {
        return Fail(ScenarioFailure(options.scenario, scenarioError), scenarioError.unmet ? 3 : 1);
    }
    return 0;
}
