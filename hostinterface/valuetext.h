// The texts of AudioEffect::formatFloat and formatDecibels, for code that has no effect at hand
// (a parser that checks how a value will show). The same limits as the members: at most maxLen
// characters and a NUL at position maxLen.
#pragma once

#include <cstdint>

void formatFloatText(float value, char* text, int32_t maxLen);
void formatDecibelsText(float value, char* text, int32_t maxLen);
