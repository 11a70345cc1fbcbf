// Loads a plug-in module from the folder of the running test executable (all build outputs
// land in one bin/ folder) through the platform's real loader, and finds its entry function.
#pragma once

#include "qxa_abi.h"

#include <string>

class PluginLibrary {
public:
    // baseName without extension, e.g. "Malvoree"; adds .dll or .so.
    explicit PluginLibrary(const std::string& baseName);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool isLoaded() const { return handle_ != nullptr; }
    const std::string& path() const { return path_; }
    // The exported QXAPluginMain, or null.
    PluginEntryFunction entry() const;

private:
    std::string path_;
    void* handle_ = nullptr;
};
