#include "cdrawcontext.h"

#include "cbitmap.h"
#include "cframe.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace QXAGUI {

// --- fonts -----------------------------------------------------------------------------------

namespace {

char* copyName(const char* name) {
    const size_t length = name ? std::strlen(name) : 0;
    auto* copy = new char[length + 1];
    if (length) std::memcpy(copy, name, length);
    copy[length] = '\0';
    return copy;
}

CFontDesc systemFont("Arial", 12, 0);
CFontDesc hugeFont("Arial", 18, 0);
CFontDesc largeFont("Arial", 14, 0);
CFontDesc regularFont("Arial", 12, 0);
CFontDesc smallFont("Arial", 11, 0);
CFontDesc smallerFont("Arial", 10, 0);
CFontDesc tinyFont("Arial", 9, 0);
CFontDesc symbolFont("Symbol", 13, 0);

} // namespace

CFontDesc* const FontSystem = &systemFont;
CFontDesc* const FontHuge = &hugeFont;
CFontDesc* const FontLarge = &largeFont;
CFontDesc* const FontRegular = &regularFont;
CFontDesc* const FontSmall = &smallFont;
CFontDesc* const FontSmaller = &smallerFont;
CFontDesc* const FontTiny = &tinyFont;
CFontDesc* const FontSymbol = &symbolFont;

CFontDesc::CFontDesc(const char* name, int32_t size, int32_t style)
    : name_(copyName(name)), size_(size), style_(style) {}

CFontDesc::~CFontDesc() {
    releasePlatformFont();
    delete[] name_;
}

void CFontDesc::setName(const char* name) {
    releasePlatformFont();
    delete[] name_;
    name_ = copyName(name);
}

PlatformFont* CFontDesc::platformFont() {
    PlatformFont* font = font_.load(std::memory_order_acquire);
    if (font) return font;
    PlatformFont* made = platform::createFont(name_, size_, style_);
    if (!made) return nullptr;
    // Two threads may both have made one: the first stored wins, the other is dropped.
    if (font_.compare_exchange_strong(font, made, std::memory_order_acq_rel)) return made;
    platform::destroyFont(made);
    return font;
}

void CFontDesc::releasePlatformFont() {
    if (PlatformFont* font = font_.exchange(nullptr, std::memory_order_acq_rel))
        platform::destroyFont(font);
}

// Called by GDIPlusGlobals before the graphics library stops.
void releaseNamedFonts() {
    for (CFontDesc* font : {FontSystem, FontHuge, FontLarge, FontRegular, FontSmall, FontSmaller,
                            FontTiny, FontSymbol})
        font->releasePlatformFont();
}

// --- the context -----------------------------------------------------------------------------

namespace {

// What a context draws on when the platform gave it nothing: nothing at all.
class NullSurface final : public DrawSurface {
public:
    bool canDraw() const override { return false; }
    void setClip(const ViewRect&) override {}
    void setStrokeColor(ViewColor) override {}
    void setStrokeWidth(int32_t) override {}
    void setDotted(bool) override {}
    void setFillColor(ViewColor) override {}
    void setTextColor(ViewColor) override {}
    void setSmoothing(bool) override {}
    void strokeLine(float, float, float, float) override {}
    void fillPolygon(const SurfacePoint*, int32_t) override {}
    void strokePolygon(const SurfacePoint*, int32_t, bool) override {}
    void fillRect(float, float, float, float) override {}
    void fillRectPixels(int32_t, int32_t, int32_t, int32_t) override {}
    void strokeRect(float, float, float, float) override {}
    void fillEllipse(float, float, float, float) override {}
    void strokeEllipse(float, float, float, float) override {}
    void fillArc(float, float, float, float, float, float) override {}
    void strokeArc(float, float, float, float, float, float) override {}
    float textWidth(const char*, PlatformFont*) override { return -1.0f; }
    float fontHeight(PlatformFont*) override { return 0.0f; }
    void drawText(const char*, PlatformFont*, float, float, bool) override {}
    void drawImage(PlatformImage*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                   uint8_t) override {}
};

std::unique_ptr<DrawSurface> orNullSurface(std::unique_ptr<DrawSurface> surface) {
    if (surface) return surface;
    return std::make_unique<NullSurface>();
}

constexpr ViewRect kDefaultClip{0, 0, 1000, 1000};

} // namespace

