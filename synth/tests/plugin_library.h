// Loads a plug-in module from the folder of the running test executable (every build output
// lands in one bin/ folder) through the platform's real loader.
#pragma once

#include "qxa_abi.h"

#include <string>

class PluginLibrary {
public:
    // baseName without extension, e.g. "Oriv"; adds .dll or .so.
    explicit PluginLibrary(const std::string& baseName);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool isLoaded() const { return handle_ != nullptr; }
    const std::string& path() const { return path_; }
    // An exported function by name, or null.
    void* symbol(const char* name) const;

private:
    std::string path_;
    void* handle_ = nullptr;
};
