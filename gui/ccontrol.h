// CControl: a view that carries one float value and tells a listener when the user changes
// it. A value stored from outside (storeValue) is only remembered: the difference to the value
// last drawn makes the control dirty, and the frame's idle pass repaints it.
#pragma once

#include "ccontrollistener.h"
#include "cview.h"

namespace QXAGUI {

class CControl : public CView {
public:
    CControl(const ViewRect& bounds, CControlListener* listener, int32_t tag,
             CBitmap* background = nullptr);
    ~CControl() override;

    // --- CView ----------------------------------------------------------------------------
    void paint(CDrawContext* context) override = 0;
    // The value differs from the value last drawn, or the view's own flag is set.
    bool needsRepaint() const override;
    // true: the previous value is made to differ from the value; false: it becomes the value.
    void markNeedsRepaint(bool flag = true) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override = 0;

    // --- the control's own ----------------------------------------------------------------
    // Asks the frame to run the editor's idle work (inside modal loops).
    virtual void runIdle();
    // Only stores: no clamping, no listener call, no repaint request.
    virtual void storeValue(float value);
    virtual float value() const;
    virtual void setLowest(float lowest);
    virtual float lowest() const;
    virtual void setHighest(float highest);
    virtual float highest() const;
    virtual void setPreviousValue(float previous);
    virtual float previousValue() const;
    virtual void setResetValue(float reset);
    virtual float resetValue() const;
    virtual void clampValue();
    // Ctrl+left (buttons exactly ButtonLeft | ModControl) restores the reset value inside one
    // gesture and answers true.
    virtual bool tryResetToDefault(ButtonFlags buttons);
    virtual void setId(int32_t tag);
    virtual int32_t id() const;
    // A gesture begins: the listener hears of it, the control takes the focus, the host is told.
    // Gestures nest; the control is held until the outermost one ends.
    virtual void editStarted();
    virtual void editEnded();
    // The user is operating the control (a press, a drag, a gesture, typing): a refresh from
    // the host must not overwrite its value until the user lets go.
    virtual bool isHeld() const { return holdDepth_ > 0; }
    virtual CControlListener* observer() const;
    virtual void setObserver(CControlListener* listener);
    virtual void setBackdropShift(ViewPoint shift);
    virtual void resetBackdropShift();
    virtual void setWheelStep(float step);
    virtual float wheelStep() const;

    // True when this click follows the previous one within the double-click interval.
    bool detectDoubleClick();
    ViewPoint backdropShift() const { return backdropShift_; }

protected:
    // Copies what a clone of a control takes over (listener, tag, the floats).
    void copyControlStateTo(CControl& copy) const;
    // Holds the control for a scope that is not a gesture of its own (a press that runs the
    // editor's idle before it notifies).
    class HoldScope {
    public:
        explicit HoldScope(CControl& control) : control_(control) { ++control_.holdDepth_; }
        ~HoldScope() { --control_.holdDepth_; }
        HoldScope(const HoldScope&) = delete;
        HoldScope& operator=(const HoldScope&) = delete;

    private:
        CControl& control_;
    };

    CControlListener* listener_;
    int32_t tag_;
    float previousValue_ = 1.0f;
    float resetValue_ = 0.5f;
    float value_ = 0.0f;
    float lowest_ = 0.0f;
    float highest_ = 1.0f;
    float wheelStep_ = 0.1f;
    // Tick count of the last click; -1 while none is stored.
    int64_t clickTime_ = -1;
    uint32_t doubleClickInterval_;
    ViewPoint backdropShift_;
    int32_t holdDepth_ = 0;
};

} // namespace QXAGUI