CDrawContext::CDrawContext(CFrame* frame, void* deviceContext, void* window)
    : deviceContext_(deviceContext), window_(window), frame_(frame) {
    baseClip_ = defaultClip();
    clip_ = baseClip_;
    surface_ = orNullSurface(
        deviceContext || window ? platform::createWindowSurface(window, deviceContext) : nullptr);
    if (window) screenOffset_ = platform::windowScreenOrigin(window);
    applyDefaults();
}

CDrawContext::CDrawContext(CFrame* frame, std::unique_ptr<DrawSurface> surface,
                           const ViewRect& clip)
    : frame_(frame), surface_(orNullSurface(std::move(surface))) {
    baseClip_ = clip;
    clip_ = clip;
    applyDefaults();
}

CDrawContext::~CDrawContext() {
    if (font_) font_->release();
}

ViewRect CDrawContext::defaultClip() const {
    return frame_ ? frame_->bounds() : kDefaultClip;
}

void CDrawContext::applyDefaults() {
    surface_->setClip(clip_);
    setStrokeTint(kWhiteColor);
    setStrokeStyle(StrokeSolid);
    setStrokeWidth(1);
    setFillTint(kBlackColor);
    setTextTint(kWhiteColor);
    setTextFont(FontSystem);
    setSmoothing(DrawPlain);
}

void CDrawContext::shiftOrigins(int32_t dx, int32_t dy) {
    drawingOffset_.moveBy(dx, dy);
    screenOffset_.moveBy(dx, dy);
}

// --- colours and modes -----------------------------------------------------------------------

void CDrawContext::setStrokeTint(ViewColor color) {
    if (color == frameColor_) return;
    frameColor_ = color;
    surface_->setStrokeColor(color);
}

void CDrawContext::setFillTint(ViewColor color) {
    if (color == fillColor_) return;
    fillColor_ = color;
    surface_->setFillColor(color);
}

void CDrawContext::setTextTint(ViewColor color) {
    textColor_ = color;
    surface_->setTextColor(color);
}

void CDrawContext::setStrokeWidth(int32_t width) {
    if (width == lineWidth_) return;
    lineWidth_ = width;
    surface_->setStrokeWidth(width);
}

void CDrawContext::setStrokeStyle(int32_t style) {
    if (style == lineStyle_) return;
    lineStyle_ = style;
    surface_->setDotted(style == StrokeDotted);
}

void CDrawContext::setSmoothing(int32_t mode) {
    if (mode == drawMode_) return;
    drawMode_ = mode;
    surface_->setSmoothing(mode == DrawSmooth);
}

// --- clip ------------------------------------------------------------------------------------

void CDrawContext::setClip(const ViewRect& rect) {
    ViewRect device = rect;
    device.moveBy(drawingOffset_.x, drawingOffset_.y);
    if (device == clip_) return;
    clip_ = device;
    surface_->setClip(device);
}

void CDrawContext::clip(ViewRect& out) const {
    out = clip_;
    out.moveBy(-drawingOffset_.x, -drawingOffset_.y);
}

void CDrawContext::resetClip() {
    clip_ = baseClip_;
    surface_->setClip(clip_);
}

// --- font ------------------------------------------------------------------------------------

void CDrawContext::setTextFont(CFontDesc* font, int32_t size, int32_t style) {
    if (!font) return;
    CFontDesc* chosen = nullptr;
    if ((size < 1 || size == font->size()) && (style == -1 || style == font->style())) {
        font->retain();
        chosen = font;
    } else {
        chosen = new CFontDesc(font->name(), size < 1 ? font->size() : size,
                               style == -1 ? font->style() : style);
    }
    if (font_) font_->release();
    font_ = chosen;
}

// --- shapes ----------------------------------------------------------------------------------

ViewRect CDrawContext::toDevice(const ViewRect& rect) const {
    ViewRect device = rect.normalized();
    device.moveBy(drawingOffset_.x, drawingOffset_.y);
    return device;
}

void CDrawContext::penTo(ViewPoint point) {
    penPosition_ = point.moveBy(drawingOffset_.x, drawingOffset_.y);
}

ViewPoint CDrawContext::penPosition() const {
    ViewPoint point = penPosition_;
    return point.moveBy(-drawingOffset_.x, -drawingOffset_.y);
}

void CDrawContext::strokeTo(ViewPoint point) {
    point.moveBy(drawingOffset_.x, drawingOffset_.y);
    surface_->strokeLine(static_cast<float>(penPosition_.x), static_cast<float>(penPosition_.y),
                         static_cast<float>(point.x), static_cast<float>(point.y));
    penPosition_ = point;
}

