// Where Malvoree's editor puts its controls: the one table that knows the panel's coordinates
// (the artwork script draws the knob bodies, display fields and captions at the same places).
// A knob's (x, y) is its centre; every other control's is its top-left corner. Each head's
// lower block has volume at upper left, damping at upper right, pan at lower left and feedback
// at lower right; each display sits just below its knob.
#pragma once

#include "aeffguieditor.h"
#include "malvoree_parameters.h"

#include <array>

namespace malvoree {

constexpr int32_t headParameter(int32_t head, HeadParameter which) {
    return headParameterIndex(head, which);
}

inline constexpr std::array<ControlPlacement, 43> delayControlLayout{{
    // Head blocks: volume, damping, pan, feedback knobs.
    {headParameter(0, kHeadVolume), KindKnob, 43, 215},
    {headParameter(0, kHeadFilter), KindKnob, 86, 215},
    {headParameter(0, kHeadPan), KindKnob, 43, 278},
    {headParameter(0, kHeadFeedback), KindKnob, 86, 278},
    {headParameter(1, kHeadVolume), KindKnob, 147, 215},
    {headParameter(1, kHeadFilter), KindKnob, 190, 215},
    {headParameter(1, kHeadPan), KindKnob, 147, 278},
    {headParameter(1, kHeadFeedback), KindKnob, 190, 278},
    {headParameter(2, kHeadVolume), KindKnob, 259, 215},
    {headParameter(2, kHeadFilter), KindKnob, 302, 215},
    {headParameter(2, kHeadPan), KindKnob, 259, 278},
    {headParameter(2, kHeadFeedback), KindKnob, 302, 278},
    {headParameter(3, kHeadVolume), KindKnob, 365, 215},
    {headParameter(3, kHeadFilter), KindKnob, 408, 215},
    {headParameter(3, kHeadPan), KindKnob, 365, 278},
    {headParameter(3, kHeadFeedback), KindKnob, 408, 278},
    // Delay times.
    {headParameter(0, kHeadDelay), KindKnob, 109, 114},
    {headParameter(1, kHeadDelay), KindKnob, 187, 114},
    {headParameter(2, kHeadDelay), KindKnob, 265, 114},
    {headParameter(3, kHeadDelay), KindKnob, 338, 114},
    {kTempoParameter, KindOnOffButton, 33, 42},
    // Displays under the head-block knobs.
    {headParameter(0, kHeadVolume), KindTagDisplay, 26, 238},
    {headParameter(0, kHeadFilter), KindTagDisplay, 69, 238},
    {headParameter(0, kHeadPan), KindTagDisplay, 26, 300},
    {headParameter(0, kHeadFeedback), KindTagDisplay, 69, 300},
    {headParameter(1, kHeadVolume), KindTagDisplay, 132, 238},
    {headParameter(1, kHeadFilter), KindTagDisplay, 174, 238},
    {headParameter(1, kHeadPan), KindTagDisplay, 132, 300},
    {headParameter(1, kHeadFeedback), KindTagDisplay, 174, 300},
    {headParameter(2, kHeadVolume), KindTagDisplay, 242, 238},
    {headParameter(2, kHeadFilter), KindTagDisplay, 286, 238},
    {headParameter(2, kHeadPan), KindTagDisplay, 242, 300},
    {headParameter(2, kHeadFeedback), KindTagDisplay, 286, 300},
    {headParameter(3, kHeadVolume), KindTagDisplay, 348, 238},
    {headParameter(3, kHeadFilter), KindTagDisplay, 392, 238},
    {headParameter(3, kHeadPan), KindTagDisplay, 348, 300},
    {headParameter(3, kHeadFeedback), KindTagDisplay, 392, 300},
    // Displays under the delay-time knobs.
    {headParameter(0, kHeadDelay), KindTagDisplay, 90, 135},
    {headParameter(1, kHeadDelay), KindTagDisplay, 166, 135},
    {headParameter(2, kHeadDelay), KindTagDisplay, 246, 135},
    {headParameter(3, kHeadDelay), KindTagDisplay, 318, 135},
    {kMixParameter, KindVerticalSlider, 408, 36},
    {-1, -1, -1, -1},
}};

// Control sizes: knobs 20 x 20 around their centre, the sync button 39 x 14, displays
// 32 x 10, the mix slider 26 x 53.
constexpr int32_t kDelayKnobRadius = 10;
constexpr int32_t kSyncButtonWidth = 39;
constexpr int32_t kSyncButtonHeight = 14;
constexpr int32_t kTagDisplayWidth = 32;
constexpr int32_t kTagDisplayHeight = 10;
// The light paper of the artwork's display fields: typing happens on it in dark ink.
inline constexpr QXAGUI::ViewColor kDisplayFieldColor{246, 234, 192, 255};
constexpr int32_t kMixSliderWidth = 26;
constexpr int32_t kMixSliderHeight = 53;
// The panel's size, when its background cannot be loaded.
constexpr int32_t kDelayEditorWidth = 463;
constexpr int32_t kDelayEditorHeight = 334;

// Resources of Malvoree's module.
constexpr uint16_t kDelayBackgroundBitmap = 1001;
constexpr uint16_t kSyncButtonBitmap = 1003;
constexpr uint16_t kSliderHandleBitmap = 1004;
constexpr const char* kDelayKnobHandleName = "bmp01002.png";

} // namespace malvoree
