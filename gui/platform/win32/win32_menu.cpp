// The option menu's pop-up: the system menu built from the entries (BuiltMenu), tracked at the
// position the option menu gives, and the entries of menus with a scheme measured and drawn by
// it while the pop-up is tracked.
//
// Entry to system menu item:
//   Separator             MF_SEPARATOR
//   title                 MF_STRING with the numbering prefix (MF_OWNERDRAW with a scheme)
//   number - 1 a positive multiple of entriesPerColumn (fewer than 160 entries): MF_MENUBARBREAK
//   Disabled              MF_GRAYED (greyed and inert)
//   IsTitle               MF_DISABLED (inert, drawn plainly)
//   Ticked                MF_CHECKED with MenuCheckTicked, or with MenuCheckCurrent when current
//   submenu               MF_POPUP with the submenu built (a menu already on the path is not
//                         followed: a menu inside itself would never end)
//   icon                  the item's bitmap (MIIM_BITMAP), a copy the built menu deletes
#include "win32_platform.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"
#include "coptionmenu.h"

#include <algorithm>

namespace QXAGUI {
namespace win32 {
namespace {

const BuiltMenu* trackedMenu = nullptr;

// The owner-drawn entry an id names in the tracked menu, with the scheme that draws it.
struct SchemeEntry {
    COptionMenuScheme* scheme = nullptr;
    CMenuItem* item = nullptr;
    COptionMenu* menu = nullptr;
    int32_t index = -1;
};

SchemeEntry schemeEntry(ULONG_PTR id) {
    const BuiltMenu::Entry* entry =
        trackedMenu ? trackedMenu->entryFor(static_cast<UINT>(id)) : nullptr;
    if (!entry || !entry->menu->scheme()) return {};
    return {entry->menu->scheme(), entry->menu->entry(entry->index), entry->menu, entry->index};
}

} // namespace

BuiltMenu::BuiltMenu(COptionMenu& menu) {
    std::vector<COptionMenu*> path;
    menu_ = build(menu, path);
}

BuiltMenu::~BuiltMenu() {
    // DestroyMenu takes the submenus with it but leaves the entries' bitmaps.
    if (menu_) DestroyMenu(menu_);
    for (HBITMAP icon : icons_)
        DeleteObject(icon);
}

const BuiltMenu::Entry* BuiltMenu::entryFor(UINT id) const {
    if (id == 0 || id > entries_.size()) return nullptr;
    return &entries_[id - 1];
}

HMENU BuiltMenu::build(COptionMenu& menu, std::vector<COptionMenu*>& path) {
    HMENU handle = CreatePopupMenu();
    if (!handle) return nullptr;
    path.push_back(&menu);
    const int32_t count = menu.entryCount();
    // This menu's entries take the next ids; its submenus follow them.
    const auto firstId = static_cast<UINT>(entries_.size() + 1);
    for (int32_t i = 0; i < count; ++i)
        entries_.push_back({&menu, i});
    const int32_t perColumn = menu.entriesPerColumn();
    const bool columns = perColumn > 0 && count < kMenuColumnLimit;
    const DisplayStyle style = menu.displayStyle();
    const bool ownerDrawn = menu.scheme() != nullptr;

    for (int32_t i = 0; i < count; ++i) {
        const CMenuItem* item = menu.entry(i);
        const UINT id = firstId + static_cast<UINT>(i);
        UINT flags = ownerDrawn ? MF_OWNERDRAW : 0;
        if (columns && i > 0 && i % perColumn == 0) flags |= MF_MENUBARBREAK;
        if (item->isSeparator()) {
            AppendMenuW(handle, flags | MF_SEPARATOR, id,
                        ownerDrawn ? reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(id))
                                   : nullptr);
            continue;
        }
        if (!item->isEnabled()) flags |= MF_GRAYED;
        if (item->isTitle()) flags |= MF_DISABLED;
        const bool checked =
            item->isTicked() &&
            ((style & MenuCheckTicked) || ((style & MenuCheckCurrent) && i == menu.currentIndex()));
        if (checked) flags |= MF_CHECKED;

        UINT_PTR target = id;
        COptionMenu* submenu = item->submenu();
        if (submenu && std::find(path.begin(), path.end(), submenu) == path.end()) {
            if (HMENU child = build(*submenu, path)) {
                flags |= MF_POPUP;
                target = reinterpret_cast<UINT_PTR>(child);
            }
        }
        const std::wstring title = widen(menu.entryText(i).c_str());
        if (ownerDrawn)
            AppendMenuW(handle, flags, target,
                        reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(id)));
        else
            AppendMenuW(handle, flags | MF_STRING, target, title.c_str());

