// CSlider and its vertical and horizontal forms: handle geometry, painting and the drag. The
// interaction table is in cslider.h.
#include "cslider.h"

#include "cbitmap.h"
#include "cdrawcontext.h"

#include <algorithm>
#include <cstring>

namespace QXAGUI {

CSlider::CSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                 int32_t minimumPosition, int32_t maximumPosition, CBitmap* handle,
                 CBitmap* background, const ViewPoint& backgroundOffset, SliderStyle style)
    : CControl(bounds, listener, tag, background), backgroundOffset_(backgroundOffset),
      style_(style), viewWidth_(bounds.width()), viewHeight_(bounds.height()) {
    acceptsFocus_ = true;
    setHandleImage(handle);
    travel_ = maximumPosition - minimumPosition;
    minimumPosition_ = minimumPosition - (horizontal() ? bounds.left : bounds.top);
    recomputeHandleLimits();
}

CSlider::CSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                 const ViewPoint& handleShift, int32_t handleRange, CBitmap* handle,
                 CBitmap* background, const ViewPoint& backgroundOffset, SliderStyle style)
    : CControl(bounds, listener, tag, background), backgroundOffset_(backgroundOffset),
      handleShift_(handleShift), style_(style), viewWidth_(bounds.width()),
      viewHeight_(bounds.height()) {
    acceptsFocus_ = true;
    setHandleImage(handle);
    travel_ = handleRange - handleLength();
    minimumPosition_ = 0;
    recomputeHandleLimits();
}

CSlider::~CSlider() {
    if (handle_) handle_->release();
}

bool CSlider::isKindOf(const char* className) const {
    return std::strcmp(className, "CSlider") == 0 || CControl::isKindOf(className);
}

CView* CSlider::clone() const {
    auto* copy = new CSlider(bounds_, listener_, tag_, handleShift_, 0, handle_, backdrop_,
                             backgroundOffset_, style_);
    copySliderStateTo(*copy);
    return copy;
}

void CSlider::copySliderStateTo(CSlider& copy) const {
    copyControlStateTo(copy);
    copy.travel_ = travel_;
    copy.minimumPosition_ = minimumPosition_;
    copy.fineFactor_ = fineFactor_;
    copy.handleSeeThrough_ = handleSeeThrough_;
    copy.grabAnywhere_ = grabAnywhere_;
    copy.recomputeHandleLimits();
}

// --- geometry ----------------------------------------------------------------------------------

void CSlider::takeHandleSize() {
    handleWidth_ = handle_ ? handle_->width() : 1;
    handleHeight_ = handle_ ? handle_->height() : 1;
}

void CSlider::recomputeHandleLimits() {
    const int32_t shift = alongAxis(handleShift_);
    lowestHandlePosition_ = minimumPosition_ + shift;
    highestHandlePosition_ = travel_ + handleLength() + minimumPosition_ + shift;
}

ViewRect CSlider::handleRect() const {
    const float value = (style_ & (SliderRightEnd | SliderBottomEnd)) ? value_ : 1.0f - value_;
    // A host value outside 0..1 puts the handle at the nearer end.
    const float f = boundedValue(value, 0.0f, 1.0f);
    const int32_t start =
        std::max(lowestHandlePosition_,
                 static_cast<int32_t>(static_cast<float>(travel_) * f) + alongAxis(handleShift_));
    const int32_t end = std::min(highestHandlePosition_, start + handleLength());
    ViewRect rect = horizontal()
                        ? ViewRect(start, handleShift_.y, end, handleShift_.y + handleHeight_)
                        : ViewRect(handleShift_.x, start, handleShift_.x + handleWidth_, end);
    return rect.moveBy(bounds_.left, bounds_.top);
}

void CSlider::setBounds(const ViewRect& rect, bool markRepaint) {
    // The minimum position is kept relative to the view, so it moves with it.
    travel_ += horizontal() ? rect.width() - viewWidth_ : rect.height() - viewHeight_;
    viewWidth_ = rect.width();
    viewHeight_ = rect.height();
    recomputeHandleLimits();
    CControl::setBounds(rect, markRepaint);
}

void CSlider::setHandleSeeThrough(bool seeThrough) {
    handleSeeThrough_ = seeThrough;
}
void CSlider::setGrabAnywhere(bool grab) {
    grabAnywhere_ = grab;
}
bool CSlider::grabAnywhere() const {
    return grabAnywhere_;
}

void CSlider::setHandleShift(const ViewPoint& shift) {
    handleShift_ = shift;
    recomputeHandleLimits();
}
ViewPoint CSlider::handleShift() const {
    return handleShift_;
}

void CSlider::setBackdropOrigin(const ViewPoint& offset) {
    backgroundOffset_ = offset;
}
ViewPoint CSlider::backdropOrigin() const {
    return backgroundOffset_;
}
SliderStyle CSlider::sliderStyle() const {
    return style_;
}

void CSlider::setHandleImage(CBitmap* bitmap) {
    if (bitmap) bitmap->retain();
    if (handle_) handle_->release();
    handle_ = bitmap;
    takeHandleSize();
    recomputeHandleLimits();
}
CBitmap* CSlider::handleImage() const {
    return handle_;
}

void CSlider::setFineFactor(float factor) {
    fineFactor_ = factor;
}
float CSlider::fineFactor() const {
    return fineFactor_;
}

// --- painting ----------------------------------------------------------------------------------

