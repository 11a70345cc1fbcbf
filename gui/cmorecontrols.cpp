// The toolkit's other controls; the index of sections is in cmorecontrols.h.
#include "cmorecontrols.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"

#include <algorithm>
#include <cstring>

namespace QXAGUI {

namespace {

// A change the user made: stored, told to the listener and drawn at once; equal values are
// no change.
void applyUserValue(CControl& control, float value) {
    if (!valuesDiffer(control.value(), value)) return;
    control.storeValue(value);
    if (CControlListener* listener = control.observer()) listener->controlChanged(&control);
    control.requestRepaint();
}

void blitFrom(CBitmap* bitmap, CDrawContext* context, const ViewRect& dest, ViewPoint source,
              bool seeThrough) {
    if (!bitmap) return;
    if (seeThrough)
        bitmap->blitKeyed(context, dest, source);
    else
        bitmap->blit(context, dest, source);
}

bool isLeftPress(const ButtonFlags& buttons) {
    return (buttons & ButtonLeft) != 0;
}

} // namespace

// --- IMultiBitmapControl -----------------------------------------------------------------------

void IMultiBitmapControl::paintSubImage(CDrawContext* context, CBitmap* strip, const ViewRect& dest,
                                        int32_t index, ViewPoint offset, bool seeThrough) const {
    blitFrom(strip, context, dest, {offset.x, offset.y + index * subImageHeight_}, seeThrough);
}

// --- CAnimKnob ---------------------------------------------------------------------------------

CAnimKnob::CAnimKnob(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                     int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                     const ViewPoint& offset)
    : CKnob(bounds, listener, tag, strip, nullptr, offset),
      IMultiBitmapControl(subImageCount, subImageHeight) {}

void CAnimKnob::setInverseOrder(bool inverse) {
    if (inverse == inverse_) return;
    inverse_ = inverse;
    markNeedsRepaint(true);
}

void CAnimKnob::paint(CDrawContext* context) {
    int32_t index = imageIndexFor(rangeFraction(*this), subImageCount_);
    if (inverse_) index = std::max(0, subImageCount_ - 1 - index);
    paintSubImage(context, backdrop_, bounds_, index, backgroundOffset_, seeThrough_);
    markNeedsRepaint(false);
}

bool CAnimKnob::isKindOf(const char* className) const {
    return std::strcmp(className, "CAnimKnob") == 0 || CKnob::isKindOf(className);
}

CView* CAnimKnob::clone() const {
    auto* copy = new CAnimKnob(bounds_, listener_, tag_, subImageCount_, subImageHeight_, backdrop_,
                               backgroundOffset_);
    copyControlStateTo(*copy);
    copy->inverse_ = inverse_;
    return copy;
}

// --- switches ----------------------------------------------------------------------------------

CSwitchBase::CSwitchBase(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                         int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                         const ViewPoint& offset, bool horizontal)
    : CControl(bounds, listener, tag, strip), IMultiBitmapControl(subImageCount, subImageHeight),
      offset_(offset), horizontal_(horizontal) {}

int32_t CSwitchBase::positionAt(const ViewPoint& point) const {
    const int32_t extent = horizontal_ ? bounds_.width() : bounds_.height();
    const int32_t along = horizontal_ ? point.x - bounds_.left : point.y - bounds_.top;
    if (subImageCount_ <= 1 || extent <= 0) return 0;
    const int64_t position = static_cast<int64_t>(along) * subImageCount_ / extent;
    return static_cast<int32_t>(std::clamp<int64_t>(position, 0, subImageCount_ - 1));
}

void CSwitchBase::paint(CDrawContext* context) {
    paintSubImage(context, backdrop_, bounds_, imageIndexFor(rangeFraction(*this), subImageCount_),
                  offset_, seeThrough_);
    markNeedsRepaint(false);
}

PointerReply CSwitchBase::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!isLeftPress(buttons)) return Passed;
    gesture_.begin(*this);
    return pointerMoved(point, buttons);
}

