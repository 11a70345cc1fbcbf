#include "cviewcontainer.h"

#include "cbitmap.h"
#include "ccontrol.h"
#include "cdrawcontext.h"
#include "cframe.h"

#include <cstring>
#include <new>

namespace QXAGUI {

static bool isContainer(CView* view) {
    return view->handleMessage(nullptr, kMsgCheckIfViewContainer) == 1;
}

CViewContainer::CViewContainer(const ViewRect& bounds, CFrame* frame, CBitmap* background)
    : CView(bounds) {
    frame_ = frame;
    if (background) setBackdrop(background);
}

CViewContainer::~CViewContainer() {
    removeAllChildren(true);
    dropOffscreen();
}

int32_t CViewContainer::handleMessage(CBaseObject* /*sender*/, const char* message) {
    return message == kMsgCheckIfViewContainer ? 1 : 0;
}

// --- children --------------------------------------------------------------------------------

CViewContainer::ChildNode* CViewContainer::findNode(const CView* view) const {
    for (ChildNode* node = firstChild_; node; node = node->next)
        if (node->view == view) return node;
    return nullptr;
}

void CViewContainer::unlinkNode(ChildNode* node) {
    (node->previous ? node->previous->next : firstChild_) = node->next;
    (node->next ? node->next->previous : lastChild_) = node->previous;
    CView* view = node->view;
    delete node;
    view->release();
}

bool CViewContainer::insertChildBefore(CView* view, CView* before) {
    if (!view || view->isAttached()) return false;
    auto* node = new (std::nothrow) ChildNode{view, nullptr, nullptr};
    if (!node) return false;
    view->retain();
    ChildNode* next = before ? findNode(before) : nullptr;
    if (next) {
        node->next = next;
        node->previous = next->previous;
        (next->previous ? next->previous->next : firstChild_) = node;
        next->previous = node;
    } else {
        node->previous = lastChild_;
        (lastChild_ ? lastChild_->next : firstChild_) = node;
        lastChild_ = node;
    }
    if (attached_) {
        view->attachTo(this);
        view->requestRepaint();
    }
    return true;
}

bool CViewContainer::appendChild(CView* view) {
    return insertChildBefore(view, nullptr);
}

bool CViewContainer::addChildWithArea(CView* view, const ViewRect& pointerArea, bool acceptsMouse) {
    if (!appendChild(view)) return false;
    view->setAcceptsMouse(acceptsMouse);
    view->setPointerArea(pointerArea);
    return true;
}

bool CViewContainer::removeChild(CView* view, bool releaseIt) {
    ChildNode* node = findNode(view);
    if (!node) return false;
    view->requestRepaint();
    if (frame_) frame_->viewGone(view);
    // Nothing may keep pointing at a view that is about to go.
    if (pointerDownView_ == view) pointerDownView_ = nullptr;
    if (dragTarget_ == view) dragTarget_ = nullptr;
    if (attached_) view->detachFrom(this);
    if (releaseIt) view->release();
    unlinkNode(node);
    return true;
}

int32_t CViewContainer::removeAllChildren(bool releaseThem) {
    pointerDownView_ = nullptr;
    dragTarget_ = nullptr;
    while (ChildNode* node = firstChild_) {
        CView* view = node->view;
        if (frame_) frame_->viewGone(view);
        if (attached_) view->detachFrom(this);
        if (releaseThem) view->release();
        unlinkNode(node);
    }
    return 1;
}

bool CViewContainer::hasChild(const CView* view) const {
    return view && findNode(view) != nullptr;
}

int32_t CViewContainer::childCount() const {
    int32_t count = 0;
    for (ChildNode* node = firstChild_; node; node = node->next)
        ++count;
    return count;
}

CView* CViewContainer::childAt(int32_t index) const {
    if (index < 0) return nullptr;
    for (ChildNode* node = firstChild_; node; node = node->next)
        if (index-- == 0) return node->view;
    return nullptr;
}

CView* CViewContainer::childAtPoint(const ViewPoint& point, bool deep) const {
    for (ChildNode* node = lastChild_; node; node = node->previous) {
        CView* child = node->view;
        if (!child->isShown() || !child->pointerArea().pointWithinEdges(point)) continue;
        if (deep && isContainer(child)) {
            ViewPoint local = point;
            local.moveBy(-child->bounds().left, -child->bounds().top);
            return static_cast<CViewContainer*>(child)->childAtPoint(local, deep);
        }
        return child;
    }
    return nullptr;
}

CViewContainer* CViewContainer::containerAtPoint(const ViewPoint& point, bool deep) {
    for (ChildNode* node = lastChild_; node; node = node->previous) {
        CView* child = node->view;
        if (!child->isShown() || !child->pointerArea().pointWithinEdges(point) ||
            !isContainer(child))
            continue;
        auto* container = static_cast<CViewContainer*>(child);
        if (!deep) return container;
        ViewPoint local = point;
        local.moveBy(-child->bounds().left, -child->bounds().top);
        return container->containerAtPoint(local, deep);
    }
    return this;
}

ViewRect CViewContainer::localArea() const {
    return {0, 0, bounds_.width(), bounds_.height()};
}

// --- painting --------------------------------------------------------------------------------

void CViewContainer::paint(CDrawContext* context) {
    paintArea(context, bounds_);
}

void CViewContainer::makeOffscreen() {
    if (!offscreen_)
        offscreen_ = new (std::nothrow)
            COffscreenContext(frame_, bounds_.width(), bounds_.height(), kBlackColor);
}

void CViewContainer::dropOffscreen() {
    if (offscreen_) offscreen_->release();
    offscreen_ = nullptr;
}

void CViewContainer::paintArea(CDrawContext* context, const ViewRect& updateRect) {
    if (buffered_) makeOffscreen();
    const bool toOffscreen = buffered_ && offscreen_;
    CDrawContext* target = toOffscreen ? offscreen_ : context;
    if (!toOffscreen) context->shiftOrigins(bounds_.left, bounds_.top);

    ViewRect bounded = updateRect;
    bounded.bound(bounds_);
    ViewRect local = bounded;
    local.moveBy(-bounds_.left, -bounds_.top);

    ViewRect savedClip;
    target->clip(savedClip);
    ViewRect clipLocal = savedClip;
    if (toOffscreen) clipLocal = {0, 0, savedClip.width(), savedClip.height()};
    local.bound(clipLocal);
    target->setClip(local);

    paintBackdrop(target, local);

    for (ChildNode* node = firstChild_; node; node = node->next) {
        CView* child = node->view;
        if (!childOverlapsArea(child, local)) continue;
        ViewRect childClip = child->bounds();
        childClip.bound(local);
        if (childClip.isEmpty()) continue;
        target->setClip(childClip);
        child->paintArea(target, local);
    }

    target->setClip(savedClip);
    if (toOffscreen)
        offscreen_->copyTo(context, bounded, local.topLeft());
    else
        context->shiftOrigins(-bounds_.left, -bounds_.top);
    markNeedsRepaint(false);
}

void CViewContainer::paintBackdrop(CDrawContext* context, const ViewRect& rect) {
    if (backdrop_) {
        ViewRect savedClip;
        context->clip(savedClip);
        ViewRect area = rect;
        area.bound(savedClip);
        // Only the piece inside the area: the same pixels as the whole image clipped, without
        // the cost of the rest.
        area.bound({0, 0, backdrop_->width(), backdrop_->height()});
        if (!area.isEmpty()) {
            context->setClip(area);
            ViewPoint source = backdropOffset_;
            source.moveBy(area.left, area.top);
            if (seeThrough_)
                backdrop_->blitKeyed(context, area, source);
            else
                backdrop_->blit(context, area, source);
            context->setClip(savedClip);
        }
    } else if (!seeThrough_ || backdropColor_.alpha != 255) {
        context->setFillTint(backdropColor_);
        context->setStrokeTint(backdropColor_);
        context->rectangle(localArea(), DrawFilled);
    }
}

bool CViewContainer::needsRepaint() const {
    if (needsRepaint_) return true;
    const ViewRect area = localArea();
    for (ChildNode* node = firstChild_; node; node = node->next) {
        CView* child = node->view;
        if (!child->needsRepaint()) continue;
        ViewRect overlap = child->bounds();
        if (!overlap.bound(area).isEmpty()) return true;
    }
    return false;
}

void CViewContainer::requestRepaintArea(const ViewRect& rect) {
    if (!attached_ || !shown_) return;
    ViewRect area = rect;
    area.moveBy(bounds_.left, bounds_.top);
    area.bound(bounds_);
    if (area.isEmpty()) return;
    if (parent_)
        parent_->requestRepaintArea(area);
    else if (frame_ && frame_ != this)
        frame_->requestRepaintArea(area);
}

void CViewContainer::requestRepaint() {
    if (!attached_ || !shown_) return;
    if (parent_)
        parent_->requestRepaintArea(bounds_);
    else if (frame_ && frame_ != this)
        frame_->requestRepaintArea(bounds_);
}

bool CViewContainer::repaintDirty() {
    if (!shown_) return false;
    if (needsRepaint_) {
        requestRepaint();
        return true;
    }
    bool any = false;
    for (ChildNode* node = firstChild_; node; node = node->next) {
        CView* child = node->view;
        if (!child->needsRepaint() || !child->isShown()) continue;
        if (isContainer(child))
            static_cast<CViewContainer*>(child)->repaintDirty();
        else
            child->requestRepaint();
        any = true;
    }
    return any;
}

void CViewContainer::setBackdropColor(ViewColor color) {
    backdropColor_ = color;
    markNeedsRepaint(true);
}
ViewColor CViewContainer::backdropColor() const {
    return backdropColor_;
}
void CViewContainer::setBackdropOffset(ViewPoint offset) {
    backdropOffset_ = offset;
}
ViewPoint CViewContainer::backdropOffset() const {
    return backdropOffset_;
}

void CViewContainer::setBuffered(bool buffered) {
    buffered_ = buffered;
    if (!buffered) dropOffscreen();
}

// --- pointer ---------------------------------------------------------------------------------

PointerReply CViewContainer::pointerDown(const ViewPoint& point, const ButtonFlags& buttons) {
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    for (ChildNode* node = lastChild_; node; node = node->previous) {
        CView* child = node->view;
        if (!child->isShown() || !child->acceptsMouse() || !child->containsPoint(local, buttons))
            continue;
        // The press may run a modal loop in which the host closes the editor.
        RetainScope<CView> keep(child);
        if (child->isKindOf("CControl")) {
            auto* control = static_cast<CControl*>(child);
            if (control->observer() && (buttons & 0xFFu) > 7 &&
                control->observer()->controlModClicked(control, buttons) != 0)
                return Taken;
        }
        const PointerReply reply = child->pointerDown(local, buttons);
        // A container child that answers Legacy has already tracked its own child.
        if (reply == Legacy && !isContainer(child)) {
            auto* context =
                new CDrawContext(frame_, nullptr, frame_ ? frame_->systemWindow() : nullptr);
            child->legacyTrack(context, local, buttons);
            context->release();
            return Legacy;
        }
        if (reply == Taken) pointerDownView_ = child;
        return reply;
    }
    return Passed;
}

PointerReply CViewContainer::pointerUp(const ViewPoint& point, const ButtonFlags& buttons) {
    CView* view = pointerDownView_;
    if (!view) return Passed;
    pointerDownView_ = nullptr;
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    RetainScope<CView> keep(view);
    view->pointerUp(local, buttons);
    return Taken;
}

PointerReply CViewContainer::pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) {
    CView* view = pointerDownView_;
    if (!view) return Passed;
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    RetainScope<CView> keep(view);
    if (view->pointerMoved(local, buttons) == Taken) return Taken;
    if (pointerDownView_ == view) pointerDownView_ = nullptr;
    return Passed;
}

