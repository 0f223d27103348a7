#include "diagnostics/assertion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/log.h"
#include "diagnostics/log_manager.h"
#include "log_test_support.h"

namespace {

using AssertionReportTest = LogTest::QuietLoggerSession;

// Each report is logged at Error in group DBG with only the parts that are present (empty texts
// and line 0 are absent), the description printed from a format only by the F form, so percent
// signs elsewhere pass through.
TEST_F(AssertionReportTest, LogsEachReportAtErrorInGroupDbg) {
    Velto::ReportAssertion("ALE-8A14EBBK", nullptr, nullptr, 0, nullptr);
    Velto::ReportAssertion("ALE-EECF0606", "100%s done %d", "f.cpp", 3, "G");
    Velto::ReportAssertionF("ALE-6D828C10", nullptr, 0, nullptr, "code %d in %s", 4, "await");
    Velto::ReportAssertionF("ALE-6D828C10", nullptr, 0, nullptr, nullptr);  // no description
    Velto::ReportAssertionF(nullptr, nullptr, 0, nullptr, "%s", std::string(2000, 'd').c_str());
    Velto::ReportAssertion("", "", "", 4294967295u, "");
    const std::string failed = "2 0x1 Assertion failed!\n\n";  // Error in group DBG
    EXPECT_EQ(log.records,
              (std::vector<std::string>{
                  failed + "Expression: ALE-8A14EBBK",
                  failed + "File: f.cpp\nLine: 3\n\nFunction: G\n\nExpression: "
                           "ALE-EECF0606\n\nDescription: 100%s done %d",
                  failed + "Expression: ALE-6D828C10\n\nDescription: code 4 in await",
                  failed + "Expression: ALE-6D828C10",
                  failed + "\n\nDescription: " + std::string(1023, 'd'),  // cut at 1023
                  failed + "Line: 4294967295\n\n",
              }));
}

}  // namespace