PointerReply CSwitchBase::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!gesture_.isOpen() || !isLeftPress(buttons)) return Taken;
    const float fraction = subImageCount_ > 1 ? static_cast<float>(positionAt(point)) /
                                                    static_cast<float>(subImageCount_ - 1)
                                              : 0.0f;
    applyUserValue(*this, lowest_ + fraction * (highest_ - lowest_));
    return Taken;
}

PointerReply CSwitchBase::pointerUp(const ViewPoint& /*point*/, const ButtonFlags& /*buttons*/) {
    gesture_.end(*this);
    return Taken;
}

CVerticalSwitch::CVerticalSwitch(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                                 int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                                 const ViewPoint& offset)
    : CSwitchBase(bounds, listener, tag, subImageCount, subImageHeight, strip, offset, false) {}

bool CVerticalSwitch::isKindOf(const char* className) const {
    return std::strcmp(className, "CVerticalSwitch") == 0 || CControl::isKindOf(className);
}

CView* CVerticalSwitch::clone() const {
    auto* copy = new CVerticalSwitch(bounds_, listener_, tag_, subImageCount_, subImageHeight_,
                                     backdrop_, offset_);
    copyControlStateTo(*copy);
    return copy;
}

CHorizontalSwitch::CHorizontalSwitch(const ViewRect& bounds, CControlListener* listener,
                                     int32_t tag, int32_t subImageCount, int32_t subImageHeight,
                                     CBitmap* strip, const ViewPoint& offset)
    : CSwitchBase(bounds, listener, tag, subImageCount, subImageHeight, strip, offset, true) {}

bool CHorizontalSwitch::isKindOf(const char* className) const {
    return std::strcmp(className, "CHorizontalSwitch") == 0 || CControl::isKindOf(className);
}

CView* CHorizontalSwitch::clone() const {
    auto* copy = new CHorizontalSwitch(bounds_, listener_, tag_, subImageCount_, subImageHeight_,
                                       backdrop_, offset_);
    copyControlStateTo(*copy);
    return copy;
}

// --- CRockerSwitch -----------------------------------------------------------------------------

CRockerSwitch::CRockerSwitch(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                             int32_t subImageHeight, CBitmap* strip, const ViewPoint& offset,
                             bool horizontal)
    : CControl(bounds, listener, tag, strip), IMultiBitmapControl(3, subImageHeight),
      offset_(offset), horizontal_(horizontal) {
    value_ = middle();
}

float CRockerSwitch::valueAt(const ViewPoint& point) const {
    if (!bounds_.pointWithinEdges(point)) return middle();
    const bool upper = horizontal_ ? point.x >= bounds_.left + bounds_.width() / 2
                                   : point.y < bounds_.top + bounds_.height() / 2;
    return upper ? highest_ : lowest_;
}

void CRockerSwitch::paint(CDrawContext* context) {
    paintSubImage(context, backdrop_, bounds_, imageIndexFor(rangeFraction(*this), 3), offset_,
                  seeThrough_);
    markNeedsRepaint(false);
}

PointerReply CRockerSwitch::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!isLeftPress(buttons)) return Passed;
    gesture_.begin(*this);
    applyUserValue(*this, valueAt(point));
    return Taken;
}

PointerReply CRockerSwitch::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    if (gesture_.isOpen() && isLeftPress(buttons)) applyUserValue(*this, valueAt(point));
    return Taken;
}

PointerReply CRockerSwitch::pointerUp(const ViewPoint& /*point*/, const ButtonFlags& /*buttons*/) {
    if (gesture_.isOpen()) applyUserValue(*this, middle());
    gesture_.end(*this);
    return Taken;
}

bool CRockerSwitch::scrollWheel(const ViewPoint& /*point*/, float distance,
                                const ButtonFlags& /*buttons*/) {
    if (!acceptsMouse_) return false;
    if (distance == 0.0f) return true;
    gesture_.begin(*this);
    applyUserValue(*this, distance > 0.0f ? highest_ : lowest_);
    applyUserValue(*this, middle());
    gesture_.end(*this);
    return true;
}

bool CRockerSwitch::isKindOf(const char* className) const {
    return std::strcmp(className, "CRockerSwitch") == 0 || CControl::isKindOf(className);
}

