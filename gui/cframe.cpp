#include "cframe.h"

#include "cbitmap.h"
#include "cdrawcontext.h"

#include <cstring>
#include <new>

namespace QXAGUI {

namespace {

// The focus guard: set while a focus change is in progress, so that a focusOn from inside a
// focus handler does nothing. Per thread: two instances may have editors on two threads.
thread_local bool focusChanging = false;

bool isContainer(CView* view) {
    return view->handleMessage(nullptr, kMsgCheckIfViewContainer) == 1;
}

} // namespace

CFrame::CFrame(const ViewRect& bounds, void* hostWindow, QXAGUIEditorInterface* editor)
    : CViewContainer(bounds, nullptr, nullptr), editor_(editor), hostWindow_(hostWindow) {
    frame_ = this;
    attached_ = true;
    GDIPlusGlobals::enter();
    if (hostWindow) {
        window_ = platform::createFrameWindow(*this, hostWindow);
        dropDue_ = window_ != nullptr;
    }
}

CFrame::~CFrame() {
    if (blockingView_) removeChild(blockingView_, false);
    if (window_) window_->setCursorKind(0);
    setDropEnabled(false);
    removeAllChildren(true);
    if (oleInitialized_) platform::uninitializeOle();
    if (backbuffer_) backbuffer_->release();
    backbuffer_ = nullptr;
    window_.reset();
    GDIPlusGlobals::leave();
}

// --- painting --------------------------------------------------------------------------------

void CFrame::paint(CDrawContext* context) {
    paintArea(context, bounds_);
}

void CFrame::paintArea(CDrawContext* context, const ViewRect& rect) {
    if (context)
        context->retain();
    else
        context = new CDrawContext(this, nullptr, systemWindow());
    ViewRect savedClip;
    context->clip(savedClip);
    ViewRect area = rect;
    area.bound(savedClip);
    context->setClip(area);
    if (area.width() > 0 && area.height() > 0) CViewContainer::paintArea(context, area);
    context->setClip(savedClip);
    context->release();
}

void CFrame::requestRepaintArea(const ViewRect& rect) {
    if (!shown_ || !window_ || !windowAlive_) return;
    window_->invalidate(rect);
}

void CFrame::requestRepaint() {
    requestRepaintArea(bounds_);
    markNeedsRepaint(false);
}

COffscreenContext* CFrame::backbuffer() {
    if (platform::osMajorVersion() > 5) return nullptr;
    if (!backbuffer_)
        backbuffer_ = new (std::nothrow)
            COffscreenContext(this, bounds_.width(), bounds_.height(), kBlackColor);
    return backbuffer_;
}

// --- pointer ---------------------------------------------------------------------------------

void CFrame::forgetHoverView(const ButtonFlags& buttons) {
    CView* hover = hoverView_;
    if (!hover) return;
    hoverView_ = nullptr;
    ViewPoint local;
    pointerNow(local);
    hover->fromFrameCoords(local);
    RetainScope<CView> keep(hover);
    hover->pointerExited(local, buttons);
    if (watcher_) watcher_->watchExited(hover, this);
}

PointerReply CFrame::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    pointerDownView_ = nullptr;
    if (focusView_) focusOn(nullptr);
    forgetHoverView(buttons);
    if (watcher_) watcher_->watchDown(this, point);
    if (!blockingView_) return CViewContainer::pointerDown(point, buttons);

    CView* blocking = blockingView_;
    if (!blocking->containsPoint(point, buttons)) return Passed;
    RetainScope<CView> keep(blocking);
    switch (blocking->pointerDown(point, buttons)) {
    case Taken:
        pointerDownView_ = blocking;
        return Taken;
    case Legacy: {
        auto* context = new CDrawContext(this, nullptr, systemWindow());
        blocking->legacyTrack(context, point, buttons);
        context->release();
        return Taken;
    }
    default:
        return Passed;
    }
}

PointerReply CFrame::pointerUp(const ViewPoint& point, const ButtonFlags& buttons) {
    return CViewContainer::pointerUp(point, buttons);
}

PointerReply CFrame::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    if (!leaveTracking_ && window_) {
        window_->requestLeaveNotification();
        leaveTracking_ = true;
    }
    if (watcher_) watcher_->watchMoved(this, point);
    if (blockingView_) {
        RetainScope<CView> keep(blockingView_);
        return blockingView_->pointerMoved(point, buttons);
    }
    const PointerReply reply = CViewContainer::pointerMoved(point, buttons);
    if (reply != Passed) return reply;

    CView* under = childAtPoint(point, true);
    if (under && under == hoverView_) {
        ViewPoint local = point;
        under->fromFrameCoords(local);
        RetainScope<CView> keep(under);
        return under->pointerMoved(local, pointerDownView_ ? buttons : 0);
    }
    forgetHoverView(buttons);
    if (under) {
        ViewPoint local = point;
        under->fromFrameCoords(local);
        hoverView_ = under;
        RetainScope<CView> keep(under);
        under->pointerEntered(local, buttons);
        if (watcher_ && hoverView_ == under) watcher_->watchEntered(under, this);
    }
    return Taken;
}

