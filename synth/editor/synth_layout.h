// Where Oriv's editor puts its controls: the one table that knows the panel's coordinates (the
// artwork script draws the knob bodies and captions at the same places). A knob's (x, y) is
// its centre, a button's its top-left corner.
#pragma once

#include "aeffguieditor.h"
#include "synth_parameters.h"

#include <array>

// The six buttons: two three-way selectors for the two stepped parameters.
enum SynthButtonTag : int32_t {
    RangeButton16 = 14, // OscRang 0.0
    RangeButton8,       // OscRang 0.5
    RangeButton4,       // OscRang 1.0
    WaveButton1,        // OscWave 0.0
    WaveButton2,        // OscWave 0.5
    WaveButton3,        // OscWave 1.0
};
constexpr int32_t kFirstButtonTag = RangeButton16;
constexpr int32_t kLastButtonTag = WaveButton3;

// The parameter a button serves, and the value it selects.
constexpr int32_t buttonParameter(int32_t tag) {
    return tag <= RangeButton4 ? OscRang : OscWave;
}
constexpr float buttonValue(int32_t tag) {
    return static_cast<float>((tag - kFirstButtonTag) % 3) * 0.5f;
}

inline constexpr std::array<ControlPlacement, 19> synthControlLayout{{
    {RangeButton16, KindOnOffButton, 61, 44},
    {RangeButton8, KindOnOffButton, 80, 44},
    {RangeButton4, KindOnOffButton, 99, 44},
    {WaveButton1, KindOnOffButton, 123, 44},
    {WaveButton2, KindOnOffButton, 142, 44},
    {WaveButton3, KindOnOffButton, 161, 44},
    {Osc2Det, KindKnob, 149, 109},
    {LfoFreq, KindKnob, 86, 109},
    {VcfCut, KindKnob, 215, 58},
    {VcfReso, KindKnob, 215, 109},
    {VcfAtt, KindKnob, 272, 58},
    {VcfDec, KindKnob, 330, 58},
    {VcfSus, KindKnob, 385, 58},
    {VcfRel, KindKnob, 443, 58},
    {VcaAtt, KindKnob, 272, 109},
    {VcaDec, KindKnob, 330, 109},
    {VcaSus, KindKnob, 385, 109},
    {VcaRel, KindKnob, 443, 109},
    {-1, -1, -1, -1},
}};

// Knobs are 30 x 30 around their centre, buttons 15 x 28 from their corner.
constexpr int32_t kSynthKnobRadius = 15;
constexpr int32_t kSynthButtonWidth = 15;
constexpr int32_t kSynthButtonHeight = 28;
// The panel's size, when its background cannot be loaded.
constexpr int32_t kSynthEditorWidth = 500;
constexpr int32_t kSynthEditorHeight = 170;

// Resources of Oriv's module.
constexpr uint16_t kSynthBackgroundBitmap = 128;
constexpr uint16_t kSynthButtonBitmap = 130;
constexpr const char* kSynthKnobHandleName = "bmp00129.png";
