// The Win32 back-end's drawing, read back pixel by pixel from images: blits plain and faded
// (the image's own alpha scaled), palette bitmaps, fonts with their fallback, a surface
// without a graphics object, and the draw context's shapes and bitmaps on GDI+.
#include "win32_test_support.h"

#include "cbitmap.h"
#include "cdrawcontext.h"

namespace QXAGUI::testing {
namespace {

class SurfaceTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        target_ = platform::createBlankImage(8, 8);
        ASSERT_NE(target_, nullptr);
        surface_ = platform::createImageSurface(target_);
        ASSERT_TRUE(surface_->canDraw());
    }
    void TearDown() override {
        surface_.reset();
        for (PlatformImage* image : {target_, source_})
            if (image) platform::destroyImage(image);
        GraphicsTest::TearDown();
    }
    PlatformImage* source(const ResourceRef& reference) {
        source_ = platform::loadResourceImage(reference);
        return source_;
    }
    void paintTarget(ViewColor colour) {
        surface_->setFillColor(colour);
        surface_->fillRectPixels(0, 0, 8, 8);
    }

    PlatformImage* target_ = nullptr;
    PlatformImage* source_ = nullptr;
    std::unique_ptr<DrawSurface> surface_;
};

TEST_F(SurfaceTest, PlainBlitCopiesTheSourceRegionWithItsAlpha) {
    PlatformImage* dot = source(ResourceRef::byName("dot.png"));
    ASSERT_NE(dot, nullptr);
    surface_->drawImage(dot, 2, 1, 4, 2, 0, 2, 255); // rows 2 and 3: transparent, then green
    EXPECT_EQ(pixelAt(target_, 2, 1).a, 0);
    EXPECT_TRUE(sameColour(pixelAt(target_, 5, 2), {255, 0, 255, 0}));
    EXPECT_EQ(pixelAt(target_, 1, 2).a, 0); // left of the destination
    EXPECT_EQ(pixelAt(target_, 2, 3).a, 0); // below it
}

TEST_F(SurfaceTest, FadedBlitAtHalfAlphaScalesTheImagesOwnAlpha) {
    PlatformImage* dot = source(ResourceRef::byName("dot.png"));
    ASSERT_NE(dot, nullptr);
    surface_->drawImage(dot, 0, 0, 4, 4, 0, 0, 128);
    // Opaque red becomes half red; half-transparent blue a quarter; transparent stays so.
    EXPECT_TRUE(sameColour(pixelAt(target_, 0, 0), {128, 255, 0, 0}, 2));
    EXPECT_TRUE(sameColour(pixelAt(target_, 3, 1), {64, 0, 0, 255}, 2));
    EXPECT_EQ(pixelAt(target_, 1, 2).a, 0);
    EXPECT_TRUE(sameColour(pixelAt(target_, 2, 3), {128, 0, 255, 0}, 2));
    EXPECT_EQ(pixelAt(target_, 4, 0).a, 0);
}

TEST_F(SurfaceTest, FadedBlitTakesItsSourceOffset) {
    PlatformImage* dot = source(ResourceRef::byName("dot.png"));
    ASSERT_NE(dot, nullptr);
    surface_->drawImage(dot, 5, 5, 2, 1, 1, 3, 128); // two green pixels of the last row
    EXPECT_TRUE(sameColour(pixelAt(target_, 5, 5), {128, 0, 255, 0}, 2));
    EXPECT_TRUE(sameColour(pixelAt(target_, 6, 5), {128, 0, 255, 0}, 2));
    EXPECT_EQ(pixelAt(target_, 7, 5).a, 0);
    EXPECT_EQ(pixelAt(target_, 5, 6).a, 0);
}

TEST_F(SurfaceTest, PaletteBitmapBlitsPlainAndFadedOverWhite) {
    PlatformImage* palette = source(ResourceRef::byNumber(200));
    ASSERT_NE(palette, nullptr);
    paintTarget(kWhiteColor);
    surface_->drawImage(palette, 0, 0, 4, 2, 0, 0, 255);
    surface_->drawImage(palette, 0, 4, 4, 2, 0, 0, 128);
    EXPECT_TRUE(sameColour(pixelAt(target_, 0, 0), {255, 255, 0, 0}));
    EXPECT_TRUE(sameColour(pixelAt(target_, 2, 0), {255, 0, 0, 255}));
    EXPECT_TRUE(sameColour(pixelAt(target_, 0, 1), {255, 0, 0, 0}));
    // Half of each entry over white.
    EXPECT_TRUE(sameColour(pixelAt(target_, 0, 4), {255, 255, 127, 127}, 3));
    EXPECT_TRUE(sameColour(pixelAt(target_, 0, 5), {255, 127, 127, 127}, 3));
    EXPECT_TRUE(sameColour(pixelAt(target_, 3, 5), {255, 127, 255, 255}, 3));
    EXPECT_TRUE(sameColour(pixelAt(target_, 0, 3), {255, 255, 255, 255})); // untouched row
}

