#include "diagnostics/assertion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/log.h"
#include "diagnostics/log_manager.h"
#include "log_test_support.h"

namespace {

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
    for (const auto& row : cases) {
        EXPECT_EQ(Velto::BuildAssertionText(row.expression, row.file, row.line, row.function,
                                            row.description),
                  row.expected)
            << row.what;
    }
}

using AssertionReportTest = LogTest::QuietLoggerSession;

// Each report is logged at Error in group DBG, the description printed from a format only by the
// F form, so percent signs elsewhere pass through.
TEST_F(AssertionReportTest, LogsEachReportAtErrorInGroupDbg) {
    Velto::ReportAssertion("ALE-8A14EBBK", nullptr, nullptr, 0, nullptr);
    Velto::ReportAssertion("ALE-EECF0606", "100%s done %d", "f.cpp", 3, "G");
    Velto::ReportAssertionF("ALE-6D828C10", nullptr, 0, nullptr, "code %d in %s", 4, "await");
    Velto::ReportAssertionF("ALE-6D828C10", nullptr, 0, nullptr, nullptr);  // no description
    Velto::ReportAssertionF(nullptr, nullptr, 0, nullptr, "%s", std::string(2000, 'd').c_str());
    const std::string failed = "Assertion failed!\n\n";
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{
                  failed + "Expression: ALE-8A14EBBK",
                  failed + "File: f.cpp\nLine: 3\n\nFunction: G\n\nExpression: "
                           "ALE-EECF0606\n\nDescription: 100%s done %d",
                  failed + "Expression: ALE-6D828C10\n\nDescription: code 4 in await",
                  failed + "Expression: ALE-6D828C10",
                  failed + "\n\nDescription: " + std::string(1023, 'd'),  // cut at 1023
              }));
    for (const LogTest::ReceivedRecord& record : log.records) {
        EXPECT_EQ(record.level, static_cast<int32_t>(Velto::LogLevel::Error));
        EXPECT_EQ(record.groups, Velto::kLogGroupDbg);
    }
}

}  // namespace
