// Oriv's effect factory, called by the library's entry function.
#include "microsynth.h"

#include <new>

AudioEffect* buildEffectObject(HostCallback host) {
    // An instance that cannot get its memory is refused: the host gets a null record.
    try {
        return new (std::nothrow) MicroSynth(host);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
