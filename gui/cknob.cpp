// CKnob: geometry (value <-> angle <-> handle point), painting, and the circular and linear
// drags. The interaction table is in cknob.h.
#include "cknob.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"

#include <cmath>
#include <cstring>

namespace QXAGUI {

namespace {
constexpr float kTwoPi = 6.28318530718f;
constexpr float kDefaultArcStart = 3.9269907f; // 225 degrees: lower left
constexpr float kDefaultArcSpan = -4.712389f;  // 270 degrees clockwise
// Pixels a linear drag takes to cover the whole range (times the fine factor with Shift).
constexpr float kLinearPixelRange = 200.0f;
// The host's knob style that makes plain drags linear.
constexpr int32_t kLinearKnobStyle = 2;

// An angle moved once into [0, 2 pi].
float wrappedOnce(float angle) {
    if (angle < 0.0f) return angle + kTwoPi;
    if (angle > kTwoPi) return angle - kTwoPi;
    return angle;
}
} // namespace

CKnob::CKnob(const ViewRect& bounds, CControlListener* listener, int32_t tag, CBitmap* background,
             CBitmap* handle, const ViewPoint& backgroundOffset)
    : CControl(bounds, listener, tag, background), backgroundOffset_(backgroundOffset),
      radius_(static_cast<float>(bounds.width()) * 0.5f) {
    acceptsFocus_ = true;
    setHandleImage(handle);
    setArcStart(kDefaultArcStart);
    setArcSpan(kDefaultArcSpan);
}

CKnob::~CKnob() {
    if (handle_) handle_->release();
}

bool CKnob::isKindOf(const char* className) const {
    return std::strcmp(className, "CKnob") == 0 || CControl::isKindOf(className);
}

CView* CKnob::clone() const {
    auto* copy = new CKnob(bounds_, listener_, tag_, backdrop_, handle_, backgroundOffset_);
    copyControlStateTo(*copy);
    copy->handleColor_ = handleColor_;
    copy->shadowColor_ = shadowColor_;
    copy->inset_ = inset_;
    copy->fineFactor_ = fineFactor_;
    copy->arcStart_ = arcStart_;
    copy->arcSpan_ = arcSpan_;
    copy->recomputeArc();
    return copy;
}

// --- geometry ----------------------------------------------------------------------------------

// The derived values follow the value range current when start or span is set.
void CKnob::recomputeArc() {
    valuePerRadian_ = arcSpan_ != 0.0f ? (highest_ - lowest_) / arcSpan_ : 0.0f;
    valueOffset_ = lowest_ - valuePerRadian_ * arcStart_;
    halfDeadAngle_ = (kTwoPi - std::fabs(arcSpan_)) * 0.5f;
}

void CKnob::setArcStart(float radians) {
    arcStart_ = radians;
    recomputeArc();
    markNeedsRepaint(true);
}
float CKnob::arcStart() const {
    return arcStart_;
}

void CKnob::setArcSpan(float radians) {
    arcSpan_ = radians;
    recomputeArc();
    markNeedsRepaint(true);
}
float CKnob::arcSpan() const {
    return arcSpan_;
}

void CKnob::valueToHandlePoint(ViewPoint& out) const {
    // A host value outside the range is drawn at the nearer end rather than wrapping around.
    const float v = boundedValue(value_, lowest_, highest_);
    float angle = (v - valueOffset_) / valuePerRadian_;
    if (!std::isfinite(angle)) angle = arcStart_; // empty range or zero span
    const float reach = radius_ - static_cast<float>(inset_);
    out.x = static_cast<int32_t>(std::cos(angle) * reach + radius_ + 0.5f);
    out.y = static_cast<int32_t>(radius_ - std::sin(angle) * reach + 0.5f);
}

float CKnob::pointToKnobValue(const ViewPoint& point) const {
    float theta =
        std::atan2(radius_ - static_cast<float>(point.y), static_cast<float>(point.x) - radius_);
    if (theta < 0.0f) theta += kTwoPi;
    float delta = theta - arcStart_;
    const float span = std::fabs(arcSpan_);
    const bool clockwise = arcSpan_ < 0.0f;
    if (clockwise) delta += span;
    const float f = wrappedOnce(delta);
    // The dead zone's far half belongs to the start of the arc, its near half to the end.
    if (f > halfDeadAngle_ + span) return clockwise ? highest_ : lowest_;
    if (f > span) return clockwise ? lowest_ : highest_;
    float e = delta;
    if (delta > halfDeadAngle_ + span)
        e = delta - kTwoPi;
    else if (delta < -halfDeadAngle_)
        e = delta + kTwoPi;
    return (clockwise ? highest_ : lowest_) + valuePerRadian_ * e;
}

int32_t CKnob::handleInset() const {
    return inset_;
}
void CKnob::setHandleInset(int32_t inset) {
    inset_ = inset;
}

ViewColor CKnob::shadowTint() const {
    return shadowColor_;
}
void CKnob::setShadowTint(ViewColor color) {
    shadowColor_ = color;
    markNeedsRepaint(true);
}

ViewColor CKnob::handleTint() const {
    return handleColor_;
}
void CKnob::setHandleTint(ViewColor color) {
    handleColor_ = color;
    markNeedsRepaint(true);
}

CBitmap* CKnob::handleImage() const {
    return handle_;
}
void CKnob::setHandleImage(CBitmap* bitmap) {
    if (bitmap) bitmap->retain();
    if (handle_) handle_->release();
    handle_ = bitmap;
    inset_ = handle_ ? static_cast<int32_t>(static_cast<float>(handle_->width()) * 0.5f + 2.5f) : 3;
}

void CKnob::setFineFactor(float factor) {
    fineFactor_ = factor;
}
float CKnob::fineFactor() const {
    return fineFactor_;
}

// --- painting ----------------------------------------------------------------------------------

void CKnob::paint(CDrawContext* context) {
    if (!backdropPaintedBelow(backdrop_, backgroundOffset_))
        drawBitmap(backdrop_, context, bounds_, backgroundOffset_, seeThrough_);
    paintHandle(context);
    markNeedsRepaint(false);
}

void CKnob::paintHandle(CDrawContext* context) {
    ViewPoint point;
    valueToHandlePoint(point);
    if (handle_) {
        const int32_t width = handle_->width();
        const int32_t height = handle_->height();
        const ViewPoint topLeft(bounds_.left + point.x - width / 2,
                                bounds_.top + point.y - height / 2);
        handle_->blitKeyed(context, ViewRect::fromSize(topLeft, width, height), ViewPoint());
        return;
    }
    // No bitmap: a line from the handle point to the centre, over a shadow one pixel left.
    point.moveBy(bounds_.left, bounds_.top);
    const ViewPoint centre(bounds_.left + bounds_.width() / 2, bounds_.top + bounds_.height() / 2);
    context->setStrokeTint(shadowColor_);
    context->penTo({point.x - 1, point.y});
    context->strokeTo({centre.x - 1, centre.y});
    context->setStrokeTint(handleColor_);
    context->penTo({point.x, point.y - 1});
    context->strokeTo({centre.x, centre.y - 1});
}

// --- dragging ----------------------------------------------------------------------------------

ViewPoint CKnob::viewRelative(const ViewPoint& point) const {
    return {point.x - bounds_.left, point.y - bounds_.top};
}

void CKnob::beginDrag(const ViewPoint& point, ButtonFlags buttons) {
    firstPoint_ = point;
    lastPoint_ = {-1, -1};
    referenceValue_ = previousValue_;
    entryValue_ = value_;
    pixelRange_ = kLinearPixelRange;
    valuePerPixel_ = (highest_ - lowest_) / kLinearPixelRange;
    lastButtons_ = buttons;
    linearDrag_ = false;
    if (buttons & ButtonLeft) {
        const bool hostWantsLinear = frame_ && frame_->hostKnobStyle() == kLinearKnobStyle;
        const bool alt = (buttons & ModAlt) != 0;
        // Alt chooses the other mode than the host's.
        linearDrag_ = hostWantsLinear != alt;
    }
    if (linearDrag_) {
        if (buttons & ModShift) pixelRange_ = kLinearPixelRange * fineFactor_;
        lastPoint_ = point;
        valuePerPixel_ = (highest_ - lowest_) / pixelRange_;
    } else {
        referenceValue_ = pointToKnobValue(viewRelative(point));
    }
}

bool CKnob::dragTo(const ViewPoint& point, ButtonFlags buttons) {
    lastPoint_ = point;
    if (linearDrag_) {
        // Right and up increase.
        const float d = static_cast<float>((point.x - firstPoint_.x) + (firstPoint_.y - point.y));
        if (buttons != lastButtons_) {
            // Shift pressed or let go: the distance so far keeps its old rate, the rest of
            // the drag goes at the new one.
            pixelRange_ = kLinearPixelRange;
            if (buttons & ModShift) pixelRange_ *= fineFactor_;
            const float newValuePerPixel = (highest_ - lowest_) / pixelRange_;
            entryValue_ = (valuePerPixel_ - newValuePerPixel) * d + entryValue_;
            valuePerPixel_ = newValuePerPixel;
            lastButtons_ = buttons;
        }
        value_ = d * valuePerPixel_ + entryValue_;
        clampValue();
    } else {
        const float v = pointToKnobValue(viewRelative(point));
        const float halfRange = (highest_ - lowest_) / 2.0f;
        // A jump of more than half the range means the pointer crossed the dead zone: stay at
        // the end it left from.
        if (referenceValue_ - v > halfRange) {
            value_ = highest_;
        } else if (v - referenceValue_ > halfRange) {
            value_ = lowest_;
        } else {
            value_ = v;
            referenceValue_ = v;
        }
    }
    const bool changed = valuesDiffer(value_, previousValue_);
    if (changed && listener_) listener_->controlChanged(this);
    if (needsRepaint()) requestRepaint();
    return changed;
}

PointerReply CKnob::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!(buttons & ButtonLeft)) return Passed;
    // The reset brackets itself: one gesture, not one nested in the drag's.
    if (tryResetToDefault(buttons)) return TakenNoTracking;
    gesture_.begin(*this);
    beginDrag(point, buttons);
    return pointerMoved(point, buttons);
}

