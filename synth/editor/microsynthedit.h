// MicroSynthEdit: Oriv as the entry point builds it in the Windows build, MicroSynth with its
// editor.
#pragma once

#include "effectwitheditor.h"
#include "microsynth.h"
#include "microsyntheditor.h"

using MicroSynthEdit = EffectWithEditor<MicroSynth, MicroSynthEditor>;
