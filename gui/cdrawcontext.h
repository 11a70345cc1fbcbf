// CDrawContext: the 2-D surface every pixel of an editor goes through. Integer coordinates with
// a drawing offset that containers shift while they paint their children, a clip rectangle, a
// pen (frame colour, width, style), a fill colour, a text colour and a current font. The
// platform does the drawing (platform/platform.h); this class owns the arithmetic.
//
// COffscreenContext is the same surface over an in-memory 32-bit ARGB bitmap (buffered
// containers, the frame's backbuffer). CFontDesc names a font.
#pragma once

#include "cbaseobject.h"
#include "platform/platform.h"
#include "viewtypes.h"

#include <atomic>
#include <memory>

namespace QXAGUI {

class CBitmap;
class CFrame;

// A font by family name, pixel size and style bits (1 bold, 2 italic, 4 underline). The
// platform font is made on first use.
class CFontDesc : public CBaseObject {
public:
    CFontDesc(const char* name, int32_t size, int32_t style);
    ~CFontDesc() override;

    const char* name() const { return name_; }
    // A new name drops the platform font (made again on next use).
    void setName(const char* name);
    int32_t size() const { return size_; }
    int32_t style() const { return style_; }

    // Made on first use, once even when two threads ask at the same moment; null when the
    // platform could not make any font.
    PlatformFont* platformFont();
    // Drops the platform font (the named fonts' are dropped before the graphics library stops).
    void releasePlatformFont();

private:
    char* name_ = nullptr;
    int32_t size_;
    int32_t style_;
    std::atomic<PlatformFont*> font_{nullptr};
};

// The eight named fonts, alive for the whole process. Every new context starts with FontSystem.
extern CFontDesc* const FontSystem;  // "Arial" 12
extern CFontDesc* const FontHuge;    // "Arial" 18
extern CFontDesc* const FontLarge;   // "Arial" 14
extern CFontDesc* const FontRegular; // "Arial" 12
extern CFontDesc* const FontSmall;   // "Arial" 11
extern CFontDesc* const FontSmaller; // "Arial" 10
extern CFontDesc* const FontTiny;    // "Arial" 9
extern CFontDesc* const FontSymbol;  // "Symbol" 13

// Line styles and draw modes.
enum StrokeStyle : int32_t { StrokeSolid = 0, StrokeDotted = 1 };
enum DrawMode : int32_t { DrawPlain = 0, DrawSmooth = 3 };

class CDrawContext : public CBaseObject {
public:
    // On a device context, or on the window's own when only a window is given; with neither,
    // nothing is drawn. The clip starts at the frame's bounds, or (0, 0, 1000, 1000).
    CDrawContext(CFrame* frame, void* deviceContext, void* window);
    ~CDrawContext() override;

    CFrame* frame() const { return frame_; }
    void* window() const { return window_; }

    // --- offsets --------------------------------------------------------------------------
    // Added to every coordinate handed to a drawing operation.
    ViewPoint drawingOffset() const { return drawingOffset_; }
    void setDrawingOffset(ViewPoint offset) { drawingOffset_ = offset; }
    // Screen position of the context's origin (the cursor's screen position minus it gives
    // context coordinates).
    ViewPoint screenOffset() const { return screenOffset_; }
    void setScreenOffset(ViewPoint offset) { screenOffset_ = offset; }
    // Moves both offsets: a container does this around painting or tracking its children.
    void shiftOrigins(int32_t dx, int32_t dy);

    // --- pen, fill, text colours and modes ------------------------------------------------
    void setStrokeTint(ViewColor color);
    ViewColor strokeTint() const { return frameColor_; }
    void setFillTint(ViewColor color);
    ViewColor fillTint() const { return fillColor_; }
    void setTextTint(ViewColor color);
    ViewColor textTint() const { return textColor_; }
    void setStrokeWidth(int32_t width);
    int32_t strokeWidth() const { return lineWidth_; }
    void setStrokeStyle(int32_t style);
    int32_t strokeStyle() const { return lineStyle_; }
    void setSmoothing(int32_t mode);
    int32_t smoothing() const { return drawMode_; }

    // --- clip -----------------------------------------------------------------------------
    // In context coordinates; stored with the drawing offset added.
    void setClip(const ViewRect& rect);
    void clip(ViewRect& out) const;
    void resetClip();

