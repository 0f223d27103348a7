// The data every reader benchmark is measured on: three shapes of about 2 MB each (many small
// records with repeated keys, numbers, strings with escapes), the same values written as JSON,
// MessagePack and block-style YAML.
#pragma once

#include <string>

namespace Bench {

enum class Shape { Records, Numbers, Strings };

struct Inputs {
    std::string json;  // about 2 MB; the other two hold the same values
    std::string messagePack;
    std::string yaml;
};

// Generated once per shape, on first use.
const Inputs& InputsFor(Shape shape);

}  // namespace Bench
