// CDrawContext: the arithmetic between the caller's rectangles and the platform's primitives,
// the state that is only sent on change, fonts, clipping and offsets.
#include "cbitmap.h"
#include "cdrawcontext.h"
#include "gui_test_support.h"

namespace QXAGUI {
namespace {

using testing::FrameTest;

class DrawContextTest : public FrameTest {
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
    const std::vector<std::string>& drawn() { return window().drawing.lines; }

    CDrawContext* context = nullptr;
};

TEST_F(DrawContextTest, TheOutlineLiesOnTheRectanglesLastRowAndColumn) {
    context->rectangle({10, 10, 20, 20}, DrawFilledAndOutline);
    EXPECT_EQ(drawn(), (std::vector<std::string>{"fillRect 10 10 10 10", "strokeRect 10 10 9 9"}));
}

TEST_F(DrawContextTest, ReversedCornersAndTheDrawingOffsetAreApplied) {
    context->setDrawingOffset({100, 50});
    context->rectangle({20, 20, 10, 10}, DrawOutline);
    context->fillRectangle({0, 0, 5, 6});
    context->ellipse({0, 0, 11, 21}, DrawFilled);
    EXPECT_EQ(drawn(), (std::vector<std::string>{"strokeRect 110 60 9 9", "fillPixels 100 50 5 6",
                                                 "fillEllipse 100 50 10 20"}));
}

TEST_F(DrawContextTest, AnArcFrom270To90DegreesSweeps180) {
    context->arc({0, 0, 40, 40}, 270.0f, 90.0f, DrawOutline);
    context->arc({0, 0, 40, 40}, 10.0f, 100.0f, DrawFilled);
    EXPECT_EQ(drawn(),
              (std::vector<std::string>{"strokeArc 0 0 40 40 270 180", "fillArc 0 0 40 40 10 90"}));
}

TEST_F(DrawContextTest, CentredTextOnAnOddWidthRoundsTowardTheLeft) {
    // Font 12: every character 6 pixels wide, line height 14 (headless metrics). "ab" is 12
    // wide; the rectangle is 25 wide: 12.5 + 0 - 6 = 6.5, truncated to 6.
    context->writeTextInRect("ab", {0, 0, 25, 20}, AlignCenter, true);
    // y = bottom + size / 2 - height / 2 - 1 = 20 + 6 - 10 - 1 = 15; drawn at 15 + 1 - 14 = 2.
    const auto texts = window().drawing.matching("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "text 'ab' 6 2 Arial 12 smooth");
    context->writeTextInRect("ab", {0, 0, 25, 20}, AlignRight, false);
    context->writeTextInRect("ab", {3, 0, 25, 20}, AlignLeft, false);
    const auto more = window().drawing.matching("text");
    EXPECT_EQ(more[1], "text 'ab' 13 2 Arial 12 plain");
    EXPECT_EQ(more[2], "text 'ab' 3 2 Arial 12 plain");
}

TEST_F(DrawContextTest, TextInARectangleIsClippedToItAndTheClipRestored) {
    context->setClip({0, 0, 100, 100});
    window().drawing.clear();
    context->writeTextInRect("x", {10, 10, 150, 30}, AlignLeft);
    EXPECT_EQ(window().drawing.matching("clip"),
              (std::vector<std::string>{"clip 10 10 100 30", "clip 0 0 100 100"}));
    ViewRect clip;
    context->clip(clip);
    EXPECT_EQ(clip, (ViewRect{0, 0, 100, 100}));
}

TEST_F(DrawContextTest, TextWidthIsMinusOneWithoutText) {
    EXPECT_EQ(context->textWidth(nullptr), -1);
    EXPECT_EQ(context->textWidth("abcd"), 24);
}

TEST_F(DrawContextTest, TheClipIsStoredWithTheOffsetAndSentOnlyOnChange) {
    context->setDrawingOffset({5, 5});
    context->setClip({0, 0, 10, 10});
    context->setClip({0, 0, 10, 10});
    EXPECT_EQ(drawn(), (std::vector<std::string>{"clip 5 5 15 15"}));
    ViewRect clip;
    context->clip(clip);
    EXPECT_EQ(clip, (ViewRect{0, 0, 10, 10}));
    context->resetClip();
    EXPECT_EQ(drawn().back(), "clip 0 0 500 200");
}

TEST_F(DrawContextTest, PenAndFillColoursAreSentOnChangeTextColourAlways) {
    context->setStrokeTint(kWhiteColor); // the default
    context->setFillTint(kRedColor);
    context->setFillTint(kRedColor);
    context->setTextTint(kWhiteColor);
    context->setTextTint(kWhiteColor);
    EXPECT_EQ(drawn(),
              (std::vector<std::string>{"fillColor 255,0,0,255", "textColor 255,255,255,255",
                                        "textColor 255,255,255,255"}));
}

TEST_F(DrawContextTest, PlotPointRestoresWidthAndColour) {
    context->setStrokeWidth(3);
    context->setStrokeTint(kBlueColor);
    window().drawing.clear();
    context->plotPoint({4, 5}, kRedColor);
    EXPECT_EQ(drawn(),
              (std::vector<std::string>{"strokeWidth 1", "strokeColor 255,0,0,255", "line 4 5 5 5",
                                        "strokeWidth 3", "strokeColor 0,0,255,255"}));
    EXPECT_EQ(context->strokeWidth(), 3);
    EXPECT_EQ(context->strokeTint(), kBlueColor);
}

TEST_F(DrawContextTest, SegmentsAndPolygonsOfAnyLength) {
    const ViewPoint segments[] = {{0, 0}, {10, 0}, {0, 5}, {10, 5}};
    context->strokeSegments(segments, 2);
    EXPECT_EQ(drawn(), (std::vector<std::string>{"line 0 0 10 0", "line 0 5 10 5"}));
    EXPECT_EQ(context->penPosition(), (ViewPoint{10, 5}));

    std::vector<ViewPoint> many;
    for (int i = 0; i < 40; ++i)
        many.push_back({i, i * 2});
    window().drawing.clear();
    context->polygon(many.data(), static_cast<int32_t>(many.size()), DrawFilledAndOutline, true);
    ASSERT_EQ(drawn().size(), 2u);
    EXPECT_EQ(drawn()[0].rfind("fillPolygon 0,0 1,2", 0), 0u);
    EXPECT_NE(drawn()[0].find(" 39,78"), std::string::npos);
    EXPECT_EQ(drawn()[1].rfind("strokePolygon", 0), 0u);
}

TEST_F(DrawContextTest, TheSameFontIsSharedAndAnotherSizeGetsItsOwn) {
    const int32_t shared = FontSmall->referenceCount();
    context->setTextFont(FontSmall, 0, -1);
    EXPECT_EQ(context->textFont(), FontSmall);
    EXPECT_EQ(FontSmall->referenceCount(), shared + 1);
    context->setTextFont(FontSmall, 20, -1);
    EXPECT_NE(context->textFont(), FontSmall);
    EXPECT_EQ(context->textFont()->size(), 20);
    EXPECT_STREQ(context->textFont()->name(), "Arial");
    EXPECT_EQ(FontSmall->referenceCount(), shared);
}

TEST_F(DrawContextTest, TheBaseLineOfWrittenTextIsThePointGiven) {
    context->writeText("q", {10, 30});
    EXPECT_EQ(window().drawing.matching("text"),
              (std::vector<std::string>{"text 'q' 10 17 Arial 12 smooth"}));
}

TEST_F(DrawContextTest, AContextWithNeitherWindowNorDeviceDrawsNothing) {
    auto* blind = new CDrawContext(nullptr, nullptr, nullptr);
    blind->rectangle({0, 0, 10, 10}, DrawFilled);
    EXPECT_EQ(blind->textWidth("abc"), -1);
    ViewRect clip;
    blind->clip(clip);
    EXPECT_EQ(clip, (ViewRect{0, 0, 1000, 1000}));
    blind->release();
    EXPECT_TRUE(drawn().empty());
}

TEST_F(DrawContextTest, TheCursorIsReadRelativeToTheWindow) {
    window().screenOrigin = {200, 100};
    auto* positioned = new CDrawContext(frame, nullptr, frame->systemWindow());
    headless::setCursorScreenPosition({250, 130});
    ViewPoint cursor;
    positioned->cursorPosition(cursor);
    EXPECT_EQ(cursor, (ViewPoint{50, 30}));
    positioned->release();
}

TEST_F(DrawContextTest, ADragStartsWhenTheCursorLeavesATwoPixelBox) {
    headless::scriptPointer(
        {{{100, 100}, ButtonLeft}, {{102, 98}, ButtonLeft}, {{103, 100}, ButtonLeft}});
    EXPECT_TRUE(context->awaitDrag());
    headless::scriptPointer({{{100, 100}, ButtonLeft}, {{101, 101}, ButtonLeft}, {{101, 101}, 0}});
    EXPECT_FALSE(context->awaitDrag());
}

TEST_F(DrawContextTest, AnOffscreenContextCopiesItsBitmapOut) {
    auto* offscreen = new COffscreenContext(frame, 40, 30, kBlackColor);
    ViewRect clip;
    offscreen->clip(clip);
    EXPECT_EQ(clip, (ViewRect{0, 0, 40, 30}));
    offscreen->rectangle({0, 0, 4, 4}, DrawFilled);
    EXPECT_EQ(headless::drawingOf(offscreen->bitmap()->platformImage())->matching("fillRect"),
              (std::vector<std::string>{"fillRect 0 0 4 4"}));
    offscreen->copyTo(context, {10, 10, 30, 20}, {5, 6});
    EXPECT_EQ(drawn(), (std::vector<std::string>{"image blank40x30 10 10 20 10 5 6 255"}));
    offscreen->release();
}

} // namespace
} // namespace QXAGUI