TEST_F(SurfaceTest, ClipLimitsEveryOperationToItsRectangle) {
    surface_->setClip({2, 2, 5, 4});
    paintTarget(kRedColor);
    EXPECT_TRUE(sameColour(pixelAt(target_, 2, 2), {255, 255, 0, 0}));
    EXPECT_TRUE(sameColour(pixelAt(target_, 4, 3), {255, 255, 0, 0}));
    EXPECT_EQ(pixelAt(target_, 5, 3).a, 0);
    EXPECT_EQ(pixelAt(target_, 4, 4).a, 0);
    EXPECT_EQ(pixelAt(target_, 1, 2).a, 0);
}

TEST_F(SurfaceTest, FontsFallBackToTheSansSerifFamilyAndMeasure) {
    Gdiplus::GpFontFamily* generic = nullptr;
    if (Gdiplus::DllExports::GdipGetGenericFontFamilySansSerif(&generic) != Gdiplus::Ok)
        GTEST_SKIP() << "this system has no generic sans-serif family (scripts/wine-run.sh "
                        "maps one in new Wine prefixes)";
    Gdiplus::DllExports::GdipDeleteFontFamily(generic);
    PlatformFont* unknown = platform::createFont("No Such Family QXA", 12, 0);
    ASSERT_NE(unknown, nullptr);
    PlatformFont* bold = platform::createFont("Arial", 12, 1);
    ASSERT_NE(bold, nullptr);
    const float shortWidth = surface_->textWidth("ab", unknown);
    const float longWidth = surface_->textWidth("abababab", unknown);
    EXPECT_GT(shortWidth, 0.0f);
    EXPECT_GT(longWidth, shortWidth * 2.0f);
    EXPECT_EQ(surface_->textWidth("", unknown), -1.0f);
    EXPECT_EQ(surface_->textWidth("ab", nullptr), -1.0f);
    const float height = surface_->fontHeight(unknown);
    EXPECT_GE(height, 12.0f);
    EXPECT_LE(height, 18.0f);
    platform::destroyFont(unknown);
    platform::destroyFont(bold);
}

TEST_F(SurfaceTest, TextIsDrawnInTheTextColourBelowItsOrigin) {
    PlatformFont* font = platform::createFont("Arial", 12, 0);
    ASSERT_NE(font, nullptr);
    paintTarget(kBlackColor);
    surface_->setTextColor(kWhiteColor);
    surface_->drawText("W", font, 0.0f, -2.0f, false);
    int lit = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            lit += pixelAt(target_, x, y).r > 128 ? 1 : 0;
    EXPECT_GT(lit, 3);
    platform::destroyFont(font);
}

TEST(SurfaceWithoutGraphics, DrawsNothingAndMeasuresNothing) {
    auto surface = platform::createWindowSurface(nullptr, nullptr);
    EXPECT_FALSE(surface->canDraw());
    surface->fillRect(0, 0, 10, 10);
    surface->drawText("abc", nullptr, 0, 0, true);
    EXPECT_EQ(surface->textWidth("abc", nullptr), -1.0f);
    EXPECT_EQ(surface->fontHeight(nullptr), 0.0f);
}

// --- the draw context on GDI+ ------------------------------------------------------------------

class ContextOnGdiplus : public ::testing::Test {
protected:
    void SetUp() override { GDIPlusGlobals::enter(); }
    void TearDown() override { GDIPlusGlobals::leave(); }
    static PlatformImage* pixelsOf(COffscreenContext& context) {
        return context.bitmap()->platformImage();
    }
};