CView* CRockerSwitch::clone() const {
    auto* copy = new CRockerSwitch(bounds_, listener_, tag_, subImageHeight_, backdrop_, offset_,
                                   horizontal_);
    copyControlStateTo(*copy);
    return copy;
}

// --- CMovieBitmap ------------------------------------------------------------------------------

CMovieBitmap::CMovieBitmap(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                           int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                           const ViewPoint& offset)
    : CControl(bounds, listener, tag, strip), IMultiBitmapControl(subImageCount, subImageHeight),
      offset_(offset) {
    acceptsMouse_ = false;
}

void CMovieBitmap::paint(CDrawContext* context) {
    paintSubImage(context, backdrop_, bounds_, imageIndexFor(rangeFraction(*this), subImageCount_),
                  offset_, seeThrough_);
    markNeedsRepaint(false);
}

bool CMovieBitmap::isKindOf(const char* className) const {
    return std::strcmp(className, "CMovieBitmap") == 0 || CControl::isKindOf(className);
}

CView* CMovieBitmap::clone() const {
    auto* copy = new CMovieBitmap(bounds_, listener_, tag_, subImageCount_, subImageHeight_,
                                  backdrop_, offset_);
    copyControlStateTo(*copy);
    return copy;
}

// --- CMovieButton ------------------------------------------------------------------------------

CMovieButton::CMovieButton(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                           int32_t subImageHeight, CBitmap* strip, const ViewPoint& offset)
    : CControl(bounds, listener, tag, strip), IMultiBitmapControl(2, subImageHeight),
      offset_(offset) {}

void CMovieButton::paint(CDrawContext* context) {
    paintSubImage(context, backdrop_, bounds_, imageIndexFor(rangeFraction(*this), 2), offset_,
                  seeThrough_);
    markNeedsRepaint(false);
}

PointerReply CMovieButton::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!isLeftPress(buttons)) return Passed;
    entryValue_ = value_;
    entryWasOn_ = rangeFraction(*this) >= 0.5f;
    gesture_.begin(*this);
    return pointerMoved(point, buttons);
}

PointerReply CMovieButton::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!gesture_.isOpen() || !isLeftPress(buttons)) return Taken;
    const float toggled = entryWasOn_ ? lowest_ : highest_;
    applyUserValue(*this, bounds_.pointWithinEdges(point) ? toggled : entryValue_);
    return Taken;
}

PointerReply CMovieButton::pointerUp(const ViewPoint& /*point*/, const ButtonFlags& /*buttons*/) {
    gesture_.end(*this);
    return Taken;
}

bool CMovieButton::isKindOf(const char* className) const {
    return std::strcmp(className, "CMovieButton") == 0 || CControl::isKindOf(className);
}

CView* CMovieButton::clone() const {
    auto* copy = new CMovieButton(bounds_, listener_, tag_, subImageHeight_, backdrop_, offset_);
    copyControlStateTo(*copy);
    return copy;
}

// --- CKickButton -------------------------------------------------------------------------------

CKickButton::CKickButton(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                         int32_t subImageHeight, CBitmap* strip, const ViewPoint& offset)
    : CControl(bounds, listener, tag, strip), IMultiBitmapControl(2, subImageHeight),
      offset_(offset) {}

void CKickButton::paint(CDrawContext* context) {
    paintSubImage(context, backdrop_, bounds_, imageIndexFor(rangeFraction(*this), 2), offset_,
                  seeThrough_);
    markNeedsRepaint(false);
}

PointerReply CKickButton::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!isLeftPress(buttons)) return Passed;
    gesture_.begin(*this);
    return pointerMoved(point, buttons);
}

PointerReply CKickButton::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    if (gesture_.isOpen() && isLeftPress(buttons))
        applyUserValue(*this, bounds_.pointWithinEdges(point) ? highest_ : lowest_);
    return Taken;
}

PointerReply CKickButton::pointerUp(const ViewPoint& /*point*/, const ButtonFlags& /*buttons*/) {
    if (gesture_.isOpen()) applyUserValue(*this, lowest_);
    gesture_.end(*this);
    return Taken;
}