bool CViewContainer::containsPoint(const ViewPoint& point, ButtonFlags buttons) const {
    return CView::containsPoint(point, buttons);
}

bool CViewContainer::childContainsPoint(const ViewPoint& point, ButtonFlags buttons) const {
    for (ChildNode* node = firstChild_; node; node = node->next)
        if (node->view->acceptsMouse() && node->view->containsPoint(point, buttons)) return true;
    return false;
}

bool CViewContainer::scrollWheelAxis(const ViewPoint& point, int32_t axis, float distance,
                                     const ButtonFlags& buttons) {
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    CView* child = childAtPoint(local, false);
    if (!child) return false;
    RetainScope<CView> keep(child);
    return child->scrollWheelAxis(local, axis, distance, buttons);
}

bool CViewContainer::scrollWheel(const ViewPoint& point, float distance,
                                 const ButtonFlags& buttons) {
    return scrollWheelAxis(point, 1, distance, buttons);
}

void CViewContainer::legacyTrack(CDrawContext* context, const ViewPoint& point,
                                 ButtonFlags buttons) {
    if (buttons == static_cast<ButtonFlags>(-1) && context && frame_)
        buttons = frame_->buttonsNow();
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    for (ChildNode* node = lastChild_; node; node = node->previous) {
        CView* child = node->view;
        if (!child->acceptsMouse() || !child->containsPoint(local, buttons)) continue;
        RetainScope<CView> keep(child);
        child->legacyTrack(context, local, buttons);
        return;
    }
}

