// MalvoreeEditor: Malvoree's panel. Twenty knobs (a delay time per head, and each head's
// volume, damping, pan and feedback), the SYNC button, the wet/dry slider and twenty displays
// that show each head value in its own terms and take typed values. User changes go to the
// effect with host notification; the controls follow every parameter change that reaches the
// effect, refreshed on the window's thread at the next idle pass.
#pragma once

#include "aeffguieditor.h"

#include <array>

class Malvoree;
namespace QXAGUI {
class CBitmap;
class CControl;
} // namespace QXAGUI

class MalvoreeEditor : public AEffGUIEditor, public QXAGUI::CControlListener {
public:
    // Loads the four bitmaps; the editor's size is the background's.
    explicit MalvoreeEditor(Malvoree* effect);
    ~MalvoreeEditor() override;

    // Builds the frame and the 42 controls from delayControlLayout. An editor that is already
    // open is closed first; false (and nothing left behind) when no window can be made.
    bool openEditor(void* window) override;
    void closeEditor() override;

    // Window thread. Copies the effect's values into all 42 controls; nothing while closed.
    virtual void refreshControls();

    // A knob, the button or the slider writes its value; a display writes the value its typed
    // text means (and shows the parameter's value again, whether or not the text parsed).
    void controlChanged(QXAGUI::CControl* control) override;
    // The user let go of a control: it follows the effect again from the next idle pass.
    void controlEditCloses(QXAGUI::CControl* control) override;

protected:
    // Refreshes the controls of these parameters, except one the user is holding; a control
    // whose value and text stay the same is not repainted.
    void refreshPendingControls(uint32_t parameters) override;

private:
    void refreshControl(QXAGUI::CControl& control);

    static constexpr size_t kFirstDisplayEntry = 22;
    static constexpr int32_t kTableSize = 44;

    Malvoree* malvoree_;
    // Entries 0..21: the knob, button or slider of that parameter; 22..41: the display of
    // parameter entry - 22.
    std::array<QXAGUI::CControl*, kTableSize> controls_{};
    QXAGUI::CBitmap* background_;
    QXAGUI::CBitmap* knobHandle_;
    QXAGUI::CBitmap* syncFace_;
    QXAGUI::CBitmap* sliderHandle_;
};
