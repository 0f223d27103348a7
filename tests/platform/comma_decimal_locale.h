// Switches the process to a locale whose decimal point is a comma for one test, the way a host may
// do before it loads the plug-in, and restores the previous locale afterwards.
#pragma once

#include <clocale>
#include <string>

#include "platform/c_locale_numbers.h"

namespace Velto::Testing {

class CommaDecimalLocale {
  public:
    CommaDecimalLocale() {
        if (!Velto::Platform::KeepsHostLocaleOut()) {
            reason_ = kRuntimeShared;
            return;
        }
        const char* current = std::setlocale(LC_ALL, nullptr);
        previous_ = current != nullptr ? current : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252"}) {
            if (std::setlocale(LC_ALL, name) != nullptr &&
                std::localeconv()->decimal_point[0] == ',') {
                active_ = true;
                return;
            }
        }
        std::setlocale(LC_ALL, previous_.c_str());
    }
    ~CommaDecimalLocale() {
        if (!previous_.empty()) {
            std::setlocale(LC_ALL, previous_.c_str());
        }
    }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    // False when no such locale can be set (a machine without it, an emulator), or when this C
    // runtime cannot keep the host's locale out of the plug-in's numbers; the test then skips
    // with Reason().
    bool Active() const { return active_; }
    const char* Reason() const { return reason_; }

  private:
    static constexpr const char* kRuntimeShared =
        "this C runtime cannot give a thread a locale of its own (wine's msvcrt.dll)";

    std::string previous_;
    bool active_ = false;
    const char* reason_ = "no comma-decimal locale (de_DE.UTF-8) can be set on this machine";
};

}  // namespace Velto::Testing
