// MalvoreeEdit: Malvoree as the entry point builds it in the Windows build, the effect with
// its editor.
#pragma once

#include "effectwitheditor.h"
#include "malvoree.h"
#include "malvoreeeditor.h"

using MalvoreeEdit = EffectWithEditor<Malvoree, MalvoreeEditor>;
