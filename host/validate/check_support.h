// What most checks start with: the plug-in loaded and one instance built, or a failed check.
#pragma once

#include "checkinstance.h"
#include "validation.h"

#include <memory>

std::unique_ptr<CheckLibrary> openLibraryOrFail(const CheckSettings& settings);
std::unique_ptr<CheckInstance> createInstanceOrFail(const CheckLibrary& library);

struct CheckSubject {
    std::unique_ptr<CheckLibrary> library; // declared first: unloaded last
    std::unique_ptr<CheckInstance> instance;
};

CheckSubject openSubject(const CheckSettings& settings);
