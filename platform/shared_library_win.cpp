#include "platform/shared_library.h"

#include <windows.h>

#include <utility>

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

SharedLibrary::~SharedLibrary() {
    Close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

SharedLibrary SharedLibrary::Open(const std::string& path, std::string* error) {
    HMODULE handle = LoadLibraryW(Widen(path).c_str());
    if (handle == nullptr && error != nullptr) {
        *error = LastErrorText();
    }
    return SharedLibrary(handle);
}

void* SharedLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
    }
}

}  // namespace Velto::Platform