// --- drag and drop ---------------------------------------------------------------------------

void CViewContainer::dragEntered(CDragContainer* drag, const ViewPoint& point) {
    if (!frame_) return;
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    if (dragTarget_) dragTarget_->dragExited(drag, local);
    dragTarget_ = childAtPoint(local, false);
    if (dragTarget_) dragTarget_->dragEntered(drag, local);
}

void CViewContainer::dragHovered(CDragContainer* drag, const ViewPoint& point) {
    if (!frame_) return;
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    CView* under = childAtPoint(local, false);
    if (under != dragTarget_) {
        if (dragTarget_) dragTarget_->dragExited(drag, local);
        dragTarget_ = under;
        if (dragTarget_) dragTarget_->dragEntered(drag, local);
    } else if (dragTarget_) {
        dragTarget_->dragHovered(drag, local);
    }
}

bool CViewContainer::takesDrop(CDragContainer* drag, const ViewPoint& point) {
    if (!frame_) return false;
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    CView* under = childAtPoint(local, false);
    return under && under->takesDrop(drag, local);
}

void CViewContainer::dragExited(CDragContainer* drag, const ViewPoint& point) {
    if (!frame_) return;
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    if (dragTarget_) dragTarget_->dragExited(drag, local);
    dragTarget_ = nullptr;
}