void CSlider::paint(CDrawContext* context) {
    const ViewRect area = ViewRect::fromSize(bounds_.topLeft(), viewWidth_, viewHeight_);
    if (!backdropPaintedBelow(backdrop_, backgroundOffset_))
        drawBitmap(backdrop_, context, area, backgroundOffset_, seeThrough_);
    drawBitmap(handle_, context, handleRect(), ViewPoint(), handleSeeThrough_);
    markNeedsRepaint(false);
}

// --- dragging ----------------------------------------------------------------------------------

PointerReply CSlider::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!(buttons & ButtonLeft)) return Passed;
    const int32_t viewStart = alongAxis(handleShift_) + alongAxis(bounds_.topLeft());
    if (grabAnywhere_) {
        // The pointer holds the handle's middle.
        clickDelta_ = viewStart + handleLength() / 2 - 1;
    } else {
        const ViewRect handle = handleRect();
        if (!handle.pointWithinEdges(point)) return Passed;
        clickDelta_ = viewStart + (alongAxis(point) - alongAxis(handle.topLeft()));
    }
    // The reset brackets itself: one gesture, not one nested in the drag's.
    if (tryResetToDefault(buttons)) return TakenNoTracking;
    referenceSet_ = false;
    lastButtons_ = buttons;
    gesture_.begin(*this);
    if (buttons & ModShift) return Taken;
    return pointerMoved(point, buttons);
}

PointerReply CSlider::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!gesture_.isOpen() || !(buttons & ButtonLeft)) return Taken;
    const bool fine = (buttons & ModShift) != 0;
    // The fine mode scales the pointer's motion from where Shift was pressed: the reference
    // stays put while Shift is held with the same buttons.
    if (!referenceSet_ || !fine || buttons != lastButtons_) {
        referenceValue_ = rangeFraction(*this);
        referenceSet_ = true;
    }
    if (fine) lastButtons_ = buttons;

    float v = travel_ != 0
                  ? static_cast<float>(alongAxis(point) - clickDelta_) / static_cast<float>(travel_)
                  : 0.0f;
    if (style_ & (SliderTopEnd | SliderInvert)) v = 1.0f - v;
    if (fine && fineFactor_ > 0.0f) v = referenceValue_ + (v - referenceValue_) / fineFactor_;
    if (!(lowest_ == 1.0f && highest_ == 1.0f)) v = lowest_ + v * (highest_ - lowest_);
    value_ = v;
    clampValue();
    if (needsRepaint()) {
        if (listener_) listener_->controlChanged(this);
        requestRepaint();
    }
    return Taken;
}

PointerReply CSlider::pointerUp(const ViewPoint& /*point*/, const ButtonFlags& /*buttons*/) {
    gesture_.end(*this);
    return Taken;
}

bool CSlider::scrollWheel(const ViewPoint& /*point*/, float distance, const ButtonFlags& buttons) {
    return stepByWheel(*this, distance, buttons);
}

int32_t CSlider::keyPressed(KeyRecord& key) {
    return stepByArrowKey(*this, key);
}

// --- the two axes ------------------------------------------------------------------------------

CVerticalSlider::CVerticalSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                                 int32_t minimumPosition, int32_t maximumPosition, CBitmap* handle,
                                 CBitmap* background, const ViewPoint& backgroundOffset,
                                 SliderStyle style)
    : CSlider(bounds, listener, tag, minimumPosition, maximumPosition, handle, background,
              backgroundOffset, style | SliderAxisY) {}

CVerticalSlider::CVerticalSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                                 const ViewPoint& handleShift, int32_t handleRange, CBitmap* handle,
                                 CBitmap* background, const ViewPoint& backgroundOffset,
                                 SliderStyle style)
    : CSlider(bounds, listener, tag, handleShift, handleRange, handle, background, backgroundOffset,
              style | SliderAxisY) {}

bool CVerticalSlider::isKindOf(const char* className) const {
    return std::strcmp(className, "CVerticalSlider") == 0 || CSlider::isKindOf(className);
}

CView* CVerticalSlider::clone() const {
    auto* copy = new CVerticalSlider(bounds_, listener_, tag_, handleShift_, 0, handle_, backdrop_,
                                     backgroundOffset_, style_);
    copySliderStateTo(*copy);
    return copy;
}

CHorizontalSlider::CHorizontalSlider(const ViewRect& bounds, CControlListener* listener,
                                     int32_t tag, int32_t minimumPosition, int32_t maximumPosition,
                                     CBitmap* handle, CBitmap* background,
                                     const ViewPoint& backgroundOffset, SliderStyle style)
    : CSlider(bounds, listener, tag, minimumPosition, maximumPosition, handle, background,
              backgroundOffset, style | SliderAxisX) {}

CHorizontalSlider::CHorizontalSlider(const ViewRect& bounds, CControlListener* listener,
                                     int32_t tag, const ViewPoint& handleShift, int32_t handleRange,
                                     CBitmap* handle, CBitmap* background,
                                     const ViewPoint& backgroundOffset, SliderStyle style)
    : CSlider(bounds, listener, tag, handleShift, handleRange, handle, background, backgroundOffset,
              style | SliderAxisX) {}

bool CHorizontalSlider::isKindOf(const char* className) const {
    return std::strcmp(className, "CHorizontalSlider") == 0 || CSlider::isKindOf(className);
}

CView* CHorizontalSlider::clone() const {
    auto* copy = new CHorizontalSlider(bounds_, listener_, tag_, handleShift_, 0, handle_,
                                       backdrop_, backgroundOffset_, style_);
    copySliderStateTo(*copy);
    return copy;
}

} // namespace QXAGUI
