// CTagDisplay: one of Malvoree's twenty value displays. It shows its parameter's value in the
// parameter's own terms (note value or seconds, percent, decibels, pan position), read from
// the effect whenever a value is stored into it, and lets the user type a value (tagtext.h).
#pragma once

#include "ctextedit.h"

class Malvoree;

class CTagDisplay : public QXAGUI::CTextEdit {
public:
    CTagDisplay(const QXAGUI::ViewRect& bounds, QXAGUI::CControlListener* listener, int32_t tag,
                QXAGUI::CBitmap* background, Malvoree* effect);
    ~CTagDisplay() override;

    // The value is not kept: the display formats its text from the effect's current value,
    // and is repainted at the next idle pass when that text changed. Window thread.
    void storeValue(float value) override;
    bool isKindOf(const char* className) const override;

    // Writes the display's text for its tag (at most kDisplayTextSize bytes).
    virtual void formatTagText(char* text);
    // The delay time as a note name (tempo sync on) or as seconds.
    void formatDelayTime(int32_t tag, char* text);
    // The parameter value the display's current text means; false when it does not parse.
    bool typedValue(float& value) const;

    // Makes the displays' font ready to draw with. Making a system font is the slowest step
    // of an editor's first paint; done when the editor is made, opening does not wait for it.
    static void prepareFont();

protected:
    // The text sits two pixels lower than in a plain display: the panel's fields are 10 pixels
    // high, and the plain rule (baseline one pixel above the bottom of a line 11-pixel text
    // needs 13 pixels for) would cut the top row off every figure.
    QXAGUI::ViewRect textArea() const override;

private:
    Malvoree* effect_;
};
