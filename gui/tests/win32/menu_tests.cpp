// The option menu's pop-up as the system menu calls build it (Wine): entries, ids, columns,
// check marks, greyed and title entries, separators, submenus, icons and owner-drawn entries,
// inspected without tracking the menu; and a tracked pop-up driven by the keyboard.
#include "win32_test_support.h"

#include "cbitmap.h"
#include "cframe.h"
#include "coptionmenu.h"

namespace QXAGUI::testing {
namespace {

std::wstring menuText(HMENU menu, UINT position) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}

UINT stateAt(HMENU menu, UINT position) {
    return GetMenuState(menu, position, MF_BYPOSITION);
}

class MenuBuildTest : public GraphicsTest {
protected:
    void TearDown() override {
        for (COptionMenu* menu : menus_)
            menu->release();
        GraphicsTest::TearDown();
    }
    COptionMenu* makeMenu(std::initializer_list<const char*> titles, DisplayStyle style = 0) {
        auto* menu = new COptionMenu({0, 0, 80, 14}, nullptr, 1, nullptr, style);
        for (const char* title : titles)
            menu->addEntry(title);
        menus_.push_back(menu);
        return menu;
    }

private:
    std::vector<COptionMenu*> menus_;
};

TEST_F(MenuBuildTest, EntriesSeparatorsAndSubmenusTakeConsecutiveIds) {
    COptionMenu* menu = makeMenu({"Time", "-", "Delay", "Pan"});
    menu->setNumberingStyle(3);
    COptionMenu* sub = makeMenu({"x", "y"});
    menu->entry(2)->setSubmenu(sub);

    win32::BuiltMenu built(*menu);
    HMENU root = built.handle();
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(GetMenuItemCount(root), 4);
    EXPECT_EQ(GetMenuItemID(root, 0), 1u);
    EXPECT_EQ(menuText(root, 0), L"01 Time");
    EXPECT_NE(stateAt(root, 1) & MF_SEPARATOR, 0u);
    HMENU child = GetSubMenu(root, 2);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(menuText(root, 2), L"03 Delay");
    EXPECT_EQ(GetMenuItemID(root, 3), 4u);
    EXPECT_EQ(menuText(root, 3), L"04 Pan");
    ASSERT_EQ(GetMenuItemCount(child), 2);
    EXPECT_EQ(GetMenuItemID(child, 0), 5u); // after the four of the menu
    EXPECT_EQ(GetMenuItemID(child, 1), 6u);
    EXPECT_EQ(menuText(child, 1), L"y"); // the submenu's own numbering: none

    ASSERT_NE(built.entryFor(5), nullptr);
    EXPECT_EQ(built.entryFor(5)->menu, sub);
    EXPECT_EQ(built.entryFor(5)->index, 0);
    EXPECT_EQ(built.entryFor(4)->menu, menu);
    EXPECT_EQ(built.entryFor(4)->index, 3);
    EXPECT_EQ(built.entryFor(0), nullptr);
    EXPECT_EQ(built.entryFor(7), nullptr);
}

TEST_F(MenuBuildTest, ColumnsBreakAfterEveryNEntriesBelow160Entries) {
    COptionMenu* menu = makeMenu({"1", "2", "3", "4", "5", "6", "7"});
    menu->setEntriesPerColumn(3);
    {
        win32::BuiltMenu built(*menu);
        for (UINT i = 0; i < 7; ++i) {
            const bool breaks = (stateAt(built.handle(), i) & MF_MENUBARBREAK) != 0;
            EXPECT_EQ(breaks, i == 3 || i == 6) << i;
        }
    }
    while (menu->entryCount() < 160)
        menu->addEntry("more");
    win32::BuiltMenu built(*menu);
    for (UINT i = 0; i < 160; ++i)
        ASSERT_EQ(stateAt(built.handle(), i) & MF_MENUBARBREAK, 0u) << i;
}

TEST_F(MenuBuildTest, CheckMarksFollowTheStyle) {
    COptionMenu* menu = makeMenu({"a", "b", "c"});
    menu->entry(0)->setTicked(true);
    menu->entry(2)->setTicked(true);
    menu->setCurrent(2);
    auto checked = [&](DisplayStyle style) {
        menu->setDisplayStyle(style);
        win32::BuiltMenu built(*menu);
        std::vector<bool> marks;
        for (UINT i = 0; i < 3; ++i)
            marks.push_back((stateAt(built.handle(), i) & MF_CHECKED) != 0);
        return marks;
    };
    EXPECT_EQ(checked(0), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(checked(MenuCheckTicked), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(checked(MenuCheckCurrent), (std::vector<bool>{false, false, true}));
    menu->setCurrent(1); // current but not ticked
    EXPECT_EQ(checked(MenuCheckCurrent), (std::vector<bool>{false, false, false}));
}

TEST_F(MenuBuildTest, DisabledEntriesAreGreyedAndTitlesOnlyInert) {
    COptionMenu* menu = makeMenu({"off", "Heading", "on"});
    menu->entry(0)->setEnabled(false);
    menu->entry(1)->setIsTitle(true);
    win32::BuiltMenu built(*menu);
    EXPECT_EQ(stateAt(built.handle(), 0) & (MF_GRAYED | MF_DISABLED), UINT(MF_GRAYED));
    EXPECT_EQ(stateAt(built.handle(), 1) & (MF_GRAYED | MF_DISABLED), UINT(MF_DISABLED));
    EXPECT_EQ(stateAt(built.handle(), 2) & (MF_GRAYED | MF_DISABLED), 0u);
}

TEST_F(MenuBuildTest, AnIconBecomesTheEntrysBitmapAndGoesWithTheMenu) {
    COptionMenu* menu = makeMenu({"a"});
    auto* icon = new CBitmap(8, 8);
    menu->entry(0)->setIcon(icon);
    icon->release();
    HBITMAP bitmap = nullptr;
    {
        win32::BuiltMenu built(*menu);
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_BITMAP;
        ASSERT_TRUE(GetMenuItemInfoW(built.handle(), 0, TRUE, &info));
        bitmap = info.hbmpItem;
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(GetObjectType(bitmap), DWORD(OBJ_BITMAP));
    }
    EXPECT_EQ(GetObjectType(bitmap), 0u);
}

TEST_F(MenuBuildTest, AMenuInsideItselfIsNotFollowed) {
    COptionMenu* menu = makeMenu({"a", "again"});
    menu->entry(1)->setSubmenu(menu);
    {
        win32::BuiltMenu built(*menu);
        EXPECT_EQ(GetMenuItemCount(built.handle()), 2);
        EXPECT_EQ(GetSubMenu(built.handle(), 1), nullptr);
    }
    menu->entry(1)->setSubmenu(nullptr); // the menu held itself
}

// --- owner-drawn entries and a tracked pop-up -------------------------------------------------

class RecordingScheme : public COptionMenuScheme {
public:
    void entrySize(const CMenuItem& item, int32_t& width, int32_t& height) override {
        measured.push_back(item.title());
        width = 70;
        height = 18;
    }
    void paintEntry(CDrawContext*, const ViewRect& rect, const CMenuItem& item,
                    int32_t state) override {
        painted.push_back(item.title());
        lastRect = rect;
        lastState = state;
    }
    void paintOpenMenu(CDrawContext*, COptionMenu&, const char*) override {}

    std::vector<std::string> measured, painted;
    ViewRect lastRect;
    int32_t lastState = 0;
};

class MenuListener : public CControlListener {
public:
    void controlChanged(CControl* control) override { changed.push_back(control); }
    std::vector<CControl*> changed;
};

// A frame in a host window with an option menu at (10, 20, 90, 34).
class PopUpTest : public HostedFrameTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFrame(L"QxaMenuHost", 200, 100));
        menu_ = new COptionMenu({10, 20, 90, 34}, &listener_, 3);
        for (const char* title : {"one", "two", "three"})
            menu_->addEntry(title);
        frame_->appendChild(menu_);
    }

