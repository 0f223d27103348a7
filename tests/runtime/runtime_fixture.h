// A small module and a started test host for the runtime's tests: the module registers the
// runtime's types and two records of its own, and is started on connection handle 7.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

    // The calls of one kind, in order.
    std::vector<HostCall> CallsOf(HostCallKind kind) const {
        std::vector<HostCall> found;
        for (const HostCall& call : host_.Calls()) {
            if (call.kind == kind) {
                found.push_back(call);
            }
        }
        return found;
    }

    std::vector<HostCallKind> Kinds() const {
        std::vector<HostCallKind> kinds;
        for (const HostCall& call : host_.Calls()) {
            if (call.kind != HostCallKind::Log) {
                kinds.push_back(call.kind);
            }
        }
        return kinds;
    }

    // The texts of the log lines sent to the host, in order.
    std::vector<std::string> Logs() const {
        std::vector<std::string> texts;
        for (const HostCall& call : CallsOf(HostCallKind::Log)) {
            texts.push_back(call.text);
        }
        return texts;
    }

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
