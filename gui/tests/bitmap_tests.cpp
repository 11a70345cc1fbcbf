// CBitmap and GDIPlusGlobals: resource lookup order, blits and fades, and the graphics
// library's start-up shared by every bitmap and frame.
#include "cbitmap.h"
#include "cdrawcontext.h"
#include "gui_test_support.h"

#include <thread>

namespace QXAGUI {
namespace {

using headless::ResourceType;
using testing::FrameTest;

class BitmapTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        context = new CDrawContext(frame, nullptr, frame->systemWindow());
        window().drawing.clear();
    }
    void TearDown() override {
        context->release();
        FrameTest::TearDown();
    }
    CDrawContext* context = nullptr;
};

TEST_F(BitmapTest, ADataResourceIsPreferredToABitmapOfTheSameNumber) {
    headless::addResource(ResourceType::Bitmap, 130, 16, 58);
    headless::addResource(ResourceType::Data, 130, 8, 8);
    headless::addResource(ResourceType::Bitmap, 128, 500, 170);
    auto* both = new CBitmap(ResourceRef::byNumber(130));
    auto* bitmapOnly = new CBitmap(ResourceRef::byNumber(128));
    EXPECT_EQ(headless::imageName(both->platformImage()), "data#130");
    EXPECT_EQ(both->width(), 8);
    EXPECT_EQ(headless::imageName(bitmapOnly->platformImage()), "bitmap#128");
    EXPECT_EQ(bitmapOnly->width(), 500);
    EXPECT_EQ(bitmapOnly->height(), 170);
    both->release();
    bitmapOnly->release();
}

TEST_F(BitmapTest, NamesAreLookedUpWithoutRegardToCase) {
    headless::addResource(ResourceType::Data, "bmp00129.png", 7, 7);
    auto* dot = new CBitmap(ResourceRef::byName("BMP00129.PNG"));
    EXPECT_TRUE(dot->isLoaded());
    EXPECT_EQ(dot->width(), 7);
    dot->release();
}

TEST_F(BitmapTest, AMissingResourceLeavesAnEmptyBitmapThatDrawsNothing) {
    auto* missing = new CBitmap(ResourceRef::byNumber(999));
    EXPECT_FALSE(missing->isLoaded());
    EXPECT_EQ(missing->width(), 0);
    EXPECT_FALSE(missing->loadModuleImage(ResourceRef::byName("nothing")));
    missing->blit(context, {0, 0, 10, 10});
    EXPECT_TRUE(window().drawing.lines.empty());
    missing->release();
}

TEST_F(BitmapTest, BlitsDrawTheSourceRegionAtTheDestinationWithTheContextOffset) {
    headless::addResource(ResourceType::Bitmap, 130, 16, 58);
    auto* strip = new CBitmap(ResourceRef::byNumber(130));
    context->setDrawingOffset({100, 10});
    strip->blit(context, {61, 44, 76, 72}, {0, 29});
    strip->blitFaded(context, {0, 0, 15, 28}, {0, 0}, 128);
    EXPECT_EQ(window().drawing.lines,
              (std::vector<std::string>{"image bitmap#130 161 54 15 28 0 29 255",
                                        "image bitmap#130 100 10 15 28 0 0 128"}));
    strip->release();
}

TEST_F(BitmapTest, UnloadFreesTheImage) {
    const int32_t images = headless::liveImageCount();
    auto* blank = new CBitmap(10, 20);
    EXPECT_EQ(headless::liveImageCount(), images + 1);
    blank->unload();
    EXPECT_EQ(blank->width(), 0);
    EXPECT_EQ(headless::liveImageCount(), images);
    EXPECT_FALSE(blank->loadFile("anything.png"));
    blank->release();
}

TEST(GraphicsGlobalsTest, TheLibraryRunsWhileAnyBitmapOrFrameNeedsIt) {
    headless::reset();
    ASSERT_FALSE(GDIPlusGlobals::isRunning());
    FontSmall->platformFont();
    auto* first = new CBitmap(1, 1);
    auto* second = new CBitmap(1, 1);
    EXPECT_TRUE(GDIPlusGlobals::isRunning());
    EXPECT_EQ(headless::graphicsStartCount(), 1);
    first->release();
    EXPECT_TRUE(GDIPlusGlobals::isRunning());
    second->release();
    EXPECT_FALSE(GDIPlusGlobals::isRunning());
    EXPECT_EQ(headless::graphicsStartCount(), 0);
}

TEST(GraphicsGlobalsTest, TwoThreadsCreatingAndDestroyingBitmapsShareOneStartUp) {
    headless::reset();
    auto churn = [] {
        for (int i = 0; i < 2000; ++i) {
            auto* bitmap = new CBitmap();
            bitmap->release();
        }
    };
    auto* held = new CBitmap();
    std::thread a(churn);
    std::thread b(churn);
    a.join();
    b.join();
    EXPECT_EQ(headless::graphicsStartCount(), 1);
    held->release();
    EXPECT_EQ(headless::graphicsStartCount(), 0);
}

} // namespace
} // namespace QXAGUI
