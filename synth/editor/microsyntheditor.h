// MicroSynthEditor: Oriv's panel. A background bitmap with twelve knobs for the continuous
// parameters and six buttons that form the range and waveform selectors. User changes go to
// the effect with host notification; the controls follow every parameter change that reaches
// the effect (refreshed on the window's thread at the next idle pass).
#pragma once

#include "aeffguieditor.h"

#include <array>

class AudioEffect;
namespace QXAGUI {
class CBitmap;
class CControl;
class CKnob;
} // namespace QXAGUI

class MicroSynthEditor : public AEffGUIEditor, public QXAGUI::CControlListener {
public:
    // Loads the three bitmaps; the editor's size is the background's.
    explicit MicroSynthEditor(AudioEffect* effect);
    ~MicroSynthEditor() override;

    // Builds the frame and the eighteen controls from synthControlLayout. An editor that is
    // already open is closed first; false (and nothing left behind) when no window can be made.
    bool openEditor(void* window) override;
    void closeEditor() override;
    // A button bracket names the parameter the button serves, not the button.
    void paramEditBegins(int32_t tag) override;
    void paramEditEnds(int32_t tag) override;

    // Window thread. Copies the effect's values into every control, held ones included.
    virtual void refreshControls();
    // Window thread. Lights one button of each selector from the two stepped parameters.
    virtual void refreshRangeAndWaveButtons();

    // CControlListener.
    void controlChanged(QXAGUI::CControl* control) override;
    // The user let go of a control: it follows the effect again from the next idle pass.
    void controlEditCloses(QXAGUI::CControl* control) override;

protected:
    // The controls of these parameters follow the effect, except one the user is holding.
    void refreshPendingControls(uint32_t parameters) override;

private:
    static constexpr int32_t kMaxKnobs = 18;
    static constexpr int32_t kTagTableSize = 46;

    void storeButton(int32_t tag, bool on, bool spareHeld);
    void refreshParameters(uint32_t parameters, bool spareHeld);

    std::array<QXAGUI::CKnob*, kMaxKnobs> knobs_{};
    std::array<QXAGUI::CControl*, kTagTableSize> controlsByTag_{};
    QXAGUI::CBitmap* background_;
    QXAGUI::CBitmap* knobHandle_;
    QXAGUI::CBitmap* buttonFace_;
    int32_t knobCount_ = 0;
    int32_t buttonCount_ = 0;
};
