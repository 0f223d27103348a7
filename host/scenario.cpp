#include "host/scenario.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <span>
#include <variant>

#include "formats/hex_digit.h"
#include "host/expectation.h"
#include "host/scenario_words.h"

namespace Velto::TestHost {
namespace {

// A parser sets the step's action and adds to its heading what the line says, e.g. the path.
using CommandParser = bool (*)(Arguments& arguments, Scenario::Step* step, std::string* reason);

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

bool ParseLoad(Arguments& arguments, Scenario::Step* step, std::string* reason) {
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
    step->heading += " " + version.ToString();
    step->action = [version](ScenarioContext& context, std::string* failure) {
        return context.host.Load(version, failure) != LoadResult::NotCalled;
    };
    return true;
}

bool ParseStart(Arguments& arguments, Scenario::Step* step, std::string* reason) {
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
    step->heading += " " + std::to_string(handle);
    step->action = [handle](ScenarioContext& context, std::string*) {
        context.host.Start(handle);
        return true;
    };
    return true;
}

// A command without arguments that runs one step of the host (its result is in the transcript).
template <void (*Run)(ScenarioContext& context)>
bool ParseHostStep(Arguments& arguments, Scenario::Step* step, std::string* reason) {
    if (!NoMoreArguments(arguments, reason)) {
        return false;
    }
    step->action = [](ScenarioContext& context, std::string*) {
        Run(context);
        return true;
    };
    return true;
}

// The memory step keeps its reading for `expect memory baseline`.
void ReadMemory(ScenarioContext& context) {
    context.lastMemory = context.host.GetMemoryStats();
}

void ShutDown(ScenarioContext& context) {
    context.host.Shutdown();
}

void RunDeferred(ScenarioContext& context) {
    context.host.RunDeferredCalls();
}

void Describe(ScenarioContext& context) {
    context.host.Describe();
}

bool ParseMethod(Arguments& arguments, uint32_t* method, std::string* reason) {
    const std::optional<std::string_view> word = arguments.NextWord();
    if (!word.has_value()) {
        *reason = "missing method";
        return false;
    }
    if (const std::optional<uint32_t> code = MethodCode(*word)) {
        *method = *code;
        return true;
    }
    *reason = "unknown method " + QuoteJson(*word);
    return false;
}

bool ParsePath(Arguments& arguments, std::string* path, std::string* reason) {
    const std::optional<std::string_view> word = arguments.NextWord();
    if (!word.has_value()) {
        *reason = "missing path";
        return false;
    }
    if (word->front() != '/') {
        *reason = "path " + QuoteJson(*word) + " does not start with '/'";
        return false;
    }
    *path = std::string(*word);
    return true;
}

Scenario::Action SetAnswerAction(uint32_t method, std::string path, HostAnswer answer) {
    return [method, path = std::move(path), answer = std::move(answer)](ScenarioContext& context,
                                                                        std::string*) {
        context.host.SetAnswer(method, path, answer);
        return true;
    };
}

bool ParseServe(Arguments& arguments, Scenario::Step* step, std::string* reason) {
    std::string path;
    HostValueTree value;
    if (!ParsePath(arguments, &path, reason) || !ParseJsonRest(arguments, &value, reason)) {
        return false;
    }
    step->heading += " " + path;
    step->value = value.ToJson();
    step->action = SetAnswerAction(2, std::move(path), HostAnswer::Value(std::move(value)));
    return true;
}

bool ParseValueAnswer(Arguments& arguments, HostAnswer* answer, std::string* reason) {
    HostValueTree value;
    if (!ParseJsonRest(arguments, &value, reason)) {
        return false;
    }
    *answer = HostAnswer::Value(std::move(value));
    return true;
}

bool ParseErrorAnswer(Arguments& arguments, HostAnswer* answer, std::string* reason) {
    const std::optional<std::string_view> word = arguments.NextWord();
    uint32_t status = 0;
    if (!word.has_value() || !ParseNumber(*word, &status)) {
        *reason = word.has_value() ? "bad status " + QuoteJson(*word) : "missing status";
        return false;
    }
    if (arguments.AtEnd()) {
        *reason = "missing error message";
        return false;
    }
    *answer = HostAnswer::Error(status, std::string(arguments.Rest()));
    return true;
}

// One piece: a JSON string followed by "more" or "end", or the word "fail".
bool ParsePiece(Arguments& arguments, StreamPiece* piece, std::string* reason) {
    if (arguments.Rest().front() != '"') {
        const std::string_view word = *arguments.NextWord();
        if (word != "fail") {
            *reason = "bad stream piece " + QuoteJson(word);
            return false;
        }
        piece->fails = true;
        return true;
    }
    const std::optional<std::string_view> literal = arguments.NextQuoted();
    std::optional<HostValueTree> text =
        literal.has_value() ? HostValueTree::FromJson(*literal) : std::nullopt;
    if (!text.has_value()) {
        *reason = "bad stream piece: unterminated or malformed JSON string";
        return false;
    }
    const Velto::Client::HostValue& value = text->Value();
    piece->bytes.assign(value.payload.text.data, value.payload.text.length);
    const std::optional<std::string_view> flag = arguments.NextWord();
    if (flag != "more" && flag != "end") {
        *reason = "stream piece " + std::string(*literal) + " needs \"more\" or \"end\" after it";
        return false;
    }
    piece->more = flag == "more";
    return true;
}

bool ParseStreamAnswer(Arguments& arguments, HostAnswer* answer, std::string* reason) {
    std::optional<uint32_t> length;
    if (arguments.Rest().starts_with("length=")) {
        const std::string_view word = *arguments.NextWord();
        uint32_t declared = 0;
        if (!ParseNumber(word.substr(7), &declared)) {
            *reason = "bad stream length " + QuoteJson(word);
            return false;
        }
        length = declared;
    }
    if (arguments.AtEnd()) {
        *reason = "missing stream pieces";
        return false;
    }
    std::vector<StreamPiece> pieces;
    std::size_t total = 0;
    while (!arguments.AtEnd()) {
        StreamPiece& piece = pieces.emplace_back();
        if (!ParsePiece(arguments, &piece, reason)) {
            return false;
        }
        total += piece.bytes.size();
    }
    *answer = HostAnswer::Stream(std::move(pieces), length.value_or(static_cast<uint32_t>(total)));
    return true;
}

// How an answer reads in a heading: "with" and the value, the error or the stream's size.
void DescribeAnswer(const HostAnswer& answer, Scenario::Step* step) {
    if (answer.errorMessage.has_value()) {
        step->heading += " with error " + std::to_string(answer.statusCode) + " " +
                         QuoteJson(*answer.errorMessage);
    } else if (answer.stream.has_value()) {
        step->heading += " with a stream of " + std::to_string(answer.stream->size()) +
                         " pieces, length " + std::to_string(answer.declaredLength);
    } else {
        step->heading += " with";
        step->value = answer.body.ToJson();
    }
}

bool ParseAnswer(Arguments& arguments, Scenario::Step* step, std::string* reason) {
    uint32_t method = 0;
    std::string path;
    if (!ParseMethod(arguments, &method, reason) || !ParsePath(arguments, &path, reason)) {
        return false;
    }
    const std::optional<std::string_view> kind = arguments.NextWord();
    HostAnswer answer;
    bool parsed = false;
    if (kind == "value") {
        parsed = ParseValueAnswer(arguments, &answer, reason);
    } else if (kind == "error") {
        parsed = ParseErrorAnswer(arguments, &answer, reason);
    } else if (kind == "stream") {
        parsed = ParseStreamAnswer(arguments, &answer, reason);
    } else {
        *reason =
            kind.has_value() ? "unknown answer kind " + QuoteJson(*kind) : "missing answer kind";
    }
    if (parsed) {
        step->heading += " " + MethodText(method) + " " + path;
        DescribeAnswer(answer, step);
        step->action = SetAnswerAction(method, std::move(path), std::move(answer));
    }
    return parsed;
}

bool ParseFire(Arguments& arguments, Scenario::Step* step, std::string* reason) {
    const std::optional<std::string_view> name = arguments.NextWord();
    if (!name.has_value()) {
        *reason = "missing event name";
        return false;
    }
    HostValueTree payload;
    if (!ParseJsonRest(arguments, &payload, reason)) {
        return false;
    }
    step->heading += " " + QuoteJson(*name);
    step->value = payload.ToJson();
    step->action = [name = std::string(*name), payload = std::move(payload)](
                       ScenarioContext& context, std::string*) {
        context.host.FireEvent(name, payload);
        return true;
    };
    return true;
}

// An indented line right after a command that takes such detail lines.
struct DetailLine {
    std::size_t number = 0;
    std::string_view text;
};

// A command with detail lines; a fault sets the line it is on and the reason.
using BlockParser = bool (*)(Arguments& arguments, const std::vector<DetailLine>& details,
                             Scenario::Step* step, ScenarioError* fault);

// What a call step sends.
struct CallStep {
    RecordedRequest request;
    std::string function;
};

using DetailParser = bool (*)(Arguments& arguments, CallStep* call, std::string* reason);

struct Detail {
    std::string_view name;
    std::string_view usage;
    DetailParser parse;
};

// METHOD of a call: a method name, a code, or any other word as a custom method (code 8).
bool ParseCallMethod(Arguments& arguments, RecordedRequest* request, std::string* reason) {
    const std::optional<std::string_view> word = arguments.NextWord();
    if (!word.has_value()) {
        *reason = "missing method";
        return false;
    }
    if (const std::optional<uint32_t> code = MethodCode(*word)) {
        request->method = *code;
    } else if (!ParseNumber(*word, &request->method)) {
        request->method = 8;
        request->customMethod = std::string(*word);
    }
    return true;
}

bool ParseHeader(Arguments& arguments, CallStep* call, std::string* reason) {
    const std::optional<std::string_view> name = arguments.NextWord();
    if (!name.has_value()) {
        *reason = "missing header name";
        return false;
    }
    call->request.headers.emplace_back(*name, arguments.Rest());
    return true;
}

bool ParseArgument(Arguments& arguments, CallStep* call, std::string* reason) {
    const std::optional<std::string_view> name = arguments.NextWord();
    if (!name.has_value()) {
        *reason = "missing argument name";
        return false;
    }
    RecordedArgument argument;
    if (*name != "-") {
        argument.name = std::string(*name);
    }
    if (!ParseJsonRest(arguments, &argument.value, reason)) {
        return false;
    }
    call->request.arguments.push_back(std::move(argument));
    return true;
}

// Pairs of hex digits; blanks between them are ignored.
bool ParseHex(std::string_view text, std::string* bytes, std::string* reason) {
    std::string digits;
    for (const char c : text) {
        if (IsBlank(c)) {
            continue;
        }
        if (HexDigitValue(c) < 0) {
            *reason = "bad hex digit " + QuoteJson(std::string_view(&c, 1));
            return false;
        }
        digits += c;
    }
    if (digits.size() % 2 != 0) {
        *reason = "odd number of hex digits";
        return false;
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        *bytes += static_cast<char>(HexDigitValue(digits[i]) * 16 + HexDigitValue(digits[i + 1]));
    }
    return true;
}

bool ParseBody(Arguments& arguments, CallStep* call, std::string* reason) {
    const std::optional<std::string_view> contentType = arguments.NextWord();
    if (!contentType.has_value()) {
        *reason = "missing content type";
        return false;
    }
    if (call->request.body.has_value()) {
        *reason = "a second body";
        return false;
    }
    std::string bytes;
    if (!IsBinaryContentType(*contentType)) {
        bytes = arguments.Rest();
    } else if (arguments.NextWord() != "hex") {
        *reason = "a body of type " + std::string(*contentType) + " is given as hex bytes";
        return false;
    } else if (!ParseHex(arguments.Rest(), &bytes, reason)) {
        return false;
    }
    call->request.contentType = std::string(*contentType);
    call->request.body = std::move(bytes);
    return true;
}

bool ParseFunctionName(Arguments& arguments, CallStep* call, std::string* reason) {
    const std::optional<std::string_view> name = arguments.NextWord();
    if (!name.has_value()) {
        *reason = "missing function name";
        return false;
    }
    if (!call->function.empty()) {
        *reason = "a second function name";
        return false;
    }
    call->function = std::string(*name);
    return NoMoreArguments(arguments, reason);
}

// Every detail of a call; a detail with several forms has one line per form.
constexpr Detail kCallDetails[] = {
    {"header", "header NAME [VALUE...]", &ParseHeader},
    {"arg", "arg NAME JSON", &ParseArgument},
    {"arg", "arg - JSON", &ParseArgument},
    {"body", "body CONTENT-TYPE [TEXT...]", &ParseBody},
    {"body", "body CONTENT-TYPE hex HEX...", &ParseBody},
    {"function", "function NAME", &ParseFunctionName},
};

// The entry named `name` in a table of commands or details, or null.
template <typename Entry, std::size_t N>
const Entry* Find(const Entry (&table)[N], std::string_view name) {
    for (const Entry& entry : table) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// The usage of every form of an entry, joined by " | ".
template <typename Entry, std::size_t N>
std::string UsageOf(const Entry (&table)[N], std::string_view name) {
    std::string usage;
    for (const Entry& entry : table) {
        if (entry.name == name) {
            usage += (usage.empty() ? "" : " | ") + std::string(entry.usage);
        }
    }
    return usage;
}

bool ParseCallDetail(const DetailLine& detail, CallStep* call, ScenarioError* fault) {
    Arguments arguments(detail.text);
    const std::string_view name = *arguments.NextWord();
    const Detail* found = Find(kCallDetails, name);
    std::string reason;
    if (found == nullptr) {
        reason = "unknown detail " + QuoteJson(name) + " (details: header, arg, body, function)";
    } else if (!found->parse(arguments, call, &reason)) {
        reason =
            std::string(name) + ": " + reason + " (usage: " + UsageOf(kCallDetails, name) + ")";
    }
    if (reason.empty()) {
        return true;
    }
    *fault = ScenarioError{detail.number, reason};
    return false;
}

bool ParseCall(Arguments& arguments, const std::vector<DetailLine>& details, Scenario::Step* step,
               ScenarioError* fault) {
    CallStep call;
    if (!ParseCallMethod(arguments, &call.request, &fault->reason)) {
        return false;
    }
    const std::optional<std::string_view> path = arguments.NextWord();
    if (!path.has_value()) {
        fault->reason = "missing path";
        return false;
    }
    call.request.path = std::string(*path);
    if (!NoMoreArguments(arguments, &fault->reason)) {
        return false;
    }
    for (const DetailLine& detail : details) {
        if (!ParseCallDetail(detail, &call, fault)) {
            return false;
        }
    }
    step->heading +=
        " " + MethodText(call.request.method, call.request.customMethod) + " " + call.request.path;
    step->action = [call = std::move(call)](ScenarioContext& context, std::string*) {
        context.lastAnswer = context.host.CallFunction(call.request, call.function);
        return true;
    };
    return true;
}

// What an expectation asks for, its value included.
std::string Expected(const Expectation& expectation) {
    return expectation.Describe() + (expectation.json ? " " + *expectation.json : "");
}

// The transcript's note on an expectation: met, or what was expected and what happened instead.
void NoteOutcome(Transcript& transcript, std::size_t line, const Expectation& expectation,
                 const std::optional<std::string>& happened) {
    const std::string where = " (line " + std::to_string(line) + "): ";
    const std::string message = happened.has_value()
                                    ? "expectation NOT met" + where + "expected " +
                                          Expected(expectation) + ", but " + *happened
                                    : "expectation met" + where + expectation.Describe();
    transcript.Add(TranscriptLine(LineKind::Note, Side::Host, "expect")
                       .Bare("message", message, FieldStyle::Positional));
}

bool ParseExpect(Arguments& arguments, Scenario::Step* step, std::string* reason) {
    std::optional<Expectation> expectation = Expectation::Parse(arguments, reason);
    if (!expectation.has_value()) {
        return false;
    }
    step->action = [expectation = std::move(*expectation), line = step->line](
                       ScenarioContext& context, std::string* failure) {
        const std::vector<HostCall>& calls = context.host.Calls();
        Observation seen;
        seen.calls = std::span(calls).subspan(std::min(context.stepCalls, calls.size()));
        seen.answer = context.lastAnswer ? &*context.lastAnswer : nullptr;
        seen.memory = context.lastMemory ? &*context.lastMemory : nullptr;
        seen.bytesInUseBeforeLoad = context.host.BytesInUseBeforeLoad();
        const std::optional<std::string> happened = expectation.Check(seen);
        NoteOutcome(context.host.GetTranscript(), line, expectation, happened);
        if (happened.has_value()) {
            *failure = "expected " + Expected(expectation) + ", but " + *happened;
        }
        return !happened.has_value();
    };
    return true;
}

struct Command {
    std::string_view name;
    std::string_view usage;
    // The start of the step's heading in the transcript (the parser adds the details); empty
    // for expectations, which check the step before them and have none.
    std::string_view heading;
    std::variant<CommandParser, BlockParser> parse;
    std::span<const Detail> details;  // the usage of the detail lines a block command takes
};

// Every command: adding one is a line here and its parser above; a command with several forms
// has one line per form.
constexpr Command kCommands[] = {
    {"load", "load [MAJOR.MINOR.PATCH]", "host loads the plug-in with API version", &ParseLoad, {}},
    {"start", "start [HANDLE]", "host starts the plug-in on connection", &ParseStart, {}},
    {"memory", "memory", "host reads the memory statistics", &ParseHostStep<&ReadMemory>, {}},
    {"stop", "stop", "host shuts the plug-in down", &ParseHostStep<&ShutDown>, {}},
    {"serve", "serve PATH JSON", "host serves GET", &ParseServe, {}},
    {"answer", "answer METHOD PATH value JSON", "host answers", &ParseAnswer, {}},
    {"answer", "answer METHOD PATH error STATUS MESSAGE...", "host answers", &ParseAnswer, {}},
    {"answer", "answer METHOD PATH stream [length=N] PIECE...", "host answers", &ParseAnswer, {}},
    {"fire", "fire EVENT JSON", "host fires", &ParseFire, {}},
    {"run-deferred", "run-deferred", "host runs deferred calls", &ParseHostStep<&RunDeferred>, {}},
    {"call", "call METHOD PATH", "host calls", &ParseCall, kCallDetails},
    {"describe", "describe", "host reads the API description", &ParseHostStep<&Describe>, {}},
    {"expect", "expect event NAME JSON", "", &ParseExpect, {}},
    {"expect", "expect request METHOD PATH [JSON]", "", &ParseExpect, {}},
    {"expect", "expect log LEVEL TEXT...", "", &ParseExpect, {}},
    {"expect", "expect no event | no request | no log", "", &ParseExpect, {}},
    {"expect", "expect nothing", "", &ParseExpect, {}},
    {"expect", "expect answer STATUS [error TEXT... | value JSON]", "", &ParseExpect, {}},
    {"expect", "expect memory baseline", "", &ParseExpect, {}},
};

bool IsSkipped(const Arguments& line) {
    return line.AtEnd() || line.Rest().front() == '#';
}

// The detail lines after line `*index`: the indented lines right after it, comments skipped,
// up to the first blank or unindented line. Moves `*index` to the last line taken.
std::vector<DetailLine> TakeDetails(const std::vector<std::string_view>& lines,
                                    std::size_t* index) {
    std::vector<DetailLine> details;
    for (std::size_t next = *index + 1; next < lines.size(); ++next) {
        const Arguments line(lines[next]);
        if (line.AtEnd() || !IsBlank(lines[next].front())) {
            break;
        }
        *index = next;
        if (!IsSkipped(line)) {
            details.push_back(DetailLine{next + 1, line.Rest()});
        }
    }
    return details;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

// Parses the command on line `*index` (and the detail lines it takes); false sets `fault`.
bool ParseCommand(const std::vector<std::string_view>& lines, std::size_t* index,
                  Scenario::Step* step, ScenarioError* fault) {
    Arguments arguments(lines[*index]);
    const std::string_view name = *arguments.NextWord();
    step->line = *index + 1;
    step->command = std::string(name);
    *fault = ScenarioError{step->line, {}};
    const Command* command = Find(kCommands, name);
    if (command == nullptr) {
        fault->reason = "unknown command " + QuoteJson(name);
        return false;
    }
    step->heading = std::string(command->heading);
    bool parsed = false;
    if (const auto* parse = std::get_if<CommandParser>(&command->parse)) {
        parsed = (*parse)(arguments, step, &fault->reason);
    } else {
        const std::vector<DetailLine> details = TakeDetails(lines, index);
        parsed = std::get<BlockParser>(command->parse)(arguments, details, step, fault);
    }
    if (!parsed) {
        const std::string usage =
            fault->line == step->line ? " (usage: " + UsageOf(kCommands, name) + ")" : "";
        fault->reason = std::string(name) + ": " + fault->reason + usage;
    }
    return parsed;
}

}  // namespace

std::string ScenarioError::ToString() const {
    return line == 0 ? reason : "line " + std::to_string(line) + ": " + reason;
}

std::optional<Scenario> Scenario::Parse(std::string_view text, ScenarioError* error) {
    const std::vector<std::string_view> lines = SplitLines(text);
    Scenario scenario;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (IsSkipped(Arguments(lines[index]))) {
            continue;
        }
        Step step;
        ScenarioError fault;
        if (!ParseCommand(lines, &index, &step, &fault)) {
            if (error != nullptr) {
                *error = std::move(fault);
            }
            return std::nullopt;
        }
        scenario.steps_.push_back(std::move(step));
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
        if (!step.heading.empty()) {
            TranscriptLine heading(LineKind::Step, Side::Host, step.command);
            heading.Label(step.heading);
            if (!step.value.empty()) {
                heading.Json("value", step.value, FieldStyle::Positional);
            }
            context.host.GetTranscript().Add(heading);
            context.stepCalls = context.host.Calls().size();
        }
        std::string reason;
        if (!step.action(context, &reason)) {
            if (error != nullptr) {
                *error =
                    ScenarioError{step.line, step.command + ": " + reason, step.heading.empty()};
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
        for (const Detail& detail : command.details) {
            lines.push_back("  " + std::string(detail.usage));
        }
    }
    return lines;
}

}  // namespace Velto::TestHost
