// What the Win32 back-end's files share, and what its tests reach behind the portable seam:
// the module handle, the platform image and font, the GDI+ surface, the resource stream, the
// window class's use count and the per-thread OLE depth. Only files of gui/platform/win32/ and
// the Wine tests include this header.
#pragma once

#include "cdragcontainer.h"
#include "platform/platform.h"

#include <windows.h>

#include <gdiplus.h>
#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace QXAGUI {

class COptionMenu;

// A decoded or blank GDI+ bitmap, always 32-bit ARGB.
class PlatformImage {
public:
    explicit PlatformImage(Gdiplus::GpBitmap* bitmap) : bitmap_(bitmap) {}
    ~PlatformImage();
    PlatformImage(const PlatformImage&) = delete;
    PlatformImage& operator=(const PlatformImage&) = delete;

    Gdiplus::GpBitmap* bitmap() const { return bitmap_; }
    // Every pixel's alpha is 255 (checked once, at load).
    bool opaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }

    // The image's pixels kept from its load, so that a paint copies or blends them without
    // asking GDI+ for them: blue, green, red (and alpha, pixelBytes() 4, for an image that is
    // not opaque) rows, width * pixelBytes() bytes each. Empty once anything may have drawn
    // into the image.
    const std::vector<uint8_t>& rows() const { return rows_; }
    int32_t pixelBytes() const { return pixelBytes_; }
    void keepRows(std::vector<uint8_t> rows, int32_t pixelBytes) {
        rows_ = std::move(rows);
        pixelBytes_ = pixelBytes;
    }
    void forgetRows() { std::vector<uint8_t>().swap(rows_); }

private:
    Gdiplus::GpBitmap* bitmap_;
    bool opaque_ = false;
    std::vector<uint8_t> rows_;
    int32_t pixelBytes_ = 0;
};

// A GDI+ font, and the same face as GDI fonts for the memory surface's text: one for smoothed
// text and one for the system's default rendering, with the metrics that place GDI+'s text.
class PlatformFont {
public:
    // The GDI fonts and metrics are made here, once for the font's life (null when GDI has
    // no such face: text then goes through GDI+ alone).
    explicit PlatformFont(Gdiplus::GpFont* font);
    ~PlatformFont();
    PlatformFont(const PlatformFont&) = delete;
    PlatformFont& operator=(const PlatformFont&) = delete;

    Gdiplus::GpFont* font() const { return font_; }
    HFONT gdiFont(bool smooth) const { return smooth ? smoothFont_ : plainFont_; }
    // Pixels from the top of GDI+'s layout box to the baseline.
    int32_t ascent() const { return ascent_; }
    // GDI+ leaves a sixth of the em free before a line's first character and after its last.
    float margin() const { return margin_; }
    // GDI+'s line height at the screen's resolution.
    float lineHeight() const { return lineHeight_; }

private:
    Gdiplus::GpFont* font_;
    HFONT smoothFont_ = nullptr;
    HFONT plainFont_ = nullptr;
    int32_t ascent_ = 0;
    float margin_ = 0.0f;
    float lineHeight_ = 0.0f;
};

