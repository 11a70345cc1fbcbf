// CView: the leaf of the view tree. A view has bounds and a pointer area in its parent's
// coordinates, may draw a background bitmap, and answers pointer, wheel, key and drag input
// with neutral defaults that controls override.
#pragma once

#include "cbaseobject.h"
#include "viewtypes.h"

namespace QXAGUI {

class CBitmap;
class CDragContainer;
class CDrawContext;
class CFrame;
class CViewContainer;
class TextEditBox;
class QXAGUIEditorInterface;

class CView : public CBaseObject {
public:
    explicit CView(const ViewRect& bounds);
    ~CView() override;

    // --- painting -------------------------------------------------------------------------
    // Draws the background bitmap over the bounds, then clears the repaint state.
    virtual void paint(CDrawContext* context);
    virtual void paintArea(CDrawContext* context, const ViewRect& updateRect);
    // Inclusive overlap of the bounds with rect.
    virtual bool touchesArea(const ViewRect& rect) const;
    virtual bool needsRepaint() const;
    virtual void markNeedsRepaint(bool flag = true);
    // Passes rect (parent coordinates) up to the parent, or the frame, when attached and shown.
    virtual void requestRepaintArea(const ViewRect& rect);
    virtual void requestRepaint();
    virtual void setShown(bool shown);
    bool isShown() const { return shown_; }

    // --- pointer (points in the parent's coordinates) -------------------------------------
    virtual PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons);
    virtual PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons);
    virtual PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons);
    virtual PointerReply pointerEntered(const ViewPoint& point, const ButtonFlags& buttons);
    virtual PointerReply pointerExited(const ViewPoint& point, const ButtonFlags& buttons);
    // Inside the pointer area, edges included.
    virtual bool containsPoint(const ViewPoint& point, ButtonFlags buttons = 0) const;
    // Axis 1 is vertical; other axes reach scrollWheel negated.
    virtual bool scrollWheelAxis(const ViewPoint& point, int32_t axis, float distance,
                                 const ButtonFlags& buttons);
    virtual bool scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons);
    virtual void setAcceptsMouse(bool accepts);
    virtual bool acceptsMouse() const;
    virtual void setPointerArea(const ViewRect& rect);
    virtual const ViewRect& pointerArea() const;
    virtual void copyPointerArea(ViewRect& out) const;

    // --- drag and drop --------------------------------------------------------------------
    virtual bool dropData(CDragContainer* drag, const ViewPoint& point);
    virtual void dragEntered(CDragContainer* drag, const ViewPoint& point);
    virtual void dragExited(CDragContainer* drag, const ViewPoint& point);
    virtual void dragHovered(CDragContainer* drag, const ViewPoint& point);
    // Whether a drop of drag at point (parent coordinates) would be taken: the platform shows
    // the no-drop cursor where it would not. Nothing is read but the items' types.
    virtual bool takesDrop(CDragContainer* drag, const ViewPoint& point);

    // --- keys: 1 handled, -1 not ----------------------------------------------------------
    virtual int32_t keyPressed(KeyRecord& key);
    virtual int32_t keyReleased(KeyRecord& key);

    // --- geometry -------------------------------------------------------------------------
    // The pointer area is not changed.
    virtual void setBounds(const ViewRect& rect, bool markRepaint = true);
    virtual const ViewRect& bounds() const;
    virtual void copyBounds(ViewRect& out) const;
    // The part of the bounds its ancestors leave visible, in the parent's coordinates.
    virtual void visibleBounds(ViewRect& out) const;
    virtual void parentResized();
    virtual ViewPoint& fromFrameCoords(ViewPoint& point) const;
    virtual ViewPoint& toFrameCoords(ViewPoint& point) const;
    virtual void setResizeFlags(ResizeFlags flags);
    virtual ResizeFlags resizeFlags() const;

    // --- focus ----------------------------------------------------------------------------
    virtual void loseFocus();
    virtual void gainFocus();
    virtual bool acceptsFocus() const;
    virtual void setAcceptsFocus(bool accepts);

    // --- background -----------------------------------------------------------------------
    // Retains the new bitmap, releases the old one.
    virtual void setBackdrop(CBitmap* bitmap);
    virtual CBitmap* backdrop() const;
    virtual void setSeeThrough(bool seeThrough);
    virtual bool seeThrough() const;

    // --- tree -----------------------------------------------------------------------------
    virtual bool detachFrom(CViewContainer* parent);
    virtual bool attachTo(CViewContainer* parent);
    virtual QXAGUIEditorInterface* owningEditor() const;
    // True for "CView"; subclasses accept their own class name, then ask their base.
    virtual bool isKindOf(const char* className) const;
    // A new, detached copy (see the container's for children).
    virtual CView* clone() const;
    // The old tracking protocol: a modal loop of the view's own while the button is down.
    virtual void legacyTrack(CDrawContext* context, const ViewPoint& point, ButtonFlags buttons);
    // The cursor position in this view's parent's coordinates.
    virtual void pointerLocation(CDrawContext* context, ViewPoint& point) const;
    virtual void setParent(CViewContainer* container);
    virtual void setOwnerFrame(CFrame* frame);
    // Adds the view's top-left, then every enclosing container's.
    virtual void addFrameOrigin(ViewPoint& point) const;

    CFrame* frame() const { return frame_; }
    CViewContainer* parent() const { return parent_; }
    // True when the container this view is painted in has just drawn bitmap under it exactly
    // as the view would draw it from source (its own top-left's piece of the container's
    // opaque backdrop): the view then skips that copy. Containers paint their backdrop over
    // the whole area before their children, so this holds for every paint.
    bool backdropPaintedBelow(const CBitmap* bitmap, ViewPoint source) const;
    // The system edit box this view has open for typing, with the ink and paper it is to be
    // drawn in; null (colours untouched) when the view has none open.
    virtual TextEditBox* openEditBox(ViewColor& ink, ViewColor& paper) const;
    bool isAttached() const { return attached_; }

    // --- attributes: byte blocks by 32-bit id ---------------------------------------------
    bool attributeSize(uint32_t id, int32_t& size) const;
    // False when absent or when bufferSize is smaller than the stored block.
    bool readAttribute(uint32_t id, int32_t bufferSize, void* buffer, int32_t& size) const;
    bool writeAttribute(uint32_t id, int32_t size, const void* data);
    bool removeAttribute(uint32_t id);

protected:
    // The fields a copy takes over (bounds, pointer area, flags, bitmap, attributes).
    void copyViewStateTo(CView& copy) const;
    // The parent if it is a container (it answers kMsgCheckIfViewContainer).
    CViewContainer* containerParent() const;

    ViewRect bounds_;
    ViewRect pointerArea_;
    CFrame* frame_ = nullptr;
    CViewContainer* parent_ = nullptr;
    bool needsRepaint_ = false;
    bool acceptsMouse_ = true;
    bool seeThrough_ = false;
    bool acceptsFocus_ = false;
    bool attached_ = false;
    bool shown_ = true;
    ResizeFlags resizeFlags_ = 0;
    CBitmap* backdrop_ = nullptr;

private:
    struct Attribute {
        Attribute* next;
        void* data;
        int32_t size;
        uint32_t id;
    };
    const Attribute* findAttribute(uint32_t id) const;
    Attribute* attributes_ = nullptr;
};

} // namespace QXAGUI