bool CKickButton::isKindOf(const char* className) const {
    return std::strcmp(className, "CKickButton") == 0 || CControl::isKindOf(className);
}

CView* CKickButton::clone() const {
    auto* copy = new CKickButton(bounds_, listener_, tag_, subImageHeight_, backdrop_, offset_);
    copyControlStateTo(*copy);
    return copy;
}

// --- CAutoAnimation ----------------------------------------------------------------------------

CAutoAnimation::CAutoAnimation(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                               int32_t subImageCount, int32_t subImageHeight, CBitmap* strip,
                               const ViewPoint& offset)
    : CControl(bounds, listener, tag, strip), IMultiBitmapControl(subImageCount, subImageHeight),
      offset_(offset) {}

int32_t CAutoAnimation::currentImage() const {
    return imageIndexFor(rangeFraction(*this), subImageCount_);
}

void CAutoAnimation::showImage(int32_t index) {
    const float fraction = subImageCount_ > 1
                               ? static_cast<float>(index) / static_cast<float>(subImageCount_ - 1)
                               : 0.0f;
    value_ = lowest_ + fraction * (highest_ - lowest_);
}

void CAutoAnimation::start() {
    if (running_) return;
    running_ = true;
    markNeedsRepaint(true);
}

void CAutoAnimation::stop() {
    if (!running_) return;
    running_ = false;
    markNeedsRepaint(true);
}

void CAutoAnimation::nextImage() {
    if (!running_ || subImageCount_ <= 0) return;
    showImage((currentImage() + 1) % subImageCount_);
}

void CAutoAnimation::previousImage() {
    if (!running_ || subImageCount_ <= 0) return;
    showImage((currentImage() + subImageCount_ - 1) % subImageCount_);
}

void CAutoAnimation::paint(CDrawContext* context) {
    if (running_) paintSubImage(context, backdrop_, bounds_, currentImage(), offset_, seeThrough_);
    markNeedsRepaint(false);
}

PointerReply CAutoAnimation::pointerDown(const ViewPoint& /*point*/, const ButtonFlags& buttons) {
    if (!isLeftPress(buttons)) return Passed;
    if (running_)
        stop();
    else
        start();
    if (listener_) listener_->controlChanged(this);
    return TakenNoTracking;
}

bool CAutoAnimation::isKindOf(const char* className) const {
    return std::strcmp(className, "CAutoAnimation") == 0 || CControl::isKindOf(className);
}

CView* CAutoAnimation::clone() const {
    auto* copy = new CAutoAnimation(bounds_, listener_, tag_, subImageCount_, subImageHeight_,
                                    backdrop_, offset_);
    copyControlStateTo(*copy);
    return copy;
}

// --- CSpecialDigit -----------------------------------------------------------------------------

