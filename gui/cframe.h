// CFrame: the root of an editor's view tree. It owns the system child window inside the
// host's window, turns the window's messages into view calls (paint, pointer, wheel, leave),
// routes keys from the host to the focus view, keeps the focus, hover, blocking and
// pointer-down views, and repaints dirty views at the editor's idle pass.
#pragma once

#include "ccontrollistener.h"
#include "cviewcontainer.h"
#include "platform/platform.h"

#include <memory>

namespace QXAGUI {

// Optional observer of the pointer over a frame.
class PointerWatcher {
public:
    virtual ~PointerWatcher() = default;
    virtual void watchEntered(CView* view, CFrame* frame) = 0;
    virtual void watchExited(CView* view, CFrame* frame) = 0;
    virtual void watchMoved(CFrame* frame, const ViewPoint& point) = 0;
    virtual void watchDown(CFrame* frame, const ViewPoint& point) = 0;
};

class CFrame : public CViewContainer {
public:
    // bounds start at (0, 0); with a host window, the frame's window is made inside it.
    CFrame(const ViewRect& bounds, void* hostWindow, QXAGUIEditorInterface* editor);
    ~CFrame() override;

    // --- CView / CViewContainer -----------------------------------------------------------
    void paint(CDrawContext* context) override;
    // Paints rect at once, on context or on a context made on the window.
    void paintArea(CDrawContext* context, const ViewRect& rect) override;
    // Invalidates rect of the window.
    void requestRepaintArea(const ViewRect& rect) override;
    void requestRepaint() override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override;
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override;
    // The window's leave notification.
    PointerReply pointerExited(const ViewPoint& point, const ButtonFlags& buttons) override;
    bool scrollWheelAxis(const ViewPoint& point, int32_t axis, float distance,
                         const ButtonFlags& buttons) override;
    bool scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons) override;
    int32_t keyPressed(KeyRecord& key) override;
    int32_t keyReleased(KeyRecord& key) override;
    void setBounds(const ViewRect& rect, bool markRepaint = true) override;
    QXAGUIEditorInterface* owningEditor() const override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;
    void legacyTrack(CDrawContext* context, const ViewPoint& point, ButtonFlags buttons) override;
    bool removeChild(CView* view, bool releaseIt = true) override;
    int32_t removeAllChildren(bool releaseThem = true) override;
    bool focusNext(CView* start, bool reverse) override;
    CView* viewUnderPointer() const override;

    // --- the frame's own ------------------------------------------------------------------
    virtual bool windowAlive() const;
    // The idle pass: turns dirty views into window invalidations.
    virtual void idleFrame();
    // Lets the editor keep the host alive during a modal loop.
    virtual void runEditorIdleNow();
    // The system's millisecond tick count.
    virtual uint32_t tickCount() const;
    // Waits that long on the window's thread (the editor's modal idle, when it is early).
    virtual void pause(uint32_t milliseconds);
    // Paints now what one pending paint message of the window's thread asks for.
    virtual void paintOnePending();
    // The editor's knob style; 0 without editor.
    virtual int32_t hostKnobStyle() const;
    virtual bool moveFrame(int32_t x, int32_t y);
    virtual bool framePosition(int32_t& x, int32_t& y);
    virtual bool resizeFrame(int32_t width, int32_t height);
    virtual bool frameSize(ViewRect& out);
    // Refuses a view while another blocking view exists or while the view is attached.
    virtual bool setBlockingView(CView* view);
    virtual CView* blockingView() const;
    virtual void editBegins(int32_t tag);
    virtual void editEnds(int32_t tag);
    // The cursor position in frame coordinates; always true.
    virtual bool pointerNow(ViewPoint& point) const;
    virtual ButtonFlags buttonsNow() const;
    virtual void setCursorKind(int32_t kind);
    virtual void focusOn(CView* view);
    virtual CView* focusedView() const;
    // Forgets the view as hover and focus view.
    virtual void viewGone(CView* view);
    virtual bool setDropEnabled(bool enabled);
    virtual bool dropEnabled() const;
    virtual void setWindowAlive(bool alive);
    // Marks every direct child whose bounds touch rect (edges included) for repaint.
    virtual void markOverlapping(const ViewRect& rect);
    virtual PointerWatcher* pointerWatcher() const;
    virtual void setPointerWatcher(PointerWatcher* watcher);

    // --- for the platform window ----------------------------------------------------------
    void* hostWindow() const { return hostWindow_; }
    // The frame's system window; null without one or once it is gone.
    void* systemWindow() const;
    // The window's destroy message: the window is gone and no later call may use it.
    void windowDestroyed();
    // Where paint messages draw: the backbuffer on systems that need one, else null.
    COffscreenContext* backbuffer();
    CView* hoverView() const { return hoverView_; }
    QXAGUIEditorInterface* editor() const { return editor_; }

private:
    void forgetHoverView(const ButtonFlags& buttons);

    QXAGUIEditorInterface* editor_;
    PointerWatcher* watcher_ = nullptr;
    void* hostWindow_;
    CView* blockingView_ = nullptr;
    CView* focusView_ = nullptr;
    CView* hoverView_ = nullptr;
    bool windowAlive_ = true;
    bool dropEnabled_ = false;
    // Dropping is enabled, and OLE started for it, at the first idle pass: the two cost about
    // as much as the first paint, and a host's first idle pass comes long before a user could
    // drag anything onto the panel.
    bool dropDue_ = false;
    std::unique_ptr<FrameWindow> window_;
    COffscreenContext* backbuffer_ = nullptr;
    bool leaveTracking_ = false;
    bool oleInitialized_ = false;
};

} // namespace QXAGUI
