// The Win32 back-end's drawing: a DrawSurface over the GDI+ flat API, fonts, the memory
// surface's own image copies and text, and the library's start-up and shutdown.
//
// Contents: start-up and shutdown; fonts (GDI+ and their GDI twins); GdipSurface (construction,
// state, shapes, text, images); images copied and blended into 24-bit pixels; ComposedSurface's
// text; the seam's surface factories.
#include "win32_platform.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace QXAGUI {
namespace {

std::mutex graphicsMutex;
int32_t graphicsStarts = 0;
ULONG_PTR graphicsToken = 0;

ARGB toArgb(ViewColor color) {
    return (static_cast<ARGB>(color.alpha) << 24) | (static_cast<ARGB>(color.red) << 16) |
           (static_cast<ARGB>(color.green) << 8) | static_cast<ARGB>(color.blue);
}

// The surface state every graphics object of the toolkit starts with: integer pixels exactly
// where the arithmetic put them, and bitmaps copied rather than smoothed.
void prepare(GpGraphics* graphics, GpStatus& status) {
    status = GdipSetInterpolationMode(graphics, InterpolationModeLowQuality);
    status = GdipSetPageUnit(graphics, UnitPixel);
    status = GdipSetPixelOffsetMode(graphics, PixelOffsetModeNone);
}

} // namespace

// --- start-up and shutdown ---------------------------------------------------------------

namespace win32 {
int32_t graphicsUsers() {
    std::lock_guard<std::mutex> lock(graphicsMutex);
    return graphicsStarts;
}
} // namespace win32

namespace platform {

bool startGraphics() {
    // Two plug-in instances may be created on two threads at once; the library is started by
    // the first user and stopped by the last.
    std::lock_guard<std::mutex> lock(graphicsMutex);
    if (graphicsStarts == 0) {
        GdiplusStartupInput input; // version 1, no debug callback, background thread kept
        ULONG_PTR token = 0;
        if (GdiplusStartup(&token, &input, nullptr) != Ok) return false;
        graphicsToken = token;
    }
    ++graphicsStarts;
    return true;
}

void stopGraphics() {
    std::lock_guard<std::mutex> lock(graphicsMutex);
    if (graphicsStarts <= 0) return;
    if (--graphicsStarts == 0) {
        GdiplusShutdown(graphicsToken);
        graphicsToken = 0;
    }
}

// --- fonts -------------------------------------------------------------------------------

PlatformFont* createFont(const char* name, int32_t size, int32_t style) {
    int fontStyle = FontStyleRegular;
    if (style & 4)
        fontStyle = FontStyleUnderline;
    else if (style & 2)
        fontStyle = FontStyleItalic;
    else if (style & 1)
        fontStyle = FontStyleBold;

    const std::wstring family = win32::widen(name, 200);
    auto makeWith = [&](bool byName) -> GpFont* {
        GpFontFamily* fontFamily = nullptr;
        if (!byName || GdipCreateFontFamilyFromName(family.c_str(), nullptr, &fontFamily) != Ok)
            GdipGetGenericFontFamilySansSerif(&fontFamily);
        if (!fontFamily) return nullptr;
        GpFont* font = nullptr;
        if (GdipCreateFont(fontFamily, static_cast<REAL>(size), fontStyle, UnitPixel, &font) != Ok)
            font = nullptr;
        GdipDeleteFontFamily(fontFamily); // the font keeps a copy
        return font;
    };
    GpFont* font = makeWith(true);
    if (!font) font = makeWith(false);
    return font ? new PlatformFont(font) : nullptr;
}

void destroyFont(PlatformFont* font) {
    delete font;
}

} // namespace platform

