// COptionMenu: a display that shows the current entry of a list and, on a click, opens the
// system's pop-up menu of its entries (with submenus) for the user to choose another.
// CMenuItem is one entry; COptionMenuScheme draws the entries of menus that have one.
//
// Choosing, as a table (each row is also a test):
//   left or right press      -> the menu takes the focus, the gesture begins, the pop-up opens
//                               at the menu's bottom-left (its top-left with MenuOpensAtTop)
//   an entry chosen          -> its menu (this one or a submenu) stores the index, becomes the
//                               last chosen menu, and the listener hears controlChanged(it)
//   dismissed                -> nothing stored, nothing heard
//   either way               -> the focus is cleared, the gesture ends, "LooseFocus" goes up
//   Tab onto the menu        -> nothing opens (only a press does)
//
// Pop-up entries: ids run consecutively across the menu and its submenus; titles carry the
// numbering prefix; with entriesPerColumn set (and fewer than 160 entries) every entry whose
// number - 1 is a positive multiple of it starts a column; Disabled entries are greyed and
// IsTitle entries disabled but drawn plainly; a Ticked entry shows its check mark with
// MenuCheckTicked, or with MenuCheckCurrent when it is the current entry.
#pragma once

#include "cparamdisplay.h"

#include <string>
#include <vector>

namespace QXAGUI {

class COptionMenu;

// Style bits of option menus (beside the display's).
enum : DisplayStyle {
    MenuCheckTicked = 0x1,    // every ticked entry shows its check mark
    MenuOpensAtTop = 0x200,   // the pop-up opens at the menu's top instead of its bottom
    MenuCheckCurrent = 0x400, // only the current entry shows its tick
};

// Column breaks apply only to menus with fewer entries than this.
inline constexpr int32_t kMenuColumnLimit = 160;

class CMenuItem : public CBaseObject {
public:
    enum Flags : int32_t { Disabled = 0x1, IsTitle = 0x2, Ticked = 0x4, Separator = 0x8 };

    // The submenu and icon are retained.
    explicit CMenuItem(const char* title, int32_t flags = 0, COptionMenu* submenu = nullptr,
                       CBitmap* icon = nullptr);
    ~CMenuItem() override;

    virtual void setTitle(const char* title);
    // Retains the new submenu, releases the old one.
    virtual void setSubmenu(COptionMenu* submenu);
    // A keyboard shortcut shown by menus that draw one (none in this system).
    virtual void setKey(const char* key, int32_t modifiers);
    // Clears or sets Disabled.
    virtual void setEnabled(bool enabled);
    virtual void setIsTitle(bool isTitle);
    virtual void setTicked(bool ticked);
    virtual void setSeparator(bool separator);
    // Retains the new icon, releases the old one.
    virtual void setIcon(CBitmap* icon);

    const char* title() const { return title_.c_str(); }
    const char* key() const { return key_.c_str(); }
    int32_t keyModifiers() const { return keyModifiers_; }
    COptionMenu* submenu() const { return submenu_; }
    CBitmap* icon() const { return icon_; }
    int32_t flags() const { return flags_; }
    bool isEnabled() const { return !(flags_ & Disabled); }
    bool isTitle() const { return (flags_ & IsTitle) != 0; }
    bool isTicked() const { return (flags_ & Ticked) != 0; }
    bool isSeparator() const { return (flags_ & Separator) != 0; }

private:
    void setFlag(int32_t flag, bool on);

    std::string title_;
    std::string key_;
    int32_t keyModifiers_ = 0;
    COptionMenu* submenu_ = nullptr;
    CBitmap* icon_ = nullptr;
    int32_t flags_ = 0;
};

// Draws the entries of the menus that have it (the platform then leaves them to the owner)
// and the menu's display while its pop-up is open. This system has no scheme of its own.
class COptionMenuScheme : public CBaseObject {
public:
    // Entry states for paintEntry.
    enum State : int32_t { Selected = 0x1, Greyed = 0x2, Checked = 0x4 };