PointerReply CFrame::pointerExited(const ViewPoint& /*point*/, const ButtonFlags& buttons) {
    forgetHoverView(buttons);
    leaveTracking_ = false;
    return Taken;
}

bool CFrame::scrollWheelAxis(const ViewPoint& point, int32_t axis, float distance,
                             const ButtonFlags& buttons) {
    if (pointerDownView_) return false;
    CView* target = blockingView_ ? blockingView_ : childAtPoint(point, false);
    if (!target) return false;
    RetainScope<CView> keep(target);
    return target->scrollWheelAxis(point, axis, distance, buttons);
}

bool CFrame::scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons) {
    return scrollWheelAxis(point, 1, distance, buttons);
}

void CFrame::legacyTrack(CDrawContext* context, const ViewPoint& point, ButtonFlags buttons) {
    if (buttons == static_cast<ButtonFlags>(-1)) buttons = buttonsNow();
    if (pointerDown(point, buttons) != Taken) return;
    constexpr ButtonFlags kTracked = ButtonLeft | ButtonRight | ButtonMiddle;
    const ButtonFlags held = buttons & kTracked;
    ViewPoint position = point;
    for (;;) {
        runEditorIdleNow();
        const ButtonFlags now = buttonsNow();
        ViewPoint location;
        pointerLocation(context, location);
        if ((now & held) != held) {
            position = location;
            buttons = now;
            break;
        }
        if (!(location == position)) {
            position = location;
            pointerMoved(position, now);
        }
    }
    pointerUp(position, buttons);
}

// --- keys and focus --------------------------------------------------------------------------

int32_t CFrame::keyPressed(KeyRecord& key) {
    if (focusView_) {
        RetainScope<CView> keep(focusView_);
        const int32_t answer = focusView_->keyPressed(key);
        if (answer != -1) return answer;
    }
    if (blockingView_) {
        const int32_t answer = blockingView_->keyPressed(key);
        if (answer != -1) return answer;
    }
    if (key.virtualKey == kKeyTab)
        return focusNext(focusView_, (key.modifiers & kKeyModifierShift) != 0) ? 1 : -1;
    return -1;
}

int32_t CFrame::keyReleased(KeyRecord& key) {
    if (focusView_) {
        const int32_t answer = focusView_->keyReleased(key);
        if (answer != -1) return answer;
    }
    if (blockingView_) return blockingView_->keyReleased(key);
    return -1;
}

void CFrame::focusOn(CView* view) {
    if (view == focusView_ || focusChanging) return;
    focusChanging = true;
    CView* old = focusView_;
    focusView_ = view;
    if (view && view->acceptsFocus()) {
        view->markNeedsRepaint(true);
        for (CViewContainer* ancestor = view->parent(); ancestor && ancestor != this;
             ancestor = ancestor->parent())
            ancestor->handleMessage(view, kMsgNewFocusView);
    }
    if (old) {
        RetainScope<CView> keep(old);
        if (old->acceptsFocus()) {
            old->markNeedsRepaint(true);
            for (CViewContainer* ancestor = old->parent(); ancestor && ancestor != this;
                 ancestor = ancestor->parent())
                ancestor->handleMessage(old, kMsgOldFocusView);
        }
        old->loseFocus();
    }
    focusChanging = false;
}

CView* CFrame::focusedView() const {
    return focusView_;
}

bool CFrame::focusNext(CView* start, bool reverse) {
    if (blockingView_) {
        if (isContainer(blockingView_))
            return static_cast<CViewContainer*>(blockingView_)->focusNext(start, reverse);
        if (blockingView_ == start) return false;
        focusOn(blockingView_);
        blockingView_->gainFocus();
        return true;
    }
    if (!start) start = focusView_;
    if (!start || start->parent() == this) {
        const bool moved = CViewContainer::focusNext(start, reverse);
        if (!moved) focusOn(nullptr);
        return moved;
    }
    CView* current = start;
    for (CViewContainer* container = start->parent(); container;
         current = container, container = container->parent()) {
        if (container == this) {
            if (CViewContainer::focusNext(current, reverse)) return true;
            break;
        }
        if (container->focusNext(current, reverse)) return true;
    }
    focusOn(nullptr);
    return false;
}

void CFrame::viewGone(CView* view) {
    if (hoverView_ == view) hoverView_ = nullptr;
    if (focusView_ == view) focusView_ = nullptr;
}

// --- children --------------------------------------------------------------------------------

bool CFrame::removeChild(CView* view, bool releaseIt) {
    if (view && view == blockingView_) blockingView_ = nullptr;
    return CViewContainer::removeChild(view, releaseIt);
}