bool CViewContainer::dropData(CDragContainer* drag, const ViewPoint& point) {
    if (!frame_) return false;
    ViewPoint local = point;
    local.moveBy(-bounds_.left, -bounds_.top);
    CView* under = childAtPoint(local, false);
    if (under != dragTarget_) {
        if (dragTarget_) dragTarget_->dragExited(drag, local);
        dragTarget_ = under;
        if (dragTarget_) dragTarget_->dragEntered(drag, local);
    }
    if (!dragTarget_) return false;
    CView* target = dragTarget_;
    RetainScope<CView> keep(target);
    const bool taken = target->dropData(drag, local);
    target->dragExited(drag, local);
    dragTarget_ = nullptr;
    return taken;
}

// --- keys, focus -----------------------------------------------------------------------------

int32_t CViewContainer::keyPressed(KeyRecord& key) {
    for (ChildNode* node = lastChild_; node; node = node->previous) {
        const int32_t answer = node->view->keyPressed(key);
        if (answer != -1) return answer;
    }
    return -1;
}

int32_t CViewContainer::keyReleased(KeyRecord& key) {
    for (ChildNode* node = lastChild_; node; node = node->previous) {
        const int32_t answer = node->view->keyReleased(key);
        if (answer != -1) return answer;
    }
    return -1;
}

void CViewContainer::loseFocus() {}
void CViewContainer::gainFocus() {}

bool CViewContainer::focusNext(CView* start, bool reverse) {
    bool skipping = start != nullptr;
    for (ChildNode* node = reverse ? lastChild_ : firstChild_; node;
         node = reverse ? node->previous : node->next) {
        CView* child = node->view;
        if (skipping) {
            if (child == start) skipping = false;
            continue;
        }
        if (child->acceptsFocus()) {
            if (frame_) frame_->focusOn(child);
            child->gainFocus();
            return true;
        }
        if (isContainer(child) && static_cast<CViewContainer*>(child)->focusNext(nullptr, reverse))
            return true;
    }
    return false;
}

// --- geometry --------------------------------------------------------------------------------

