// Loading plug-in libraries with LoadLibrary.
#include "pluginhost.h"

#include <windows.h>

namespace {

std::string lastErrorText() {
    const DWORD code = GetLastError();
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = length > 0 ? std::string(message, length) : "error " + std::to_string(code);
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::string& path, std::string& error) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = "no such file: " + path;
        return nullptr;
    }
    // No error dialog boxes for libraries that cannot be loaded.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    SetErrorMode(previousMode);
    if (module == nullptr) {
        error = "cannot load " + path + ": " + lastErrorText();
        return nullptr;
    }
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(module));
}

PluginLibrary::~PluginLibrary() {
    FreeLibrary(static_cast<HMODULE>(handle_));
}

void* PluginLibrary::symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}