    MenuListener listener_;
    COptionMenu* menu_ = nullptr;
};

TEST_F(PopUpTest, AMenuWithASchemeHasItsEntriesMeasuredAndDrawnByIt) {
    auto* scheme = new RecordingScheme;
    menu_->setScheme(scheme);
    scheme->release();
    menu_->entry(1)->setTicked(true);
    win32::BuiltMenu built(*menu_);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoW(built.handle(), 1, TRUE, &info));
    EXPECT_NE(info.fType & MFT_OWNERDRAW, 0u);
    EXPECT_EQ(info.dwItemData, 2u); // the entry's id

    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 2, 0, 0, 2};
    EXPECT_EQ(SendMessageW(window_, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), 0)
        << "not tracked: default handling";
    EXPECT_TRUE(scheme->measured.empty());

    win32::TrackedMenuScope tracked(built);
    EXPECT_EQ(SendMessageW(window_, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), TRUE);
    EXPECT_EQ(scheme->measured, (std::vector<std::string>{"two"}));
    EXPECT_EQ(measure.itemWidth, 70u);
    EXPECT_EQ(measure.itemHeight, 18u);

    HDC dc = CreateCompatibleDC(nullptr);
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_MENU;
    draw.itemID = 2;
    draw.itemState = ODS_SELECTED | ODS_CHECKED;
    draw.hDC = dc;
    draw.rcItem = {0, 18, 70, 36};
    draw.itemData = 2;
    EXPECT_EQ(SendMessageW(window_, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), TRUE);
    DeleteDC(dc);
    EXPECT_EQ(scheme->painted, (std::vector<std::string>{"two"}));
    EXPECT_EQ(scheme->lastRect, (ViewRect{0, 18, 70, 36}));
    EXPECT_EQ(scheme->lastState, COptionMenuScheme::Selected | COptionMenuScheme::Checked);
}

