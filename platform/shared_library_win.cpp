#include "platform/shared_library.h"

#include <windows.h>

namespace Velto::Platform {
namespace {

std::wstring Widen(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string LastErrorText() {
    char* message = nullptr;
    const DWORD code = GetLastError();
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = message != nullptr ? message : "error " + std::to_string(code);
    LocalFree(message);
    return text;
}

}  // namespace

}  // namespace Velto::Platform

namespace Velto::Platform::NativeLibrary {

void* Open(const std::string& path, std::string* error) {
    HMODULE handle = LoadLibraryW(Widen(path).c_str());
    if (handle == nullptr && error != nullptr) {
        *error = LastErrorText();
    }
    return handle;
}

void* Symbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void Close(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}

void* ProcessSymbol(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

}  // namespace Velto::Platform::NativeLibrary
