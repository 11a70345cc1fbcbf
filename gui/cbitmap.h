// CBitmap: one decoded image, loaded from the plug-in module's own resources, blitted from a
// source region into a destination rectangle of a context, optionally faded. GDIPlusGlobals
// keeps the graphics library started while any toolkit object needs it.
#pragma once

#include "cbaseobject.h"
#include "viewtypes.h"

namespace QXAGUI {

class CDrawContext;
class PlatformImage;

// Names a module resource: by number or by name. A "DATA" resource of that number or name is
// tried first (a PNG), then a bitmap resource.
struct ResourceRef {
    enum Kind : int32_t { ByNumber = 0, ByName = 1, None = 2 };
    Kind kind = None;
    uint16_t number = 0;
    const char* name = nullptr;

    static constexpr ResourceRef byNumber(uint16_t n) { return {ByNumber, n, nullptr}; }
    static constexpr ResourceRef byName(const char* text) { return {ByName, 0, text}; }
};

class CBitmap : public CBaseObject {
public:
    // Loads the resource at once (the editors' form); 0 x 0 when it is missing.
    explicit CBitmap(const ResourceRef& reference);
    // A blank 32-bit ARGB image, fully transparent.
    CBitmap(int32_t width, int32_t height);
    CBitmap();
    ~CBitmap() override;

    // All three draw the source rectangle (srcOffset, destRect's size) at destRect; the image's
    // own alpha gives transparency. blitFaded scales it by alpha / 255.
    virtual void blit(CDrawContext* context, const ViewRect& destRect,
                      ViewPoint srcOffset = ViewPoint());
    virtual void blitKeyed(CDrawContext* context, const ViewRect& destRect,
                           ViewPoint srcOffset = ViewPoint());
    virtual void blitFaded(CDrawContext* context, const ViewRect& destRect, ViewPoint srcOffset,
                           uint8_t alpha);
    virtual void unload();
    virtual bool loadModuleImage(const ResourceRef& reference);
    // Files are not read by this toolkit: unloads and answers false.
    virtual bool loadFile(const char* path);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool isLoaded() const { return image_ != nullptr; }
    const ResourceRef& resource() const { return reference_; }
    ViewColor transparentColor() const { return transparentColor_; }
    void setTransparentColor(ViewColor color) { transparentColor_ = color; }
    bool hasNoAlpha() const { return noAlpha_; }
    // Loaded, and every pixel fully opaque.
    bool isOpaque() const;
    PlatformImage* platformImage() const { return image_; }

private:
    ResourceRef reference_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    ViewColor transparentColor_ = kTransparentColor;
    bool noAlpha_ = true;
    PlatformImage* image_ = nullptr;
};

// The graphics library's start-up token, shared by every toolkit object of the module that
// needs the library. Safe against instances created and destroyed on two threads at once.
class GDIPlusGlobals : public CBaseObject {
public:
    // Takes one reference, starting the library with the first.
    static void enter();
    // Drops one reference; the last one drops the named fonts' platform fonts and stops the
    // library.
    static void leave();
    // Whether the library is started (for tests).
    static bool isRunning();

    ~GDIPlusGlobals() override;

private:
    GDIPlusGlobals();
};

} // namespace QXAGUI
