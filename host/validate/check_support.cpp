#include "check_support.h"

std::unique_ptr<CheckLibrary> openLibraryOrFail(const CheckSettings& settings) {
    std::string error;
    auto library = CheckLibrary::open(settings.pluginPath, error);
    if (!library) failCheck(error);
    return library;
}

std::unique_ptr<CheckInstance> createInstanceOrFail(const CheckLibrary& library) {
    std::string error;
    auto instance = CheckInstance::create(library, error);
    if (!instance) failCheck(error);
    return instance;
}

CheckSubject openSubject(const CheckSettings& settings) {
    CheckSubject subject;
    subject.library = openLibraryOrFail(settings);
    subject.instance = createInstanceOrFail(*subject.library);
    return subject;
}