namespace win32 {

// The module the toolkit is linked into (the plug-in DLL, or the test executable): every
// resource and the window class belong to it, never to the host.
HMODULE toolkitModule();

// UTF-8 to UTF-16; an empty result for null or invalid text. maxCharacters bounds the result.
std::wstring widen(const char* text, size_t maxCharacters = 0x7fffffff);
// length UTF-16 characters to UTF-8, cut to at most maxBytes without splitting a character.
std::string narrow(const wchar_t* text, size_t length, size_t maxBytes = 0x7fffffff);

// Whether the primary and secondary buttons were swapped when the window class was registered
// (read now when no class was registered yet).
bool buttonsSwapped();
// Reads the swap setting again (done at each class registration).
void recordButtonSwap();

// The clock the second-click wait reads, in the tick count's milliseconds. Tests set their own,
// so that the double-click time passes without being waited for; null restores the system's.
using TickSource = DWORD (*)();
void setSecondClickClock(TickSource source);
DWORD secondClickNow();

// --- the frame window's class ----------------------------------------------------------------
// "Plugin" and the module handle in hex: unique per module, so two plug-ins in one host never
// share a window procedure.
std::wstring frameClassName();
// Frames of this module whose windows hold the class; the class exists while this is above 0.
int32_t frameClassUsers();

// --- OLE ------------------------------------------------------------------------------------
// Successful OleInitialize calls of the calling thread not yet uninitialised.
int32_t oleDepthOfThisThread();

// --- GDI+ ------------------------------------------------------------------------------------
// Start-ups not yet shut down (the library runs while this is above 0).
int32_t graphicsUsers();

// A GDI+ graphics object on a device context or an image, with a pen, a fill brush and a text
// brush. Every call's status is kept; a failed call never stops the steps after it.
class GdipSurface final : public DrawSurface {
public:
    // On a device context, or on the window's own (given back on destruction) when dc is null.
    GdipSurface(HWND window, HDC dc);
    explicit GdipSurface(PlatformImage* image);
    ~GdipSurface() override;
    GdipSurface(const GdipSurface&) = delete;
    GdipSurface& operator=(const GdipSurface&) = delete;

    bool canDraw() const override { return graphics_ != nullptr; }
    void setClip(const ViewRect& deviceRect) override;
    void setStrokeColor(ViewColor color) override;
    void setStrokeWidth(int32_t width) override;
    void setDotted(bool dotted) override;
    void setFillColor(ViewColor color) override;
    void setTextColor(ViewColor color) override;
    void setSmoothing(bool antialiased) override;
    void strokeLine(float x0, float y0, float x1, float y1) override;
    void fillPolygon(const SurfacePoint* points, int32_t count) override;
    void strokePolygon(const SurfacePoint* points, int32_t count, bool closed) override;
    void fillRect(float x, float y, float width, float height) override;
    void fillRectPixels(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void strokeRect(float x, float y, float width, float height) override;
    void fillEllipse(float x, float y, float width, float height) override;
    void strokeEllipse(float x, float y, float width, float height) override;
    void fillArc(float x, float y, float width, float height, float startDegrees,
                 float sweepDegrees) override;
    void strokeArc(float x, float y, float width, float height, float startDegrees,
                   float sweepDegrees) override;
    float textWidth(const char* text, PlatformFont* font) override;
    float fontHeight(PlatformFont* font) override;
    void drawText(const char* text, PlatformFont* font, float x, float y, bool smooth) override;
    void drawImage(PlatformImage* image, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t sourceX, int32_t sourceY, uint8_t alpha) override;

    // Status of the last graphics call, and of the pen and brush calls.
    Gdiplus::GpStatus status() const { return status_; }
    Gdiplus::GpStatus penStatus() const { return penStatus_; }
    Gdiplus::GpStatus fillStatus() const { return fillStatus_; }
    Gdiplus::GpStatus textStatus() const { return textStatus_; }

private:
    void prepareGraphics();
    void keep(Gdiplus::GpStatus status);
    Gdiplus::GpPath* arcPath(float x, float y, float width, float height, float startDegrees,
                             float sweepDegrees);

    Gdiplus::GpGraphics* graphics_ = nullptr;
    Gdiplus::GpPen* pen_ = nullptr;
    Gdiplus::GpSolidFill* fill_ = nullptr;
    Gdiplus::GpSolidFill* text_ = nullptr;
    HWND window_ = nullptr;
    HDC ownDc_ = nullptr;
    Gdiplus::GpStatus status_ = Gdiplus::Ok;
    Gdiplus::GpStatus penStatus_ = Gdiplus::Ok;
    Gdiplus::GpStatus fillStatus_ = Gdiplus::Ok;
    Gdiplus::GpStatus textStatus_ = Gdiplus::Ok;
};

// Writes the part of an opaque 32-bit image that falls inside clip into a top-down 24-bit
// pixel buffer, pixel for pixel as GDI+ would draw it there (an opaque source replaces what
// is under it). False when the image's bits cannot be read; nothing is written then.
bool copyOpaqueImage(PlatformImage* image, uint8_t* bits, int32_t stride, const ViewRect& clip,
                     int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                     int32_t sourceY);
// The same for an image with alpha, from the pixels kept at its load, each blended over what
// is under it as GDI+ blends onto 24-bit pixels. False, nothing written, without kept pixels.
bool blendKeptImage(PlatformImage* image, uint8_t* bits, int32_t stride, const ViewRect& clip,
                    int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                    int32_t sourceY);

// A surface over a 24-bit DIB section selected into a memory device context, as a window's
// paint is composed: images are drawn straight into the bits (fast everywhere: copied or
// blended from their kept pixels, else by GDI+), all else (text, shapes) through the device
// context, so that it looks exactly as on the window. image wraps the same bits, rows top-down,
// stride bytes apart.
//
// Single lines of opaque text are measured and drawn by GDI with the font's own GDI font, at
// the place GDI+ puts them: the same pixels where GDI+ hands text to GDI, for a fraction of
// the cost (GDI+ makes and matches a GDI font for every string it measures or draws). A clip
// reaches each GDI+ graphics only when that graphics next draws: most views set theirs and
// then draw only text and opaque images, which never ask GDI+.
class ComposedSurface final : public DrawSurface {
public:
    ComposedSurface(HWND window, HDC memory, PlatformImage* image, uint8_t* bits, int32_t stride,
                    const ViewRect& bounds)
        : onContext_(window, memory), onBits_(image), memory_(memory), bits_(bits), stride_(stride),
          bounds_(bounds), clip_(bounds), requestedClip_(bounds) {}

