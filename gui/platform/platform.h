// The toolkit's one seam to the platform. Portable files (views, controls, the draw context)
// reach the window system and the graphics library only through what is declared here; each
// platform folder implements all of it: win32/ with USER32, GDI32, GDI+ and OLE, headless/ for
// native builds and tests (it records what is drawn and lets tests script the pointer).
//
// Everything runs on the thread that owns the editor window unless a comment says otherwise.
#pragma once

#include "viewtypes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace QXAGUI {

class CFrame;
class COptionMenu;
class CTextEdit;
struct ResourceRef;

// An image the platform decoded or made: 32-bit ARGB with its own alpha.
class PlatformImage;
// A font the platform made from a family name, a pixel size and a style.
class PlatformFont;

// A floating-point vertex for polygons.
struct SurfacePoint {
    float x = 0.0f;
    float y = 0.0f;
};

// The platform graphics object behind one CDrawContext. Coordinates are device coordinates
// (the context has already added its drawing offset). Every operation stores the platform's
// status and never stops the caller; a surface without a graphics object draws nothing.
class DrawSurface {
public:
    virtual ~DrawSurface() = default;

    // False when no graphics object could be made: the context then draws nothing.
    virtual bool canDraw() const = 0;

    virtual void setClip(const ViewRect& deviceRect) = 0;
    virtual void setStrokeColor(ViewColor color) = 0;
    virtual void setStrokeWidth(int32_t width) = 0;
    virtual void setDotted(bool dotted) = 0;
    virtual void setFillColor(ViewColor color) = 0;
    virtual void setTextColor(ViewColor color) = 0;
    virtual void setSmoothing(bool antialiased) = 0;

    virtual void strokeLine(float x0, float y0, float x1, float y1) = 0;
    // Alternate fill rule.
    virtual void fillPolygon(const SurfacePoint* points, int32_t count) = 0;
    virtual void strokePolygon(const SurfacePoint* points, int32_t count, bool closed) = 0;
    virtual void fillRect(float x, float y, float width, float height) = 0;
    virtual void fillRectPixels(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    virtual void strokeRect(float x, float y, float width, float height) = 0;
    virtual void fillEllipse(float x, float y, float width, float height) = 0;
    virtual void strokeEllipse(float x, float y, float width, float height) = 0;
    // Degrees, clockwise on screen from the positive x axis, as the platform path takes them.
    virtual void fillArc(float x, float y, float width, float height, float startDegrees,
                         float sweepDegrees) = 0;
    virtual void strokeArc(float x, float y, float width, float height, float startDegrees,
                           float sweepDegrees) = 0;

    // Width of the measured layout box of a UTF-8 text; negative when it cannot be measured.
    virtual float textWidth(const char* text, PlatformFont* font) = 0;
    // The font's line height at the surface's vertical resolution.
    virtual float fontHeight(PlatformFont* font) = 0;
    // Draws with the layout box's top-left at (x, y) in the text colour.
    virtual void drawText(const char* text, PlatformFont* font, float x, float y, bool smooth) = 0;

    // Copies the source rectangle (sourceX, sourceY, width, height) of the image to (x, y),
    // scaling the image's own alpha by alpha / 255.
    virtual void drawImage(PlatformImage* image, int32_t x, int32_t y, int32_t width,
                           int32_t height, int32_t sourceX, int32_t sourceY, uint8_t alpha) = 0;
};

// The system window of one CFrame: a child of the host's window. Made by the frame's
// constructor, destroyed with the frame (or earlier by the host, which the frame then learns
// through its destroy message).
class FrameWindow {
public:
    virtual ~FrameWindow() = default;

