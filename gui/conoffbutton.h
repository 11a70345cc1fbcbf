// COnOffButton: a two-state button drawn from a bitmap of two images stacked vertically, off
// on top and on below.
#pragma once

#include "ccontrol.h"

namespace QXAGUI {

// Interaction:
//
// | input              | rule                                                                |
// |--------------------|---------------------------------------------------------------------|
// | press, left        | value := 0 when int(value) != 0, else 1 (value bounded to 0..1      |
// |                    | first); repaint at once; one controlChanged inside one gesture:     |
// |                    | style 0 after the editor's idle work, style 1 before it;            |
// |                    | TakenNoTracking (no moves, no release)                              |
// | press, no left     | Passed                                                              |
class COnOffButton : public CControl {
public:
    enum Style : int32_t {
        NotifyAfterIdle = 0, // both editors' buttons
        NotifyBeforeIdle = 1,
    };

    COnOffButton(const ViewRect& bounds, CControlListener* listener, int32_t tag, CBitmap* bitmap,
                 int32_t style = NotifyAfterIdle);
    ~COnOffButton() override;

    // --- CView / CControl -----------------------------------------------------------------
    // The lower image while the value is not 0, the upper one otherwise.
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    // --- the button's own -----------------------------------------------------------------
    virtual int32_t buttonStyle() const;
    virtual void setButtonStyle(int32_t style);

private:
    void notifyOnce();

    int32_t style_;
};

} // namespace QXAGUI
