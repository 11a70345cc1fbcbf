#include "cview.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"
#include "cviewcontainer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace QXAGUI {

CView::CView(const ViewRect& bounds) : bounds_(bounds), pointerArea_(bounds) {}

CView::~CView() {
    if (backdrop_) backdrop_->release();
    while (attributes_) {
        Attribute* next = attributes_->next;
        std::free(attributes_->data);
        delete attributes_;
        attributes_ = next;
    }
}

// --- painting --------------------------------------------------------------------------------

void CView::paint(CDrawContext* context) {
    if (backdrop_ && !backdropPaintedBelow(backdrop_, ViewPoint())) {
        if (seeThrough_)
            backdrop_->blitKeyed(context, bounds_);
        else
            backdrop_->blit(context, bounds_);
    }
    markNeedsRepaint(false);
}

void CView::paintArea(CDrawContext* context, const ViewRect& /*updateRect*/) {
    paint(context);
}

bool CView::touchesArea(const ViewRect& rect) const {
    return bounds_.touches(rect);
}

bool CView::needsRepaint() const {
    return needsRepaint_;
}

void CView::markNeedsRepaint(bool flag) {
    needsRepaint_ = flag;
}

void CView::requestRepaintArea(const ViewRect& rect) {
    if (!attached_ || !shown_) return;
    if (parent_)
        parent_->requestRepaintArea(rect);
    else if (frame_ && frame_ != this)
        frame_->requestRepaintArea(rect);
}

void CView::requestRepaint() {
    markNeedsRepaint(false);
    requestRepaintArea(bounds_);
}

void CView::setShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    markNeedsRepaint(true);
}

// --- pointer ---------------------------------------------------------------------------------

PointerReply CView::pointerDown(const ViewPoint&, const ButtonFlags&) {
    return Legacy;
}
PointerReply CView::pointerUp(const ViewPoint&, const ButtonFlags&) {
    return Legacy;
}
PointerReply CView::pointerMoved(const ViewPoint&, const ButtonFlags&) {
    return Legacy;
}
PointerReply CView::pointerEntered(const ViewPoint&, const ButtonFlags&) {
    return Legacy;
}
PointerReply CView::pointerExited(const ViewPoint&, const ButtonFlags&) {
    return Legacy;
}

bool CView::containsPoint(const ViewPoint& point, ButtonFlags /*buttons*/) const {
    return pointerArea_.pointWithinEdges(point);
}

bool CView::scrollWheelAxis(const ViewPoint& point, int32_t axis, float distance,
                            const ButtonFlags& buttons) {
    return scrollWheel(point, axis == 1 ? distance : -distance, buttons);
}

bool CView::scrollWheel(const ViewPoint&, float, const ButtonFlags&) {
    return false;
}

void CView::setAcceptsMouse(bool accepts) {
    acceptsMouse_ = accepts;
}
bool CView::acceptsMouse() const {
    return acceptsMouse_;
}
void CView::setPointerArea(const ViewRect& rect) {
    pointerArea_ = rect;
}
const ViewRect& CView::pointerArea() const {
    return pointerArea_;
}
void CView::copyPointerArea(ViewRect& out) const {
    out = pointerArea_;
}

// --- drag and drop, keys ---------------------------------------------------------------------

bool CView::dropData(CDragContainer*, const ViewPoint&) {
    return false;
}
void CView::dragEntered(CDragContainer*, const ViewPoint&) {}
void CView::dragExited(CDragContainer*, const ViewPoint&) {}
void CView::dragHovered(CDragContainer*, const ViewPoint&) {}

int32_t CView::keyPressed(KeyRecord&) {
    return -1;
}
int32_t CView::keyReleased(KeyRecord&) {
    return -1;
}

// --- geometry --------------------------------------------------------------------------------

void CView::setBounds(const ViewRect& rect, bool markRepaint) {
    bounds_ = rect;
    if (markRepaint) markNeedsRepaint(true);
}
const ViewRect& CView::bounds() const {
    return bounds_;
}
void CView::copyBounds(ViewRect& out) const {
    out = bounds_;
}

void CView::visibleBounds(ViewRect& out) const {
    if (parent_)
        parent_->clipToVisible(out, bounds_);
    else if (frame_ && frame_ != this)
        frame_->clipToVisible(out, bounds_);
    else
        out = ViewRect();
}

void CView::parentResized() {}

ViewPoint& CView::fromFrameCoords(ViewPoint& point) const {
    if (CViewContainer* container = containerParent()) container->fromFrameCoords(point);
    return point;
}

bool CView::takesDrop(CDragContainer* /*drag*/, const ViewPoint& /*point*/) {
    return false;
}

TextEditBox* CView::openEditBox(ViewColor& /*ink*/, ViewColor& /*paper*/) const {
    return nullptr;
}

bool CView::backdropPaintedBelow(const CBitmap* bitmap, ViewPoint source) const {
    CViewContainer* container = containerParent();
    if (!bitmap || !container || container->backdrop() != bitmap || container->seeThrough() ||
        !bitmap->isOpaque())
        return false;
    ViewPoint shown = bounds_.topLeft();
    const ViewPoint offset = container->backdropOffset();
    shown.moveBy(offset.x, offset.y);
    return shown == source;
}

ViewPoint& CView::toFrameCoords(ViewPoint& point) const {
    if (CViewContainer* container = containerParent()) container->toFrameCoords(point);
    return point;
}

void CView::setResizeFlags(ResizeFlags flags) {
    resizeFlags_ = flags;
}
ResizeFlags CView::resizeFlags() const {
    return resizeFlags_;
}