void CDrawContext::strokeSegments(const ViewPoint* points, int32_t count) {
    if (!points) return;
    for (int32_t i = 0; i < count; ++i) {
        penTo(points[2 * i]);
        strokeTo(points[2 * i + 1]);
    }
}

void CDrawContext::polygon(const ViewPoint* points, int32_t count, int32_t style, bool closed) {
    if (!points || count <= 0) return;
    constexpr int32_t kStackPoints = 30;
    SurfacePoint stackPoints[kStackPoints];
    std::vector<SurfacePoint> heapPoints;
    SurfacePoint* converted = stackPoints;
    if (count > kStackPoints) {
        heapPoints.resize(static_cast<size_t>(count));
        converted = heapPoints.data();
    }
    for (int32_t i = 0; i < count; ++i)
        converted[i] = {static_cast<float>(points[i].x + drawingOffset_.x),
                        static_cast<float>(points[i].y + drawingOffset_.y)};
    if (style == DrawFilled || style == DrawFilledAndOutline)
        surface_->fillPolygon(converted, count);
    if (style == DrawOutline || style == DrawFilledAndOutline)
        surface_->strokePolygon(converted, count, closed);
}

void CDrawContext::rectangle(const ViewRect& rect, int32_t style) {
    const ViewRect r = toDevice(rect);
    const auto x = static_cast<float>(r.left);
    const auto y = static_cast<float>(r.top);
    if (style == DrawFilled || style == DrawFilledAndOutline)
        surface_->fillRect(x, y, static_cast<float>(r.width()), static_cast<float>(r.height()));
    if (style == DrawOutline || style == DrawFilledAndOutline)
        surface_->strokeRect(x, y, static_cast<float>(r.width() - 1),
                             static_cast<float>(r.height() - 1));
}

void CDrawContext::fillRectangle(const ViewRect& rect) {
    const ViewRect r = toDevice(rect);
    surface_->fillRectPixels(r.left, r.top, r.width(), r.height());
}

void CDrawContext::ellipse(const ViewRect& rect, int32_t style) {
    const ViewRect r = toDevice(rect);
    const auto x = static_cast<float>(r.left);
    const auto y = static_cast<float>(r.top);
    const auto w = static_cast<float>(r.width() - 1);
    const auto h = static_cast<float>(r.height() - 1);
    if (style == DrawFilled || style == DrawFilledAndOutline) surface_->fillEllipse(x, y, w, h);
    if (style == DrawOutline || style == DrawFilledAndOutline) surface_->strokeEllipse(x, y, w, h);
}

void CDrawContext::arc(const ViewRect& rect, float startAngle, float endAngle, int32_t style) {
    const ViewRect r = toDevice(rect);
    const float sweep = (startAngle > endAngle ? endAngle + 360.0f : endAngle) - startAngle;
    const auto x = static_cast<float>(r.left);
    const auto y = static_cast<float>(r.top);
    const auto w = static_cast<float>(r.width());
    const auto h = static_cast<float>(r.height());
    if (style == DrawFilled || style == DrawFilledAndOutline)
        surface_->fillArc(x, y, w, h, startAngle, sweep);
    if (style == DrawOutline || style == DrawFilledAndOutline)
        surface_->strokeArc(x, y, w, h, startAngle, sweep);
}

void CDrawContext::plotPoint(ViewPoint point, ViewColor color) {
    const int32_t savedWidth = lineWidth_;
    const ViewColor savedColor = frameColor_;
    setStrokeWidth(1);
    setStrokeTint(color);
    const auto x = static_cast<float>(point.x + drawingOffset_.x);
    const auto y = static_cast<float>(point.y + drawingOffset_.y);
    surface_->strokeLine(x, y, x + 1.0f, y);
    setStrokeWidth(savedWidth);
    setStrokeTint(savedColor);
}

// --- text ------------------------------------------------------------------------------------

int32_t CDrawContext::textWidth(const char* text) {
    if (!font_ || !text || !surface_->canDraw()) return -1;
    const float width = surface_->textWidth(text, font_->platformFont());
    return width < 0.0f ? -1 : static_cast<int32_t>(width);
}

