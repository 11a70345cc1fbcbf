#include "ctextedit.h"

#include "cdragcontainer.h"
#include "cdrawcontext.h"
#include "cframe.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace QXAGUI {

namespace {

// Copies at most 255 bytes, never cutting a UTF-8 sequence in two.
void copyTextBounded(char* destination, const char* source) {
    size_t length = std::strlen(source);
    if (length > kTextEditCapacity - 1) {
        length = kTextEditCapacity - 1;
        while (length > 0 && (static_cast<unsigned char>(source[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

} // namespace

CTextEdit::CTextEdit(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                     const char* text, CBitmap* background, DisplayStyle style)
    : CParamDisplay(bounds, background, style) {
    listener_ = listener;
    tag_ = tag;
    acceptsFocus_ = true;
    if (text) copyTextBounded(text_, text);
}

CTextEdit::~CTextEdit() {
    endEdit(false);
}

// --- painting --------------------------------------------------------------------------------

void CTextEdit::paint(CDrawContext* context) {
    if (editBox_) {
        markNeedsRepaint(false);
        return;
    }
    char shown[kTextEditCapacity] = {};
    if (textFormatterWithData_) {
        textFormatterWithData_(text_, shown, userData_);
    } else if (textFormatter_) {
        textFormatter_(text_, shown);
    } else if (formatterWithData_ || formatter_) {
        char formatted[kDisplayTextSize] = {};
        formatValue(formatted);
        copyTextBounded(text_, formatted);
        copyTextBounded(shown, text_);
    } else {
        copyTextBounded(shown, text_);
    }
    paintText(context, shown, nullptr);
    markNeedsRepaint(false);
}

// --- starting and ending an edit -------------------------------------------------------------

PointerReply CTextEdit::pointerDown(const ViewPoint& /*point*/, const ButtonFlags& buttons) {
    if (!(buttons & ButtonLeft)) return Passed;
    if (frame_ && frame_->focusedView() == this) return Passed;
    if ((style_ & DoubleClickToEdit) && !(buttons & ClickDouble)) return Passed;
    startEdit();
    return TakenNoTracking;
}

void CTextEdit::legacyTrack(CDrawContext* /*context*/, const ViewPoint& /*point*/,
                            ButtonFlags buttons) {
    if (!(buttons & ButtonLeft)) return;
    if (listener_ && (buttons & (ModShift | ModControl | ModAlt)) &&
        listener_->controlModClicked(this, buttons) != 0)
        return;
    if ((style_ & DoubleClickToEdit) && !detectDoubleClick()) return;
    if (frame_ && frame_->focusedView() == this) return;
    startEdit();
}

bool CTextEdit::startEdit() {
    RetainScope<CTextEdit> keep(this);
    editStarted(); // takes the focus and begins the gesture
    gestureOpen_ = true;
    gainFocus();
    return editBox_ != nullptr;
}

void CTextEdit::gainFocus() {
    if (editBox_ || !frame_) return;
    // Tab brings the focus here without a press: the gesture begins with the box.
    if (!gestureOpen_) {
        gestureOpen_ = true;
        if (listener_) listener_->controlEditOpens(this);
        frame_->editBegins(tag_);
    }
    returnPressed_ = false;
    ViewRect rect = bounds_;
    ViewPoint origin;
    if (CViewContainer* container = containerParent()) container->addFrameOrigin(origin);
    rect.moveBy(origin.x, origin.y);
    const int32_t fontSize = font_ ? font_->size() : 12;
    const int32_t fontHeight = std::min(rect.height() - 2, fontSize);
    std::memcpy(openedText_, text_, sizeof openedText_);
    editBox_ = platform::openTextEditBox(*this, frame_->systemWindow(), rect, text_, textAlign_,
                                         font_ ? font_->name() : "Arial", fontHeight);
    if (!editBox_) {
        // Nothing to type into: the gesture ends at once.
        gestureOpen_ = false;
        editEnded();
        return;
    }
    markNeedsRepaint(true);
}

void CTextEdit::loseFocus() {
    // The frame's guard makes the nested loseFocus of this focus change harmless.
    if (frame_ && frame_->focusedView() == this) frame_->focusOn(nullptr);
    endEdit(true);
}

void CTextEdit::endEdit(bool commit) {
    // The box leaves first: the kill-focus message its destruction sends finds no edit.
    std::unique_ptr<TextEditBox> box = std::move(editBox_);
    if (!box) return;
    // A commit calls the listener, which may drop the last other reference; a cancel may run
    // from the destructor, where nothing may be retained any more.
    std::optional<RetainScope<CTextEdit>> keep;
    if (commit) keep.emplace(this);
    // Text left as it opened is no edit, whatever was shown under the box meanwhile.
    bool changed = false;
    if (commit) {
        char typed[kTextEditCapacity];
        copyTextBounded(typed, box->text().c_str());
        changed = std::strcmp(typed, openedText_) != 0;
        if (changed) std::memcpy(text_, typed, sizeof text_);
    }
    box.reset();
    markNeedsRepaint(true);
    // The change is reported inside the gesture, before it ends.
    if (changed && listener_) listener_->controlChanged(this);
    if (gestureOpen_) {
        gestureOpen_ = false;
        if (frame_) {
            editEnded();
        } else if (listener_) {
            listener_->controlEditCloses(this);
        }
    }
    if (!commit) return;
    for (CView* receiver = parent_ ? static_cast<CView*>(parent_) : frame_; receiver;
         receiver = receiver->parent()) {
        if (receiver->handleMessage(this, kMsgLooseFocus) == 1) break;
    }
}

bool CTextEdit::detachFrom(CViewContainer* parent) {
    // Leaving the tree (the editor closes) cancels an edit: nothing is written.
    endEdit(false);
    return CParamDisplay::detachFrom(parent);
}

bool CTextEdit::takesDrop(CDragContainer* drag, const ViewPoint& /*point*/) {
    return drag && !editBox_ && drag->itemType(0) == DragItemText;
}

bool CTextEdit::dropData(CDragContainer* drag, const ViewPoint& /*point*/) {
    if (!drag || editBox_) return false;
    int32_t size = 0;
    int32_t type = DragItemNone;
    const char* dropped = drag->firstItem(size, type);
    if (!dropped || type != DragTextItem) return false;
    RetainScope<CTextEdit> keep(this);
    char before[kTextEditCapacity];
    std::memcpy(before, text_, sizeof before);
    copyTextBounded(text_, dropped);
    // The same bracket as a typed commit; the focus stays where it is.
    if (listener_) listener_->controlEditOpens(this);
    if (frame_) frame_->editBegins(tag_);
    if (std::strcmp(before, text_) != 0) {
        markNeedsRepaint(true);
        if (listener_) listener_->controlChanged(this);
    }
    editEnded();
    return true;
}

// --- the rest --------------------------------------------------------------------------------

void CTextEdit::setBounds(const ViewRect& rect, bool markRepaint) {
    CView::setBounds(rect, markRepaint);
}

void CTextEdit::parentResized() {}

bool CTextEdit::isKindOf(const char* className) const {
    return std::strcmp(className, "CTextEdit") == 0 || CParamDisplay::isKindOf(className);
}

CView* CTextEdit::clone() const {
    auto* copy = new CTextEdit(bounds_, listener_, tag_, text_, backdrop_, style_);
    copyDisplayStateTo(*copy);
    copy->textFormatter_ = textFormatter_;
    copy->textFormatterWithData_ = textFormatterWithData_;
    return copy;
}

TextEditBox* CTextEdit::openEditBox(ViewColor& ink, ViewColor& paper) const {
    if (!editBox_) return nullptr;
    ink = inkColor();
    paper = paperColor();
    return editBox_.get();
}

void CTextEdit::assignText(const char* text) {
    if (!text) {
        if (text_[0] == '\0') return;
        text_[0] = '\0';
    } else {
        char bounded[kTextEditCapacity];
        copyTextBounded(bounded, text);
        if (std::strcmp(bounded, text_) == 0) return;
        std::memcpy(text_, bounded, sizeof text_);
    }
    markNeedsRepaint(true);
}

const char* CTextEdit::text() const {
    return text_;
}

void CTextEdit::copyText(char* out) const {
    if (out) std::memcpy(out, text_, sizeof text_);
}

void CTextEdit::setTextFormatterWithData(TextFormatterWithData formatter, void* userData) {
    textFormatterWithData_ = formatter;
    userData_ = userData;
    markNeedsRepaint(true);
}

void CTextEdit::setTextFormatter(TextFormatter formatter) {
    textFormatter_ = formatter;
    markNeedsRepaint(true);
}

} // namespace QXAGUI
