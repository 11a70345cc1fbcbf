// CTextEdit: a parameter display whose text the user can type. A click (or a double click,
// with DoubleClickToEdit) places the system's single-line edit box exactly over the display;
// Return or the loss of the keyboard focus reads the text back, removes the box and tells the
// listener when the text changed.
//
// Editing, as a table (each row is also a test):
//   press (left)            -> the display takes the focus, the gesture begins, the box opens
//   press while editing     -> passed on: the box itself gets it
//   Tab onto the display    -> the box opens and the gesture begins (one begin, one end)
//   Return in the box       -> the edit ends: text read back, gesture ends, listener told if
//                              it differs from the text the box opened with
//   focus elsewhere / click -> the same as Return
//   box destroyed           -> its kill-focus message does not end the edit a second time
//   text dropped on it      -> taken as if typed and committed, inside one gesture (files,
//                              and anything while the box is open, are refused)
//   editor closed, display
//   removed or destroyed    -> the box goes without a word to the listener; the gesture ends
#pragma once

#include "cparamdisplay.h"

#include <memory>

namespace QXAGUI {

class TextEditBox;

// Style bit: a double click starts editing.
inline constexpr DisplayStyle DoubleClickToEdit = 0x2000;
inline constexpr int32_t kTextEditCapacity = 256; // 255 UTF-8 bytes and a terminating zero

using TextFormatter = void (*)(const char* text, char* output);
using TextFormatterWithData = void (*)(const char* text, char* output, void* userData);

class CTextEdit : public CParamDisplay {
public:
    CTextEdit(const ViewRect& bounds, CControlListener* listener, int32_t tag,
              const char* text = nullptr, CBitmap* background = nullptr, DisplayStyle style = 0);
    // An open edit ends first, without telling the listener.
    ~CTextEdit() override;

    // --- CView / CParamDisplay ------------------------------------------------------------
    // While the box is open the system draws it: only the repaint state is cleared.
    void paint(CDrawContext* context) override;
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    void legacyTrack(CDrawContext* context, const ViewPoint& point, ButtonFlags buttons) override;
    void setBounds(const ViewRect& rect, bool markRepaint = true) override;
    void parentResized() override;
    // Ends the edit: reads the box back, destroys it, tells the listener of a changed text.
    void loseFocus() override;
    // Opens the box over the display (nothing when one is open).
    void gainFocus() override;
    // Leaving the view tree while editing cancels the edit.
    bool detachFrom(CViewContainer* parent) override;
    bool dropData(CDragContainer* drag, const ViewPoint& point) override;
    // Text, while no box is open.
    bool takesDrop(CDragContainer* drag, const ViewPoint& point) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;
    // The box while editing, in the display's ink on its paper.
    TextEditBox* openEditBox(ViewColor& ink, ViewColor& paper) const override;

    // --- the text edit's own --------------------------------------------------------------
    // At most 255 bytes are kept; an equal text changes nothing; null empties it.
    virtual void assignText(const char* text);
    virtual const char* text() const;
    // out holds at least kTextEditCapacity bytes.
    virtual void copyText(char* out) const;
    virtual void setTextFormatterWithData(TextFormatterWithData formatter, void* userData);
    virtual void setTextFormatter(TextFormatter formatter);

    bool isEditing() const { return editBox_ != nullptr; }
    // Held while the box is open, too: a refresh must not change the text under it.
    bool isHeld() const override { return isEditing() || CParamDisplay::isHeld(); }
    TextEditBox* editBox() const { return editBox_.get(); }
    // The box saw Return (for the box's window procedure).
    void noteReturnPressed() { returnPressed_ = true; }
    bool returnPressed() const { return returnPressed_; }

protected:
    // Ends an open edit. commit: read the text back and tell the listener of a change.
    void endEdit(bool commit);

private:
    bool startEdit();

    std::unique_ptr<TextEditBox> editBox_;
    bool returnPressed_ = false;
    bool gestureOpen_ = false;
    char text_[kTextEditCapacity] = {};
    // The text the box opened with: only a different text is a change.
    char openedText_[kTextEditCapacity] = {};
    TextFormatter textFormatter_ = nullptr;
    TextFormatterWithData textFormatterWithData_ = nullptr;
};

} // namespace QXAGUI
