// The plug-in's effect factory, called by the entry function for every new instance. The
// Windows build has the editor; the native build, with no window system to show it in, has
// none.
#if defined(QXA_WITH_EDITOR)
#include "malvoreeedit.h"
using MalvoreeEffect = MalvoreeEdit;
#else
#include "malvoree.h"
using MalvoreeEffect = Malvoree;
#endif

#include <new>

AudioEffect* buildEffectObject(HostCallback host) {
    auto* effect = new (std::nothrow) MalvoreeEffect(host);
    // An instance without its ring buffers would be silent; the host is told it failed.
    if (effect && !effect->isComplete()) {
        delete effect;
        return nullptr;
    }
    return effect;
}
