// CParamDisplay: shows a control's value as text over a bitmap or a filled box, optionally
// with a bevel and a shadow. The base of the text edit and the option menu.
#pragma once

#include "ccontrol.h"

namespace QXAGUI {

class CFontDesc;

// Style bits.
using DisplayStyle = int32_t;
enum : DisplayStyle {
    DisplayWithShadow = 0x4,
    DisplayBevelIn = 0x80,
    DisplayBevelOut = 0x100,
    DisplayHideText = 0x800,
    DisplayHideAll = 0x1000,
    DisplayHideFrame = 0x4000,
};

// Writes the text for a value into a buffer of kDisplayTextSize bytes.
using ValueFormatter = void (*)(float value, char* text);
using ValueFormatterWithData = void (*)(float value, char* text, void* userData);
// Reads a value from a text; false when the text says none. Kept for subclasses.
using TextToValue = bool (*)(const char* text, float& value, void* userData);
inline constexpr int32_t kDisplayTextSize = 256;

// Painting, in order (the bounds in the parent's coordinates):
// 1. background: the given bitmap, else the view's, from the backdrop shift; with neither and
//    text not see-through, the bounds filled with the paper colour and outlined in the border
//    colour (unless HideFrame or a bevel);
// 2. bevel: (left, bottom) -> (left, top + 1) -> (right - 1, top + 1) in the paper colour for
//    BevelIn (border colour for BevelOut), then (right - 1, top + 1) -> (right - 1, bottom) ->
//    (left, bottom) in the other;
// 3. text, clipped to the bounds: the shadow one pixel right and down with WithShadow, then
//    the text in the ink colour, aligned. Nothing of it with HideText or an empty text, and
//    nothing at all with HideAll.
class CParamDisplay : public CControl {
public:
    CParamDisplay(const ViewRect& bounds, CBitmap* background = nullptr, DisplayStyle style = 0);
    ~CParamDisplay() override;

    // --- CView / CControl -----------------------------------------------------------------
    // The formatted value (with data, else plain, else "%2.2f") through paintText.
    void paint(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    // --- the display's own: visible changes mark it for repaint ---------------------------
    // Retains the font, releases the old one.
    virtual void setDisplayFont(CFontDesc* font);
    virtual void setInkColor(ViewColor color);
    virtual void setPaperColor(ViewColor color);
    virtual void setBorderColor(ViewColor color);
    virtual void setShadeColor(ViewColor color);
    virtual void setSmoothText(bool smooth);
    virtual void setTextAlign(int32_t align);
    virtual void setFormatterWithData(ValueFormatterWithData formatter, void* userData);
    virtual void setFormatter(ValueFormatter formatter);
    virtual void setTextToValue(TextToValue converter);
    virtual void setDisplayStyle(DisplayStyle style);
    virtual void setTextSeeThrough(bool seeThrough);
    // Draws the background (bitmap, or this view's backdrop when none), the bevel and text.
    virtual void paintText(CDrawContext* context, const char* text, CBitmap* bitmap);

    CFontDesc* displayFont() const { return font_; }
    ViewColor inkColor() const { return textColor_; }
    ViewColor paperColor() const { return backColor_; }
    ViewColor borderColor() const { return frameColor_; }
    ViewColor shadeColor() const { return shadowColor_; }
    int32_t textAlign() const { return textAlign_; }
    DisplayStyle displayStyle() const { return style_; }
    bool textSeeThrough() const { return textSeeThrough_; }
    bool smoothText() const { return smoothText_; }
    // The text paint would draw for the current value (kDisplayTextSize bytes).
    void formatValue(char* text) const;

protected:
    void copyDisplayStateTo(CParamDisplay& copy) const;
    // The rectangle the text is laid out in (it is clipped to the bounds): the bounds.
    virtual ViewRect textArea() const { return bounds_; }

    ValueFormatter formatter_ = nullptr;
    ValueFormatterWithData formatterWithData_ = nullptr;
    void* userData_ = nullptr;
    TextToValue textToValue_ = nullptr;
    int32_t textAlign_ = AlignCenter;
    DisplayStyle style_;
    CFontDesc* font_ = nullptr;
    ViewColor textColor_ = kWhiteColor;
    ViewColor backColor_ = kBlackColor;
    ViewColor frameColor_ = kBlackColor;
    ViewColor shadowColor_ = kRedColor;
    bool textSeeThrough_ = true;
    bool smoothText_ = true;
};

} // namespace QXAGUI
