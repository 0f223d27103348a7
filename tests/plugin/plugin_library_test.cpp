// The built plug-in as the host sees it: loaded from its file, driven through its one export.
#include <gtest/gtest.h>

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

TEST_F(PluginLibrary, EntryPointsAcceptNullArgumentsAndANeverStartedModule) {
    EXPECT_EQ(load_(nullptr), nullptr);
    // The version check and its report are the handshake's, tested with the runtime.
    PluginLoadContext older{};
    older.major = 17;
    EXPECT_EQ(load_(&older), nullptr) << "a host of another major version is refused";
    PluginLoadContext context{};
    context.major = 18;
    void* module = load_(&context);
    ASSERT_NE(module, nullptr);
    EXPECT_STREQ(context.name, "mek-active-boosts");
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
