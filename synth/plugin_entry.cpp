// Oriv's effect factory, called by the library's entry function. The Windows build has the
// editor; the native build, which has no window system to show it in, has none.
#if defined(QXA_WITH_EDITOR)
#include "microsynthedit.h"
using OrivEffect = MicroSynthEdit;
#else
#include "microsynth.h"
using OrivEffect = MicroSynth;
#endif

#include <new>

AudioEffect* buildEffectObject(HostCallback host) {
    // An instance that cannot get its memory is refused: the host gets a null record.
    try {
        return new (std::nothrow) OrivEffect(host);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
