// The headless platform: what native builds and tests draw on. Nothing reaches a screen;
// surfaces record each drawing operation as one line of text, frame windows record their
// invalidations, resources come from a table the test fills, and the clock, the cursor and the
// mouse buttons are whatever the test sets or scripts.
#pragma once

#include "viewtypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace QXAGUI {
class CFrame;
class COptionMenu;
class PlatformImage;
} // namespace QXAGUI

namespace QXAGUI::headless {

// Everything drawn on the surfaces of one window (or one image), one operation per line, e.g.
// "fillRect 10 10 10 10", "strokeRect 10 10 9 9", "image bmp00129.png 8 8 7 7 0 0 255",
// "text 'abc' 4 17 smooth", "clip 0 0 500 170".
struct DrawLog {
    std::vector<std::string> lines;
    void clear() { lines.clear(); }
    // Lines that start with prefix.
    std::vector<std::string> matching(const std::string& prefix) const;
};

// The recorded state of a frame's window.
struct WindowRecord {
    void* hostWindow = nullptr;
    ViewRect size;
    ViewPoint screenOrigin;
    std::vector<ViewRect> invalidations;
    bool leaveRequested = false;
    bool dropEnabled = false;
    int32_t cursorKind = 0;
    DrawLog drawing;
};

// The window record of a frame; null when the frame has no window.
WindowRecord* windowOf(const CFrame& frame);
// The drawing log of an image surface (offscreen contexts).
DrawLog* drawingOf(const PlatformImage* image);
// The name a headless image was registered or made with ("blank WxH" for blank images).
std::string imageName(const PlatformImage* image);

// Fake text metrics: every character is size / 2 pixels wide; the line height is size + 2.
int32_t textWidthFor(const char* text, int32_t fontSize);

// --- resources -------------------------------------------------------------------------------
enum class ResourceType { Data, Bitmap };
// Registers a resource of the module; names compare without regard to case.
void addResource(ResourceType type, uint16_t number, int32_t width, int32_t height);
void addResource(ResourceType type, const char* name, int32_t width, int32_t height);
void clearResources();
// How many images are alive (made and not destroyed).
int32_t liveImageCount();

// --- clock and input -------------------------------------------------------------------------
void setTickCount(uint32_t ticks);
uint32_t tickCountNow();
// Every sleep advances the clock by its length.
uint32_t totalSleptMilliseconds();
void setDoubleClickMilliseconds(uint32_t milliseconds);
void setCursorScreenPosition(ViewPoint position);
void setButtons(ButtonFlags buttons);

// A scripted sequence of pointer states: each read of the asynchronous button state takes the
// next step (cursor position and buttons) until the script runs out; the last step then stays.
struct PointerStep {
    ViewPoint screenPosition;
    ButtonFlags buttons = 0;
};
void scriptPointer(const std::vector<PointerStep>& steps);
// The answer of the next awaitSecondClick calls.
void setSecondClick(bool arrives);

// --- edit boxes ------------------------------------------------------------------------------
// The system edit box a text edit opens while it is being edited.
struct EditBoxRecord {
    ViewRect rect;
    std::string text;
    std::string fontName;
    int32_t fontHeight = 0;
    int32_t align = 0;
};
// The edit box open now, or null.
EditBoxRecord* openEditBox();
int32_t liveEditBoxes();
// What a user does in the open box: replace its text; press Return.
void typeIntoEditBox(const std::string& text);
void pressReturnInEditBox();

// The next frame window cannot be created (as when the system refuses it).
void failNextFrameWindow();

// --- pop-up menus -----------------------------------------------------------------------------
// One pop-up menu shown: the menu, where, and whether the right button chose too.
struct PopUpRecord {
    COptionMenu* menu = nullptr;
    ViewPoint screenPosition;
    bool rightButtonSelects = false;
};
// Every pop-up shown since the last reset, in order.
const std::vector<PopUpRecord>& popUps();
// What the user does in the next pop-up: choose the entry index of menu (the one shown or a
// submenu); a null menu dismisses it. Pop-ups without a scripted choice are dismissed.
void scriptMenuChoice(COptionMenu* menu, int32_t index);
// Runs action while the next pop-up is shown (as the system's menu loop would paint).
void whilePopUpShown(std::function<void()> action);

// Counts of the process-wide calls, for tests of balanced initialisation.
int32_t oleInitializeDepth();
int32_t graphicsStartCount();
int32_t paintMessagesDispatched();

// Restores every setting above to its initial state (tests call it in SetUp).
void reset();

} // namespace QXAGUI::headless