void CDrawContext::writeText(const char* text, ViewPoint point, bool smooth) {
    if (!font_ || !text || !surface_->canDraw()) return;
    PlatformFont* font = font_->platformFont();
    const float height = surface_->fontHeight(font);
    const auto x = static_cast<float>(point.x + drawingOffset_.x);
    const float y = static_cast<float>(point.y + drawingOffset_.y + 1) - height;
    surface_->drawText(text, font, x, y, smooth);
}

void CDrawContext::writeTextInRect(const char* text, const ViewRect& rect, int32_t align,
                                   bool smooth) {
    if (!font_ || !text || !surface_->canDraw()) return;
    const int32_t width = std::max(textWidth(text), 0);
    int32_t x = rect.left;
    if (align == AlignRight)
        x = rect.right - width;
    else if (align == AlignCenter)
        x = static_cast<int32_t>((rect.right - rect.left) * 0.5 + rect.left - width * 0.5);
    const int32_t y = rect.bottom + font_->size() / 2 - (rect.bottom - rect.top) / 2 - 1;

    ViewRect savedClip;
    clip(savedClip);
    ViewRect narrowed = rect;
    narrowed.bound(savedClip);
    setClip(narrowed);
    writeText(text, {x, y}, smooth);
    setClip(savedClip);
}

void CDrawContext::writeTextInRect(const char* text, const ViewRect& rect, int32_t align) {
    writeTextInRect(text, rect, align, true);
}

// --- pointer ---------------------------------------------------------------------------------

void CDrawContext::cursorPosition(ViewPoint& out) {
    out = platform::cursorScreenPosition();
    out.moveBy(-screenOffset_.x, -screenOffset_.y);
}

namespace {
// A click or drag stays a click while the cursor moves at most 2 pixels.
ViewRect stillBox(ViewPoint screen) {
    return {screen.x - 2, screen.y - 2, screen.x + 3, screen.y + 3};
}
} // namespace

bool CDrawContext::awaitDoubleClick() {
    return platform::awaitSecondClick(stillBox(platform::cursorScreenPosition()));
}

bool CDrawContext::awaitDrag() {
    if (!frame_) return false;
    const ViewRect box = stillBox(platform::cursorScreenPosition());
    while (platform::asyncButtons() & ButtonLeft) {
        frame_->runEditorIdleNow();
        if (!box.pointInside(platform::cursorScreenPosition())) return true;
    }
    return false;
}

// --- offscreen -------------------------------------------------------------------------------

COffscreenContext::COffscreenContext(CFrame* frame, int32_t width, int32_t height,
                                     ViewColor background)
    : COffscreenContext(frame, new CBitmap(std::abs(width), std::abs(height)), background) {}

COffscreenContext::COffscreenContext(CFrame* frame, CBitmap* own, ViewColor background)
    : CDrawContext(frame, platform::createImageSurface(own->platformImage()),
                   ViewRect(0, 0, own->width(), own->height())),
      bitmap_(own), height_(own->height()), width_(own->width()), backgroundColor_(background) {}

namespace {
// A bitmap to draw into: the given one itself, or a copy of it (20 x 20 without one).
CBitmap* targetFor(CDrawContext* frameContext, CBitmap* bitmap, bool drawIntoBitmap) {
    if (bitmap && drawIntoBitmap) {
        bitmap->retain();
        return bitmap;
    }
    const int32_t width = bitmap ? bitmap->width() : 20;
    const int32_t height = bitmap ? bitmap->height() : 20;
    auto* copy = new CBitmap(width, height);
    if (bitmap) {
        auto* context = new COffscreenContext(frameContext, copy, true);
        bitmap->blit(context, {0, 0, width, height});
        context->release();
    }
    return copy;
}
} // namespace

COffscreenContext::COffscreenContext(CDrawContext* frameContext, CBitmap* bitmap,
                                     bool drawIntoBitmap)
    : COffscreenContext(frameContext ? frameContext->frame() : nullptr,
                        targetFor(frameContext, bitmap, drawIntoBitmap), kBlackColor) {
    drawsIntoSource_ = bitmap && drawIntoBitmap;
    if (bitmap) {
        bitmap->retain();
        sourceBitmap_ = bitmap;
    }
}

COffscreenContext::~COffscreenContext() {
    if (bitmap_) bitmap_->release();
    if (sourceBitmap_) sourceBitmap_->release();
}

void COffscreenContext::copyTo(CDrawContext* destination, const ViewRect& destRect,
                               ViewPoint srcOffset) {
    if (destination && bitmap_) bitmap_->blit(destination, destRect, srcOffset);
}

} // namespace QXAGUI