    bool canDraw() const override { return onContext_.canDraw() && onBits_.canDraw(); }
    void setClip(const ViewRect& deviceRect) override {
        requestedClip_ = deviceRect;
        contextClipStale_ = bitsClipStale_ = true;
        clip_ = deviceRect;
        clip_.bound(bounds_);
    }
    void setStrokeColor(ViewColor color) override { onContext_.setStrokeColor(color); }
    void setStrokeWidth(int32_t width) override { onContext_.setStrokeWidth(width); }
    void setDotted(bool dotted) override { onContext_.setDotted(dotted); }
    void setFillColor(ViewColor color) override { onContext_.setFillColor(color); }
    void setTextColor(ViewColor color) override {
        onContext_.setTextColor(color);
        textColor_ = color;
    }
    void setSmoothing(bool antialiased) override { onContext_.setSmoothing(antialiased); }
    void strokeLine(float x0, float y0, float x1, float y1) override {
        context().strokeLine(x0, y0, x1, y1);
    }
    void fillPolygon(const SurfacePoint* points, int32_t count) override {
        context().fillPolygon(points, count);
    }
    void strokePolygon(const SurfacePoint* points, int32_t count, bool closed) override {
        context().strokePolygon(points, count, closed);
    }
    void fillRect(float x, float y, float width, float height) override {
        context().fillRect(x, y, width, height);
    }
    void fillRectPixels(int32_t x, int32_t y, int32_t width, int32_t height) override {
        context().fillRectPixels(x, y, width, height);
    }
    void strokeRect(float x, float y, float width, float height) override {
        context().strokeRect(x, y, width, height);
    }
    void fillEllipse(float x, float y, float width, float height) override {
        context().fillEllipse(x, y, width, height);
    }
    void strokeEllipse(float x, float y, float width, float height) override {
        context().strokeEllipse(x, y, width, height);
    }
    void fillArc(float x, float y, float width, float height, float startDegrees,
                 float sweepDegrees) override {
        context().fillArc(x, y, width, height, startDegrees, sweepDegrees);
    }
    void strokeArc(float x, float y, float width, float height, float startDegrees,
                   float sweepDegrees) override {
        context().strokeArc(x, y, width, height, startDegrees, sweepDegrees);
    }
    float textWidth(const char* text, PlatformFont* font) override;
    float fontHeight(PlatformFont* font) override;
    void drawText(const char* text, PlatformFont* font, float x, float y, bool smooth) override;
    void drawImage(PlatformImage* image, int32_t x, int32_t y, int32_t width, int32_t height,
                   int32_t sourceX, int32_t sourceY, uint8_t alpha) override {
        // What the device context drew must be in the bits before they are drawn over.
        GdiFlush();
        if (alpha == 255 && image && bits_ &&
            (image->opaque() ? copyOpaqueImage(image, bits_, stride_, clip_, x, y, width, height,
                                               sourceX, sourceY)
                             : blendKeptImage(image, bits_, stride_, clip_, x, y, width, height,
                                              sourceX, sourceY)))
            return;
        if (bitsClipStale_) onBits_.setClip(requestedClip_);
        bitsClipStale_ = false;
        onBits_.drawImage(image, x, y, width, height, sourceX, sourceY, alpha);
    }

private:
    // The device context's GDI+ graphics, clipped as last asked.
    GdipSurface& context() {
        if (contextClipStale_) onContext_.setClip(requestedClip_);
        contextClipStale_ = false;
        return onContext_;
    }
    // The GDI font for text, or null when GDI+ must draw it (no GDI font, several lines, tabs).
    HFONT gdiFontFor(const char* text, PlatformFont* font, bool smooth) const;

