// COnOffButton: toggles on press; the interaction table is in conoffbutton.h.
#include "conoffbutton.h"

#include "cbitmap.h"
#include "cframe.h"
#include "controlsupport.h"

#include <cstring>

namespace QXAGUI {

COnOffButton::COnOffButton(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                           CBitmap* bitmap, int32_t style)
    : CControl(bounds, listener, tag, bitmap), style_(style) {}

COnOffButton::~COnOffButton() = default;

bool COnOffButton::isKindOf(const char* className) const {
    return std::strcmp(className, "COnOffButton") == 0 || CControl::isKindOf(className);
}

CView* COnOffButton::clone() const {
    auto* copy = new COnOffButton(bounds_, listener_, tag_, backdrop_, style_);
    copyControlStateTo(*copy);
    return copy;
}

int32_t COnOffButton::buttonStyle() const {
    return style_;
}
void COnOffButton::setButtonStyle(int32_t style) {
    style_ = style;
}

void COnOffButton::paint(CDrawContext* context) {
    if (backdrop_) {
        const ViewPoint source(0, value_ != 0.0f ? backdrop_->height() / 2 : 0);
        drawBitmap(backdrop_, context, bounds_, source, seeThrough_);
    }
    markNeedsRepaint(false);
}

void COnOffButton::notifyOnce() {
    editStarted();
    if (listener_) listener_->controlChanged(this);
    editEnded();
}

PointerReply COnOffButton::pointerDown(const ViewPoint& /*point*/, const ButtonFlags& buttons) {
    if (!(buttons & ButtonLeft)) return Passed;
    // The editor's idle may let the host close the editor: button and frame outlive it.
    RetainScope<COnOffButton> keepButton(this);
    RetainScope<CFrame> keepFrame(frame_);
    // The click's value stands through the idle below: a host refresh there must not undo it.
    HoldScope hold(*this);
    const bool on = static_cast<int32_t>(boundedValue(value_, 0.0f, 1.0f)) != 0;
    value_ = on ? 0.0f : 1.0f;
    requestRepaint();
    if (style_ == NotifyBeforeIdle) notifyOnce();
    runIdle();
    if (style_ != NotifyBeforeIdle) notifyOnce();
    return TakenNoTracking;
}

} // namespace QXAGUI
