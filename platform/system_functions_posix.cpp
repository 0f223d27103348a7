#include "platform/system_functions.h"

namespace Velto::Platform {
namespace {

// POSIX systems have none of the libraries looked up here.
class PosixLookup final : public SystemFunctionLookup {
  public:
    void* OpenLibrary(const char*) noexcept override { return nullptr; }
    void* FindFunction(void*, const char*) noexcept override { return nullptr; }
};

}  // namespace

SystemFunctionLookup& SystemFunctions() noexcept {
    static constinit PosixLookup lookup;
    return lookup;
}

}  // namespace Velto::Platform
