// Values typed into Malvoree's displays, read in each display's own terms:
//   delay time  seconds: " 1.000", "0.25", "1.5 s"; with tempo sync on also a note name
//               ("1/8 *", "1/4 T", "1"), which selects the value that shows that same name
//   feedback,   percent: "50", "50 %", "12.5%"
//   damping
//   volume      decibels: "-6", "-6 dB", "0", "-oo" (silence), through the inverse of the
//               volume text's mapping (20 log10 of the value)
//   pan         "L 32", "R 5", "C", "< C >", or a signed number from -64 (left) to 64 (right)
// Blanks around the text and letter case do not matter. Values outside a parameter's range are
// limited to it; a text that does not parse yields nothing.
#pragma once

#include "malvoree_parameters.h"

namespace malvoree {

// The parameter value (0..1) that text means for a parameter of this kind; false when the text
// does not parse or the kind has no display. Any thread; no allocation.
bool parseTagText(ParameterKind kind, const char* text, bool tempoSync, float& value);

} // namespace malvoree
