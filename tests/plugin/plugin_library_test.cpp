// The built plug-in as the host sees it: loaded from its file, driven through its one export.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_boundary.h"
#include "platform/shared_library.h"

namespace {

using namespace Velto::Client;
using LoadFunction = void* (*)(PluginLoadContext*);

class PluginLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        library_ = Velto::Platform::SharedLibrary::Open(MEK_PLUGIN_PATH, &error);
        ASSERT_TRUE(library_.IsLoaded()) << error;
        load_ = reinterpret_cast<LoadFunction>(library_.Symbol("load_mek_active_boosts"));
        ASSERT_NE(load_, nullptr);
    }

    Velto::Platform::SharedLibrary library_;
    LoadFunction load_ = nullptr;
};

// Runs `call` with the process's standard error sent to a file, and returns what was written.
template <class Call>
std::string CaptureStandardError(Call call) {
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    const int saved = dup(fileno(stderr));
    dup2(fileno(capture), fileno(stderr));
    call();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::string text;
    std::rewind(capture);
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture)) {
        text += static_cast<char>(c);
    }
    std::fclose(capture);
    return text;
}

TEST_F(PluginLibrary, AcceptsHostsOfItsMajorVersionAndAtLeastItsMinorAndPatchOnly) {
    struct Row {
        uint32_t major, minor, patch;
        bool accepted;
    };
    for (const Row& host : {Row{18, 0, 0, true}, Row{18, 0, 5, true}, Row{18, 3, 0, true},
                            Row{18, 4294967295u, 1, true}, Row{17, 9, 9, false},
                            Row{19, 0, 0, false}, Row{0, 0, 0, false}}) {
        const std::string version = std::to_string(host.major) + "." + std::to_string(host.minor) +
                                    "." + std::to_string(host.patch);
        SCOPED_TRACE(version);
        PluginLoadContext context{};
        context.major = host.major;
        context.minor = host.minor;
        context.patch = host.patch;
        void* module = nullptr;
        const std::string errors = CaptureStandardError([&] { module = load_(&context); });
        if (!host.accepted) {
            EXPECT_EQ(module, nullptr);
            EXPECT_EQ(context.major, host.major) << "a refusal leaves the context as passed";
            EXPECT_EQ(context.module, nullptr);
            EXPECT_EQ(context.exports, nullptr);
            EXPECT_NE(errors.find("Assertion failed!\n\nExpression: ALE-EECF0606"),
                      std::string::npos)
                << errors;
            EXPECT_NE(errors.find("mek-active-boosts which supports plugin API 18.0.0 is not "
                                  "compatible with core's plugin API " +
                                  version),
                      std::string::npos)
                << errors;
            continue;
        }
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(context.module, module);
        EXPECT_EQ(context.major, 18u);
        EXPECT_EQ(context.minor, 0u);
        EXPECT_EQ(context.patch, 0u);
        EXPECT_STREQ(context.name, "mek-active-boosts");
        ASSERT_NE(context.exports, nullptr);
        ASSERT_NE(context.apiDescriptor, nullptr);
        context.exports->Shutdown(module);
    }
}

TEST_F(PluginLibrary, EntryPointsAcceptNullArgumentsAndANeverStartedModule) {
    EXPECT_EQ(load_(nullptr), nullptr);
    PluginLoadContext context{};
    context.major = 18;
    void* module = load_(&context);
    ASSERT_NE(module, nullptr);
    PluginExportTable exports = *context.exports;
    EXPECT_FALSE(exports.Start(nullptr, nullptr));
    EXPECT_FALSE(exports.Start(module, nullptr)) << "a null host context is refused";
    HostContext noTable{nullptr, 7};
    EXPECT_FALSE(exports.Start(module, &noTable))
        << "a context without a function table is refused";
    exports.GetMemoryStats(nullptr, nullptr);
    exports.Shutdown(nullptr);
    exports.Shutdown(module);  // never started
}

TEST_F(PluginLibrary, MemoryStatisticsCountThePluginAndNotTheHost) {
    PluginLoadContext context{};
    context.major = 18;
    void* module = load_(&context);
    ASSERT_NE(module, nullptr);
    MemoryStats before{};
    context.exports->GetMemoryStats(nullptr, &before);
    EXPECT_GT(before.bytesAllocated, 0u) << "the module itself is counted";
    EXPECT_EQ(before.reserved[0], 0u);
    EXPECT_EQ(before.reserved[1], 0u);

    // The host's own allocations, through every route it has, leave the plug-in's counters alone.
    auto hostObject = std::make_unique<std::vector<char>>(1 << 20);
    void* hostBlock = std::malloc(1 << 16);
    std::string hostText(10000, 'x');
    MemoryStats after{};
    context.exports->GetMemoryStats(nullptr, &after);
    std::free(hostBlock);
    EXPECT_EQ(after.bytesAllocated, before.bytesAllocated);
    EXPECT_EQ(after.allocationCount, before.allocationCount);

    // The plug-in's replacement allocation functions are not visible to the host: looking them
    // up through the library finds nothing, or the same function the host itself uses.
    for (const char* name : {"_Znwm", "_Znwj", "_ZdlPv", "_Znam", "_ZdaPv", "malloc", "free"}) {
        void* throughLibrary = library_.Symbol(name);
        EXPECT_TRUE(throughLibrary == nullptr ||
                    throughLibrary == Velto::Platform::SharedLibrary::ProcessSymbol(name))
            << name << " of the plug-in is reachable by the host";
    }
    context.exports->Shutdown(module);
}

}  // namespace
