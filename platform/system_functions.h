// Functions of the operating system's own libraries, found at run time.
//
// Code that calls such a function through a lookup still loads where the library or the function
// is missing, and can do without it there. Windows looks them up with LoadLibraryW and
// GetProcAddress; POSIX systems have none of these libraries, so there the lookup finds nothing
// and the same code runs without them.
#pragma once

// The calling convention of the system's functions and of the callbacks they call: __stdcall on
// Windows (it matters on 32-bit Windows only), the C convention elsewhere.
#if defined(_WIN32)
#define VELTO_SYSTEM_CALL __stdcall
#else
#define VELTO_SYSTEM_CALL
#endif

namespace Velto::Platform {

// Where system functions come from: the system itself (SystemFunctions below) or a stand-in.
class SystemFunctionLookup {
  public:
    // The system library named `library` (for example "Advapi32.dll"), loaded if it was not yet;
    // null when it is missing. The library stays loaded for the rest of the process.
    virtual void* OpenLibrary(const char* library) noexcept = 0;

    // The address of the function `name` exported by `library` (a result of OpenLibrary); null
    // when the library has no such export.
    virtual void* FindFunction(void* library, const char* name) noexcept = 0;

  protected:
    ~SystemFunctionLookup() = default;
};

// The operating system's own lookup. Thread-safe; lives for the whole process.
SystemFunctionLookup& SystemFunctions() noexcept;

}  // namespace Velto::Platform
