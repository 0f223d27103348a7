#include "runtime/version.h"

#include <gtest/gtest.h>

#include "diagnostics/format.h"

namespace {

using Velto::Client::Version;

Version Numbers(uint32_t major, uint32_t minor, uint32_t patch) {
    return Version{major, minor, patch, {}, {}};
}

TEST(Version, TextHasTheNumbersThenTheOptionalSuffixes) {
    struct Case {
        Version version;
        const char* text;
    };
    const Case cases[] = {
        {{18, 0, 0, "", ""}, "18.0.0"},
        {{4294967295u, 4294967295u, 4294967295u, "", ""}, "4294967295.4294967295.4294967295"},
        {{1, 2, 3, "beta.1", ""}, "1.2.3-beta.1"},
        {{1, 2, 3, "", "build.7"}, "1.2.3+build.7"},
        {{1, 2, 3, "rc", "b"}, "1.2.3-rc+b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Velto::Client::VersionText(c.version), c.text);
        EXPECT_EQ(Velto::Format("[%1]", c.version), std::string("[") + c.text + "]")
            << "a version formats through its text form";
    }
    EXPECT_EQ(Velto::Format("%1$-8s|", Version{1, 2, 3, "", ""}), "1.2.3   |")
        << "width and alignment apply to the text form";
}

TEST(Version, HostsOfTheSameMajorAndAtLeastTheMinorAndPatchAreCompatible) {
    struct Case {
        Version host;
        Version plugin;
        bool compatible;
    };
    const Case cases[] = {
        {Numbers(18, 0, 0), Numbers(18, 0, 0), true},
        {Numbers(18, 0, 5), Numbers(18, 0, 0), true},
        {Numbers(18, 3, 0), Numbers(18, 0, 0), true},
        {Numbers(17, 9, 9), Numbers(18, 0, 0), false},
        {Numbers(19, 0, 0), Numbers(18, 0, 0), false},
        {Numbers(18, 2, 0), Numbers(18, 2, 1), false},
        {Numbers(18, 3, 0), Numbers(18, 2, 9), true},
        {Numbers(18, 2, 9), Numbers(18, 3, 0), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Velto::Client::IsCompatibleApiVersion(c.host, c.plugin), c.compatible)
            << Velto::Client::VersionText(c.host) << " hosting "
            << Velto::Client::VersionText(c.plugin);
    }
    EXPECT_EQ(Velto::Client::VersionText(Velto::Client::PluginApiVersion()), "18.0.0");
}

}  // namespace
