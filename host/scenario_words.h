// The words of one scenario line: commands and expectations read their arguments through it.
//
// Words are runs of characters other than blanks and tabs; a JSON value or a message is "the
// rest of the line", taken as it stands without the blanks around it. A line never includes its
// line feed; a trailing carriage return counts as a blank.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/host_value_tree.h"

namespace Velto::TestHost {

bool IsBlank(char c);

// `text` without the blanks, tabs and carriage returns around it.
std::string_view Trim(std::string_view text);

// The words of one line after its command; views into the line, which must outlive them.
class Arguments {
  public:
    explicit Arguments(std::string_view rest) : rest_(Trim(rest)) {}

    // The next word, or empty at the end of the line.
    std::optional<std::string_view> NextWord();
    // A JSON string literal, quotes included, when the rest starts with one that ends.
    std::optional<std::string_view> NextQuoted();

    // Whatever is left, e.g. a JSON value.
    std::string_view Rest() const { return rest_; }
    bool AtEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

// True at the end of the line; otherwise false, with `reason` naming the first word left.
bool NoMoreArguments(Arguments& arguments, std::string* reason);

// The rest of the line as one JSON value; false, with `reason` set, when it is missing or bad.
bool ParseJsonRest(Arguments& arguments, HostValueTree* value, std::string* reason);

}  // namespace Velto::TestHost