    GdipSurface onContext_;
    GdipSurface onBits_;
    HDC memory_;
    ViewColor textColor_{255, 255, 255, 255};
    uint8_t* bits_;
    int32_t stride_;
    ViewRect bounds_;
    ViewRect clip_;
    ViewRect requestedClip_;
    bool contextClipStale_ = false;
    bool bitsClipStale_ = false;
};

// --- resources -------------------------------------------------------------------------------

// A read-only IStream over bytes that outlive it: a locked module resource, or a block of its
// own. GDI+ keeps the stream (and so the bytes) for as long as an image decoded from it.
//
// Reads past the end copy what remains and answer S_FALSE with the count. Seeks from the
// start, the current position or the end stay inside [0, size]. Nothing can be written.
class ResourceStream final : public IStream {
public:
    // Over bytes owned by someone else (a locked resource lives as long as its module).
    ResourceStream(const void* data, uint32_t size);
    // Over a block of its own.
    explicit ResourceStream(std::vector<uint8_t> bytes);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG count, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                         DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                           DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* record, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override;

private:
    ~ResourceStream() = default;

    std::atomic<ULONG> references_{1};
    std::vector<uint8_t> ownBytes_;
    const uint8_t* data_;
    uint32_t position_ = 0;
    uint32_t size_;
};

// A stream on the module's resource of the given type; null when there is none.
ResourceStream* openResourceStream(const ResourceRef& reference, const wchar_t* type);

// --- the text edit's box --------------------------------------------------------------------

// The system EDIT child of the frame window over a text edit being edited
// (platform::openTextEditBox). The text edit is in its user data, and its window procedure is
// the toolkit's (see win32_textedit.cpp).
class Win32EditBox final : public TextEditBox {
public:
    Win32EditBox(HWND window, HFONT font);
    // Destroys the window (its kill-focus message reaches the text edit, which finds no edit
    // left to end), then the font and the brush: each exactly once.
    ~Win32EditBox() override;
    Win32EditBox(const Win32EditBox&) = delete;
    Win32EditBox& operator=(const Win32EditBox&) = delete;

    // At most 255 characters, as at most 255 UTF-8 bytes.
    std::string text() const override;
    void* systemHandle() const override { return window_; }
    HFONT font() const { return font_; }
    HBRUSH brush() const { return brush_; }
    // The edit-colour message: a new background brush of colour (the old one deleted).
    HBRUSH replaceBrush(COLORREF colour);
    // The window went with its parent: nothing is left to destroy.
    void forgetWindow() { window_ = nullptr; }

private:
    HWND window_;
    HFONT font_;
    HBRUSH brush_ = nullptr;
};

// Edit boxes alive (made and not destroyed).
int32_t liveEditBoxes();

// --- pop-up menus ----------------------------------------------------------------------------

// The system pop-up menu of an option menu and its submenus (platform::popUpMenu builds one
// and tracks it; tests inspect one without tracking it). Ids run from 1 across the menu and its
// submenus: each menu's entries take the next ids in order, then each submenu is built in entry
// order with the ids after them.
class BuiltMenu {
public:
    struct Entry {
        COptionMenu* menu;
        int32_t index;
    };
    explicit BuiltMenu(COptionMenu& menu);
    // Destroys the menus and the icons' bitmaps.
    ~BuiltMenu();
    BuiltMenu(const BuiltMenu&) = delete;
    BuiltMenu& operator=(const BuiltMenu&) = delete;