TEST_F(ContextOnGdiplus, FilledAndOutlinedRectangleCoversItsPixelsExactly) {
    auto* context = new COffscreenContext(nullptr, 32, 32);
    context->setFillTint(kGreenColor);
    context->setStrokeTint(kRedColor);
    context->rectangle(ViewRect(10, 10, 20, 20), DrawFilledAndOutline);
    PlatformImage* pixels = pixelsOf(*context);
    const Argb red{255, 255, 0, 0}, green{255, 0, 255, 0};
    // The fill covers 10 x 10; the outline, drawn 9 x 9, lies on its first and last rows and
    // columns.
    for (int i = 10; i < 20; ++i) {
        EXPECT_TRUE(sameColour(pixelAt(pixels, i, 10), red)) << "top " << i;
        EXPECT_TRUE(sameColour(pixelAt(pixels, i, 19), red)) << "bottom " << i;
        EXPECT_TRUE(sameColour(pixelAt(pixels, 10, i), red)) << "left " << i;
        EXPECT_TRUE(sameColour(pixelAt(pixels, 19, i), red)) << "right " << i;
    }
    EXPECT_TRUE(sameColour(pixelAt(pixels, 11, 11), green));
    EXPECT_TRUE(sameColour(pixelAt(pixels, 18, 18), green));
    EXPECT_EQ(pixelAt(pixels, 20, 15).a, 0);
    EXPECT_EQ(pixelAt(pixels, 15, 20).a, 0);
    EXPECT_EQ(pixelAt(pixels, 9, 9).a, 0);
    context->release();
}

TEST_F(ContextOnGdiplus, ArcsSweepClockwiseOnScreen) {
    auto* context = new COffscreenContext(nullptr, 40, 20);
    context->setFillTint(kBlueColor);
    context->setStrokeTint(kRedColor);
    // From twelve o'clock through three to six: the right half, filled up to its chord.
    context->arc(ViewRect(0, 0, 16, 16), 270.0f, 90.0f, DrawFilled);
    // From three o'clock through six to nine: an outline along the bottom only.
    context->arc(ViewRect(20, 0, 36, 16), 0.0f, 180.0f, DrawOutline);
    PlatformImage* pixels = pixelsOf(*context);
    EXPECT_TRUE(sameColour(pixelAt(pixels, 12, 8), {255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(pixels, 3, 8).a, 0);
    int bottom = 0, top = 0;
    for (int x = 20; x < 37; ++x) {
        for (int y = 0; y < 6; ++y)
            top += pixelAt(pixels, x, y).a > 0 ? 1 : 0;
        for (int y = 11; y < 17; ++y)
            bottom += pixelAt(pixels, x, y).a > 0 ? 1 : 0;
    }
    EXPECT_GT(bottom, 8);
    EXPECT_EQ(top, 0);
    context->release();
}

TEST_F(ContextOnGdiplus, BitmapBlitFadedAtHalfAlphaKeepsItsOwnAlpha) {
    auto* context = new COffscreenContext(nullptr, 8, 8);
    auto* dot = new CBitmap(ResourceRef::byName("dot.png"));
    ASSERT_EQ(dot->width(), 4);
    dot->blitFaded(context, ViewRect(2, 2, 6, 6), ViewPoint(0, 0), 128);
    PlatformImage* pixels = pixelsOf(*context);
    EXPECT_TRUE(sameColour(pixelAt(pixels, 2, 2), {128, 255, 0, 0}, 2));
    EXPECT_TRUE(sameColour(pixelAt(pixels, 5, 3), {64, 0, 0, 255}, 2));
    EXPECT_EQ(pixelAt(pixels, 3, 4).a, 0);
    EXPECT_EQ(pixelAt(pixels, 1, 2).a, 0);
    dot->release();
    context->release();
}

TEST_F(ContextOnGdiplus, PaletteBitmapBlitsPlainAndFadedThroughTheContext) {
    auto* context = new COffscreenContext(nullptr, 8, 8);
    context->setFillTint(kWhiteColor);
    context->fillRectangle(ViewRect(0, 0, 8, 8));
    auto* strip = new CBitmap(ResourceRef::byNumber(200));
    ASSERT_EQ(strip->width(), 4);
    ASSERT_EQ(strip->height(), 2);
    strip->blit(context, ViewRect(0, 0, 4, 1), ViewPoint(0, 1)); // the bottom row only
    strip->blitFaded(context, ViewRect(4, 4, 8, 6), ViewPoint(0, 0), 128);
    PlatformImage* pixels = pixelsOf(*context);
    EXPECT_TRUE(sameColour(pixelAt(pixels, 0, 0), {255, 0, 0, 0}));
    EXPECT_TRUE(sameColour(pixelAt(pixels, 1, 0), {255, 255, 255, 0}));
    EXPECT_TRUE(sameColour(pixelAt(pixels, 0, 1), {255, 255, 255, 255})); // untouched
    EXPECT_TRUE(sameColour(pixelAt(pixels, 4, 4), {255, 255, 127, 127}, 3));
    EXPECT_TRUE(sameColour(pixelAt(pixels, 7, 5), {255, 127, 255, 255}, 3));
    strip->release();
    context->release();
}

} // namespace
} // namespace QXAGUI::testing
