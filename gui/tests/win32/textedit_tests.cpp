// The text edit over the real system EDIT control (Wine): where the box opens and how it is
// made, typing and Return, the ways an edit ends, the edit-colour message, and that the box,
// its font and its brush go exactly once.
#include "win32_test_support.h"

#include "cdrawcontext.h"
#include "cframe.h"
#include "ctextedit.h"

namespace QXAGUI::testing {
namespace {

class Listener : public CControlListener {
public:
    void controlChanged(CControl* control) override {
        events.push_back(std::string("changed ") + static_cast<CTextEdit*>(control)->text());
    }
    void controlEditOpens(CControl*) override { events.push_back("opens"); }
    void controlEditCloses(CControl*) override { events.push_back("closes"); }
    int count(const std::string& prefix) const {
        int found = 0;
        for (const std::string& event : events)
            found += event.rfind(prefix, 0) == 0 ? 1 : 0;
        return found;
    }
    std::vector<std::string> events;
};

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

// A 300 x 200 frame in a host window; a group at (20, 30) holds the display at (10, 20, 61, 34)
// in Arial 11 (so at (30, 50) in the frame window).
class TextEditWindowTest : public HostedFrameTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFrame(L"QxaTextEditHost", 300, 200));
        auto* group = new CViewContainer({20, 30, 220, 130}, frame_);
        frame_->appendChild(group);
        edit_ = new CTextEdit({10, 20, 61, 34}, &listener_, 5, "-6.00");
        edit_->setDisplayFont(FontSmall);
        edit_->setTextAlign(AlignRight);
        edit_->setInkColor({10, 20, 30, 255});
        edit_->setPaperColor({200, 210, 220, 255});
        group->appendChild(edit_);
    }
    void TearDown() override {
        HostedFrameTest::TearDown();
        EXPECT_EQ(win32::liveEditBoxes(), 0);
    }

    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageW(window_, message, wParam, lParam);
    }
    HWND clickDisplay() {
        send(WM_LBUTTONDOWN, MK_LBUTTON, at(40, 55));
        send(WM_LBUTTONUP, 0, at(40, 55));
        return box();
    }
    HWND box() const {
        return edit_->editBox() ? static_cast<HWND>(edit_->editBox()->systemHandle()) : nullptr;
    }
    win32::Win32EditBox* boxObject() const {
        return static_cast<win32::Win32EditBox*>(edit_->editBox());
    }
    void type(HWND box, const wchar_t* text) {
        for (const wchar_t* c = text; *c; ++c)
            SendMessageW(box, WM_CHAR, *c, 1);
    }
    static std::wstring textOf(HWND window) {
        wchar_t text[300] = {};
        GetWindowTextW(window, text, 300);
        return text;
    }

    Listener listener_;
    CTextEdit* edit_ = nullptr;
};

// --- opening ---------------------------------------------------------------------------------

TEST_F(TextEditWindowTest, AClickOpensARealEditBoxOverTheDisplay) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    wchar_t className[16] = {};
    GetClassNameW(edit, className, 16);
    EXPECT_EQ(lstrcmpiW(className, L"Edit"), 0);
    EXPECT_EQ(GetParent(edit), window_);

    RECT area{};
    GetWindowRect(edit, &area);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.left, 30);
    EXPECT_EQ(area.top, 50);
    EXPECT_EQ(area.right - area.left, 52); // one pixel wider and higher than the display
    EXPECT_EQ(area.bottom - area.top, 15);

    const LONG_PTR style = GetWindowLongPtrW(edit, GWL_STYLE);
    const LONG_PTR wanted = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_RIGHT;
    EXPECT_EQ(style & (wanted | ES_CENTER | ES_MULTILINE), wanted);
    EXPECT_EQ(textOf(edit), L"-6.00");
    DWORD start = 1, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 5u);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_EQ(SendMessageW(edit, EM_GETMARGINS, 0, 0), 0);
    EXPECT_NE(SendMessageW(edit, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, 0);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(edit_));
    EXPECT_EQ(frame_->focusedView(), edit_);
}

TEST_F(TextEditWindowTest, TheBoxsFontIsTheDisplaysAtTheHeightThatFits) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    auto* font = reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0));
    ASSERT_EQ(font, boxObject()->font());
    LOGFONTW description{};
    ASSERT_EQ(GetObjectW(font, sizeof(description), &description), int(sizeof(description)));
    EXPECT_EQ(description.lfHeight, -11); // min(14 - 2, 11): the display's 11 fit
    EXPECT_EQ(description.lfWeight, FW_NORMAL);
    EXPECT_EQ(description.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(description.lfOutPrecision, OUT_STRING_PRECIS);
    EXPECT_EQ(description.lfClipPrecision, CLIP_STROKE_PRECIS);
    EXPECT_EQ(description.lfPitchAndFamily, VARIABLE_PITCH | FF_SWISS);
    EXPECT_STREQ(description.lfFaceName, L"Arial");
}

