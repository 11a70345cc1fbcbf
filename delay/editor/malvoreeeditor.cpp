#include "malvoreeeditor.h"

#include "cbitmap.h"
#include "cframe.h"
#include "cknob.h"
#include "conoffbutton.h"
#include "cslider.h"
#include "ctagdisplay.h"
#include "delay_layout.h"
#include "malvoree.h"

using namespace QXAGUI;
using namespace malvoree;

namespace {
// The mix slider: Invert, so that the highest value (Wet) is at the top.
constexpr int32_t kMixSliderStyle = 64;
} // namespace

MalvoreeEditor::MalvoreeEditor(Malvoree* effect)
    : AEffGUIEditor(effect), malvoree_(effect),
      background_(new CBitmap(ResourceRef::byNumber(kDelayBackgroundBitmap))),
      knobHandle_(new CBitmap(ResourceRef::byName(kDelayKnobHandleName))),
      syncFace_(new CBitmap(ResourceRef::byNumber(kSyncButtonBitmap))),
      sliderHandle_(new CBitmap(ResourceRef::byNumber(kSliderHandleBitmap))) {
    sizeFromBackground(*background_, kDelayEditorWidth, kDelayEditorHeight);
    // Kept, like the bitmaps, until the last user of the graphics library is gone.
    CTagDisplay::prepareFont();
}

MalvoreeEditor::~MalvoreeEditor() {
    releaseFrame();
    for (CBitmap* bitmap : {background_, knobHandle_, syncFace_, sliderHandle_})
        bitmap->release();
}

bool MalvoreeEditor::openEditor(void* window) {
    CFrame* frame = openFrame(window, background_);
    if (!frame) return false;
    for (const ControlPlacement& row : delayControlLayout) {
        if (row.tag < 0) break;
        if (!isValidParameter(row.tag)) continue;
        CControl* control = nullptr;
        size_t entry = static_cast<size_t>(row.tag);
        switch (row.kind) {
        case KindKnob: {
            const ViewRect bounds{row.x - kDelayKnobRadius, row.y - kDelayKnobRadius,
                                  row.x + kDelayKnobRadius, row.y + kDelayKnobRadius};
            control = new CKnob(bounds, this, row.tag, background_, knobHandle_, bounds.topLeft());
            break;
        }
        case KindOnOffButton:
            control = new COnOffButton(
                {row.x, row.y, row.x + kSyncButtonWidth, row.y + kSyncButtonHeight}, this, row.tag,
                syncFace_, 0);
            break;
        case KindTagDisplay:
            control =
                new CTagDisplay({row.x, row.y, row.x + kTagDisplayWidth, row.y + kTagDisplayHeight},
                                this, row.tag, background_, malvoree_);
            entry += kFirstDisplayEntry;
            break;
        case KindVerticalSlider:
            control = new CVerticalSlider(
                {row.x, row.y, row.x + kMixSliderWidth, row.y + kMixSliderHeight}, this, row.tag,
                row.y, row.y + kMixSliderHeight - sliderHandle_->height(), sliderHandle_,
                background_, {row.x, row.y}, kMixSliderStyle);
            break;
        default:
            continue;
        }
        frame->appendChild(control);
        controls_[entry] = control;
    }
    refreshControls();
    return true;
}

void MalvoreeEditor::closeEditor() {
    if (deferCloseWhileBusy()) return;
    // No refresh may reach a control the frame is about to delete.
    controls_.fill(nullptr);
    releaseFrame();
}

void MalvoreeEditor::refreshControls() {
    if (!frame_) return;
    for (CControl* control : controls_)
        if (control) refreshControl(*control);
}

void MalvoreeEditor::refreshControl(CControl& control) {
    float value = effect_->readParameter(control.id());
    // The button lights as the engine decides: tempo sync is on from 0.5.
    if (&control == controls_[kTempoParameter]) value = value >= 0.5f ? 1.0f : 0.0f;
    control.storeValue(value);
}

void MalvoreeEditor::refreshPendingControls(uint32_t parameters) {
    if (!frame_) return;
    // The delay displays read tempo sync too: note names or seconds.
    if (parameters & (uint32_t{1} << kTempoParameter))
        for (int32_t head = 0; head < kHeadCount; ++head)
            parameters |= uint32_t{1} << headParameterIndex(head, kHeadDelay);
    for (int32_t tag = 0; tag < kParameterCount; ++tag) {
        if (!(parameters & (uint32_t{1} << tag))) continue;
        for (size_t entry :
             {static_cast<size_t>(tag), static_cast<size_t>(tag) + kFirstDisplayEntry})
            if (CControl* control = controls_[entry]; control && !control->isHeld())
                refreshControl(*control);
    }
}

void MalvoreeEditor::controlEditCloses(CControl* control) {
    // What the user held may have been automated meanwhile: it shows the effect's value now.
    const int32_t tag = control->id();
    if (isValidParameter(tag)) requestRefresh(uint32_t{1} << tag);
}

void MalvoreeEditor::controlChanged(CControl* control) {
    const int32_t tag = control->id();
    if (!isValidParameter(tag)) return;
    if (control->isKindOf("CTagDisplay")) {
        auto* display = static_cast<CTagDisplay*>(control);
        float value = 0.0f;
        if (display->typedValue(value)) effect_->writeParameterAndNotify(tag, value);
        // The display shows the parameter's value, never the typed text.
        display->storeValue(0.0f);
        return;
    }
    effect_->writeParameterAndNotify(tag, control->value());
}