namespace {
int32_t powerOfTen(int32_t exponent) {
    int32_t result = 1;
    for (int32_t i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}
} // namespace

CSpecialDigit::CSpecialDigit(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                             int32_t digits, const int32_t* xPositions, const int32_t* yPositions,
                             int32_t digitWidth, int32_t digitHeight, CBitmap* strip)
    : CControl(bounds, listener, tag, strip), digits_(std::clamp(digits, 1, kMaxDigits)),
      digitWidth_(digitWidth), digitHeight_(digitHeight) {
    for (int32_t i = 0; i < kMaxDigits; ++i) {
        const bool given = i < digits_;
        xPositions_[i] = given && xPositions ? xPositions[i] : i * digitWidth;
        yPositions_[i] = given && yPositions ? yPositions[i] : 0;
    }
    highest_ = static_cast<float>(powerOfTen(digits_) - 1);
}

int32_t CSpecialDigit::shownNumber() const {
    const int32_t largest = powerOfTen(digits_) - 1;
    const double v = boundedValue(value_, 0.0f, static_cast<float>(largest));
    return std::min(largest, static_cast<int32_t>(v + 0.5));
}

void CSpecialDigit::paint(CDrawContext* context) {
    const int32_t number = shownNumber();
    for (int32_t i = 0; i < digits_; ++i) {
        const int32_t digit = number / powerOfTen(digits_ - 1 - i) % 10;
        const ViewRect dest =
            ViewRect::fromSize({bounds_.left + xPositions_[i], bounds_.top + yPositions_[i]},
                               digitWidth_, digitHeight_);
        blitFrom(backdrop_, context, dest, {0, digit * digitHeight_}, seeThrough_);
    }
    markNeedsRepaint(false);
}

bool CSpecialDigit::isKindOf(const char* className) const {
    return std::strcmp(className, "CSpecialDigit") == 0 || CControl::isKindOf(className);
}

CView* CSpecialDigit::clone() const {
    auto* copy = new CSpecialDigit(bounds_, listener_, tag_, digits_, xPositions_, yPositions_,
                                   digitWidth_, digitHeight_, backdrop_);
    copyControlStateTo(*copy);
    return copy;
}

// --- CVuMeter ----------------------------------------------------------------------------------

CVuMeter::CVuMeter(const ViewRect& bounds, CBitmap* onBitmap, CBitmap* offBitmap, int32_t segments,
                   bool vertical)
    : CControl(bounds, nullptr, 0, nullptr), on_(onBitmap), off_(offBitmap),
      segments_(std::max(1, segments)), vertical_(vertical) {
    if (on_) on_->retain();
    if (off_) off_->retain();
}

CVuMeter::~CVuMeter() {
    if (offscreen_) offscreen_->release();
    if (on_) on_->release();
    if (off_) off_->release();
}

int32_t CVuMeter::litSegments() const {
    const float lit = boundedValue(shownLevel_, 0.0f, 1.0f) * static_cast<float>(segments_);
    return std::min(segments_, static_cast<int32_t>(lit));
}

void CVuMeter::paint(CDrawContext* context) {
    const float target = rangeFraction(*this);
    shownLevel_ = std::max(target, shownLevel_ - decreaseStep_);

    const int32_t width = bounds_.width();
    const int32_t height = bounds_.height();
    if (!offscreen_ && width > 0 && height > 0)
        offscreen_ = new COffscreenContext(frame_, width, height);
    if (offscreen_) {
        const ViewRect all(0, 0, width, height);
        blitFrom(off_, offscreen_, all, ViewPoint(), false);
        const int32_t lit = litSegments();
        if (on_ && lit > 0) {
            if (vertical_) {
                const int32_t litHeight =
                    static_cast<int32_t>(static_cast<int64_t>(height) * lit / segments_);
                blitFrom(on_, offscreen_, ViewRect(0, height - litHeight, width, height),
                         {0, height - litHeight}, false);
            } else {
                const int32_t litWidth =
                    static_cast<int32_t>(static_cast<int64_t>(width) * lit / segments_);
                blitFrom(on_, offscreen_, ViewRect(0, 0, litWidth, height), ViewPoint(), false);
            }
        }
        offscreen_->copyTo(context, bounds_, ViewPoint());
    }
    // Still falling: the next idle pass draws the next step down.
    markNeedsRepaint(shownLevel_ > target);
}

bool CVuMeter::isKindOf(const char* className) const {
    return std::strcmp(className, "CVuMeter") == 0 || CControl::isKindOf(className);
}

CView* CVuMeter::clone() const {
    auto* copy = new CVuMeter(bounds_, on_, off_, segments_, vertical_);
    copyControlStateTo(*copy);
    copy->decreaseStep_ = decreaseStep_;
    return copy;
}

// --- CTextLabel --------------------------------------------------------------------------------

CTextLabel::CTextLabel(const ViewRect& bounds, const char* text, CBitmap* background,
                       DisplayStyle style)
    : CParamDisplay(bounds, background, style), text_(text ? text : "") {}

void CTextLabel::setText(const char* text) {
    const char* newText = text ? text : "";
    if (text_ == newText) return;
    text_ = newText;
    markNeedsRepaint(true);
}

void CTextLabel::paint(CDrawContext* context) {
    paintText(context, text_.c_str(), nullptr);
}

bool CTextLabel::isKindOf(const char* className) const {
    return std::strcmp(className, "CTextLabel") == 0 || CParamDisplay::isKindOf(className);
}

CView* CTextLabel::clone() const {
    auto* copy = new CTextLabel(bounds_, text_.c_str(), backdrop_, style_);
    copyDisplayStateTo(*copy);
    return copy;
}

// --- CSplashScreen -----------------------------------------------------------------------------

CSplashScreen::CSplashScreen(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                             CBitmap* splash, const ViewRect& splashRect,
                             const ViewPoint& splashOffset)
    : CControl(bounds, listener, tag, nullptr), splash_(splash), splashRect_(splashRect),
      splashOffset_(splashOffset) {
    if (splash_) splash_->retain();
}

CSplashScreen::~CSplashScreen() {
    // The view may outlive this control in its frame: it must not call back here.
    hide();
    if (splashView_) {
        if (splashView_->isKindOf("CDefaultSplashScreenView"))
            static_cast<CControl*>(splashView_)->setObserver(nullptr);
        splashView_->release();
    }
    if (splash_) splash_->release();
}

void CSplashScreen::setSplashView(CView* view) {
    hide();
    if (view) view->retain();
    if (splashView_) splashView_->release();
    splashView_ = view;
}

void CSplashScreen::show() {
    if (showing_ || !frame_) return;
    if (!splashView_)
        splashView_ = new CDefaultSplashScreenView(splashRect_, this, splash_, splashOffset_);
    showing_ = frame_->setBlockingView(splashView_);
}

void CSplashScreen::hide() {
    if (!showing_) return;
    showing_ = false;
    CFrame* frame = splashView_->frame();
    if (frame && frame->blockingView() == splashView_) frame->setBlockingView(nullptr);
}

void CSplashScreen::paint(CDrawContext* /*context*/) {
    markNeedsRepaint(false);
}

PointerReply CSplashScreen::pointerDown(const ViewPoint& /*point*/, const ButtonFlags& buttons) {
    if (!isLeftPress(buttons)) return Passed;
    applyUserValue(*this, highest_);
    show();
    return TakenNoTracking;
}

void CSplashScreen::controlChanged(CControl* control) {
    if (!showing_ || control != splashView_) return;
    hide();
    applyUserValue(*this, lowest_);
}

bool CSplashScreen::isKindOf(const char* className) const {
    return std::strcmp(className, "CSplashScreen") == 0 || CControl::isKindOf(className);
}

CView* CSplashScreen::clone() const {
    auto* copy = new CSplashScreen(bounds_, listener_, tag_, splash_, splashRect_, splashOffset_);
    copyControlStateTo(*copy);
    return copy;
}

CDefaultSplashScreenView::CDefaultSplashScreenView(const ViewRect& bounds,
                                                   CControlListener* listener, CBitmap* bitmap,
                                                   const ViewPoint& offset)
    : CControl(bounds, listener, 0, bitmap), offset_(offset) {}

void CDefaultSplashScreenView::paint(CDrawContext* context) {
    blitFrom(backdrop_, context, bounds_, offset_, seeThrough_);
    markNeedsRepaint(false);
}

PointerReply CDefaultSplashScreenView::pointerDown(const ViewPoint& /*point*/,
                                                   const ButtonFlags& buttons) {
    if (!isLeftPress(buttons)) return Passed;
    // The listener takes this view out of the frame; it lives until the call is over.
    RetainScope<CDefaultSplashScreenView> keep(this);
    if (listener_) listener_->controlChanged(this);
    return TakenNoTracking;
}

bool CDefaultSplashScreenView::isKindOf(const char* className) const {
    return std::strcmp(className, "CDefaultSplashScreenView") == 0 || CControl::isKindOf(className);
}

CView* CDefaultSplashScreenView::clone() const {
    auto* copy = new CDefaultSplashScreenView(bounds_, listener_, backdrop_, offset_);
    copyControlStateTo(*copy);
    return copy;
}

} // namespace QXAGUI
