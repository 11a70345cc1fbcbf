// The equivalent of the Windows load notification: when the shared object is loaded, remember
// its base address, which identifies the module as an instance handle does on Windows.
#include "audioeffect.h"

#include <dlfcn.h>

void* moduleHandle = nullptr;

namespace {

__attribute__((constructor)) void storeModuleHandle() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&storeModuleHandle), &info) != 0)
        moduleHandle = info.dli_fbase;
}

} // namespace
