// CViewContainer: a view that holds an ordered list of children (first = bottom-most). Its
// children are in the container's own coordinates, whose origin is its top-left. It paints
// its backdrop and then every child that meets the update area, routes pointer, wheel, key
// and drag input to the child under the pointer, and may buffer its subtree offscreen.
#pragma once

#include "cview.h"

namespace QXAGUI {

class COffscreenContext;

class CViewContainer : public CView {
public:
    CViewContainer(const ViewRect& bounds, CFrame* frame, CBitmap* background = nullptr);
    // Removes and releases every child.
    ~CViewContainer() override;

    // --- CView ----------------------------------------------------------------------------
    // Answers 1 to kMsgCheckIfViewContainer.
    int32_t handleMessage(CBaseObject* sender, const char* message) override;
    void paint(CDrawContext* context) override;
    void paintArea(CDrawContext* context, const ViewRect& updateRect) override;
    // Its own flag, or a child needing repaint that overlaps the container's area.
    bool needsRepaint() const override;
    void requestRepaintArea(const ViewRect& rect) override;
    void requestRepaint() override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool containsPoint(const ViewPoint& point, ButtonFlags buttons = 0) const override;
    bool scrollWheelAxis(const ViewPoint& point, int32_t axis, float distance,
                         const ButtonFlags& buttons) override;
    bool scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons) override;
    bool dropData(CDragContainer* drag, const ViewPoint& point) override;
    void dragEntered(CDragContainer* drag, const ViewPoint& point) override;
    void dragExited(CDragContainer* drag, const ViewPoint& point) override;
    void dragHovered(CDragContainer* drag, const ViewPoint& point) override;
    // The child under the point answers.
    bool takesDrop(CDragContainer* drag, const ViewPoint& point) override;
    int32_t keyPressed(KeyRecord& key) override;
    int32_t keyReleased(KeyRecord& key) override;
    // Moves and stretches the children by their resize flags.
    void setBounds(const ViewRect& rect, bool markRepaint = true) override;
    void parentResized() override;
    ViewPoint& fromFrameCoords(ViewPoint& point) const override;
    ViewPoint& toFrameCoords(ViewPoint& point) const override;
    void loseFocus() override;
    void gainFocus() override;
    bool detachFrom(CViewContainer* parent) override;
    bool attachTo(CViewContainer* parent) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;
    void legacyTrack(CDrawContext* context, const ViewPoint& point, ButtonFlags buttons) override;

    // --- children -------------------------------------------------------------------------
    // Before the first node holding `before`; at the end when it is not found. Refuses a
    // missing view or one already attached.
    virtual bool insertChildBefore(CView* view, CView* before);
    virtual bool addChildWithArea(CView* view, const ViewRect& pointerArea, bool acceptsMouse);
    virtual bool appendChild(CView* view);
    virtual bool removeChild(CView* view, bool releaseIt = true);
    virtual int32_t removeAllChildren(bool releaseThem = true);
    virtual bool hasChild(const CView* view) const;
    virtual int32_t childCount() const;
    virtual CView* childAt(int32_t index) const;
    // The topmost shown child whose pointer area holds the point (container coordinates of
    // the parent side, i.e. this container's own); deep: a container child answers instead.
    virtual CView* childAtPoint(const ViewPoint& point, bool deep = false) const;
    virtual CViewContainer* containerAtPoint(const ViewPoint& point, bool deep = false);
    virtual void setBackdropColor(ViewColor color);
    virtual ViewColor backdropColor() const;
    virtual void setBackdropOffset(ViewPoint offset);
    virtual ViewPoint backdropOffset() const;
    virtual void paintBackdrop(CDrawContext* context, const ViewRect& rect);
    virtual void setBuffered(bool buffered);
    virtual bool focusNext(CView* start, bool reverse);
    // Turns the dirty state of the subtree into repaint requests; true when it had any.
    virtual bool repaintDirty();
    virtual void clipToVisible(ViewRect& out, const ViewRect& rect) const;
    virtual CView* viewUnderPointer() const;
    virtual bool childOverlapsArea(const CView* child, const ViewRect& rect) const;
    virtual bool childContainsPoint(const ViewPoint& point, ButtonFlags buttons) const;

    bool isBuffered() const { return buffered_; }
    CView* pointerDownView() const { return pointerDownView_; }

protected:
    struct ChildNode {
        CView* view;
        ChildNode* next;
        ChildNode* previous;
    };
    ChildNode* findNode(const CView* view) const;
    void unlinkNode(ChildNode* node);
    // The local rectangle (0, 0, width, height).
    ViewRect localArea() const;
    // Containers this view's children can be reached through, innermost first.
    void copyContainerStateTo(CViewContainer& copy) const;
    void makeOffscreen();
    void dropOffscreen();

    ChildNode* firstChild_ = nullptr;
    ChildNode* lastChild_ = nullptr;
    COffscreenContext* offscreen_ = nullptr;
    ViewColor backdropColor_ = kBlackColor;
    ViewPoint backdropOffset_;
    bool buffered_ = false;
    CView* dragTarget_ = nullptr;
    CView* pointerDownView_ = nullptr;
};

} // namespace QXAGUI
