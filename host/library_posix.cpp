// Loading plug-in libraries with dlopen.
#include "pluginhost.h"

#include <dlfcn.h>
#include <sys/stat.h>

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::string& path, std::string& error) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        error = "no such file: " + path;
        return nullptr;
    }
    // A path without a slash would make dlopen search the library path instead.
    const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
        return nullptr;
    }
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(handle));
}

PluginLibrary::~PluginLibrary() {
    dlclose(handle_);
}

void* PluginLibrary::symbol(const char* name) const {
    return dlsym(handle_, name);
}
