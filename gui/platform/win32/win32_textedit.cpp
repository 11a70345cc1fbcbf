// The text edit's box: a system EDIT child of the frame window placed over the text edit, in
// the display's font, with a window procedure of the toolkit's in front of the class's own.
//
// What the box's procedure does before the class's procedure sees the message:
//   WM_KILLFOCUS            the text edit's loseFocus (ends the edit, unless it is already over)
//   WM_GETDLGCODE           adds DLGC_WANTALLKEYS: a dialog host must not take Return or Tab
//   WM_KEYDOWN Return       the text edit notes Return and the frame clears the focus (which
//                           ends the edit and destroys the box inside this very message)
//   WM_NCDESTROY            a box destroyed with its parent is forgotten by its owner's box
// A message whose handling destroyed the box is not passed on.
#include "win32_platform.h"

#include "cframe.h"
#include "ctextedit.h"

namespace QXAGUI {
namespace win32 {
namespace {

// The class procedure of the system's EDIT control: one value for the module, as only one box
// is open at a time (the frame has one focus view).
WNDPROC previousEditProcedure = nullptr;
int32_t liveBoxes = 0;

constexpr int32_t kEditBoxCharacters = 255;

Win32EditBox* boxOf(CTextEdit& owner, HWND window) {
    TextEditBox* box = owner.editBox();
    return box && box->systemHandle() == window ? static_cast<Win32EditBox*>(box) : nullptr;
}

void returnPressed(CTextEdit& owner) {
    owner.noteReturnPressed();
    CFrame* frame = owner.frame();
    if (!frame) return;
    // The listener hears of the new text from here: keep the frame, and let the editor defer a
    // close the host asks for meanwhile, as for the frame window's own messages.
    QXAGUIEditorInterface* editor = frame->editor();
    if (editor) editor->enterEditorCall();
    {
        RetainScope<CFrame> keepFrame(frame);
        frame->focusOn(nullptr);
    }
    if (editor) editor->leaveEditorCall();
}

LRESULT CALLBACK editBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* owner = reinterpret_cast<CTextEdit*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner) {
        switch (message) {
        case WM_KILLFOCUS:
            owner->loseFocus();
            break;
        case WM_GETDLGCODE:
            return CallWindowProcW(previousEditProcedure, window, message, wParam, lParam) |
                   DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) returnPressed(*owner);
            break;
        case WM_NCDESTROY:
            if (Win32EditBox* box = boxOf(*owner, window)) box->forgetWindow();
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            break;
        default:
            break;
        }
    }
    if (!IsWindow(window)) return 0;
    return CallWindowProcW(previousEditProcedure, window, message, wParam, lParam);
}

} // namespace

Win32EditBox::Win32EditBox(HWND window, HFONT font) : window_(window), font_(font) {
    ++liveBoxes;
}

Win32EditBox::~Win32EditBox() {
    --liveBoxes;
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
    if (font_) DeleteObject(font_);
    if (brush_) DeleteObject(brush_);
}

std::string Win32EditBox::text() const {
    if (!window_) return {};
    wchar_t wide[kEditBoxCharacters + 1] = {};
    const int length = GetWindowTextW(window_, wide, kEditBoxCharacters + 1);
    return narrow(wide, length > 0 ? static_cast<size_t>(length) : 0, kEditBoxCharacters);
}

HBRUSH Win32EditBox::replaceBrush(COLORREF colour) {
    // Made before the old one goes, so it never comes back with the old one's handle.
    HBRUSH old = brush_;
    brush_ = CreateSolidBrush(colour);
    if (old) DeleteObject(old);
    return brush_;
}

int32_t liveEditBoxes() {
    return liveBoxes;
}

} // namespace win32

namespace platform {

std::unique_ptr<TextEditBox> openTextEditBox(CTextEdit& owner, void* frameWindow,
                                             const ViewRect& rect, const char* text, int32_t align,
                                             const char* fontName, int32_t fontHeight) {
    auto* parent = static_cast<HWND>(frameWindow);
    if (!parent) return nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
    if (align == AlignCenter)
        style |= ES_CENTER;
    else if (align == AlignRight)
        style |= ES_RIGHT;
    const std::wstring wide = win32::widen(text);
    HWND box =
        CreateWindowExW(0, L"EDIT", wide.c_str(), style, rect.left, rect.top, rect.width() + 1,
                        rect.height() + 1, parent, nullptr, win32::toolkitModule(), nullptr);
    if (!box) return nullptr;
    HFONT font = CreateFontW(-fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_STRING_PRECIS, CLIP_STROKE_PRECIS, DEFAULT_QUALITY,
                             VARIABLE_PITCH | FF_SWISS, win32::widen(fontName).c_str());
    auto editBox = std::make_unique<win32::Win32EditBox>(box, font);

    SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&owner));
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SendMessageW(box, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    SendMessageW(box, EM_SETSEL, 0, -1);
    SendMessageW(box, EM_LIMITTEXT, win32::kEditBoxCharacters, 0);
    // The procedure goes in before the box takes the focus, so that no loss of it is missed.
    win32::previousEditProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&win32::editBoxProcedure)));
    SetFocus(box);
    return editBox;
}

} // namespace platform
} // namespace QXAGUI
