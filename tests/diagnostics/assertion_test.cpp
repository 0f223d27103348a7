#include "diagnostics/assertion.h"

#include <gtest/gtest.h>

#include <string>

#include "diagnostics/log.h"
#include "diagnostics/log_manager.h"
#include "log_test_support.h"

namespace {

using LogTest::RecordingLogTarget;

TEST(AssertionText, TakesOnlyThePartsThatArePresent) {
    const struct {
        const char* what;
        const char* expression;
        const char* file;
        uint32_t line;
        const char* function;
        const char* description;
        std::string expected;
    } cases[] = {
        {"expression only", "ALE-8A14EBBK", nullptr, 0, nullptr, nullptr,
         "Assertion failed!\n\nExpression: ALE-8A14EBBK"},
        {"file, line and function", nullptr, "await.cpp", 12, "Await", nullptr,
         "Assertion failed!\n\nFile: await.cpp\nLine: 12\n\nFunction: Await\n\n"},
        {"description only", nullptr, nullptr, 0, nullptr, "no calendar",
         "Assertion failed!\n\n\n\nDescription: no calendar"},
        {"every part", "ALE-6D828C10", "a.cpp", 7, "F", "broken",
         "Assertion failed!\n\nFile: a.cpp\nLine: 7\n\nFunction: F\n\nExpression: "
         "ALE-6D828C10\n\nDescription: broken"},
        {"empty texts are absent", "", "", 0, "", "", "Assertion failed!\n\n"},
        {"line alone", nullptr, nullptr, 4294967295u, nullptr, nullptr,
         "Assertion failed!\n\nLine: 4294967295\n\n"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(Velto::BuildAssertionText(entry.expression, entry.file, entry.line,
                                            entry.function, entry.description),
                  entry.expected)
            << entry.what;
    }
}

class AssertionReportTest : public LogTest::LoggerSession {
  protected:
    void SetUp() override {
        LoggerSession::SetUp();
        for (Velto::LogTargetInterface* console :
             {Velto::LogManager::StdErrTarget(), Velto::LogManager::DebuggerTarget()}) {
            console->Detach(console);
        }
        log.Configure({0, 0, 0, "#M"});
    }

    RecordingLogTarget log;
};

TEST_F(AssertionReportTest, LogsTheTextAtErrorInGroupDbg) {
    Velto::ReportAssertion("ALE-8A14EBBK", nullptr, nullptr, 0, nullptr);
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].level, static_cast<int32_t>(Velto::LogLevel::Error));
    EXPECT_EQ(log.records[0].groups, Velto::kLogGroupDbg);
    EXPECT_EQ(log.records[0].message, "Assertion failed!\n\nExpression: ALE-8A14EBBK");
}

TEST_F(AssertionReportTest, PassesPercentSignsThrough) {
    Velto::ReportAssertion("ALE-EECF0606", "100%s done %d", "f.cpp", 3, "G");
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].message,
              "Assertion failed!\n\nFile: f.cpp\nLine: 3\n\nFunction: G\n\nExpression: "
              "ALE-EECF0606\n\nDescription: 100%s done %d");
}

TEST_F(AssertionReportTest, PrintsTheDescriptionFromAFormat) {
    Velto::ReportAssertionF("ALE-6D828C10", nullptr, 0, nullptr, "code %d in %s", 4, "await");
    Velto::ReportAssertionF("ALE-6D828C10", nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(log.records.size(), 2u);
    EXPECT_EQ(log.records[0].message,
              "Assertion failed!\n\nExpression: ALE-6D828C10\n\nDescription: code 4 in await");
    EXPECT_EQ(log.records[1].message, "Assertion failed!\n\nExpression: ALE-6D828C10")
        << "a null format gives no description";
}

TEST_F(AssertionReportTest, CutsAPrintedDescriptionAt1023Characters) {
    const std::string longText(2000, 'd');
    Velto::ReportAssertionF(nullptr, nullptr, 0, nullptr, "%s", longText.c_str());
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].message,
              "Assertion failed!\n\n\n\nDescription: " + std::string(1023, 'd'));
}

}  // namespace
