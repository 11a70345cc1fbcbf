// Loading plug-in libraries with LoadLibrary.
#include "pluginhost.h"

#include <windows.h>

namespace {

// The system's text for the last error, with its "%1" placeholders (the system leaves them in
// when it is not given their values) filled with `path`.
std::string lastErrorText(const std::string& path) {
    const DWORD code = GetLastError();
    if (code == ERROR_BAD_EXE_FORMAT) return "not a 64-bit Windows library (.dll)";
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = length > 0 ? std::string(message, length) : "error " + std::to_string(code);
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    for (size_t at = text.find("%1"); at != std::string::npos;
         at = text.find("%1", at + path.size()))
        text.replace(at, 2, path);
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
        error = "cannot load " + path + ": " + lastErrorText(path);
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
