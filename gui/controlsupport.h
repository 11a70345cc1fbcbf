// What the controls share beyond CControl itself: bounding a value before it becomes a pixel
// or an index, the wheel and arrow-key step of knobs and sliders, and the latch that keeps a
// drag's gesture to one begin and one end.
#pragma once

#include "ccontrol.h"

#include <cstdint>

namespace QXAGUI {

// v limited to the range between lower and upper (in either order); NaN becomes the lower one.
// Every value that is about to become a pixel or an index goes through this first: a host may
// store anything, and a float-to-integer conversion of NaN or of a huge value is undefined.
float boundedValue(float v, float lower, float upper);

// The control's value as a fraction of its range, in [0, 1]; 0 for NaN or an empty range.
float rangeFraction(const CControl& control);

// The image of `count` that a fraction in [0, 1] picks, rounded to the nearest one.
int32_t imageIndexFor(float fraction, int32_t count);

// True when a and b differ as drawn values: NaN equals NaN, so that a NaN stored by the host
// makes the control dirty once, not at every idle pass.
bool valuesDiffer(float a, float b);

// The wheel and arrow-key rules of knobs and sliders: value += steps x wheel step (x 0.1 with
// Shift), clamped; a listener that exists hears of a visible change inside one gesture.
// The wheel acts only on a control that accepts the mouse (else false); arrow keys: left and
// down step -1, up and right +1, any other key answers -1 (not handled), a handled one 1.
bool stepByWheel(CControl& control, float distance, ButtonFlags buttons);
int32_t stepByArrowKey(CControl& control, const KeyRecord& key);

// A control's drag gesture: begin opens it (ending one left open first), end closes it only
// if it is open. The frame's window sends pointerUp when the capture is lost as well as on
// release, so a release may arrive with no drag in progress.
class EditGesture {
public:
    void begin(CControl& control) {
        if (open_) control.editEnded();
        open_ = true;
        control.editStarted();
    }
    void end(CControl& control) {
        if (!open_) return;
        open_ = false;
        control.editEnded();
    }
    bool isOpen() const { return open_; }

private:
    bool open_ = false;
};

} // namespace QXAGUI
