#include "microsyntheditor.h"

#include "audioeffect.h"
#include "cbitmap.h"
#include "cframe.h"
#include "cknob.h"
#include "conoffbutton.h"
#include "synth_layout.h"

using namespace QXAGUI;

MicroSynthEditor::MicroSynthEditor(AudioEffect* effect)
    : AEffGUIEditor(effect),
      background_(new CBitmap(ResourceRef::byNumber(kSynthBackgroundBitmap))),
      knobHandle_(new CBitmap(ResourceRef::byName(kSynthKnobHandleName))),
      buttonFace_(new CBitmap(ResourceRef::byNumber(kSynthButtonBitmap))) {
    sizeFromBackground(*background_, kSynthEditorWidth, kSynthEditorHeight);
}

MicroSynthEditor::~MicroSynthEditor() {
    releaseFrame();
    background_->release();
    knobHandle_->release();
    buttonFace_->release();
}

bool MicroSynthEditor::openEditor(void* window) {
    CFrame* frame = openFrame(window, background_);
    if (!frame) return false;
    knobCount_ = 0;
    buttonCount_ = 0;
    for (const ControlPlacement& row : synthControlLayout) {
        if (row.tag < 0) break;
        if (row.kind == KindKnob) {
            const ViewRect bounds{row.x - kSynthKnobRadius, row.y - kSynthKnobRadius,
                                  row.x + kSynthKnobRadius, row.y + kSynthKnobRadius};
            auto* knob =
                new CKnob(bounds, this, row.tag, background_, knobHandle_, bounds.topLeft());
            frame->appendChild(knob);
            if (knobCount_ < kMaxKnobs) knobs_[static_cast<size_t>(knobCount_++)] = knob;
        } else if (row.kind == KindOnOffButton && row.tag < kTagTableSize) {
            const ViewRect bounds{row.x, row.y, row.x + kSynthButtonWidth,
                                  row.y + kSynthButtonHeight};
            auto* button = new COnOffButton(bounds, this, row.tag, buttonFace_, 0);
            frame->appendChild(button);
            controlsByTag_[static_cast<size_t>(row.tag)] = button;
            ++buttonCount_;
        }
    }
    refreshRangeAndWaveButtons();
    refreshControls();
    return true;
}

void MicroSynthEditor::closeEditor() {
    if (deferCloseWhileBusy()) return;
    knobCount_ = 0;
    buttonCount_ = 0;
    knobs_.fill(nullptr);
    controlsByTag_.fill(nullptr);
    releaseFrame();
}

void MicroSynthEditor::paramEditBegins(int32_t tag) {
    AEffGUIEditor::paramEditBegins(
        tag >= kFirstButtonTag && tag <= kLastButtonTag ? buttonParameter(tag) : tag);
}

void MicroSynthEditor::paramEditEnds(int32_t tag) {
    AEffGUIEditor::paramEditEnds(
        tag >= kFirstButtonTag && tag <= kLastButtonTag ? buttonParameter(tag) : tag);
}

void MicroSynthEditor::storeButton(int32_t tag, bool on, bool spareHeld) {
    CControl* button = controlsByTag_[static_cast<size_t>(tag)];
    if (button && !(spareHeld && button->isHeld())) button->storeValue(on ? 1.0f : 0.0f);
}

void MicroSynthEditor::refreshControls() {
    refreshParameters(~uint32_t{0}, false);
}

void MicroSynthEditor::refreshPendingControls(uint32_t parameters) {
    refreshParameters(parameters, true);
}

void MicroSynthEditor::refreshParameters(uint32_t parameters, bool spareHeld) {
    auto changed = [parameters](int32_t index) {
        return index >= 0 && index < 32 && (parameters & (uint32_t{1} << index)) != 0;
    };
    for (int32_t i = 0; i < knobCount_; ++i) {
        CKnob* knob = knobs_[static_cast<size_t>(i)];
        if (knob->id() >= kFirstButtonTag || !changed(knob->id())) continue;
        if (spareHeld && knob->isHeld()) continue;
        knob->storeValue(effect_->readParameter(knob->id()));
    }
    // Exact comparisons, single precision: a value between the steps lights no middle button.
    const float range = effect_->readParameter(OscRang);
    const float wave = effect_->readParameter(OscWave);
    for (int32_t i = 0; i < buttonCount_; ++i) {
        const int32_t tag = kFirstButtonTag + i;
        const int32_t parameter = buttonParameter(tag);
        if (!changed(parameter)) continue;
        const float p = parameter == OscRang ? range : wave;
        switch ((tag - kFirstButtonTag) % 3) {
        case 0:
            storeButton(tag, p < 0.5f, spareHeld);
            break;
        case 1:
            storeButton(tag, p == 0.5f, spareHeld);
            break;
        default:
            storeButton(tag, p == 1.0f, spareHeld);
            break;
        }
    }
}

void MicroSynthEditor::refreshRangeAndWaveButtons() {
    for (int32_t first : {static_cast<int32_t>(RangeButton16), static_cast<int32_t>(WaveButton1)}) {
        const double p = effect_->readParameter(buttonParameter(first));
        const int32_t lit = p < 0.3 ? 0 : (p < 0.6 ? 1 : 2);
        for (int32_t i = 0; i < 3; ++i)
            storeButton(first + i, i == lit, false);
    }
}

void MicroSynthEditor::controlChanged(CControl* control) {
    const int32_t tag = control->id();
    if (tag < 0) return;
    if (tag < kFirstButtonTag) {
        effect_->writeParameterAndNotify(tag, control->value());
        refreshControls();
    } else if (tag <= kLastButtonTag) {
        // The button's own value does not matter: it selects its step, lit or not.
        effect_->writeParameterAndNotify(buttonParameter(tag), buttonValue(tag));
        refreshRangeAndWaveButtons();
    }
}

void MicroSynthEditor::controlEditCloses(CControl* control) {
    // What the user held may have been automated meanwhile: it shows the effect's value now.
    const int32_t tag = control->id();
    if (tag >= kFirstButtonTag && tag <= kLastButtonTag)
        requestRefresh(uint32_t{1} << buttonParameter(tag));
    else if (tag >= 0 && tag < kFirstButtonTag)
        requestRefresh(uint32_t{1} << tag);
}
