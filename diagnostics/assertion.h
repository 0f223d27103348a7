// Assertion reports: conditions that must not occur are reported to the log, at level Error in
// group "DBG", as a text that begins with "Assertion failed!". Reporting never stops the process
// and never throws; the caller then takes its own error path.
//
// In this system the expression is an error-report code, "ALE-" and eight characters, naming
// the place that raised the report:
//   "ALE-EECF0606"  the host's plug-in API version is incompatible (fatal: the load is refused)
//   "ALE-6D828C10"  a std::future_error while awaiting (fatal: the error is thrown on)
//   "ALE-8A14EBBK"  a time could not be broken down into calendar fields (non-fatal)
#pragma once

#include <cstdint>
#include <string>

namespace Velto {

// The report text: "Assertion failed!" and two newlines, then each part that is present (a
// null or empty text, or line 0, is absent):
//   "File: " file "\n" / "Line: " line "\n\n" / "Function: " function "\n\n" /
//   "Expression: " expression / "\n\nDescription: " description
std::string BuildAssertionText(const char* expression, const char* file, uint32_t line,
                               const char* function, const char* description);

// Logs the report of BuildAssertionText through LogMessage(Error, "DBG", "%s", text).
void ReportAssertion(const char* expression, const char* description, const char* file,
                     uint32_t line, const char* function) noexcept;

// The same, with the description printed from a printf format (null: no description) into a
// 1024-byte buffer, so cut at 1023 characters.
void ReportAssertionF(const char* expression, const char* file, uint32_t line, const char* function,
                      const char* format, ...) noexcept __attribute__((format(printf, 5, 6)));

}  // namespace Velto
