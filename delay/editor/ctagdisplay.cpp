#include "ctagdisplay.h"

#include "cdrawcontext.h"
#include "delay_layout.h"
#include "malvoree.h"
#include "notevaluetable.h"
#include "tagtext.h"

#include <cstdio>
#include <cstring>

using namespace QXAGUI;
using namespace malvoree;

namespace {

// The texts of feedback, damping, volume and pan are cut to this many characters.
constexpr int32_t kShortTextLength = 5;
constexpr int32_t kFormattedLength = 8;

CFontDesc* tagFont() {
    return FontSmall;
}

ParameterKind kindOf(int32_t tag) {
    return kParameters[static_cast<size_t>(tag)].kind;
}

} // namespace

void CTagDisplay::prepareFont() {
    tagFont()->platformFont();
}

CTagDisplay::CTagDisplay(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                         CBitmap* background, Malvoree* effect)
    : CTextEdit(bounds, listener, tag, nullptr, background, 0), effect_(effect) {
    setDisplayFont(tagFont());
    setInkColor(kBlackColor);
    // The open edit box takes its colours from the display: ink on the field's own paper.
    setPaperColor(kDisplayFieldColor);
    setBackdropShift(bounds.topLeft());
}

CTagDisplay::~CTagDisplay() = default;

void CTagDisplay::storeValue(float /*value*/) {
    char text[kDisplayTextSize] = {};
    formatTagText(text);
    // Repainted only when the text changed.
    assignText(text);
}

void CTagDisplay::formatTagText(char* text) {
    if (!isValidParameter(tag_) || !effect_) return;
    const float value = effect_->readParameter(tag_);
    switch (kindOf(tag_)) {
    case ParameterKind::DelayTime:
        formatDelayTime(tag_, text);
        return;
    case ParameterKind::Feedback:
    case ParameterKind::Filter:
        effect_->formatFloat(value * 100.0f, text, kFormattedLength);
        break;
    case ParameterKind::Volume:
        effect_->formatDecibels(value, text, kFormattedLength);
        break;
    case ParameterKind::Pan:
        formatPan(value, text);
        break;
    default:
        return;
    }
    text[kShortTextLength] = '\0';
}

void CTagDisplay::formatDelayTime(int32_t tag, char* text) {
    const float value = effect_->readParameter(tag);
    if (effect_->readParameter(kTempoParameter) >= 0.5f) {
        // indexForAmount limits the index, NaN and huge values included.
        std::snprintf(text, kDisplayTextSize, "%s",
                      NoteValueTable::name(NoteValueTable::indexForAmount(value)));
        return;
    }
    const double seconds = effect_->maxDelayMilliseconds() * static_cast<double>(value) * 0.001;
    std::snprintf(text, kDisplayTextSize, " %1.3f", seconds);
}

bool CTagDisplay::typedValue(float& value) const {
    if (!isValidParameter(tag_) || !effect_) return false;
    const bool tempoSync = effect_->readParameter(kTempoParameter) >= 0.5f;
    return parseTagText(kindOf(tag_), text(), tempoSync, value);
}

ViewRect CTagDisplay::textArea() const {
    // Laid out in a rectangle reaching 4 pixels below the field, the text's baseline comes 2
    // pixels lower; the clip stays the field's.
    ViewRect area = bounds_;
    area.bottom += 4;
    return area;
}

bool CTagDisplay::isKindOf(const char* className) const {
    return std::strcmp(className, "CTagDisplay") == 0 || CTextEdit::isKindOf(className);
}
