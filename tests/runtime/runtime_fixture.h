// A small module and a started test host for the runtime's tests: the module registers the
// runtime's types and two records of its own, and is started on connection handle 7.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "binding/field_converter.h"
#include "host/test_host.h"
#include "runtime/app_module.h"

namespace Velto::Client::Testing {

using TestHost::HostAnswer;
using TestHost::HostCall;
using TestHost::HostCallKind;
using TestHost::HostValueTree;

struct Greeting {
    std::string text;
    int32_t count = 0;
};

enum class Mood : int32_t { Calm = 1, Busy = 2 };

struct Status {
    Mood mood = Mood::Calm;
    std::vector<std::string> notes;
};

// Never registered: converting one fails.
struct Unregistered {
    int32_t value = 0;
};

class RuntimeTestModule : public AppModule {
  public:
    RuntimeTestModule() : AppModule("runtime-test", "backend") {}

    void RegisterTypes() override {
        Registry()
            .RegisterStruct<Greeting>("Greeting")
            .Field<std::string>("text", offsetof(Greeting, text))
            .Field<int32_t>("count", offsetof(Greeting, count));
        Registry().RegisterEnum<Mood>("Mood").Value("Calm", 1).Value("Busy", 2);
        Registry()
            .RegisterStruct<Status>("Status")
            .Field<Mood>("mood", offsetof(Status, mood))
            .Field<std::vector<std::string>>("notes", offsetof(Status, notes));
    }
};

// One line per call with the fields of its kind, e.g. `Subscribe OnX handle=7 flags=0`,
// `SendRequest GET /a/b ("x",[1]) context=7`, `Log WARN text`, `ScheduleCall "name" 0.25 zero=0`.
inline std::string Render(const std::vector<HostCall>& calls) {
    std::ostringstream text;
    for (const HostCall& call : calls) {
        const TestHost::RecordedRequest& request = call.request;
        text << TestHost::HostCallKindName(call.kind);
        if (call.kind == HostCallKind::SendRequest) {
            text << ' ' << TestHost::MethodText(request.method) << ' ' << request.path << " (";
            for (const auto& [name, value] : request.arguments) {
                text << (&value == &request.arguments[0].value ? "" : ",") << name.value_or("")
                     << (name ? "=" : "") << value.ToJson();
            }
            text << ") context=" << request.callContext
                 << (request.hasFunctionContext ? " functionContext" : "")
                 << (request.headers.empty() ? "" : " headers") << (request.body ? " body" : "");
        } else if (call.kind == HostCallKind::Reserved) {
            text << ' ' << call.words[0] << ' ' << call.words[1];
        } else if (call.kind == HostCallKind::SendEvent) {
            text << ' ' << call.name << " flags=" << call.flags << ' ' << call.payload.ToJson();
        } else if (call.kind == HostCallKind::Subscribe || call.kind == HostCallKind::Unsubscribe) {
            text << ' ' << call.name << " handle=" << call.handle;
            text << (call.kind == HostCallKind::Subscribe ? " flags=" + std::to_string(call.flags)
                                                          : "");
        } else if (call.kind == HostCallKind::ScheduleCall) {
            text << " \"" << call.name << "\" " << call.delaySeconds << " zero=" << call.zero;
        } else if (call.kind == HostCallKind::BeginWait) {
            text << " \"" << call.text << "\" zero=" << call.zero;
        } else if (call.kind == HostCallKind::Log) {
            text << ' ' << TestHost::LogLevelName(call.level) << ' ' << call.text;
        }
        text << '\n';
    }
    return text.str();
}

// "code message" of a failed result, or "succeeded"; compared with StartsWith where a message
// ends in a text from elsewhere.
template <class T>
std::string FailureText(const MaybeType<Failure, T>& result) {
    return result.IsFailure() ? std::to_string(result.GetFailure().Code()) + " " +
                                    std::string(result.GetFailure().Message())
                              : "succeeded";
}

// A host and a started module; the calls of Start are cleared.
class RuntimeFixture : public ::testing::Test {
  protected:
    RuntimeFixture() : module_(std::make_unique<RuntimeTestModule>()) {
        RegisterRuntimeTypes(module_->Registry());
        module_->RegisterTypes();
        context_ = HostContext{host_.Api(), 7};
        EXPECT_TRUE(module_->Start(&context_));
        host_.ClearCalls();
    }

    // The calls of these kinds, in order.
    template <class... Kind>
    std::vector<HostCall> CallsOf(Kind... kinds) const {
        std::vector<HostCall> found;
        for (const HostCall& call : host_.Calls()) {
            if (((call.kind == kinds) || ...)) {
                found.push_back(call);
            }
        }
        return found;
    }

    // The host's record of the calls so far, one line each (see Render).
    std::string Recorded() const { return Render(host_.Calls()); }

    static HostValueTree Json(const std::string& text) {
        std::string error;
        std::optional<HostValueTree> tree = HostValueTree::FromJson(text, &error);
        EXPECT_TRUE(tree.has_value()) << error << " in " << text;
        return tree.value_or(HostValueTree());
    }

    // Delivers an event with a JSON payload; returns the number of handlers the host called.
    std::size_t Fire(const std::string& name, const std::string& json) {
        return host_.FireEvent(name, Json(json));
    }

    TestHost::TestHost host_;
    HostContext context_{};
    std::unique_ptr<RuntimeTestModule> module_;
};

}  // namespace Velto::Client::Testing