    // --- font -----------------------------------------------------------------------------
    // Shares font when size < 1 or equal to its size and style is -1 or equal to its style;
    // otherwise uses a new font of that name with the given size and style.
    void setTextFont(CFontDesc* font, int32_t size = 0, int32_t style = -1);
    CFontDesc* textFont() const { return font_; }

    // --- shapes ---------------------------------------------------------------------------
    void penTo(ViewPoint point);
    ViewPoint penPosition() const;
    void strokeTo(ViewPoint point);
    // count pairs: penTo the first point of each, strokeTo the second.
    void strokeSegments(const ViewPoint* points, int32_t count);
    void polygon(const ViewPoint* points, int32_t count, int32_t style, bool closed = false);
    // The fill covers width x height; the outline is drawn (width - 1) x (height - 1), on the
    // rectangle's last pixel row and column.
    void rectangle(const ViewRect& rect, int32_t style = DrawOutline);
    void fillRectangle(const ViewRect& rect);
    void ellipse(const ViewRect& rect, int32_t style = DrawOutline);
    // Degrees; the sweep runs from start to end, passing 360 when start > end.
    void arc(const ViewRect& rect, float startAngle, float endAngle, int32_t style = DrawOutline);
    void plotPoint(ViewPoint point, ViewColor color);

    // --- text (UTF-8) ---------------------------------------------------------------------
    // -1 without font, text or graphics object.
    int32_t textWidth(const char* text);
    // point gives the text's bottom line.
    void writeText(const char* text, ViewPoint point, bool smooth = true);
    void writeTextInRect(const char* text, const ViewRect& rect, int32_t align, bool smooth);
    void writeTextInRect(const char* text, const ViewRect& rect, int32_t align = AlignCenter);

    // --- pointer --------------------------------------------------------------------------
    // The cursor's position in context coordinates.
    void cursorPosition(ViewPoint& out);
    // True when a second left press follows within the double-click time while the cursor
    // stays within 2 pixels.
    bool awaitDoubleClick();
    // With the left button down: true once the cursor leaves a 2-pixel box, false when the
    // button is released first. Runs the editor's idle meanwhile.
    bool awaitDrag();

    // For bitmaps and offscreen copies: the platform surface.
    DrawSurface& surface() { return *surface_; }

protected:
    // For COffscreenContext: a context on a surface of its own.
    CDrawContext(CFrame* frame, std::unique_ptr<DrawSurface> surface, const ViewRect& clip);

private:
    void applyDefaults();
    ViewRect defaultClip() const;
    // Device coordinates of a normalised rectangle.
    ViewRect toDevice(const ViewRect& rect) const;
    void drawShape(int32_t style, bool fill, bool outline);

    ViewPoint screenOffset_;
    ViewPoint drawingOffset_;
    void* deviceContext_ = nullptr;
    void* window_ = nullptr;
    CFrame* frame_ = nullptr;
    CFontDesc* font_ = nullptr;
    ViewColor textColor_;
    ViewPoint penPosition_; // device coordinates
    int32_t lineWidth_ = 0;
    ViewColor frameColor_;
    ViewColor fillColor_;
    int32_t lineStyle_ = StrokeDotted;
    int32_t drawMode_ = DrawSmooth;
    ViewRect clip_;
    ViewRect baseClip_;
    std::unique_ptr<DrawSurface> surface_;
};

// A draw context over an in-memory 32-bit ARGB bitmap of its own, fully transparent at first.
class COffscreenContext : public CDrawContext {
public:
    COffscreenContext(CFrame* frame, int32_t width, int32_t height,
                      ViewColor background = kBlackColor);
    // Draws straight into bitmap's image (retained while the context lives).
    COffscreenContext(CDrawContext* frameContext, CBitmap* bitmap, bool drawIntoBitmap);
    ~COffscreenContext() override;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    ViewColor backgroundColor() const { return backgroundColor_; }
    CBitmap* bitmap() const { return bitmap_; }

    // Blits the context's bitmap into destination: destRect there, from srcOffset here.
    void copyTo(CDrawContext* destination, const ViewRect& destRect,
                ViewPoint srcOffset = ViewPoint());

private:
    // Takes over one reference to own and draws into it.
    COffscreenContext(CFrame* frame, CBitmap* own, ViewColor background);

    CBitmap* bitmap_ = nullptr;
    CBitmap* sourceBitmap_ = nullptr;
    int32_t height_ = 0;
    int32_t width_ = 0;
    ViewColor backgroundColor_;
    bool drawsIntoSource_ = false;
};

} // namespace QXAGUI