// --- focus, background -----------------------------------------------------------------------

void CView::loseFocus() {}
void CView::gainFocus() {}
bool CView::acceptsFocus() const {
    return acceptsFocus_;
}
void CView::setAcceptsFocus(bool accepts) {
    acceptsFocus_ = accepts;
}

void CView::setBackdrop(CBitmap* bitmap) {
    if (bitmap) bitmap->retain();
    if (backdrop_) backdrop_->release();
    backdrop_ = bitmap;
    markNeedsRepaint(true);
}
CBitmap* CView::backdrop() const {
    return backdrop_;
}
void CView::setSeeThrough(bool seeThrough) {
    seeThrough_ = seeThrough;
}
bool CView::seeThrough() const {
    return seeThrough_;
}

// --- tree ------------------------------------------------------------------------------------

bool CView::detachFrom(CViewContainer* /*parent*/) {
    if (!attached_) return false;
    // A view deep inside a removed container may be the focus or hover view.
    if (frame_ && frame_ != this) frame_->viewGone(this);
    parent_ = nullptr;
    frame_ = nullptr;
    attached_ = false;
    return true;
}

bool CView::attachTo(CViewContainer* parent) {
    if (attached_ || !parent) return false;
    parent_ = parent;
    frame_ = parent->frame();
    attached_ = true;
    return true;
}

QXAGUIEditorInterface* CView::owningEditor() const {
    return frame_ && frame_ != this ? frame_->owningEditor() : nullptr;
}

bool CView::isKindOf(const char* className) const {
    return std::strcmp(className, "CView") == 0;
}

CView* CView::clone() const {
    auto* copy = new CView(bounds_);
    copyViewStateTo(*copy);
    return copy;
}

void CView::legacyTrack(CDrawContext*, const ViewPoint&, ButtonFlags) {}

void CView::pointerLocation(CDrawContext* context, ViewPoint& point) const {
    if (CViewContainer* container = containerParent()) {
        const ViewPoint origin = container->bounds().topLeft();
        context->shiftOrigins(origin.x, origin.y);
        container->pointerLocation(context, point);
        context->shiftOrigins(-origin.x, -origin.y);
    } else {
        context->cursorPosition(point);
    }
}

void CView::setParent(CViewContainer* container) {
    parent_ = container;
}

void CView::setOwnerFrame(CFrame* frame) {
    frame_ = frame;
}

void CView::addFrameOrigin(ViewPoint& point) const {
    point.moveBy(bounds_.left, bounds_.top);
    if (CViewContainer* container = containerParent()) container->addFrameOrigin(point);
}

CViewContainer* CView::containerParent() const {
    if (parent_ && parent_->handleMessage(const_cast<CView*>(this), kMsgCheckIfViewContainer) == 1)
        return parent_;
    return nullptr;
}

void CView::copyViewStateTo(CView& copy) const {
    copy.bounds_ = bounds_;
    copy.pointerArea_ = pointerArea_;
    copy.acceptsMouse_ = acceptsMouse_;
    copy.seeThrough_ = seeThrough_;
    copy.acceptsFocus_ = acceptsFocus_;
    copy.resizeFlags_ = resizeFlags_;
    copy.setBackdrop(backdrop_);
    copy.needsRepaint_ = false;
    for (const Attribute* entry = attributes_; entry; entry = entry->next)
        copy.writeAttribute(entry->id, entry->size, entry->data);
}

// --- attributes ------------------------------------------------------------------------------

const CView::Attribute* CView::findAttribute(uint32_t id) const {
    for (const Attribute* entry = attributes_; entry; entry = entry->next)
        if (entry->id == id) return entry;
    return nullptr;
}

bool CView::attributeSize(uint32_t id, int32_t& size) const {
    const Attribute* entry = findAttribute(id);
    if (!entry) return false;
    size = entry->size;
    return true;
}

bool CView::readAttribute(uint32_t id, int32_t bufferSize, void* buffer, int32_t& size) const {
    const Attribute* entry = findAttribute(id);
    if (!entry || bufferSize < entry->size || !buffer) return false;
    if (entry->size > 0) std::memcpy(buffer, entry->data, static_cast<size_t>(entry->size));
    size = entry->size;
    return true;
}

bool CView::writeAttribute(uint32_t id, int32_t size, const void* data) {
    if (size < 0 || (size > 0 && !data)) return false;
    auto* entry = const_cast<Attribute*>(findAttribute(id));
    if (entry) {
        if (size > entry->size) {
            void* grown = std::realloc(entry->data, static_cast<size_t>(size));
            if (!grown) return false;
            entry->data = grown;
        }
    } else {
        void* block = std::malloc(size > 0 ? static_cast<size_t>(size) : 1);
        if (!block) return false;
        entry = new (std::nothrow) Attribute{nullptr, block, 0, id};
        if (!entry) {
            std::free(block);
            return false;
        }
        Attribute** tail = &attributes_;
        while (*tail)
            tail = &(*tail)->next;
        *tail = entry;
    }
    if (size > 0) std::memcpy(entry->data, data, static_cast<size_t>(size));
    entry->size = size;
    return true;
}

bool CView::removeAttribute(uint32_t id) {
    for (Attribute** link = &attributes_; *link; link = &(*link)->next) {
        if ((*link)->id != id) continue;
        Attribute* gone = *link;
        *link = gone->next;
        std::free(gone->data);
        delete gone;
        return true;
    }
    return false;
}

} // namespace QXAGUI