    HMENU handle() const { return menu_; }
    // The entry an id stands for; null for ids that stand for none.
    const Entry* entryFor(UINT id) const;
    int32_t idCount() const { return static_cast<int32_t>(entries_.size()); }

private:
    HMENU build(COptionMenu& menu, std::vector<COptionMenu*>& path);

    std::vector<Entry> entries_;
    std::vector<HBITMAP> icons_;
    HMENU menu_ = nullptr;
};

// While one lives, the owner-drawn entries of built are measured and drawn for the frame
// window's WM_MEASUREITEM and WM_DRAWITEM (the pop-up is being tracked).
class TrackedMenuScope {
public:
    explicit TrackedMenuScope(const BuiltMenu& built);
    ~TrackedMenuScope();
    TrackedMenuScope(const TrackedMenuScope&) = delete;
    TrackedMenuScope& operator=(const TrackedMenuScope&) = delete;

private:
    const BuiltMenu* previous_;
};

// The frame window's owner-draw messages for entries of the tracked menu; false when the
// message is not about one.
bool measureMenuEntry(MEASUREITEMSTRUCT& measure);
bool drawMenuEntry(CFrame& frame, const DRAWITEMSTRUCT& draw);

// --- drag and drop ---------------------------------------------------------------------------

// What is dragged, read from an OLE data object: one text item (CF_UNICODETEXT), else one item
// per file (CF_HDROP), shortcuts resolved to their targets. Holds a reference to the data
// object; every storage medium it asks for is released before the call returns.
class WinDragContainer final : public CDragContainer {
public:
    explicit WinDragContainer(IDataObject* data);
    ~WinDragContainer() override;

    const char* firstItem(int32_t& size, int32_t& type) override;
    const char* nextItem(int32_t& size, int32_t& type) override;
    int32_t itemType(int32_t index) override;
    int32_t itemCount() override;
    const char* resolvedFile(int32_t index) override;

private:
    // The path of file item index; empty when there is none.
    std::wstring filePath(int32_t index);

    IDataObject* data_;
    int32_t count_ = 0;
    int32_t next_ = 0;
    std::string item_;
};

// A shortcut (.lnk) replaced by its target's path (short form); false, the path unchanged,
// when it cannot be resolved within 100 ms without asking the user. The shortcut is never
// rewritten, and no search or link tracking runs.
bool resolveShortcut(std::wstring& path);

// The frame window's drop target: OLE drags over the window reach the frame's view tree as
// dragEntered, dragHovered, dragExited and dropData with a WinDragContainer, at the point
// the drag is at. Enter and over answer copy when allowed, else move, else link, over a view
// that takes the drag, DROPEFFECT_NONE elsewhere; a drop answers that only when a view took
// the data, DROPEFFECT_NONE otherwise. Reference counted from 0.
class CDropTarget final : public IDropTarget {
public:
    explicit CDropTarget(CFrame& frame);
    // The frame is going: later calls (from whoever still holds the target) find none.
    void forgetFrame();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) override;

private:
    ~CDropTarget();
    template <typename Call>
    bool route(POINTL screenPoint, Call call);

    std::atomic<ULONG> references_{0};
    CFrame* frame_;
};

// Drop targets alive: one per frame window registered with OLE, none once it is revoked.
int32_t liveDropTargets();
// The drop target registered for a frame window (for tests); null when none.
CDropTarget* registeredDropTarget(HWND frameWindow);
// The drag container of the drag in progress; null between drags.
CDragContainer* dragInProgress();

} // namespace win32
} // namespace QXAGUI