        CBitmap* icon = item->icon();
        PlatformImage* image = icon ? icon->platformImage() : nullptr;
        HBITMAP bitmap = nullptr;
        if (image && Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(image->bitmap(), &bitmap,
                                                                      0) == Gdiplus::Ok) {
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_BITMAP;
            info.hbmpItem = bitmap;
            SetMenuItemInfoW(handle, static_cast<UINT>(i), TRUE, &info);
            icons_.push_back(bitmap);
        }
    }
    path.pop_back();
    return handle;
}

TrackedMenuScope::TrackedMenuScope(const BuiltMenu& built) : previous_(trackedMenu) {
    trackedMenu = &built;
}

TrackedMenuScope::~TrackedMenuScope() {
    trackedMenu = previous_;
}

bool measureMenuEntry(MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU) return false;
    const SchemeEntry entry = schemeEntry(measure.itemData);
    if (!entry.scheme || !entry.item) return false;
    int32_t width = 0;
    int32_t height = 0;
    entry.scheme->entrySize(*entry.item, width, height);
    measure.itemWidth = static_cast<UINT>(std::max(width, 0));
    measure.itemHeight = static_cast<UINT>(std::max(height, 0));
    return true;
}

bool drawMenuEntry(CFrame& frame, const DRAWITEMSTRUCT& draw) {
    if (draw.CtlType != ODT_MENU) return false;
    const SchemeEntry entry = schemeEntry(draw.itemData);
    if (!entry.scheme || !entry.item) return false;
    int32_t state = 0;
    if (draw.itemState & ODS_SELECTED) state |= COptionMenuScheme::Selected;
    if (draw.itemState & (ODS_GRAYED | ODS_DISABLED)) state |= COptionMenuScheme::Greyed;
    if (draw.itemState & ODS_CHECKED) state |= COptionMenuScheme::Checked;
    auto* context = new CDrawContext(&frame, draw.hDC, nullptr);
    const ViewRect rect{draw.rcItem.left, draw.rcItem.top, draw.rcItem.right, draw.rcItem.bottom};
    context->setClip(rect); // the menu's own coordinates, not the frame's
    entry.scheme->paintEntry(context, rect, *entry.item, state);
    context->release();
    return true;
}

} // namespace win32

namespace platform {

MenuChoice popUpMenu(COptionMenu& menu, void* frameWindow, ViewPoint screenPosition,
                     bool rightButtonSelects) {
    auto* owner = static_cast<HWND>(frameWindow);
    if (!owner) return {};
    win32::BuiltMenu built(menu);
    if (!built.handle()) return {};
    win32::TrackedMenuScope tracked(built);
    // The choice comes back as the answer rather than as a WM_COMMAND in the queue, where the
    // owner's procedure or another window's command could be taken for it.
    const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD |
                       (rightButtonSelects ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
    const auto chosen = static_cast<UINT>(TrackPopupMenu(built.handle(), flags, screenPosition.x,
                                                         screenPosition.y, 0, owner, nullptr));
    // Menu ids fit in 16 bits: anything with a high half is not one of ours.
    if (HIWORD(chosen) != 0) return {};
    const win32::BuiltMenu::Entry* entry = built.entryFor(chosen);
    return entry ? MenuChoice{entry->menu, entry->index} : MenuChoice{};
}

} // namespace platform
} // namespace QXAGUI