// Keys posted from a timer reach the pop-up's own message loop, as a user's would. Should
// they not, a second timer ends the menu so that the test fails instead of waiting forever.
std::vector<WPARAM> keysToPost;
void CALLBACK postKeys(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    for (WPARAM key : keysToPost) {
        PostMessageW(menuWindow, WM_KEYDOWN, key, 1);
        PostMessageW(menuWindow, WM_KEYUP, key, 0xC0000001);
    }
}
void CALLBACK endMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
}

// Clicks the menu and lets keys choose in the pop-up that opens.
void clickAndPress(HWND frameWindow, std::vector<WPARAM> keys) {
    keysToPost = std::move(keys);
    SetTimer(nullptr, 0, 50, postKeys);
    const UINT_PTR safety = SetTimer(nullptr, 0, 3000, endMenu);
    SendMessageW(frameWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 25));
    KillTimer(nullptr, safety);
}

TEST_F(PopUpTest, AnEntryChosenInTheTrackedPopUpReachesTheListener) {
    clickAndPress(window_, {VK_DOWN, VK_DOWN, VK_RETURN}); // the second entry
    EXPECT_EQ(menu_->currentIndex(), 1);
    EXPECT_EQ(listener_.changed, (std::vector<CControl*>{menu_}));
    EXPECT_EQ(frame_->focusedView(), nullptr);
}

TEST_F(PopUpTest, ADismissedPopUpChangesNothing) {
    menu_->setCurrent(0);
    clickAndPress(window_, {VK_ESCAPE});
    EXPECT_EQ(menu_->currentIndex(), 0);
    EXPECT_TRUE(listener_.changed.empty());
}

} // namespace
} // namespace QXAGUI::testing
