// CControl: the value model every control shares, and the helpers of controlsupport.h.
#include "ccontrol.h"

#include "cbitmap.h"
#include "cframe.h"
#include "controlsupport.h"
#include "platform/platform.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace QXAGUI {

namespace {
// A double click needs a second press within this time at least, whatever the system says.
constexpr uint32_t kMinDoubleClickMilliseconds = 250;
} // namespace

// --- shared helpers ----------------------------------------------------------------------------

float boundedValue(float v, float lower, float upper) {
    if (upper < lower) std::swap(lower, upper);
    if (std::isnan(v) || v < lower) return lower;
    if (v > upper) return upper;
    return v;
}

float rangeFraction(const CControl& control) {
    const float range = control.highest() - control.lowest();
    if (!(range != 0.0f) || !std::isfinite(range)) return 0.0f;
    return boundedValue((control.value() - control.lowest()) / range, 0.0f, 1.0f);
}

int32_t imageIndexFor(float fraction, int32_t count) {
    if (count <= 1) return 0;
    const float scaled = boundedValue(fraction, 0.0f, 1.0f) * static_cast<float>(count - 1);
    return std::min(count - 1, static_cast<int32_t>(scaled + 0.5f));
}

void drawBitmap(CBitmap* bitmap, CDrawContext* context, const ViewRect& dest, ViewPoint source,
                bool seeThrough) {
    if (!bitmap) return;
    if (seeThrough)
        bitmap->blitKeyed(context, dest, source);
    else
        bitmap->blit(context, dest, source);
}

bool valuesDiffer(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) != std::isnan(b);
    return a != b;
}

namespace {
void stepControlValue(CControl& control, float steps, bool fine) {
    float step = steps * control.wheelStep();
    if (fine) step *= 0.1f;
    control.storeValue(control.value() + step);
    control.clampValue();
    CControlListener* listener = control.observer();
    if (control.needsRepaint() && listener) {
        control.editStarted();
        listener->controlChanged(&control);
        control.editEnded();
    }
}
} // namespace

bool stepByWheel(CControl& control, float distance, ButtonFlags buttons) {
    if (!control.acceptsMouse()) return false;
    stepControlValue(control, distance, (buttons & ModShift) != 0);
    return true;
}

int32_t stepByArrowKey(CControl& control, const KeyRecord& key) {
    float direction = 0.0f;
    switch (key.virtualKey) {
    case kKeyLeft:
    case kKeyDown:
        direction = -1.0f;
        break;
    case kKeyUp:
    case kKeyRight:
        direction = 1.0f;
        break;
    default:
        return -1;
    }
    stepControlValue(control, direction, (key.modifiers & kKeyModifierShift) != 0);
    return 1;
}

// --- CControl ----------------------------------------------------------------------------------

CControl::CControl(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                   CBitmap* background)
    : CView(bounds), listener_(listener), tag_(tag),
      doubleClickInterval_(
          std::max(platform::doubleClickMilliseconds(), kMinDoubleClickMilliseconds)) {
    acceptsMouse_ = true;
    attached_ = false;
    setBackdrop(background);
}

CControl::~CControl() = default;

bool CControl::needsRepaint() const {
    return valuesDiffer(value_, previousValue_) || CView::needsRepaint();
}

void CControl::markNeedsRepaint(bool flag) {
    CView::markNeedsRepaint(flag);
    if (flag)
        previousValue_ = value_ == -1.0f ? 0.0f : -1.0f;
    else
        previousValue_ = value_;
}

bool CControl::isKindOf(const char* className) const {
    return std::strcmp(className, "CControl") == 0 || CView::isKindOf(className);
}

void CControl::runIdle() {
    if (frame_) frame_->runEditorIdleNow();
}

void CControl::storeValue(float value) {
    value_ = value;
}
float CControl::value() const {
    return value_;
}
void CControl::setLowest(float lowest) {
    lowest_ = lowest;
}
float CControl::lowest() const {
    return lowest_;
}
void CControl::setHighest(float highest) {
    highest_ = highest;
}
float CControl::highest() const {
    return highest_;
}
void CControl::setPreviousValue(float previous) {
    previousValue_ = previous;
}
float CControl::previousValue() const {
    return previousValue_;
}
void CControl::setResetValue(float reset) {
    resetValue_ = reset;
}
float CControl::resetValue() const {
    return resetValue_;
}

// User input only; NaN (from a host value the input started at) counts as below the range.
void CControl::clampValue() {
    if (value_ > highest_) value_ = highest_;
    if (value_ < lowest_ || std::isnan(value_)) value_ = lowest_;
}

bool CControl::tryResetToDefault(ButtonFlags buttons) {
    if (buttons != (ButtonLeft | ModControl)) return false;
    editStarted();
    value_ = resetValue_;
    if (needsRepaint() && listener_) listener_->controlChanged(this);
    editEnded();
    return true;
}

void CControl::setId(int32_t tag) {
    tag_ = tag;
}
int32_t CControl::id() const {
    return tag_;
}

void CControl::editStarted() {
    ++holdDepth_;
    if (listener_) listener_->controlEditOpens(this);
    if (frame_) {
        frame_->focusOn(this);
        frame_->editBegins(tag_);
    }
}

void CControl::editEnded() {
    if (holdDepth_ > 0) --holdDepth_;
    if (frame_) frame_->editEnds(tag_);
    if (listener_) listener_->controlEditCloses(this);
}

CControlListener* CControl::observer() const {
    return listener_;
}
void CControl::setObserver(CControlListener* listener) {
    listener_ = listener;
}
void CControl::setBackdropShift(ViewPoint shift) {
    backdropShift_ = shift;
}
void CControl::resetBackdropShift() {
    backdropShift_ = bounds_.topLeft();
}
void CControl::setWheelStep(float step) {
    wheelStep_ = step;
}
float CControl::wheelStep() const {
    return wheelStep_;
}

// Ticks wrap after 49.7 days, so only their unsigned difference means anything.
bool CControl::detectDoubleClick() {
    const uint32_t now = frame_ ? frame_->tickCount() : platform::tickCount();
    if (clickTime_ >= 0 && now - static_cast<uint32_t>(clickTime_) < doubleClickInterval_) {
        clickTime_ = -1;
        return true;
    }
    clickTime_ = now;
    return false;
}

void CControl::copyControlStateTo(CControl& copy) const {
    copyViewStateTo(copy);
    copy.listener_ = listener_;
    copy.tag_ = tag_;
    copy.previousValue_ = previousValue_;
    copy.resetValue_ = resetValue_;
    copy.value_ = value_;
    copy.lowest_ = lowest_;
    copy.highest_ = highest_;
    copy.wheelStep_ = wheelStep_;
    copy.backdropShift_ = ViewPoint();
}

} // namespace QXAGUI
