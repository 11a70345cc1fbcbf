// The library's one export: builds an effect instance and hands its record to the host.
#include "audioeffect.h"

#if defined(_WIN32)
// Exported through the plug-in's module-definition file.
#define QXA_EXPORT
#else
#define QXA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QXA_EXPORT DescriptorRecord* QXAPluginMain(HostCallback host) {
    // A host that does not answer the version request is not a host we can work with.
    if (host == nullptr || host(nullptr, HostVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    // No exception may cross into the host.
    try {
        AudioEffect* effect = buildEffectObject(host);
        return effect != nullptr ? effect->descriptorRecord() : nullptr;
    } catch (...) {
        return nullptr;
    }
}
