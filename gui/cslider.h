// CSlider: a handle bitmap that travels along one axis over a background bitmap.
// CVerticalSlider and CHorizontalSlider fix the axis.
#pragma once

#include "ccontrol.h"
#include "controlsupport.h"

namespace QXAGUI {

// Style bits. Without AxisX the slider works along y. Bit 4 has no effect.
using SliderStyle = int32_t;
enum : SliderStyle {
    SliderAxisX = 1,
    SliderAxisY = 2,
    SliderRightEnd = 8,
    SliderTopEnd = 16,
    SliderBottomEnd = 32,
    SliderInvert = 64,
};

// Interaction (p = pointer position along the axis, parent coordinates; range = highest -
// lowest; travel = maximum - minimum handle position):
//
// | input                  | rule                                                              |
// |------------------------|-------------------------------------------------------------------|
// | press, left            | gesture begins; grab anywhere: delta := view start + shift +      |
// |                        | handle size / 2 - 1; otherwise a press off the handle is Passed   |
// |                        | and delta := view start + shift + (p - handle start); the press   |
// |                        | is handled as a move unless Shift is held                         |
// | press, Ctrl+left (0x22)| value := reset value inside one gesture; TakenNoTracking          |
// | press, no left button  | Passed                                                            |
// | move                   | v := (p - delta) / travel; 1 - v with TopEnd or Invert;           |
// |                        | with Shift v := ref + (v - ref) / 10, ref = the value where Shift |
// |                        | was pressed; value := lowest + v x range, clamped                 |
// | release                | gesture ends (once, also without a drag in progress)              |
// | wheel                  | value += notches x 0.1 (x 0.01 with Shift), clamped                |
// | arrow keys             | left/down -0.1, up/right +0.1 per press (x 0.1 with Shift)          |
//
// Painting: handle start = max(lowest position, int(travel x f) + shift), f = value with
// RightEnd or BottomEnd, else 1 - value.
class CSlider : public CControl {
public:
    // minimum and maximum position: where the handle's leading edge may go, in the parent's
    // coordinates along the axis.
    CSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
            int32_t minimumPosition, int32_t maximumPosition, CBitmap* handle, CBitmap* background,
            const ViewPoint& backgroundOffset = ViewPoint(),
            SliderStyle style = SliderAxisX | SliderRightEnd);
    // handleRange: the pixels the handle moves within, its own size included, starting at the
    // view's edge moved by handleShift.
    CSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
            const ViewPoint& handleShift, int32_t handleRange, CBitmap* handle, CBitmap* background,
            const ViewPoint& backgroundOffset = ViewPoint(),
            SliderStyle style = SliderAxisX | SliderRightEnd);
    ~CSlider() override;

    // --- CView / CControl -----------------------------------------------------------------
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons) override;
    int32_t keyPressed(KeyRecord& key) override;
    // The travel grows and shrinks with the view along the axis.
    void setBounds(const ViewRect& rect, bool markRepaint = true) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    // --- the slider's own -----------------------------------------------------------------
    virtual void setHandleSeeThrough(bool seeThrough);
    virtual void setGrabAnywhere(bool grab);
    virtual bool grabAnywhere() const;
    // Moves the handle within the view and recomputes its limits.
    virtual void setHandleShift(const ViewPoint& shift);
    virtual ViewPoint handleShift() const;
    virtual void setBackdropOrigin(const ViewPoint& offset);
    virtual ViewPoint backdropOrigin() const;
    virtual SliderStyle sliderStyle() const;
    virtual void setHandleImage(CBitmap* bitmap);
    virtual CBitmap* handleImage() const;
    virtual void setFineFactor(float factor);
    virtual float fineFactor() const;

    int32_t travel() const { return travel_; }
    // The handle's rectangle for the current value, in the parent's coordinates.
    ViewRect handleRect() const;

protected:
    bool horizontal() const { return (style_ & SliderAxisX) != 0; }
    int32_t alongAxis(const ViewPoint& point) const { return horizontal() ? point.x : point.y; }
    int32_t handleLength() const { return horizontal() ? handleWidth_ : handleHeight_; }
    // What a clone takes over beyond the constructor's arguments.
    void copySliderStateTo(CSlider& copy) const;
    void takeHandleSize();
    void recomputeHandleLimits();

    ViewPoint backgroundOffset_;
    ViewPoint handleShift_;
    CBitmap* handle_ = nullptr;
    SliderStyle style_;
    int32_t handleWidth_ = 1;
    int32_t handleHeight_ = 1;
    int32_t travel_ = 0;
    int32_t lowestHandlePosition_ = 0;
    int32_t highestHandlePosition_ = 0;
    int32_t minimumPosition_ = 0; // relative to the view's left or top
    int32_t viewWidth_;
    int32_t viewHeight_;
    float fineFactor_ = 10.0f;
    bool handleSeeThrough_ = true;
    bool grabAnywhere_ = true;

    // Drag state.
    int32_t clickDelta_ = 0;
    float referenceValue_ = 0.0f; // normalised
    bool referenceSet_ = false;
    ButtonFlags lastButtons_ = 0;
    EditGesture gesture_;
};

class CVerticalSlider : public CSlider {
public:
    CVerticalSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                    int32_t minimumPosition, int32_t maximumPosition, CBitmap* handle,
                    CBitmap* background, const ViewPoint& backgroundOffset = ViewPoint(),
                    SliderStyle style = SliderBottomEnd);
    CVerticalSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                    const ViewPoint& handleShift, int32_t handleRange, CBitmap* handle,
                    CBitmap* background, const ViewPoint& backgroundOffset = ViewPoint(),
                    SliderStyle style = SliderBottomEnd);
    bool isKindOf(const char* className) const override;
    CView* clone() const override;
};

class CHorizontalSlider : public CSlider {
public:
    CHorizontalSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                      int32_t minimumPosition, int32_t maximumPosition, CBitmap* handle,
                      CBitmap* background, const ViewPoint& backgroundOffset = ViewPoint(),
                      SliderStyle style = SliderRightEnd);
    CHorizontalSlider(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                      const ViewPoint& handleShift, int32_t handleRange, CBitmap* handle,
                      CBitmap* background, const ViewPoint& backgroundOffset = ViewPoint(),
                      SliderStyle style = SliderRightEnd);
    bool isKindOf(const char* className) const override;
    CView* clone() const override;
};

} // namespace QXAGUI
