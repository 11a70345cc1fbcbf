// CKnob: a round control turned by dragging around its centre (circular) or along a line
// (linear), by the wheel and by the arrow keys. It paints the part of its background bitmap
// under it and then a handle: a small bitmap centred on the handle point, or two lines.
#pragma once

#include "ccontrol.h"
#include "controlsupport.h"

namespace QXAGUI {

// Interaction (values for the default range 0..1; range = highest - lowest):
//
// | input                  | rule                                                              |
// |------------------------|-------------------------------------------------------------------|
// | press, left            | gesture begins; circular: reference := value at the press point;  |
// |                        | the press point is handled as a move                              |
// | press, Ctrl+left (0x22)| value := reset value inside one gesture; TakenNoTracking          |
// | press, no left button  | Passed                                                            |
// | move, circular         | v := value at the point; reference - v > range/2: highest;        |
// |                        | v - reference > range/2: lowest; else value := reference := v     |
// |                        | (never jumps across the dead zone)                                |
// | move, linear           | d := dx - dy from the press; value := entry + d x range / 200     |
// |                        | (/ 300 with Shift, fine factor 1.5); a change of buttons keeps     |
// |                        | the value and goes on at the new rate                             |
// | linear or circular     | linear when host knob style is 2 without Alt, or not 2 with Alt   |
// | release                | gesture ends (once, also without a drag in progress)              |
// | wheel                  | value += notches x 0.1 (x 0.01 with Shift), clamped                |
// | arrow keys             | left/down -0.1, up/right +0.1 per press (x 0.1 with Shift)          |
class CKnob : public CControl {
public:
    CKnob(const ViewRect& bounds, CControlListener* listener, int32_t tag, CBitmap* background,
          CBitmap* handle, const ViewPoint& backgroundOffset = ViewPoint());
    ~CKnob() override;

    // --- CView / CControl -----------------------------------------------------------------
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons) override;
    int32_t keyPressed(KeyRecord& key) override;
    // The modal form of the drag, for callers that track the pointer themselves: runs until
    // the left button is released, keeping the editor's idle work going.
    void legacyTrack(CDrawContext* context, const ViewPoint& point, ButtonFlags buttons) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    // --- the knob's own -------------------------------------------------------------------
    // Radians, counter-clockwise from 3 o'clock; a negative span turns clockwise.
    virtual void setArcStart(float radians);
    virtual float arcStart() const;
    virtual void setArcSpan(float radians);
    virtual float arcSpan() const;
    // The handle's point for the current value, relative to the view's top-left.
    virtual void valueToHandlePoint(ViewPoint& out) const;
    // The value at point (relative to the view's top-left); in the dead zone, the nearer end.
    virtual float pointToKnobValue(const ViewPoint& point) const;
    virtual int32_t handleInset() const;
    virtual void setHandleInset(int32_t inset);
    virtual ViewColor shadowTint() const;
    virtual void setShadowTint(ViewColor color);
    virtual ViewColor handleTint() const;
    virtual void setHandleTint(ViewColor color);
    virtual CBitmap* handleImage() const;
    // Retains the new bitmap, releases the old one, and derives the inset from its width.
    virtual void setHandleImage(CBitmap* bitmap);
    virtual void setFineFactor(float factor);
    virtual float fineFactor() const;
    virtual void paintHandle(CDrawContext* context);

    ViewPoint backgroundOffset() const { return backgroundOffset_; }
    bool isLinearDrag() const { return linearDrag_; }

protected:
    // Sets up a drag from a press at point (parent coordinates).
    void beginDrag(const ViewPoint& point, ButtonFlags buttons);
    // One step of a drag to point (parent coordinates); true when the value changed.
    bool dragTo(const ViewPoint& point, ButtonFlags buttons);
    void recomputeArc();
    ViewPoint viewRelative(const ViewPoint& point) const;

    ViewPoint backgroundOffset_;
    ViewColor handleColor_ = kWhiteColor;
    ViewColor shadowColor_ = kGreyColor;
    CBitmap* handle_ = nullptr;
    int32_t inset_ = 3;
    float arcStart_ = 0.0f;
    float arcSpan_ = 0.0f;
    float halfDeadAngle_ = 0.0f;
    float valuePerRadian_ = 0.0f;
    float valueOffset_ = 0.0f;
    float radius_;
    float fineFactor_ = 1.5f;

    // Drag state.
    ViewPoint firstPoint_;
    ViewPoint lastPoint_;
    float referenceValue_ = 0.0f;
    float entryValue_ = 0.0f;
    float pixelRange_ = 200.0f;
    float valuePerPixel_ = 0.0f;
    ButtonFlags lastButtons_ = 0;
    bool linearDrag_ = false;
    EditGesture gesture_;
};

} // namespace QXAGUI
