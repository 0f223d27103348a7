#include "host/scenario.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

namespace Velto::TestHost {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The words of one line after its command.
class Arguments {
  public:
    explicit Arguments(std::string_view rest) : rest_(Trim(rest)) {}

    std::optional<std::string_view> NextWord() {
        if (rest_.empty()) {
            return std::nullopt;
        }
        std::size_t end = 0;
        while (end < rest_.size() && !IsBlank(rest_[end])) {
            ++end;
        }
        const std::string_view word = rest_.substr(0, end);
        rest_ = Trim(rest_.substr(end));
        return word;
    }

    // Whatever is left, e.g. a JSON value.
    std::string_view Rest() const { return rest_; }
    bool AtEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

using CommandParser = bool (*)(Arguments& arguments, Scenario::Action* action, std::string* reason);

bool ParseNumber(std::string_view text, uint32_t* value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, *value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParseVersion(std::string_view text, HostVersion* version) {
    uint32_t* parts[] = {&version->major, &version->minor, &version->patch};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t dot = i < 2 ? text.find('.') : std::string_view::npos;
        if (i < 2 && dot == std::string_view::npos) {
            return false;
        }
        if (!ParseNumber(text.substr(0, dot), parts[i])) {
            return false;
        }
        text = i < 2 ? text.substr(dot + 1) : std::string_view();
    }
    return true;
}

bool NoMoreArguments(Arguments& arguments, std::string* reason) {
    if (arguments.AtEnd()) {
        return true;
    }
    *reason = "unexpected argument " + QuoteJson(*arguments.NextWord());
    return false;
}

bool ParseLoad(Arguments& arguments, Scenario::Action* action, std::string* reason) {
    HostVersion version;
    if (std::optional<std::string_view> word = arguments.NextWord()) {
        if (!ParseVersion(*word, &version)) {
            *reason = "bad version " + QuoteJson(*word);
            return false;
        }
    }
    if (!NoMoreArguments(arguments, reason)) {
        return false;
    }
    *action = [version](ScenarioContext& context, std::string* failure) {
        return context.host.Load(version, failure) != LoadResult::NotCalled;
    };
    return true;
}

bool ParseStart(Arguments& arguments, Scenario::Action* action, std::string* reason) {
    uint32_t handle = 1;
    if (std::optional<std::string_view> word = arguments.NextWord()) {
        if (!ParseNumber(*word, &handle)) {
            *reason = "bad connection handle " + QuoteJson(*word);
            return false;
        }
    }
    if (!NoMoreArguments(arguments, reason)) {
        return false;
    }
    *action = [handle](ScenarioContext& context, std::string*) {
        context.host.Start(handle);
        return true;
    };
    return true;
}

bool ParseMemory(Arguments& arguments, Scenario::Action* action, std::string* reason) {
    if (!NoMoreArguments(arguments, reason)) {
        return false;
    }
    *action = [](ScenarioContext& context, std::string*) {
        context.host.GetMemoryStats();
        return true;
    };
    return true;
}

bool ParseStop(Arguments& arguments, Scenario::Action* action, std::string* reason) {
    if (!NoMoreArguments(arguments, reason)) {
        return false;
    }
    *action = [](ScenarioContext& context, std::string*) {
        context.host.Shutdown();
        return true;
    };
    return true;
}

struct Command {
    std::string_view name;
    std::string_view usage;
    CommandParser parse;
};

// Every command: adding one is a line here and its parser above.
constexpr Command kCommands[] = {
    {"load", "load [MAJOR.MINOR.PATCH]", &ParseLoad},
    {"start", "start [HANDLE]", &ParseStart},
    {"memory", "memory", &ParseMemory},
    {"stop", "stop", &ParseStop},
};

const Command* FindCommand(std::string_view name) {
    for (const Command& command : kCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

}  // namespace

std::string ScenarioError::ToString() const {
    return line == 0 ? reason : "line " + std::to_string(line) + ": " + reason;
}

std::optional<Scenario> Scenario::Parse(std::string_view text, ScenarioError* error) {
    Scenario scenario;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        Arguments arguments(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (arguments.AtEnd() || arguments.Rest().front() == '#') {
            continue;
        }
        const std::string_view name = *arguments.NextWord();
        const Command* command = FindCommand(name);
        std::string reason;
        Action action;
        if (command == nullptr) {
            reason = "unknown command " + QuoteJson(name);
        } else if (!command->parse(arguments, &action, &reason)) {
            reason =
                std::string(name) + ": " + reason + " (usage: " + std::string(command->usage) + ")";
        }
        if (!reason.empty()) {
            if (error != nullptr) {
                *error = ScenarioError{lineNumber, reason};
            }
            return std::nullopt;
        }
        scenario.steps_.push_back(Step{lineNumber, std::string(name), std::move(action)});
    }
    return scenario;
}

std::optional<Scenario> Scenario::ParseFile(const std::string& path, ScenarioError* error) {
    auto fail = [&](const std::string& reason) -> std::optional<Scenario> {
        if (error != nullptr) {
            *error = ScenarioError{0, reason};
        }
        return std::nullopt;
    };
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return fail("cannot read scenario " + path + ": " + std::strerror(errno));
    }
    std::string text;
    char buffer[4096];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxScenarioBytes) {
            return fail("scenario " + path + " is larger than " +
                        std::to_string(kMaxScenarioBytes) + " bytes");
        }
    }
    if (file.bad()) {
        return fail("cannot read scenario " + path);
    }
    return Parse(text, error);
}

bool Scenario::Run(ScenarioContext& context, ScenarioError* error) const {
    for (const Step& step : steps_) {
        std::string reason;
        if (!step.action(context, &reason)) {
            if (error != nullptr) {
                *error = ScenarioError{step.line, step.command + ": " + reason};
            }
            return false;
        }
    }
    return true;
}

std::vector<std::string> Scenario::Usage() {
    std::vector<std::string> lines;
    for (const Command& command : kCommands) {
        lines.emplace_back(command.usage);
    }
    return lines;
}

}  // namespace Velto::TestHost
