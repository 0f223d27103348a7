// Switches the process to a locale whose decimal point is a comma for one test, the way a host may
// do before it loads the plug-in, and restores the previous locale afterwards.
#pragma once

#include <clocale>
#include <string>

namespace Velto::Testing {

class CommaDecimalLocale {
  public:
    CommaDecimalLocale() {
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
    ~CommaDecimalLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    // False when no such locale can be set (a machine without it, an emulator); the test then
    // skips with Reason().
    bool Active() const { return active_; }
    const char* Reason() const {
        return "no comma-decimal locale (de_DE.UTF-8) can be set on this machine";
    }

  private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace Velto::Testing