    // The size an entry needs in the pop-up.
    virtual void entrySize(const CMenuItem& item, int32_t& width, int32_t& height) = 0;
    // Paints one entry of the pop-up into rect.
    virtual void paintEntry(CDrawContext* context, const ViewRect& rect, const CMenuItem& item,
                            int32_t state) = 0;
    // Paints the menu's display while its pop-up is open; text is the current entry's.
    virtual void paintOpenMenu(CDrawContext* context, COptionMenu& menu, const char* text) = 0;
};

class COptionMenu : public CParamDisplay {
public:
    COptionMenu(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                CBitmap* background = nullptr, DisplayStyle style = 0);
    // Releases every entry and the scheme.
    ~COptionMenu() override;

    // --- CView / CControl -----------------------------------------------------------------
    // The current entry's text through paintText (the scheme's while the pop-up is open).
    void paint(CDrawContext* context) override;
    // A left or right press opens the pop-up (see the table above).
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override;
    // Sends "LooseFocus" up the ancestors.
    void loseFocus() override;
    // Opens the pop-up after a press; nothing otherwise.
    void gainFocus() override;
    // The index int(value) when value lies in [0, count); anything else (NaN, out of range)
    // changes nothing.
    void storeValue(float value) override;
    bool isKindOf(const char* className) const override;
    CView* clone() const override;

    // --- entries --------------------------------------------------------------------------
    // A new entry of that title at index (-1: at the end); the title "-" adds a separator.
    // Null when index is past the end.
    virtual CMenuItem* addEntry(const char* title, int32_t index = -1, int32_t flags = 0);
    // Retains item; inserts it at index (-1: at the end). Null when refused.
    virtual CMenuItem* addEntry(CMenuItem* item, int32_t index = -1);
    virtual CMenuItem* addSeparator();
    virtual bool removeEntry(int32_t index);
    virtual void removeAllEntries();
    virtual CMenuItem* entry(int32_t index) const;
    virtual int32_t entryCount() const;
    // The entry's title as the pop-up shows it, with the numbering prefix.
    virtual std::string entryText(int32_t index) const;

    // --- the current entry ----------------------------------------------------------------
    // -1 when there is none.
    virtual int32_t currentIndex() const;
    virtual CMenuItem* currentEntry() const;
    // False (nothing changes) when index is not an entry's.
    virtual bool setCurrent(int32_t index);
    // By visible index: separators are not counted.
    virtual bool setCurrentVisible(int32_t visibleIndex);
    // storeValue, and with moveTick the Ticked flag leaves the old current entry for the new.
    void storeValue(float value, bool moveTick);

    // --- presentation ---------------------------------------------------------------------
    // 0: no column breaks.
    virtual void setEntriesPerColumn(int32_t count);
    virtual int32_t entriesPerColumn() const;
    // 0 none, 2 "%1d %s", 3 "%02d %s", 4 "%03d %s" (1-based entry number, title); others none.
    virtual void setNumberingStyle(int32_t style);
    virtual int32_t numberingStyle() const;
    // Retains the new scheme, releases the old one.
    virtual void setScheme(COptionMenuScheme* scheme);
    virtual COptionMenuScheme* scheme() const;

    // --- what the last pop-up did ---------------------------------------------------------
    // The index chosen last and the menu it was chosen in (this one or a submenu, retained);
    // -1 / null before any choice.
    int32_t lastChosenIndex() const { return lastChosenIndex_; }
    COptionMenu* lastChosenMenu() const { return lastChosenMenu_; }
    // The buttons of the press that opened the pop-up last.
    ButtonFlags openingButtons() const { return openingButtons_; }
    // Where the pop-up opens: the frame window's screen origin, every enclosing container's
    // top-left, and the menu's left with its bottom (top with MenuOpensAtTop).
    ViewPoint popUpPosition() const;

private:
    void setCurrentEntry(int32_t index, bool moveTick);
    void openPopUp(ButtonFlags buttons);
    void rememberChoice(COptionMenu* menu, int32_t index);

    std::vector<CMenuItem*> entries_;
    int32_t current_ = -1;
    COptionMenuScheme* scheme_ = nullptr;
    ButtonFlags openingButtons_ = 0;
    bool pressPending_ = false;
    bool popUpOpen_ = false;
    int32_t entriesPerColumn_ = 0;
    int32_t lastChosenIndex_ = -1;
    int32_t numberingStyle_ = 0;
    COptionMenu* lastChosenMenu_ = nullptr;
};

} // namespace QXAGUI
