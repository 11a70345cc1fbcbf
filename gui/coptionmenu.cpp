// COptionMenu and CMenuItem: the entry model, the current entry, painting, and the pop-up's
// lifecycle; the platform builds and shows the pop-up itself (platform::popUpMenu).
#include "coptionmenu.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>

namespace QXAGUI {

// --- CMenuItem -------------------------------------------------------------------------------

CMenuItem::CMenuItem(const char* title, int32_t flags, COptionMenu* submenu, CBitmap* icon)
    : title_(title ? title : ""), flags_(flags) {
    setSubmenu(submenu);
    setIcon(icon);
}

CMenuItem::~CMenuItem() {
    setSubmenu(nullptr);
    setIcon(nullptr);
}

void CMenuItem::setTitle(const char* title) {
    title_ = title ? title : "";
}

void CMenuItem::setSubmenu(COptionMenu* submenu) {
    if (submenu) submenu->retain();
    if (submenu_) submenu_->release();
    submenu_ = submenu;
}

void CMenuItem::setKey(const char* key, int32_t modifiers) {
    key_ = key ? key : "";
    keyModifiers_ = modifiers;
}

void CMenuItem::setFlag(int32_t flag, bool on) {
    flags_ = on ? (flags_ | flag) : (flags_ & ~flag);
}

void CMenuItem::setEnabled(bool enabled) {
    setFlag(Disabled, !enabled);
}
void CMenuItem::setIsTitle(bool isTitle) {
    setFlag(IsTitle, isTitle);
}
void CMenuItem::setTicked(bool ticked) {
    setFlag(Ticked, ticked);
}
void CMenuItem::setSeparator(bool separator) {
    setFlag(Separator, separator);
}

void CMenuItem::setIcon(CBitmap* icon) {
    if (icon) icon->retain();
    if (icon_) icon_->release();
    icon_ = icon;
}

// --- COptionMenu: entries --------------------------------------------------------------------

COptionMenu::COptionMenu(const ViewRect& bounds, CControlListener* listener, int32_t tag,
                         CBitmap* background, DisplayStyle style)
    : CParamDisplay(bounds, background, style) {
    listener_ = listener;
    tag_ = tag;
}

COptionMenu::~COptionMenu() {
    removeAllEntries();
    setScheme(nullptr);
    rememberChoice(nullptr, -1);
}

CMenuItem* COptionMenu::addEntry(const char* title, int32_t index, int32_t flags) {
    if (title && std::strcmp(title, "-") == 0) {
        title = "";
        flags |= CMenuItem::Separator;
    }
    auto* item = new CMenuItem(title, flags);
    CMenuItem* added = addEntry(item, index);
    item->release(); // the menu holds it now, or nobody does
    return added;
}

CMenuItem* COptionMenu::addEntry(CMenuItem* item, int32_t index) {
    const auto count = static_cast<int32_t>(entries_.size());
    if (!item || index < -1 || index > count) return nullptr;
    item->retain();
    entries_.insert(index == -1 ? entries_.end() : entries_.begin() + index, item);
    // The current entry stays the same entry.
    if (current_ >= 0 && index != -1 && index <= current_) ++current_;
    return item;
}

CMenuItem* COptionMenu::addSeparator() {
    return addEntry("-");
}

bool COptionMenu::removeEntry(int32_t index) {
    if (index < 0 || index >= entryCount()) return false;
    CMenuItem* item = entries_[static_cast<size_t>(index)];
    entries_.erase(entries_.begin() + index);
    if (index == current_)
        current_ = -1;
    else if (index < current_)
        --current_;
    item->release();
    markNeedsRepaint(true);
    return true;
}

void COptionMenu::removeAllEntries() {
    std::vector<CMenuItem*> entries;
    entries.swap(entries_);
    current_ = -1;
    for (CMenuItem* item : entries)
        item->release();
}

CMenuItem* COptionMenu::entry(int32_t index) const {
    if (index < 0 || index >= entryCount()) return nullptr;
    return entries_[static_cast<size_t>(index)];
}

int32_t COptionMenu::entryCount() const {
    return static_cast<int32_t>(entries_.size());
}

std::string COptionMenu::entryText(int32_t index) const {
    const CMenuItem* item = entry(index);
    if (!item) return {};
    const char* format = nullptr;
    switch (numberingStyle_) {
    case 2:
        format = "%1d %s";
        break;
    case 3:
        format = "%02d %s";
        break;
    case 4:
        format = "%03d %s";
        break;
    default:
        return item->title();
    }
    if (item->isSeparator()) return item->title();
    const int needed = std::snprintf(nullptr, 0, format, index + 1, item->title());
    std::string text(static_cast<size_t>(needed > 0 ? needed : 0) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, index + 1, item->title());
    text.pop_back();
    return text;
}

// --- the current entry -----------------------------------------------------------------------

int32_t COptionMenu::currentIndex() const {
    return current_;
}

CMenuItem* COptionMenu::currentEntry() const {
    return entry(current_);
}

void COptionMenu::setCurrentEntry(int32_t index, bool moveTick) {
    if (moveTick) {
        if (CMenuItem* old = entry(current_)) old->setTicked(false);
        if (CMenuItem* now = entry(index)) now->setTicked(true);
    }
    current_ = index;
    value_ = static_cast<float>(index);
    markNeedsRepaint(true);
}

bool COptionMenu::setCurrent(int32_t index) {
    if (index < 0 || index >= entryCount()) return false;
    setCurrentEntry(index, false);
    return true;
}

bool COptionMenu::setCurrentVisible(int32_t visibleIndex) {
    if (visibleIndex < 0) return false;
    int32_t visible = 0;
    for (int32_t i = 0; i < entryCount(); ++i) {
        if (entries_[static_cast<size_t>(i)]->isSeparator()) continue;
        if (visible++ == visibleIndex) return setCurrent(i);
    }
    return false;
}

void COptionMenu::storeValue(float value) {
    storeValue(value, false);
}

void COptionMenu::storeValue(float value, bool moveTick) {
    // Compared as a float first: a host may store NaN or 1e30, and neither may reach the
    // conversion. -0.5 is refused too, though it would truncate to 0.
    if (!(value >= 0.0f && value < static_cast<float>(entryCount()))) return;
    setCurrentEntry(static_cast<int32_t>(value), moveTick);
}

// --- presentation ----------------------------------------------------------------------------

void COptionMenu::setEntriesPerColumn(int32_t count) {
    entriesPerColumn_ = count > 0 ? count : 0;
}

int32_t COptionMenu::entriesPerColumn() const {
    return entriesPerColumn_;
}

void COptionMenu::setNumberingStyle(int32_t style) {
    numberingStyle_ = style;
    markNeedsRepaint(true);
}

int32_t COptionMenu::numberingStyle() const {
    return numberingStyle_;
}

void COptionMenu::setScheme(COptionMenuScheme* scheme) {
    if (scheme) scheme->retain();
    if (scheme_) scheme_->release();
    scheme_ = scheme;
}

COptionMenuScheme* COptionMenu::scheme() const {
    return scheme_;
}

void COptionMenu::paint(CDrawContext* context) {
    const std::string text = entryText(current_);
    if (scheme_ && popUpOpen_) {
        scheme_->paintOpenMenu(context, *this, text.c_str());
        markNeedsRepaint(false);
        return;
    }
    paintText(context, text.c_str(), nullptr);
}

bool COptionMenu::isKindOf(const char* className) const {
    return std::strcmp(className, "COptionMenu") == 0 || CParamDisplay::isKindOf(className);
}

CView* COptionMenu::clone() const {
    auto* copy = new COptionMenu(bounds_, listener_, tag_, backdrop_, style_);
    copyDisplayStateTo(*copy);
    for (const CMenuItem* item : entries_) {
        auto* twin = new CMenuItem(item->title(), item->flags(), item->submenu(), item->icon());
        twin->setKey(item->key(), item->keyModifiers());
        copy->addEntry(twin);
        twin->release();
    }
    copy->current_ = current_;
    copy->entriesPerColumn_ = entriesPerColumn_;
    copy->numberingStyle_ = numberingStyle_;
    copy->setScheme(scheme_);
    return copy;
}

// --- the pop-up ------------------------------------------------------------------------------

ViewPoint COptionMenu::popUpPosition() const {
    ViewPoint position =
        frame_ ? platform::windowScreenOrigin(frame_->systemWindow()) : ViewPoint();
    if (CViewContainer* container = containerParent()) container->addFrameOrigin(position);
    position.moveBy(bounds_.left, (style_ & MenuOpensAtTop) ? bounds_.top : bounds_.bottom);
    return position;
}

PointerReply COptionMenu::pointerDown(const ViewPoint& /*point*/, const ButtonFlags& buttons) {
    if (!(buttons & (ButtonLeft | ButtonRight)) || !frame_) return Passed;
    RetainScope<COptionMenu> keep(this);
    openingButtons_ = buttons;
    pressPending_ = true;
    editStarted(); // takes the focus and begins the gesture
    gainFocus();
    return TakenNoTracking;
}

void COptionMenu::gainFocus() {
    // Only a press opens the pop-up; Tab brings the focus without one.
    if (!pressPending_) return;
    pressPending_ = false;
    openPopUp(openingButtons_);
}

void COptionMenu::openPopUp(ButtonFlags buttons) {
    CFrame* frame = frame_;
    if (!frame) return;
    // The listener may rebuild the editor: the menu, the chosen submenu and the frame stay
    // alive until the gesture has ended.
    RetainScope<COptionMenu> keep(this);
    RetainScope<CFrame> keepFrame(frame);
    popUpOpen_ = true;
    if (scheme_) requestRepaint(); // the scheme paints the open look while the pop-up shows
    const MenuChoice choice = platform::popUpMenu(*this, frame->systemWindow(), popUpPosition(),
                                                  (buttons & ButtonRight) != 0);
    popUpOpen_ = false;
    if (choice.menu) {
        RetainScope<COptionMenu> keepChosen(choice.menu);
        choice.menu->storeValue(static_cast<float>(choice.index));
        rememberChoice(choice.menu, choice.index);
        if (choice.menu != this) choice.menu->rememberChoice(choice.menu, choice.index);
        if (listener_) listener_->controlChanged(choice.menu);
    }
    markNeedsRepaint(true);
    frame->focusOn(nullptr);
    frame->editEnds(tag_);
    if (listener_) listener_->controlEditCloses(this);
}

void COptionMenu::rememberChoice(COptionMenu* menu, int32_t index) {
    // A submenu is retained; the menu itself is not (it would never be destroyed).
    if (menu && menu != this) menu->retain();
    if (lastChosenMenu_ && lastChosenMenu_ != this) lastChosenMenu_->release();
    lastChosenMenu_ = menu;
    lastChosenIndex_ = index;
}

void COptionMenu::loseFocus() {
    for (CView* receiver = parent_ ? static_cast<CView*>(parent_) : frame_; receiver;
         receiver = receiver->parent()) {
        if (receiver->handleMessage(this, kMsgLooseFocus) == 1) break;
    }
}

} // namespace QXAGUI