PlatformFont::PlatformFont(GpFont* font) : font_(font) {
    if (!font_) return;
    // The face GDI+ settled on (a substitute when the named one is missing), as a GDI font.
    HDC screenless = CreateCompatibleDC(nullptr);
    GpGraphics* graphics = nullptr;
    LOGFONTW face{};
    TEXTMETRICW metrics{};
    bool measured = false;
    if (screenless && GdipCreateFromHDC(screenless, &graphics) == Ok &&
        GdipGetLogFontW(font_, graphics, &face) == Ok) {
        // GDI+'s grid-fitted ClearType, and its system default, in GDI's terms.
        face.lfQuality = CLEARTYPE_QUALITY;
        smoothFont_ = CreateFontIndirectW(&face);
        face.lfQuality = DEFAULT_QUALITY;
        plainFont_ = CreateFontIndirectW(&face);
        if (smoothFont_ && plainFont_) {
            const HGDIOBJ previous = SelectObject(screenless, smoothFont_);
            measured = GetTextMetricsW(screenless, &metrics) != 0;
            SelectObject(screenless, previous);
        }
    }
    REAL size = 0.0f;
    REAL dpiY = 0.0f;
    REAL lineHeight = 0.0f;
    if (measured && GdipGetFontSize(font_, &size) == Ok && GdipGetDpiY(graphics, &dpiY) == Ok &&
        GdipGetFontHeightGivenDPI(font_, dpiY, &lineHeight) == Ok) {
        ascent_ = metrics.tmAscent;
        margin_ = size / 6.0f;
        lineHeight_ = lineHeight;
    } else {
        if (smoothFont_) DeleteObject(smoothFont_);
        if (plainFont_) DeleteObject(plainFont_);
        smoothFont_ = plainFont_ = nullptr;
    }
    if (graphics) GdipDeleteGraphics(graphics);
    if (screenless) DeleteDC(screenless);
}

PlatformFont::~PlatformFont() {
    if (smoothFont_) DeleteObject(smoothFont_);
    if (plainFont_) DeleteObject(plainFont_);
    if (font_) GdipDeleteFont(font_);
}

// --- GdipSurface -------------------------------------------------------------------------