int32_t CFrame::removeAllChildren(bool releaseThem) {
    blockingView_ = nullptr;
    focusView_ = nullptr;
    hoverView_ = nullptr;
    return CViewContainer::removeAllChildren(releaseThem);
}

bool CFrame::setBlockingView(CView* view) {
    if (view && (blockingView_ || view->isAttached())) return false;
    if (blockingView_) removeChild(blockingView_, false);
    blockingView_ = view;
    return view ? appendChild(view) : true;
}

CView* CFrame::blockingView() const {
    return blockingView_;
}

CView* CFrame::viewUnderPointer() const {
    ViewPoint point;
    pointerNow(point);
    return childAtPoint(point, true);
}

void CFrame::markOverlapping(const ViewRect& rect) {
    for (ChildNode* node = firstChild_; node; node = node->next)
        if (node->view->bounds().touches(rect)) node->view->markNeedsRepaint(true);
}

// --- the editor and the window ---------------------------------------------------------------

void CFrame::setBounds(const ViewRect& rect, bool markRepaint) {
    CViewContainer::setBounds(rect, markRepaint);
}

QXAGUIEditorInterface* CFrame::owningEditor() const {
    return editor_;
}

bool CFrame::isKindOf(const char* className) const {
    return std::strcmp(className, "CFrame") == 0 || CViewContainer::isKindOf(className);
}

CView* CFrame::clone() const {
    auto* copy = new CFrame(bounds_, nullptr, editor_);
    copyContainerStateTo(*copy);
    return copy;
}

bool CFrame::windowAlive() const {
    return windowAlive_;
}

void CFrame::setWindowAlive(bool alive) {
    windowAlive_ = alive;
}

void CFrame::windowDestroyed() {
    windowAlive_ = false;
    hostWindow_ = nullptr;
    dropEnabled_ = false;
}

void* CFrame::systemWindow() const {
    return window_ ? window_->systemHandle() : nullptr;
}

void CFrame::idleFrame() {
    if (dropDue_) {
        dropDue_ = false;
        setDropEnabled(true);
    }
    if (windowAlive_) repaintDirty();
}

void CFrame::runEditorIdleNow() {
    if (editor_) editor_->runEditorIdle();
}

uint32_t CFrame::tickCount() const {
    return platform::tickCount();
}

void CFrame::pause(uint32_t milliseconds) {
    platform::sleepMilliseconds(milliseconds);
}

void CFrame::paintOnePending() {
    platform::dispatchOnePaintMessage();
}

int32_t CFrame::hostKnobStyle() const {
    return editor_ ? editor_->knobStyle() : 0;
}

bool CFrame::moveFrame(int32_t, int32_t) {
    return false;
}

bool CFrame::framePosition(int32_t& x, int32_t& y) {
    if (!windowAlive_ || !window_) return false;
    ViewPoint position;
    if (!window_->outerPosition(position)) return false;
    x = position.x;
    y = position.y;
    return true;
}

bool CFrame::resizeFrame(int32_t width, int32_t height) {
    if (!windowAlive_ || !window_) return false;
    if (width == bounds_.width() && height == bounds_.height()) return false;
    if (backbuffer_) backbuffer_->release();
    backbuffer_ = nullptr;
    window_->resizeWindows(width, height);
    setBounds({bounds_.left, bounds_.top, bounds_.left + width, bounds_.top + height}, true);
    return true;
}

bool CFrame::frameSize(ViewRect& out) {
    return window_ && windowAlive_ && window_->parentBounds(out);
}

void CFrame::editBegins(int32_t tag) {
    if (editor_) editor_->paramEditBegins(tag);
}

void CFrame::editEnds(int32_t tag) {
    if (editor_) editor_->paramEditEnds(tag);
}

bool CFrame::pointerNow(ViewPoint& point) const {
    point = platform::cursorScreenPosition();
    if (window_ && windowAlive_) {
        const ViewPoint origin = window_->screenOrigin();
        point.moveBy(-origin.x, -origin.y);
    }
    return true;
}

ButtonFlags CFrame::buttonsNow() const {
    return platform::asyncButtons();
}

void CFrame::setCursorKind(int32_t kind) {
    if (window_ && windowAlive_) window_->setCursorKind(kind);
}

bool CFrame::setDropEnabled(bool enabled) {
    dropDue_ = false;
    if (enabled == dropEnabled_) return true;
    if (!window_ || !windowAlive_) {
        dropEnabled_ = false;
        return !enabled;
    }
    // Drops need OLE on this, the window's, thread; it starts with the first of them.
    if (enabled && !oleInitialized_) oleInitialized_ = platform::initializeOle();
    const bool done = window_->enableDrop(enabled);
    if (done) dropEnabled_ = enabled;
    return done;
}

bool CFrame::dropEnabled() const {
    return dropEnabled_;
}

PointerWatcher* CFrame::pointerWatcher() const {
    return watcher_;
}

void CFrame::setPointerWatcher(PointerWatcher* watcher) {
    watcher_ = watcher;
}

} // namespace QXAGUI
