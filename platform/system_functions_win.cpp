#include "platform/system_functions.h"

#include "platform/shared_library.h"

namespace Velto::Platform {
namespace {

class WindowsLookup final : public SystemFunctionLookup {
  public:
    // The library is never freed: its users may be called until our own unload, and Windows
    // forbids FreeLibrary there (under the loader lock). The extra reference to a system library
    // costs nothing. System libraries are known to the loader, so the name alone finds the
    // system's copy.
    void* OpenLibrary(const char* library) noexcept override {
        return NativeLibrary::Open(library, nullptr);
    }

    void* FindFunction(void* library, const char* name) noexcept override {
        return NativeLibrary::Symbol(library, name);
    }
};

}  // namespace

SystemFunctionLookup& SystemFunctions() noexcept {
    static constinit WindowsLookup lookup;
    return lookup;
}

}  // namespace Velto::Platform
