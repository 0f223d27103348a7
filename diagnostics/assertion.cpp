#include "diagnostics/assertion.h"

#include <cstdarg>

#include "diagnostics/bounded_print.h"
#include "diagnostics/log.h"

namespace Velto {
namespace {

constexpr std::size_t kDescriptionSize = 1024;

bool Present(const char* text) {
    return text != nullptr && text[0] != '\0';
}

}  // namespace

std::string BuildAssertionText(const char* expression, const char* file, uint32_t line,
                               const char* function, const char* description) {
    std::string text = "Assertion failed!\n\n";
    if (Present(file)) {
        text.append("File: ").append(file).append("\n");
    }
    if (line != 0) {
        text.append("Line: ").append(std::to_string(line)).append("\n\n");
    }
    if (Present(function)) {
        text.append("Function: ").append(function).append("\n\n");
    }
    if (Present(expression)) {
        text.append("Expression: ").append(expression);
    }
    if (Present(description)) {
        text.append("\n\nDescription: ").append(description);
    }
    return text;
}

void ReportAssertion(const char* expression, const char* description, const char* file,
                     uint32_t line, const char* function) noexcept {
    const std::string text = BuildAssertionText(expression, file, line, function, description);
    LogMessage(LogLevel::Error, kLogGroupDbg, "%s", text.c_str());
}

void ReportAssertionF(const char* expression, const char* file, uint32_t line, const char* function,
                      const char* format, ...) noexcept {
    char description[kDescriptionSize] = "";
    if (format != nullptr) {
        va_list arguments;
        va_start(arguments, format);
        BoundedPrintV(description, sizeof description, format, arguments);
        va_end(arguments);
    }
    ReportAssertion(expression, description, file, line, function);
}

}  // namespace Velto
