// Values typed as Malvoree shows them, read in each parameter's own terms:
//   delay time  seconds: " 1.000", "0.25", "1.5 s"; with tempo sync on also a note name
//               ("1/8 *", "1/4 T", "1"), which selects the value that shows that same name
//   feedback,   percent: "50", "50 %", "12.5%"
//   damping
//   volume      decibels: "-6", "-6 dB", "0", "-oo" (silence), through the inverse of the
//               volume text's mapping (20 log10 of the value)
//   pan         "L 32", "R 5", "C", "< C >", or a signed number from -64 (left) to 64 (right)
// and, for the host's typed values (ParameterTextParse) only, the mix in percent and the tempo
// setting ("On", "Off").
// Blanks around the text and letter case do not matter. Values outside a parameter's range are
// limited to it; a text that does not parse yields nothing. A number comes back as the value
// that shows exactly that number, wherever the shown text has as many digits as the typed one:
// the shown texts cut digits off rather than round, so the nearest value may show one step less.
#pragma once

#include "malvoree_parameters.h"

namespace malvoree {

// The parameter value (0..1) that text means for a display of this kind; false when the text
// does not parse or the kind has no display (tempo, mix). Any thread; no allocation.
bool parseTagText(ParameterKind kind, const char* text, bool tempoSync, float& value);

// As parseTagText, for every parameter kind: the mix as a percentage, the tempo setting as
// On or Off (or a number, 0.5 and above being On).
bool parseValueText(ParameterKind kind, const char* text, bool tempoSync, float& value);

} // namespace malvoree