void CViewContainer::setBounds(const ViewRect& rect, bool markRepaint) {
    if (rect == bounds_) return;
    const int32_t dw = rect.width() - bounds_.width();
    const int32_t dh = rect.height() - bounds_.height();
    CView::setBounds(rect, markRepaint);
    if (dw != 0 || dh != 0) {
        const int32_t n = childCount();
        const ResizeFlags flags = resizeFlags_;
        int32_t i = 0;
        for (ChildNode* node = firstChild_; node; node = node->next, ++i) {
            CView* child = node->view;
            ViewRect area = child->bounds();
            ViewRect pointer = child->pointerArea();
            auto adjust = [&](int32_t ViewRect::*low, int32_t ViewRect::*high, int32_t delta,
                              ResizeFlags spread, ResizeFlags followLow, ResizeFlags followHigh) {
                const ResizeFlags childFlags = child->resizeFlags();
                if (flags & spread) {
                    const int32_t share = delta / n;
                    const int32_t shift = i > 0 ? share * i : 0;
                    area.*low += shift;
                    pointer.*low += shift;
                    area.*high += share * i + share;
                    pointer.*high += share * i + share;
                } else if (delta != 0 && (childFlags & followHigh)) {
                    area.*high += delta;
                    pointer.*high += delta;
                    if (!(childFlags & followLow)) {
                        area.*low += delta;
                        pointer.*low += delta;
                    }
                }
            };
            adjust(&ViewRect::left, &ViewRect::right, dw, SpreadColumns, FollowLeft, FollowRight);
            adjust(&ViewRect::top, &ViewRect::bottom, dh, SpreadRows, FollowTop, FollowBottom);
            if (!(area == child->bounds())) {
                child->setBounds(area, true);
                child->setPointerArea(pointer);
            }
        }
    }
    for (ChildNode* node = firstChild_; node; node = node->next)
        node->view->parentResized();
    if (offscreen_ && buffered_) {
        dropOffscreen();
        makeOffscreen();
    }
}

void CViewContainer::parentResized() {
    for (ChildNode* node = firstChild_; node; node = node->next)
        node->view->parentResized();
}

ViewPoint& CViewContainer::fromFrameCoords(ViewPoint& point) const {
    point.moveBy(-bounds_.left, -bounds_.top);
    if (CViewContainer* container = containerParent()) container->fromFrameCoords(point);
    return point;
}

ViewPoint& CViewContainer::toFrameCoords(ViewPoint& point) const {
    point.moveBy(bounds_.left, bounds_.top);
    if (CViewContainer* container = containerParent()) container->toFrameCoords(point);
    return point;
}

void CViewContainer::clipToVisible(ViewRect& out, const ViewRect& rect) const {
    ViewRect area = rect;
    area.moveBy(bounds_.left, bounds_.top);
    area.bound(bounds_);
    if (static_cast<const CView*>(frame_) != this) {
        if (parent_)
            parent_->clipToVisible(area, area);
        else if (frame_)
            frame_->clipToVisible(area, area);
    }
    area.moveBy(-bounds_.left, -bounds_.top);
    out = area;
}

CView* CViewContainer::viewUnderPointer() const {
    if (!frame_) return nullptr;
    ViewPoint point;
    frame_->pointerNow(point);
    fromFrameCoords(point);
    return childAtPoint(point, false);
}

bool CViewContainer::childOverlapsArea(const CView* child, const ViewRect& rect) const {
    return child->touchesArea(rect) && child->isShown();
}

// --- tree ------------------------------------------------------------------------------------

bool CViewContainer::attachTo(CViewContainer* parent) {
    if (attached_ || !parent) return false;
    if (buffered_) makeOffscreen();
    frame_ = parent->frame();
    for (ChildNode* node = firstChild_; node; node = node->next)
        node->view->attachTo(this);
    return CView::attachTo(parent);
}

bool CViewContainer::detachFrom(CViewContainer* parent) {
    if (!attached_) return false;
    dropOffscreen();
    frame_ = nullptr;
    for (ChildNode* node = firstChild_; node; node = node->next)
        node->view->detachFrom(this);
    return CView::detachFrom(parent);
}

bool CViewContainer::isKindOf(const char* className) const {
    return std::strcmp(className, "CViewContainer") == 0 || CView::isKindOf(className);
}

void CViewContainer::copyContainerStateTo(CViewContainer& copy) const {
    copyViewStateTo(copy);
    copy.backdropColor_ = backdropColor_;
    copy.backdropOffset_ = backdropOffset_;
    copy.buffered_ = buffered_;
    // The copy takes over the clone's first reference, as containers do with appended views.
    for (ChildNode* node = firstChild_; node; node = node->next)
        copy.appendChild(node->view->clone());
}

CView* CViewContainer::clone() const {
    auto* copy = new CViewContainer(bounds_, nullptr, nullptr);
    copyContainerStateTo(*copy);
    return copy;
}

} // namespace QXAGUI