namespace win32 {

GdipSurface::GdipSurface(HWND window, HDC dc) : window_(window) {
    if (!dc && window) dc = ownDc_ = GetDC(window);
    if (dc) keep(GdipCreateFromHDC(dc, &graphics_));
    prepareGraphics();
}

GdipSurface::GdipSurface(PlatformImage* image) {
    // What is drawn here from now on is in the bitmap alone.
    if (image) image->forgetRows();
    if (image && image->bitmap()) keep(GdipGetImageGraphicsContext(image->bitmap(), &graphics_));
    prepareGraphics();
}

void GdipSurface::prepareGraphics() {
    if (!graphics_) return;
    prepare(graphics_, status_);
    penStatus_ = GdipCreatePen1(0xff000000, 1.0f, UnitPixel, &pen_);
    fillStatus_ = GdipCreateSolidFill(0xff000000, &fill_);
    textStatus_ = GdipCreateSolidFill(0xffffffff, &text_);
}

GdipSurface::~GdipSurface() {
    if (text_) GdipDeleteBrush(text_);
    if (fill_) GdipDeleteBrush(fill_);
    if (pen_) GdipDeletePen(pen_);
    if (graphics_) GdipDeleteGraphics(graphics_);
    if (ownDc_) ReleaseDC(window_, ownDc_);
}

void GdipSurface::keep(GpStatus status) {
    status_ = status;
}

void GdipSurface::setClip(const ViewRect& r) {
    if (graphics_)
        keep(GdipSetClipRectI(graphics_, r.left, r.top, r.width(), r.height(), CombineModeReplace));
}

void GdipSurface::setStrokeColor(ViewColor color) {
    if (pen_) penStatus_ = GdipSetPenColor(pen_, toArgb(color));
}

void GdipSurface::setStrokeWidth(int32_t width) {
    if (pen_) penStatus_ = GdipSetPenWidth(pen_, static_cast<REAL>(width));
}

void GdipSurface::setDotted(bool dotted) {
    if (pen_) penStatus_ = GdipSetPenDashStyle(pen_, dotted ? DashStyleDot : DashStyleSolid);
}

void GdipSurface::setFillColor(ViewColor color) {
    if (fill_) fillStatus_ = GdipSetSolidFillColor(fill_, toArgb(color));
}

void GdipSurface::setTextColor(ViewColor color) {
    if (text_) textStatus_ = GdipSetSolidFillColor(text_, toArgb(color));
}

void GdipSurface::setSmoothing(bool antialiased) {
    if (graphics_)
        keep(GdipSetSmoothingMode(graphics_,
                                  antialiased ? SmoothingModeAntiAlias : SmoothingModeNone));
}

// --- shapes ------------------------------------------------------------------------------

void GdipSurface::strokeLine(float x0, float y0, float x1, float y1) {
    if (graphics_ && pen_) keep(GdipDrawLine(graphics_, pen_, x0, y0, x1, y1));
}

namespace {
std::vector<GpPointF> toPoints(const SurfacePoint* points, int32_t count) {
    std::vector<GpPointF> converted(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        converted[static_cast<size_t>(i)] = {points[i].x, points[i].y};
    return converted;
}
} // namespace

void GdipSurface::fillPolygon(const SurfacePoint* points, int32_t count) {
    if (!graphics_ || !fill_ || !points || count < 1) return;
    const auto converted = toPoints(points, count);
    keep(GdipFillPolygon(graphics_, fill_, converted.data(), count, FillModeAlternate));
}

void GdipSurface::strokePolygon(const SurfacePoint* points, int32_t count, bool closed) {
    if (!graphics_ || !pen_ || !points || count < 1) return;
    const auto converted = toPoints(points, count);
    keep(closed ? GdipDrawPolygon(graphics_, pen_, converted.data(), count)
                : GdipDrawLines(graphics_, pen_, converted.data(), count));
}

void GdipSurface::fillRect(float x, float y, float width, float height) {
    if (graphics_ && fill_) keep(GdipFillRectangle(graphics_, fill_, x, y, width, height));
}

void GdipSurface::fillRectPixels(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (graphics_ && fill_) keep(GdipFillRectangleI(graphics_, fill_, x, y, width, height));
}

void GdipSurface::strokeRect(float x, float y, float width, float height) {
    if (graphics_ && pen_) keep(GdipDrawRectangle(graphics_, pen_, x, y, width, height));
}

void GdipSurface::fillEllipse(float x, float y, float width, float height) {
    if (graphics_ && fill_) keep(GdipFillEllipse(graphics_, fill_, x, y, width, height));
}

void GdipSurface::strokeEllipse(float x, float y, float width, float height) {
    if (graphics_ && pen_) keep(GdipDrawEllipse(graphics_, pen_, x, y, width, height));
}

// A path of the arc alone; null when none could be made.
GpPath* GdipSurface::arcPath(float x, float y, float width, float height, float startDegrees,
                             float sweepDegrees) {
    GpPath* path = nullptr;
    keep(GdipCreatePath(FillModeAlternate, &path));
    if (path) keep(GdipAddPathArc(path, x, y, width, height, startDegrees, sweepDegrees));
    return path;
}

void GdipSurface::fillArc(float x, float y, float width, float height, float startDegrees,
                          float sweepDegrees) {
    if (!graphics_ || !fill_) return;
    if (GpPath* path = arcPath(x, y, width, height, startDegrees, sweepDegrees)) {
        keep(GdipFillPath(graphics_, fill_, path));
        GdipDeletePath(path);
    }
}

void GdipSurface::strokeArc(float x, float y, float width, float height, float startDegrees,
                            float sweepDegrees) {
    if (!graphics_ || !pen_) return;
    if (GpPath* path = arcPath(x, y, width, height, startDegrees, sweepDegrees)) {
        keep(GdipDrawPath(graphics_, pen_, path));
        GdipDeletePath(path);
    }
}

// --- text --------------------------------------------------------------------------------

float GdipSurface::textWidth(const char* text, PlatformFont* font) {
    if (!graphics_ || !font || !font->font() || !text || !*text) return -1.0f;
    const std::wstring wide = widen(text);
    const RectF layout(0.0f, 0.0f, 0.0f, 0.0f);
    RectF box(0.0f, 0.0f, 0.0f, 0.0f);
    keep(GdipMeasureString(graphics_, wide.c_str(), static_cast<INT>(wide.size()), font->font(),
                           &layout, nullptr, &box, nullptr, nullptr));
    return status_ == Ok ? box.Width : -1.0f;
}

float GdipSurface::fontHeight(PlatformFont* font) {
    if (!graphics_ || !font || !font->font()) return 0.0f;
    REAL dpiY = 96.0f;
    keep(GdipGetDpiY(graphics_, &dpiY));
    REAL height = 0.0f;
    keep(GdipGetFontHeightGivenDPI(font->font(), dpiY, &height));
    return height;
}

void GdipSurface::drawText(const char* text, PlatformFont* font, float x, float y, bool smooth) {
    if (!graphics_ || !text_ || !font || !font->font() || !text || !*text) return;
    const std::wstring wide = widen(text);
    keep(GdipSetTextRenderingHint(graphics_, smooth ? TextRenderingHintClearTypeGridFit
                                                    : TextRenderingHintSystemDefault));
    const RectF layout(x, y, 0.0f, 0.0f);
    keep(GdipDrawString(graphics_, wide.c_str(), static_cast<INT>(wide.size()), font->font(),
                        &layout, nullptr, text_));
}

// --- images ------------------------------------------------------------------------------

void GdipSurface::drawImage(PlatformImage* image, int32_t x, int32_t y, int32_t width,
                            int32_t height, int32_t sourceX, int32_t sourceY, uint8_t alpha) {
    if (!graphics_ || !image || !image->bitmap() || width <= 0 || height <= 0) return;
    if (alpha == 255) {
        keep(GdipDrawImageRectRectI(graphics_, image->bitmap(), x, y, width, height, sourceX,
                                    sourceY, width, height, UnitPixel, nullptr, nullptr, nullptr));
        return;
    }
    // Faded: the source region is copied into a bitmap of its own first, so the colour matrix
    // scales exactly the pixels that are drawn, and is then drawn with alpha scaled.
    GpBitmap* region = nullptr;
    keep(GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &region));
    if (!region) return;
    GpGraphics* regionGraphics = nullptr;
    keep(GdipGetImageGraphicsContext(region, &regionGraphics));
    if (regionGraphics) {
        GpStatus ignored = Ok;
        prepare(regionGraphics, ignored);
        keep(GdipGraphicsClear(regionGraphics, 0));
        keep(GdipSetCompositingMode(regionGraphics, CompositingModeSourceCopy));
        keep(GdipDrawImageRectRectI(regionGraphics, image->bitmap(), 0, 0, width, height, sourceX,
                                    sourceY, width, height, UnitPixel, nullptr, nullptr, nullptr));
        GdipDeleteGraphics(regionGraphics);
    }
    GpImageAttributes* attributes = nullptr;
    keep(GdipCreateImageAttributes(&attributes));
    ColorMatrix matrix{};
    for (int i = 0; i < 5; ++i)
        matrix.m[i][i] = 1.0f;
    matrix.m[3][3] = static_cast<REAL>(alpha) / 255.0f;
    if (attributes)
        keep(GdipSetImageAttributesColorMatrix(attributes, ColorAdjustTypeDefault, TRUE, &matrix,
                                               nullptr, ColorMatrixFlagsDefault));
    keep(GdipDrawImageRectRectI(graphics_, region, x, y, width, height, 0, 0, width, height,
                                UnitPixel, attributes, nullptr, nullptr));
    if (attributes) GdipDisposeImageAttributes(attributes);
    GdipDisposeImage(region);
}

namespace {

// Where an image drawn at x, y (width x height from sourceX, sourceY) lands inside clip and
// inside the image itself: the box on the bits, the top-left of the part read (source) and the
// image's width; nothing when it lands nowhere.
struct Placement {
    ViewRect target;
    ViewPoint source;
    UINT imageWidth = 0;
};

std::optional<Placement> placeOnBits(PlatformImage* image, const ViewRect& clip, int32_t x,
                                     int32_t y, int32_t width, int32_t height, int32_t sourceX,
                                     int32_t sourceY) {
    Placement placed;
    UINT imageHeight = 0;
    GdipGetImageWidth(image->bitmap(), &placed.imageWidth);
    GdipGetImageHeight(image->bitmap(), &imageHeight);
    ViewRect& target = placed.target;
    target = {x, y, x + width, y + height};
    target.bound(clip);
    target.bound({x - sourceX, y - sourceY, x - sourceX + static_cast<int32_t>(placed.imageWidth),
                  y - sourceY + static_cast<int32_t>(imageHeight)});
    placed.source = {sourceX + target.left - x, sourceY + target.top - y};
    if (target.width() <= 0 || target.height() <= 0) return std::nullopt;
    return placed;
}

} // namespace

bool copyOpaqueImage(PlatformImage* image, uint8_t* bits, int32_t stride, const ViewRect& clip,
                     int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                     int32_t sourceY) {
    if (!image || !image->bitmap() || !bits) return false;
    const auto placed = placeOnBits(image, clip, x, y, width, height, sourceX, sourceY);
    if (!placed) return true;
    const auto& [target, source, imageWidth] = *placed;
    const std::vector<uint8_t>& rows = image->rows();
    if (!rows.empty() && image->pixelBytes() == 3) {
        const size_t rowBytes = static_cast<size_t>(imageWidth) * 3;
        const size_t copied = static_cast<size_t>(target.width()) * 3;
        for (int32_t row = 0; row < target.height(); ++row)
            std::memcpy(bits + static_cast<ptrdiff_t>(target.top + row) * stride +
                            static_cast<ptrdiff_t>(target.left) * 3,
                        rows.data() + static_cast<size_t>(source.y + row) * rowBytes +
                            static_cast<size_t>(source.x) * 3,
                        copied);
        return true;
    }
    const GpRect locked{source.x, source.y, target.width(), target.height()};
    BitmapData data{};
    if (GdipBitmapLockBits(image->bitmap(), &locked, ImageLockModeRead, PixelFormat32bppARGB,
                           &data) != Ok)
        return false;
    for (int32_t row = 0; row < target.height(); ++row) {
        const auto* from = reinterpret_cast<const uint8_t*>(data.Scan0) +
                           static_cast<ptrdiff_t>(row) * data.Stride;
        uint8_t* to = bits + static_cast<ptrdiff_t>(target.top + row) * stride +
                      static_cast<ptrdiff_t>(target.left) * 3;
        // Both store blue, green, red in that order; the source's fourth byte is its alpha.
        for (int32_t column = 0; column < target.width(); ++column, from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    GdipBitmapUnlockBits(image->bitmap(), &data);
    return true;
}

bool blendKeptImage(PlatformImage* image, uint8_t* bits, int32_t stride, const ViewRect& clip,
                    int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                    int32_t sourceY) {
    if (!image || !image->bitmap() || !bits) return false;
    const std::vector<uint8_t>& rows = image->rows();
    if (rows.empty() || image->pixelBytes() != 4) return false;
    const auto placed = placeOnBits(image, clip, x, y, width, height, sourceX, sourceY);
    if (!placed) return true;
    const auto& [target, source, imageWidth] = *placed;
    const size_t rowBytes = static_cast<size_t>(imageWidth) * 4;
    for (int32_t row = 0; row < target.height(); ++row) {
        const uint8_t* from = rows.data() + static_cast<size_t>(source.y + row) * rowBytes +
                              static_cast<size_t>(source.x) * 4;
        uint8_t* to = bits + static_cast<ptrdiff_t>(target.top + row) * stride +
                      static_cast<ptrdiff_t>(target.left) * 3;
        for (int32_t column = 0; column < target.width(); ++column, from += 4, to += 3) {
            // Each channel weighted by the alpha and what is under it by the rest, truncated:
            // GDI+'s own arithmetic over pixels without alpha, so the pixels are the same.
            const uint32_t alpha = from[3];
            for (int channel = 0; channel < 3; ++channel)
                to[channel] = static_cast<uint8_t>(
                    (from[channel] * alpha + to[channel] * (255 - alpha)) / 255);
        }
    }
    return true;
}

// --- ComposedSurface's text --------------------------------------------------------------

HFONT ComposedSurface::gdiFontFor(const char* text, PlatformFont* font, bool smooth) const {
    // Translucent ink, line breaks and tab stops are GDI+'s own business.
    if (!font || textColor_.alpha != 255 || !text) return nullptr;
    for (const char* c = text; *c; ++c)
        if (*c == '\n' || *c == '\r' || *c == '\t') return nullptr;
    return font->gdiFont(smooth);
}

float ComposedSurface::textWidth(const char* text, PlatformFont* font) {
    const HFONT gdiFont = gdiFontFor(text, font, true);
    if (!gdiFont || !*text) return context().textWidth(text, font);
    const std::wstring wide = widen(text);
    const HGDIOBJ previous = SelectObject(memory_, gdiFont);
    SIZE extent{};
    const BOOL measured =
        GetTextExtentPoint32W(memory_, wide.c_str(), static_cast<int>(wide.size()), &extent);
    SelectObject(memory_, previous);
    if (!measured) return context().textWidth(text, font);
    return static_cast<float>(extent.cx) + 2.0f * font->margin();
}

float ComposedSurface::fontHeight(PlatformFont* font) {
    if (font && font->gdiFont(true)) return font->lineHeight();
    return context().fontHeight(font);
}

void ComposedSurface::drawText(const char* text, PlatformFont* font, float x, float y,
                               bool smooth) {
    const HFONT gdiFont = gdiFontFor(text, font, smooth);
    if (!gdiFont) {
        context().drawText(text, font, x, y, smooth);
        return;
    }
    if (!*text || clip_.width() <= 0 || clip_.height() <= 0) return;
    const std::wstring wide = widen(text);
    // GDI+ starts the line one margin in and hangs it from the layout box's top by the
    // font's ascent, each rounded half up.
    const int left = static_cast<int>(std::floor(x + font->margin() + 0.5f));
    const int baseline =
        static_cast<int>(std::floor(y + static_cast<float>(font->ascent()) + 0.5f));
    const RECT clip{clip_.left, clip_.top, clip_.right, clip_.bottom};
    const HGDIOBJ previous = SelectObject(memory_, gdiFont);
    SetBkMode(memory_, TRANSPARENT);
    SetTextColor(memory_, textColor_.systemColor());
    SetTextAlign(memory_, TA_BASELINE | TA_LEFT);
    ExtTextOutW(memory_, left, baseline, ETO_CLIPPED, &clip, wide.c_str(),
                static_cast<UINT>(wide.size()), nullptr);
    SelectObject(memory_, previous);
}

} // namespace win32

// --- the seam's factories ----------------------------------------------------------------

namespace platform {

std::unique_ptr<DrawSurface> createWindowSurface(void* window, void* deviceContext) {
    return std::make_unique<win32::GdipSurface>(static_cast<HWND>(window),
                                                static_cast<HDC>(deviceContext));
}

std::unique_ptr<DrawSurface> createImageSurface(PlatformImage* image) {
    return std::make_unique<win32::GdipSurface>(image);
}

} // namespace platform
} // namespace QXAGUI
