// The fuzz targets' assertion: a property that does not hold aborts, and libFuzzer reports the
// input that broke it.
#pragma once

#include <cstdlib>

namespace Fuzz {

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace Fuzz