PointerReply CKnob::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!gesture_.isOpen() || !(buttons & ButtonLeft) || point == lastPoint_) return Taken;
    dragTo(point, buttons);
    return Taken;
}

PointerReply CKnob::pointerUp(const ViewPoint& /*point*/, const ButtonFlags& /*buttons*/) {
    gesture_.end(*this);
    return Taken;
}

void CKnob::legacyTrack(CDrawContext* context, const ViewPoint& point, ButtonFlags buttons) {
    if (!(buttons & ButtonLeft) || !frame_) return;
    if (listener_ && (buttons & (ModShift | ModControl | ModAlt)) &&
        listener_->controlModClicked(this, buttons) != 0)
        return;
    if (tryResetToDefault(buttons)) return;

    // The editor's idle may let the host close the editor: knob and frame outlive the loop.
    CFrame* frame = frame_;
    RetainScope<CKnob> keepKnob(this);
    RetainScope<CFrame> keepFrame(frame);
    gesture_.begin(*this);
    beginDrag(point, buttons);
    ViewPoint position = point;
    for (;;) {
        const ButtonFlags now = frame->buttonsNow();
        if (!(now & ButtonLeft) || !frame->windowAlive()) break;
        if (position != lastPoint_) dragTo(position, now);
        pointerLocation(context, position);
        runIdle();
    }
    gesture_.end(*this);
}

// --- wheel and keys ----------------------------------------------------------------------------

bool CKnob::scrollWheel(const ViewPoint& /*point*/, float distance, const ButtonFlags& buttons) {
    return stepByWheel(*this, distance, buttons);
}

int32_t CKnob::keyPressed(KeyRecord& key) {
    return stepByArrowKey(*this, key);
}

} // namespace QXAGUI