TEST_F(TextEditWindowTest, ADoubleClickToEditDisplayIgnoresASingleClick) {
    edit_->setDisplayStyle(DoubleClickToEdit);
    EXPECT_EQ(clickDisplay(), nullptr);
    EXPECT_TRUE(listener_.events.empty());
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, at(40, 55));
    EXPECT_NE(box(), nullptr);
}

// --- typing and ending -----------------------------------------------------------------------

TEST_F(TextEditWindowTest, TypedCharactersAndReturnCommitTheText) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    type(edit, L"0.5"); // replaces the selected text
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_FALSE(edit_->isEditing());
    EXPECT_TRUE(edit_->returnPressed());
    EXPECT_STREQ(edit_->text(), "0.5");
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"opens", "changed 0.5", "closes"}));
    EXPECT_EQ(frame_->focusedView(), nullptr);
}

TEST_F(TextEditWindowTest, AClickElsewhereInTheFrameEndsTheEdit) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    type(edit, L"12");
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(250, 180));
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_STREQ(edit_->text(), "12");
    EXPECT_FALSE(edit_->returnPressed());
    EXPECT_EQ(listener_.count("changed"), 1);
    EXPECT_EQ(listener_.count("closes"), 1);
}

TEST_F(TextEditWindowTest, TheKeyboardFocusLeavingTheBoxEndsTheEdit) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    ASSERT_EQ(GetFocus(), edit);
    type(edit, L"7");
    SetFocus(host_);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_STREQ(edit_->text(), "7");
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"opens", "changed 7", "closes"}));
}

TEST_F(TextEditWindowTest, TextsLongerThan255CharactersAreNotTaken) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    const std::wstring typed(300, L'\x00e9'); // two UTF-8 bytes each
    SetWindowTextW(edit, typed.c_str());      // past the typing limit, as a paste could be
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    const std::string kept = edit_->text();
    EXPECT_EQ(kept.size(), 254u); // 127 characters: the 128th would need byte 256
    EXPECT_EQ(kept.substr(0, 2), "\xC3\xA9");
}

// --- the edit-colour message -----------------------------------------------------------------

TEST_F(TextEditWindowTest, TheColourMessageColoursOnlyTheOpenBoxOfTheFocusView) {
    HDC dc = CreateCompatibleDC(nullptr);
    HWND other = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, window_, nullptr, nullptr,
                                 nullptr);
    const COLORREF ink = RGB(10, 20, 30);
    const COLORREF paper = RGB(200, 210, 220);

    // No focus view: default handling.
    auto answer = reinterpret_cast<HBRUSH>(
        send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(other)));
    EXPECT_NE(GetTextColor(dc), ink);

    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    // Another EDIT while the box is open: still default handling, and no brush is made.
    answer = reinterpret_cast<HBRUSH>(
        send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(other)));
    EXPECT_EQ(boxObject()->brush(), nullptr);

    answer = reinterpret_cast<HBRUSH>(
        send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer, boxObject()->brush());
    EXPECT_EQ(GetTextColor(dc), ink);
    EXPECT_EQ(GetBkColor(dc), paper);
    LOGBRUSH brush{};
    ASSERT_EQ(GetObjectW(answer, sizeof(brush), &brush), int(sizeof(brush)));
    EXPECT_EQ(brush.lbColor, paper);

    // Each message replaces the brush; the old one is deleted.
    auto again = reinterpret_cast<HBRUSH>(
        send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
    EXPECT_NE(again, answer);
    EXPECT_EQ(GetObjectType(answer), 0u);
    EXPECT_EQ(GetObjectType(again), DWORD(OBJ_BRUSH));

    DestroyWindow(other);
    DeleteDC(dc);
}

// --- the box goes once -----------------------------------------------------------------------

TEST_F(TextEditWindowTest, BoxFontAndBrushAreDestroyedExactlyOnce) {
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    send(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
    DeleteDC(dc);
    HFONT font = boxObject()->font();
    HBRUSH brush = boxObject()->brush();
    ASSERT_EQ(GetObjectType(font), DWORD(OBJ_FONT));
    ASSERT_EQ(GetObjectType(brush), DWORD(OBJ_BRUSH));
    EXPECT_EQ(win32::liveEditBoxes(), 1);

    type(edit, L"1");
    // Return ends the edit; destroying the box sends its kill-focus message to the text edit,
    // which must find nothing left to end.
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(win32::liveEditBoxes(), 0);
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"opens", "changed 1", "closes"}));
    // Wine reports no GDI counts (0); Windows does, and they must be back where they were.
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
}

TEST_F(TextEditWindowTest, ClosingTheFrameWhileEditingWritesNothing) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    type(edit, L"typed");
    frame_->release();
    frame_ = nullptr;
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"opens", "closes"}));
}

TEST_F(TextEditWindowTest, TheHostDestroyingItsWindowWhileEditingLeavesNothingBehind) {
    HWND edit = clickDisplay();
    ASSERT_NE(edit, nullptr);
    DestroyWindow(host_);
    host_ = nullptr;
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_FALSE(edit_->isEditing());
    EXPECT_EQ(listener_.count("opens"), listener_.count("closes"));
    frame_->release();
    frame_ = nullptr;
}

} // namespace
} // namespace QXAGUI::testing