    // The system handle; null once the window is gone.
    virtual void* systemHandle() const = 0;
    // Asks for a paint message covering rect (frame coordinates), erase requested.
    virtual void invalidate(const ViewRect& rect) = 0;
    virtual void requestLeaveNotification() = 0;
    // The window's client top-left in screen coordinates.
    virtual ViewPoint screenOrigin() const = 0;
    // Resizes the frame window and the windows around it that it fills (the frame's
    // resizeFrame walk); false when nothing was resized.
    virtual bool resizeWindows(int32_t width, int32_t height) = 0;
    // The outer window's top-left in its parent's client coordinates.
    virtual bool outerPosition(ViewPoint& position) = 0;
    // The parent window's rectangle, its top-left mapped into its own parent's coordinates.
    virtual bool parentBounds(ViewRect& bounds) = 0;
    // Cursor kinds: 1 wait, 2 left-right, 3 up-down, 4 all directions, 5 NE-SW, 6 NW-SE,
    // 8 not allowed, 9 hand; anything else restores the cursor current at the first call.
    virtual void setCursorKind(int32_t kind) = 0;
    // Registers or revokes the window with the platform's drag-and-drop service.
    virtual bool enableDrop(bool enable) = 0;
};

// The system's single-line edit box over a text edit while it is being edited. Destroying it
// removes the box, its font and its brush; the kill-focus message that the box's destruction
// sends reaches the text edit's loseFocus, which then finds no edit to end.
class TextEditBox {
public:
    virtual ~TextEditBox() = default;
    // The box's text as UTF-8, at most 255 bytes.
    virtual std::string text() const = 0;
    virtual void* systemHandle() const = 0;
};

// The entry a user chose in a pop-up menu: the menu it belongs to (the one shown or one of its
// submenus) and its index there. No menu: nothing was chosen.
struct MenuChoice {
    COptionMenu* menu = nullptr;
    int32_t index = -1;
};

namespace platform {

// Shows menu, with its submenus, as a pop-up menu owned by the frame's window with its top-left
// at screenPosition, and waits until the user chooses an entry or dismisses it. With
// rightButtonSelects the right button chooses too (the menu was opened by a right click).
MenuChoice popUpMenu(COptionMenu& menu, void* frameWindow, ViewPoint screenPosition,
                     bool rightButtonSelects);

// Opens an edit box as a child of the frame's window: at rect (frame window coordinates; the
// box is one pixel wider and higher), with text (UTF-8) selected, aligned as the display
// (0 left, 1 centre, 2 right), in the named font at fontHeight pixels, limited to 255
// characters, with the keyboard focus. The box tells owner of Return (noteReturnPressed, then
// the frame's focusOn(nullptr)) and of losing the focus (loseFocus). Null when it cannot be
// made.
std::unique_ptr<TextEditBox> openTextEditBox(CTextEdit& owner, void* frameWindow,
                                             const ViewRect& rect, const char* text, int32_t align,
                                             const char* fontName, int32_t fontHeight);

// Makes the frame's window inside hostWindow, sized to the frame, with the frame stored in it.
// Null when the window cannot be created.
std::unique_ptr<FrameWindow> createFrameWindow(CFrame& frame, void* hostWindow);

// Surfaces. A window surface draws on a device context, or on the window's own when none is
// given (and gives it back when destroyed). An image surface draws into the image.
std::unique_ptr<DrawSurface> createWindowSurface(void* window, void* deviceContext);
std::unique_ptr<DrawSurface> createImageSurface(PlatformImage* image);
// The screen position of a window's client top-left; (0, 0) without a window.
ViewPoint windowScreenOrigin(void* window);

// Images. Resources come from the module the toolkit is linked into.
PlatformImage* loadResourceImage(const ResourceRef& reference);
PlatformImage* createBlankImage(int32_t width, int32_t height);
void destroyImage(PlatformImage* image);
int32_t imageWidth(const PlatformImage* image);
int32_t imageHeight(const PlatformImage* image);
// True when every pixel of the image is fully opaque (known once, at load): drawing it twice
// over itself then gives the same pixels as drawing it once.
bool imageIsOpaque(const PlatformImage* image);

// Fonts: the family by name (falling back to the generic sans-serif family), size in pixels,
// style bits 1 bold, 2 italic, 4 underline (one style only: underline, else italic, else bold).
PlatformFont* createFont(const char* name, int32_t size, int32_t style);
void destroyFont(PlatformFont* font);

// The graphics library's process-wide start-up and shutdown (GDIPlusGlobals calls them).
bool startGraphics();
void stopGraphics();

// OLE for the calling thread. Uninitialise only after an initialisation that succeeded on the
// same thread.
bool initializeOle();
void uninitializeOle();

// Input state.
uint32_t tickCount();
void sleepMilliseconds(uint32_t milliseconds);
uint32_t doubleClickMilliseconds();
ViewPoint cursorScreenPosition();
// Mouse buttons and Shift, Control, Alt from the asynchronous key state, with swapped
// primary and secondary buttons mapped back.
ButtonFlags asyncButtons();
// Waits, at most until the double-click time since the last message has passed, for a second
// left press while the cursor stays inside box (screen coordinates, half-open).
bool awaitSecondClick(const ViewRect& screenBox);
// Removes one pending paint message of this thread from the queue and dispatches it.
void dispatchOnePaintMessage();
// The operating system's major version (the frame uses a backbuffer on 5 and lower).
int32_t osMajorVersion();

} // namespace platform
} // namespace QXAGUI
