#include "cbitmap.h"

#include "cdrawcontext.h"
#include "platform/platform.h"

#include <mutex>

namespace QXAGUI {

void releaseNamedFonts(); // cdrawcontext.cpp

// --- CBitmap ---------------------------------------------------------------------------------

CBitmap::CBitmap(const ResourceRef& reference) {
    GDIPlusGlobals::enter();
    loadModuleImage(reference);
}

CBitmap::CBitmap(int32_t width, int32_t height) {
    GDIPlusGlobals::enter();
    image_ = platform::createBlankImage(width, height);
    if (image_) {
        width_ = platform::imageWidth(image_);
        height_ = platform::imageHeight(image_);
        noAlpha_ = false;
    }
}

CBitmap::CBitmap() {
    GDIPlusGlobals::enter();
}

CBitmap::~CBitmap() {
    unload();
    GDIPlusGlobals::leave();
}

void CBitmap::blit(CDrawContext* context, const ViewRect& destRect, ViewPoint srcOffset) {
    blitFaded(context, destRect, srcOffset, 255);
}

void CBitmap::blitKeyed(CDrawContext* context, const ViewRect& destRect, ViewPoint srcOffset) {
    blitFaded(context, destRect, srcOffset, 255);
}

void CBitmap::blitFaded(CDrawContext* context, const ViewRect& destRect, ViewPoint srcOffset,
                        uint8_t alpha) {
    if (!image_ || !context || !context->surface().canDraw()) return;
    const ViewPoint offset = context->drawingOffset();
    context->surface().drawImage(image_, destRect.left + offset.x, destRect.top + offset.y,
                                 destRect.width(), destRect.height(), srcOffset.x, srcOffset.y,
                                 alpha);
}

bool CBitmap::isOpaque() const {
    return image_ && platform::imageIsOpaque(image_);
}

void CBitmap::unload() {
    if (image_) platform::destroyImage(image_);
    image_ = nullptr;
    width_ = 0;
    height_ = 0;
    noAlpha_ = false;
}

bool CBitmap::loadModuleImage(const ResourceRef& reference) {
    unload();
    reference_ = reference;
    image_ = platform::loadResourceImage(reference);
    if (!image_) return false;
    width_ = platform::imageWidth(image_);
    height_ = platform::imageHeight(image_);
    return true;
}

bool CBitmap::loadFile(const char* /*path*/) {
    unload();
    return false;
}

// --- GDIPlusGlobals --------------------------------------------------------------------------

namespace {
// Two instances may be created or destroyed on two threads at once.
std::mutex globalsMutex;
GDIPlusGlobals* globals = nullptr;
} // namespace

GDIPlusGlobals::GDIPlusGlobals() {
    platform::startGraphics();
}

GDIPlusGlobals::~GDIPlusGlobals() {
    // Fonts made by the library must go before it stops.
    releaseNamedFonts();
    platform::stopGraphics();
}

void GDIPlusGlobals::enter() {
    std::lock_guard<std::mutex> lock(globalsMutex);
    if (globals)
        globals->retain();
    else
        globals = new GDIPlusGlobals();
}

void GDIPlusGlobals::leave() {
    std::lock_guard<std::mutex> lock(globalsMutex);
    if (!globals) return;
    GDIPlusGlobals* last = globals;
    if (last->referenceCount() == 1) globals = nullptr;
    last->release();
}

bool GDIPlusGlobals::isRunning() {
    std::lock_guard<std::mutex> lock(globalsMutex);
    return globals != nullptr;
}

} // namespace QXAGUI
