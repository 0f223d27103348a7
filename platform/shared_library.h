// Loading a shared library (a DLL on Windows) at run time and looking up its exports.
#pragma once

#include <string>

namespace Velto::Platform {

class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads the library at `path` (UTF-8). On failure the result is not loaded and `error`, when
    // given, receives the system's reason.
    static SharedLibrary Open(const std::string& path, std::string* error = nullptr);

    bool IsLoaded() const { return handle_ != nullptr; }

    // The address of the exported symbol, or null when the library is not loaded or lacks it.
    void* Symbol(const char* name) const;

    // Unloads the library; afterwards every address taken from it is invalid.
    void Close();

    // The address `name` has for the program itself (its own and its libraries' exports, as the
    // program's own lookups see them); null when it has none.
    static void* ProcessSymbol(const char* name);

  private:
    explicit SharedLibrary(void* handle) : handle_(handle) {}
    void* handle_ = nullptr;
};

// The operating system's side, one implementation per platform.
namespace NativeLibrary {
void* Open(const std::string& path, std::string* error);
void* Symbol(void* handle, const char* name);
void Close(void* handle);
void* ProcessSymbol(const char* name);
}  // namespace NativeLibrary

}  // namespace Velto::Platform
