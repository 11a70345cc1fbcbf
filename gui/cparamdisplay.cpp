// CParamDisplay: value text, background, bevel and shadow; the drawing order is in
// cparamdisplay.h.
#include "cparamdisplay.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "controlsupport.h"

#include <cstdio>
#include <cstring>

namespace QXAGUI {

CParamDisplay::CParamDisplay(const ViewRect& bounds, CBitmap* background, DisplayStyle style)
    : CControl(bounds, nullptr, 0, background), style_(style), font_(FontRegular) {
    if (font_) font_->retain();
    // A display that hides everything has nothing to draw until it is told otherwise.
    if (style_ & DisplayHideAll) markNeedsRepaint(false);
}

CParamDisplay::~CParamDisplay() {
    if (font_) font_->release();
}

bool CParamDisplay::isKindOf(const char* className) const {
    return std::strcmp(className, "CParamDisplay") == 0 || CControl::isKindOf(className);
}

CView* CParamDisplay::clone() const {
    auto* copy = new CParamDisplay(bounds_, backdrop_, style_);
    copyDisplayStateTo(*copy);
    return copy;
}

void CParamDisplay::copyDisplayStateTo(CParamDisplay& copy) const {
    copyControlStateTo(copy);
    copy.formatter_ = formatter_;
    copy.formatterWithData_ = formatterWithData_;
    copy.userData_ = userData_;
    copy.textToValue_ = textToValue_;
    copy.textAlign_ = textAlign_;
    copy.setDisplayFont(font_);
    copy.textColor_ = textColor_;
    copy.backColor_ = backColor_;
    copy.frameColor_ = frameColor_;
    copy.shadowColor_ = shadowColor_;
    copy.textSeeThrough_ = textSeeThrough_;
    copy.smoothText_ = smoothText_;
}

// --- setters -----------------------------------------------------------------------------------

void CParamDisplay::setDisplayFont(CFontDesc* font) {
    if (font) font->retain();
    if (font_) font_->release();
    font_ = font;
    markNeedsRepaint(true);
}

namespace {
// Stores value into field; true when it changed.
template <typename T>
bool storeChanged(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}
} // namespace

void CParamDisplay::setInkColor(ViewColor color) {
    if (storeChanged(textColor_, color)) markNeedsRepaint(true);
}
void CParamDisplay::setPaperColor(ViewColor color) {
    if (storeChanged(backColor_, color)) markNeedsRepaint(true);
}
void CParamDisplay::setBorderColor(ViewColor color) {
    if (storeChanged(frameColor_, color)) markNeedsRepaint(true);
}
void CParamDisplay::setShadeColor(ViewColor color) {
    if (storeChanged(shadowColor_, color)) markNeedsRepaint(true);
}
void CParamDisplay::setSmoothText(bool smooth) {
    smoothText_ = smooth;
}
void CParamDisplay::setTextAlign(int32_t align) {
    if (storeChanged(textAlign_, align)) markNeedsRepaint(true);
}
void CParamDisplay::setFormatterWithData(ValueFormatterWithData formatter, void* userData) {
    formatterWithData_ = formatter;
    userData_ = userData;
}
void CParamDisplay::setFormatter(ValueFormatter formatter) {
    formatter_ = formatter;
}
void CParamDisplay::setTextToValue(TextToValue converter) {
    textToValue_ = converter;
}
void CParamDisplay::setDisplayStyle(DisplayStyle style) {
    if (storeChanged(style_, style)) markNeedsRepaint(true);
}
void CParamDisplay::setTextSeeThrough(bool seeThrough) {
    textSeeThrough_ = seeThrough;
}

// --- painting ----------------------------------------------------------------------------------

void CParamDisplay::formatValue(char* text) const {
    text[0] = '\0';
    if (formatterWithData_)
        formatterWithData_(value_, text, userData_);
    else if (formatter_)
        formatter_(value_, text);
    else
        std::snprintf(text, kDisplayTextSize, "%2.2f", static_cast<double>(value_));
    text[kDisplayTextSize - 1] = '\0';
}

void CParamDisplay::paint(CDrawContext* context) {
    char text[kDisplayTextSize];
    formatValue(text);
    paintText(context, text, nullptr);
}

void CParamDisplay::paintText(CDrawContext* context, const char* text, CBitmap* bitmap) {
    markNeedsRepaint(false);
    if (style_ & DisplayHideAll) return;

    const bool bevel = (style_ & (DisplayBevelIn | DisplayBevelOut)) != 0;
    CBitmap* background = bitmap ? bitmap : backdrop_;
    if (background) {
        if (!backdropPaintedBelow(background, backdropShift_))
            drawBitmap(background, context, bounds_, backdropShift_, seeThrough_);
    } else if (!textSeeThrough_) {
        context->setFillTint(backColor_);
        context->rectangle(bounds_, DrawFilled);
        if (!(style_ & DisplayHideFrame) && !bevel) {
            context->setStrokeTint(frameColor_);
            context->setStrokeWidth(1);
            context->rectangle(bounds_, DrawOutline);
        }
    }

    if (bevel) {
        const bool in = (style_ & DisplayBevelIn) != 0;
        const ViewPoint bottomLeft(bounds_.left, bounds_.bottom);
        const ViewPoint topLeft(bounds_.left, bounds_.top + 1);
        const ViewPoint topRight(bounds_.right - 1, bounds_.top + 1);
        const ViewPoint bottomRight(bounds_.right - 1, bounds_.bottom);
        context->setStrokeWidth(1);
        context->setStrokeTint(in ? backColor_ : frameColor_);
        context->penTo(bottomLeft);
        context->strokeTo(topLeft);
        context->strokeTo(topRight);
        context->setStrokeTint(in ? frameColor_ : backColor_);
        context->penTo(topRight);
        context->strokeTo(bottomRight);
        context->strokeTo(bottomLeft);
    }

    if ((style_ & DisplayHideText) || !text || text[0] == '\0') return;

    ViewRect oldClip;
    context->clip(oldClip);
    ViewRect textClip = bounds_;
    textClip.bound(oldClip);
    context->setClip(textClip);
    if (font_) context->setTextFont(font_);
    const ViewRect textRect = textArea();
    if (style_ & DisplayWithShadow) {
        ViewRect shadowRect = textRect;
        shadowRect.moveBy(1, 1);
        context->setTextTint(shadowColor_);
        context->writeTextInRect(text, shadowRect, textAlign_, smoothText_);
    }
    context->setTextTint(textColor_);
    context->writeTextInRect(text, textRect, textAlign_, smoothText_);
    context->setClip(oldClip);
}

} // namespace QXAGUI
