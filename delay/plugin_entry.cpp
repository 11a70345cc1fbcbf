// The plug-in's effect factory, called by the entry function for every new instance.
#include "malvoree.h"

#include <new>

AudioEffect* buildEffectObject(HostCallback host) {
    auto* effect = new (std::nothrow) Malvoree(host);
    // An instance without its ring buffers would be silent; the host is told it failed.
    if (effect && !effect->isComplete()) {
        delete effect;
        return nullptr;
    }
    return effect;
}
