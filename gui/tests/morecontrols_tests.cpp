// The other controls: each one's core behaviour.
#include "cmorecontrols.h"
#include "gui_test_support.h"

#include <cmath>

namespace QXAGUI::testing {
namespace {

class MoreControlsTest : public ControlFrameTest {
protected:
    // A strip of count images, each 20 x 20.
    CBitmap* strip(int32_t count) { return makeBitmap("strip", 20, 20 * count); }
    // The source y of the only image drawn.
    int32_t drawnImageSourceY(CView* view) {
        paintAlone(view);
        const auto images = drawn("image");
        if (images.size() != 1) return -1;
        // "image NAME x y w h sx sy alpha"
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t space; (space = images[0].find(' ', start)) != std::string::npos;
             start = space + 1)
            fields.push_back(images[0].substr(start, space - start));
        return std::stoi(fields[7]);
    }
};

TEST_F(MoreControlsTest, AnimKnobDrawsTheStripImageOfItsValueInEitherOrder) {
    auto* knob = add(new CAnimKnob(ViewRect(10, 10, 30, 30), &listener, 1, 5, 20, strip(5)));
    knob->storeValue(0.25f);
    EXPECT_EQ(drawnImageSourceY(knob), 20);
    knob->setInverseOrder(true);
    EXPECT_EQ(drawnImageSourceY(knob), 60);
    knob->storeValue(NAN);
    EXPECT_EQ(drawnImageSourceY(knob), 80);
}

TEST_F(MoreControlsTest, AnimKnobStillDragsLikeAKnob) {
    auto* knob = add(new CAnimKnob(ViewRect(10, 10, 30, 30), &listener, 1, 5, 20, strip(5)));
    knob->storeValue(0.5f);
    frame->scrollWheel({20, 20}, 1.0f, 0);
    EXPECT_FLOAT_EQ(knob->value(), 0.6f);
}

TEST_F(MoreControlsTest, VerticalSwitchTakesThePositionUnderThePointer) {
    auto* sw = add(new CVerticalSwitch(ViewRect(10, 10, 30, 50), &listener, 2, 4, 40, strip(4)));
    EXPECT_EQ(press({20, 35}), Taken); // 25 of 40 pixels: position 2 of 4
    EXPECT_NEAR(sw->value(), 2.0f / 3.0f, 1e-6f);
    moveTo({20, 100});
    EXPECT_FLOAT_EQ(sw->value(), 1.0f) << "below the view: the last position";
    release({20, 100});
    EXPECT_EQ(listener.changes, 2);
    EXPECT_EQ(log.count("begin 2"), 1);
    EXPECT_EQ(log.count("end 2"), 1);
}

TEST_F(MoreControlsTest, HorizontalSwitchPaintsThePositionOfItsValue) {
    auto* sw = add(new CHorizontalSwitch(ViewRect(10, 10, 70, 30), &listener, 2, 3, 20, strip(3)));
    press({65, 20});
    EXPECT_FLOAT_EQ(sw->value(), 1.0f);
    EXPECT_EQ(drawnImageSourceY(sw), 40);
    sw->storeValue(-4.0f);
    EXPECT_EQ(drawnImageSourceY(sw), 0);
}

TEST_F(MoreControlsTest, RockerSpringsBackToTheMiddle) {
    auto* rocker = add(new CRockerSwitch(ViewRect(10, 10, 30, 50), &listener, 3, 40, strip(3)));
    EXPECT_FLOAT_EQ(rocker->value(), 0.5f);
    press({20, 15});
    EXPECT_FLOAT_EQ(rocker->value(), 1.0f);
    moveTo({20, 45});
    EXPECT_FLOAT_EQ(rocker->value(), 0.0f);
    release({20, 45});
    EXPECT_FLOAT_EQ(rocker->value(), 0.5f);
    EXPECT_EQ(listener.changes, 3);

    log.clear();
    EXPECT_TRUE(frame->scrollWheel({20, 30}, -1.0f, 0));
    EXPECT_EQ(log.events, (std::vector<std::string>{"opens 3", "begin 3", "changed 3 0",
                                                    "changed 3 0.5", "end 3", "closes 3"}));
}

TEST_F(MoreControlsTest, MovieBitmapShowsItsValueAndTakesNoPointerInput) {
    auto* movie = add(new CMovieBitmap(ViewRect(10, 10, 30, 30), &listener, 4, 11, 20, strip(11)));
    movie->storeValue(0.3f);
    EXPECT_EQ(drawnImageSourceY(movie), 60);
    EXPECT_EQ(press({20, 20}), Passed);
    EXPECT_FLOAT_EQ(movie->value(), 0.3f);
}

TEST_F(MoreControlsTest, MovieButtonKeepsTheStateUnderThePointerAtRelease) {
    auto* button = add(new CMovieButton(ViewRect(10, 10, 30, 30), &listener, 5, 20, strip(2)));
    press({20, 20});
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
    moveTo({80, 80});
    EXPECT_FLOAT_EQ(button->value(), 0.0f) << "off the button: the state the press found";
    moveTo({25, 25});
    release({25, 25});
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
    EXPECT_EQ(drawnImageSourceY(button), 20);
    press({20, 20});
    release({20, 20});
    EXPECT_FLOAT_EQ(button->value(), 0.0f);
}

TEST_F(MoreControlsTest, KickButtonIsOnOnlyWhilePressed) {
    auto* kick = add(new CKickButton(ViewRect(10, 10, 30, 30), &listener, 6, 20, strip(2)));
    press({20, 20});
    EXPECT_FLOAT_EQ(kick->value(), 1.0f);
    EXPECT_EQ(drawnImageSourceY(kick), 20);
    release({20, 20});
    EXPECT_FLOAT_EQ(kick->value(), 0.0f);
    EXPECT_EQ(listener.changes, 2);
    EXPECT_EQ(log.count("end 6"), 1);
}

TEST_F(MoreControlsTest, AutoAnimationStepsRoundItsStripWhileRunning) {
    auto* animation =
        add(new CAutoAnimation(ViewRect(10, 10, 30, 30), &listener, 7, 3, 20, strip(3)));
    animation->nextImage();
    EXPECT_EQ(animation->currentImage(), 0) << "stopped: no steps";
    EXPECT_EQ(press({20, 20}), TakenNoTracking);
    EXPECT_TRUE(animation->isRunning());
    animation->nextImage();
    animation->nextImage();
    EXPECT_EQ(drawnImageSourceY(animation), 40);
    animation->nextImage();
    EXPECT_EQ(animation->currentImage(), 0);
    animation->previousImage();
    EXPECT_EQ(animation->currentImage(), 2);
    press({20, 20});
    EXPECT_FALSE(animation->isRunning());
    paintAlone(animation);
    EXPECT_TRUE(drawn("image").empty());
}

TEST_F(MoreControlsTest, SpecialDigitDrawsEachDigitFromTheStripAtItsPosition) {
    CBitmap* digits = makeBitmap("digits", 8, 120);
    const int32_t xs[] = {0, 10, 20, 30};
    const int32_t ys[] = {0, 0, 2, 2};
    auto* digit = add(
        new CSpecialDigit(ViewRect(100, 100, 140, 114), &listener, 8, 4, xs, ys, 8, 12, digits));
    digit->storeValue(1234.0f);
    paintAlone(digit);
    EXPECT_EQ(drawn("image"), (std::vector<std::string>{"image digits 100 100 8 12 0 12 255",
                                                        "image digits 110 100 8 12 0 24 255",
                                                        "image digits 120 102 8 12 0 36 255",
                                                        "image digits 130 102 8 12 0 48 255"}));
    digit->storeValue(1e12f);
    EXPECT_EQ(digit->shownNumber(), 9999);
    digit->storeValue(NAN);
    EXPECT_EQ(digit->shownNumber(), 0);
    digit->storeValue(-5.0f);
    EXPECT_EQ(digit->shownNumber(), 0);
}

TEST_F(MoreControlsTest, VuMeterLightsItsLevelAndFallsAStepPerPaint) {
    CBitmap* on = makeBitmap("on", 10, 100);
    CBitmap* off = makeBitmap("off", 10, 100);
    auto* meter = add(new CVuMeter(ViewRect(200, 20, 210, 120), on, off, 10));
    meter->storeValue(0.5f);
    paintAlone(meter);
    EXPECT_EQ(meter->litSegments(), 5);
    EXPECT_EQ(drawn("image"), std::vector<std::string>{"image blank10x100 200 20 10 100 0 0 255"})
        << "drawn through its own offscreen context";
    meter->storeValue(0.0f);
    paintAlone(meter);
    EXPECT_NEAR(meter->shownLevel(), 0.4f, 1e-6f);
    EXPECT_TRUE(meter->needsRepaint()) << "still falling";
    for (int i = 0; i < 5; ++i)
        paintAlone(meter);
    EXPECT_FLOAT_EQ(meter->shownLevel(), 0.0f);
    EXPECT_FALSE(meter->needsRepaint());
    meter->storeValue(NAN);
    paintAlone(meter);
    EXPECT_EQ(meter->litSegments(), 0);
}

TEST_F(MoreControlsTest, TextLabelShowsItsTextNotItsValue) {
    auto* label = add(new CTextLabel(ViewRect(10, 100, 90, 120), "Cutoff"));
    label->storeValue(0.5f);
    paintAlone(label);
    ASSERT_EQ(drawn("text '").size(), 1u);
    EXPECT_EQ(drawn("text '").front().rfind("text 'Cutoff'", 0), 0u);
    label->setText("Cutoff");
    EXPECT_FALSE(label->needsRepaint());
    label->setText("Resonance");
    EXPECT_TRUE(label->needsRepaint());
}

TEST_F(MoreControlsTest, SplashScreenShowsItsViewOverTheFrameUntilThatIsClicked) {
    CBitmap* splash = makeBitmap("splash", 200, 100);
    auto* screen = add(new CSplashScreen(ViewRect(0, 0, 40, 20), &listener, 9, splash,
                                         ViewRect(100, 30, 300, 130)));
    EXPECT_EQ(press({10, 10}), TakenNoTracking);
    EXPECT_TRUE(screen->isShowing());
    EXPECT_FLOAT_EQ(screen->value(), 1.0f);
    ASSERT_NE(frame->blockingView(), nullptr);
    EXPECT_TRUE(frame->blockingView()->isKindOf("CDefaultSplashScreenView"));
    EXPECT_EQ(frame->blockingView()->bounds(), ViewRect(100, 30, 300, 130));

    press({150, 80});
    EXPECT_FALSE(screen->isShowing());
    EXPECT_EQ(frame->blockingView(), nullptr);
    EXPECT_FLOAT_EQ(screen->value(), 0.0f);
    EXPECT_EQ(listener.changes, 2);

    press({10, 10}); // shown again with the same view
    EXPECT_TRUE(screen->isShowing());
}

} // namespace
} // namespace QXAGUI::testing
