#include "plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

std::string executableFolder() {
    char path[4096] = {};
#if defined(_WIN32)
    GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
#else
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length > 0) path[length] = '\0';
#endif
    const std::string text = path;
    const size_t slash = text.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : text.substr(0, slash);
}

} // namespace

PluginLibrary::PluginLibrary(const std::string& baseName) {
#if defined(_WIN32)
    path_ = executableFolder() + "\\" + baseName + ".dll";
    handle_ = LoadLibraryA(path_.c_str());
#else
    path_ = executableFolder() + "/" + baseName + ".so";
    handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

PluginLibrary::~PluginLibrary() {
    if (!handle_) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void* PluginLibrary::symbol(const char* name) const {
    if (!handle_) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}
