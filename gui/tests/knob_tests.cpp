// CKnob: geometry, painting and each row of its interaction table.
#include "cknob.h"
#include "gui_test_support.h"

#include <cmath>

namespace QXAGUI::testing {
namespace {

// Oriv's knob: 30 x 30 with a 7 x 7 dot (inset 6) over the panel.
class KnobTest : public ControlFrameTest {
protected:
    void SetUp() override {
        ControlFrameTest::SetUp();
        background = makeBitmap("panel", 500, 170);
        dot = makeBitmap("bmp00129.png", 7, 7);
        knob = add(new CKnob(kBounds, &listener, 3, background, dot, kBounds.topLeft()));
    }

    // The point (parent coordinates) at angle degrees (counter-clockwise from 3 o'clock),
    // distance 12 from the centre, rounded to pixels.
    static ViewPoint at(double degrees) {
        const double radians = degrees * 3.14159265358979 / 180.0;
        return {kBounds.left + 15 + static_cast<int32_t>(std::lround(12.0 * std::cos(radians))),
                kBounds.top + 15 - static_cast<int32_t>(std::lround(12.0 * std::sin(radians)))};
    }

    static constexpr ViewRect kBounds{100, 20, 130, 50};
    static constexpr ViewPoint kCentre{115, 35};
    CBitmap* background = nullptr;
    CBitmap* dot = nullptr;
    CKnob* knob = nullptr;
};

// --- geometry ----------------------------------------------------------------------------------

TEST_F(KnobTest, HandlePointsLieOnTheArcFromLowerLeftClockwiseToLowerRight) {
    ViewPoint point;
    knob->storeValue(0.0f);
    knob->valueToHandlePoint(point);
    EXPECT_EQ(point, ViewPoint(9, 21));
    knob->storeValue(0.5f);
    knob->valueToHandlePoint(point);
    EXPECT_EQ(point, ViewPoint(15, 6));
    knob->storeValue(1.0f);
    knob->valueToHandlePoint(point);
    EXPECT_EQ(point, ViewPoint(21, 21));
}

TEST_F(KnobTest, ValueToHandlePointAndBackRoundTrips) {
    for (float value : {0.0f, 0.1f, 0.25f, 0.5f, 0.75f, 0.9f, 1.0f}) {
        knob->storeValue(value);
        ViewPoint point;
        knob->valueToHandlePoint(point);
        EXPECT_NEAR(knob->pointToKnobValue(point), value, 0.03f) << "value " << value;
    }
}

TEST_F(KnobTest, PointsInTheDeadZoneAnswerTheNearerEnd) {
    const ViewPoint origin = kBounds.topLeft();
    auto relative = [&](ViewPoint p) { return ViewPoint(p.x - origin.x, p.y - origin.y); };
    EXPECT_FLOAT_EQ(knob->pointToKnobValue(relative(at(300))), 1.0f);
    EXPECT_FLOAT_EQ(knob->pointToKnobValue(relative(at(240))), 0.0f);
    EXPECT_NEAR(knob->pointToKnobValue(relative(at(0))), 0.8333f, 0.001f);
}

TEST_F(KnobTest, ACounterClockwiseArcMapsTheOtherWay) {
    knob->setArcStart(-0.7853982f); // 315 degrees
    knob->setArcSpan(4.712389f);
    EXPECT_NEAR(knob->pointToKnobValue({15, 3}), 0.5f, 0.001f);
    EXPECT_NEAR(knob->pointToKnobValue({27, 15}), 0.1667f, 0.001f);
}

// --- painting ----------------------------------------------------------------------------------

TEST_F(KnobTest, PaintDrawsTheBackgroundUnderItThenTheDotCentredOnTheHandlePoint) {
    knob->storeValue(0.5f);
    paintAlone(knob);
    EXPECT_EQ(drawn("image"), (std::vector<std::string>{"image panel 100 20 30 30 100 20 255",
                                                        "image bmp00129.png 112 23 7 7 0 0 255"}));
    EXPECT_FALSE(knob->needsRepaint());
}

TEST_F(KnobTest, WithoutAHandleBitmapPaintDrawsAShadowedLineToTheCentre) {
    knob->setHandleImage(nullptr);
    knob->storeValue(0.5f);
    paintAlone(knob);
    // Inset 3: the handle point is (15, 3), (115, 23) in the frame.
    EXPECT_EQ(drawn("line"),
              (std::vector<std::string>{"line 114 23 114 35", "line 115 22 115 34"}));
    EXPECT_EQ(drawn("strokeColor").front(), "strokeColor 127,127,127,255");
}

TEST_F(KnobTest, HostValuesOutsideTheRangeDrawTheDotAtTheNearerEnd) {
    knob->storeValue(NAN);
    paintAlone(knob);
    EXPECT_EQ(drawn("image bmp").front(), "image bmp00129.png 106 38 7 7 0 0 255");
    knob->storeValue(7.5f);
    paintAlone(knob);
    EXPECT_EQ(drawn("image bmp").front(), "image bmp00129.png 118 38 7 7 0 0 255");
    EXPECT_FLOAT_EQ(knob->value(), 7.5f) << "drawing does not change the stored value";
}

// --- press, move, release: circular ------------------------------------------------------------

TEST_F(KnobTest, CircularPressJumpsToThePointAndDragFollowsTheArc) {
    EXPECT_EQ(press(at(90)), Taken);
    EXPECT_NEAR(knob->value(), 0.5f, 0.01f);
    moveTo(at(0));
    EXPECT_NEAR(knob->value(), 0.8333f, 0.01f);
    EXPECT_NEAR(listener.lastValue, knob->value(), 1e-6f);
    release(at(0));
    EXPECT_EQ(log.count("begin 3"), 1);
    EXPECT_EQ(log.count("end 3"), 1);
}

TEST_F(KnobTest, CircularDragPastTheEndHoldsTheHighestValueAcrossTheDeadZone) {
    // 10% of the arc past its end, then on into the dead zone's other half.
    press(at(288));
    EXPECT_FLOAT_EQ(knob->value(), 1.0f);
    moveTo(at(250));
    EXPECT_FLOAT_EQ(knob->value(), 1.0f) << "no jump to the lowest value";
    moveTo(at(235));
    EXPECT_FLOAT_EQ(knob->value(), 1.0f);
}

TEST_F(KnobTest, CircularDragPastTheStartHoldsTheLowestValue) {
    press(at(215));
    moveTo(at(260));
    EXPECT_FLOAT_EQ(knob->value(), 0.0f);
    moveTo(at(285));
    EXPECT_FLOAT_EQ(knob->value(), 0.0f) << "no jump to the highest value";
}

TEST_F(KnobTest, MovesWithoutTheLeftButtonChangeNothing) {
    press(at(90));
    const float pressed = knob->value();
    EXPECT_EQ(moveTo(at(0), 0), Taken);
    EXPECT_FLOAT_EQ(knob->value(), pressed);
    EXPECT_EQ(press(at(0), ButtonMiddle), Passed);
}

// --- linear ------------------------------------------------------------------------------------

TEST_F(KnobTest, WithHostKnobStyle2APlainDragIsLinearOver200Pixels) {
    editor.knobStyleSetting = 2;
    press(kCentre);
    EXPECT_TRUE(knob->isLinearDrag());
    EXPECT_FLOAT_EQ(knob->value(), 0.0f) << "a linear press does not move the knob";
    moveTo({kCentre.x + 100, kCentre.y});
    EXPECT_FLOAT_EQ(knob->value(), 0.5f);
    moveTo({kCentre.x + 100, kCentre.y - 100}); // right 100, up 100
    EXPECT_FLOAT_EQ(knob->value(), 1.0f);
    moveTo({kCentre.x + 150, kCentre.y - 100});
    EXPECT_FLOAT_EQ(knob->value(), 1.0f) << "clamped";
}

TEST_F(KnobTest, LinearDragWithShiftTakes300Pixels) {
    editor.knobStyleSetting = 2;
    press(kCentre, ButtonLeft | ModShift);
    moveTo({kCentre.x + 200, kCentre.y}, ButtonLeft | ModShift);
    EXPECT_NEAR(knob->value(), 0.6667f, 1e-4f);
    moveTo({kCentre.x + 300, kCentre.y}, ButtonLeft | ModShift);
    EXPECT_NEAR(knob->value(), 1.0f, 1e-5f);
}

TEST_F(KnobTest, ShiftPressedDuringALinearDragSlowsOnlyTheRestOfIt) {
    editor.knobStyleSetting = 2;
    press(kCentre);
    moveTo({kCentre.x + 100, kCentre.y});
    moveTo({kCentre.x + 101, kCentre.y}, ButtonLeft | ModShift);
    EXPECT_NEAR(knob->value(), 0.505f, 1e-5f);
    moveTo({kCentre.x + 161, kCentre.y}, ButtonLeft | ModShift);
    EXPECT_NEAR(knob->value(), 0.705f, 1e-5f) << "60 more pixels at 1/300 each";
}

TEST_F(KnobTest, AltChoosesTheOtherModeThanTheHost) {
    editor.knobStyleSetting = 2;
    press(at(90), ButtonLeft | ModAlt);
    EXPECT_FALSE(knob->isLinearDrag());
    EXPECT_NEAR(knob->value(), 0.5f, 0.01f);
    release(at(90));

    editor.knobStyleSetting = 0;
    knob->storeValue(0.0f);
    press(at(90), ButtonLeft | ModAlt);
    EXPECT_TRUE(knob->isLinearDrag());
    EXPECT_FLOAT_EQ(knob->value(), 0.0f);
}

TEST_F(KnobTest, ALinearDragFromANaNHostValueStartsAtTheLowestValue) {
    editor.knobStyleSetting = 2;
    knob->storeValue(NAN);
    press(kCentre);
    moveTo({kCentre.x + 20, kCentre.y});
    EXPECT_FLOAT_EQ(knob->value(), 0.0f);
    EXPECT_FALSE(std::isnan(listener.lastValue));
}

// --- Ctrl+click, release, wheel, keys ----------------------------------------------------------

TEST_F(KnobTest, CtrlClickResetsToTheDefaultInsideOneGesture) {
    knob->storeValue(0.2f);
    EXPECT_EQ(press(at(0), ButtonLeft | ModControl), TakenNoTracking);
    EXPECT_FLOAT_EQ(knob->value(), 0.5f);
    EXPECT_EQ(log.events, (std::vector<std::string>{"modclick 3 34", "opens 3", "begin 3",
                                                    "changed 3 0.5", "end 3", "closes 3"}));
}

TEST_F(KnobTest, CtrlShiftClickDoesNotReset) {
    knob->storeValue(0.2f);
    EXPECT_EQ(press(at(0), ButtonLeft | ModControl | ModShift), Taken);
    EXPECT_NEAR(knob->value(), 0.8333f, 0.01f);
}

TEST_F(KnobTest, AListenerThatConsumesAModifiedClickKeepsItFromTheKnob) {
    listener.consumeModClicks = 1;
    knob->storeValue(0.2f);
    EXPECT_EQ(press(at(0), ButtonLeft | ModControl), Taken);
    EXPECT_FLOAT_EQ(knob->value(), 0.2f);
    EXPECT_EQ(log.count("begin"), 0);
}

TEST_F(KnobTest, ReleaseEndsTheGestureOnceEvenWhenSentAgainOnCaptureLoss) {
    press(at(90));
    release(at(90));
    knob->pointerUp(at(90), 0); // the window lost the capture after the release
    EXPECT_EQ(log.count("begin 3"), 1);
    EXPECT_EQ(log.count("end 3"), 1);
    EXPECT_EQ(log.count("closes 3"), 1);
}

TEST_F(KnobTest, ReleaseWithoutADragInProgressEndsNoGesture) {
    knob->pointerUp(kCentre, 0);
    EXPECT_EQ(log.count("end"), 0);
}

TEST_F(KnobTest, AWheelNotchAddsATenthAndAHundredthWithShift) {
    knob->storeValue(0.5f);
    EXPECT_TRUE(frame->scrollWheel(kCentre, 1.0f, 0));
    EXPECT_FLOAT_EQ(knob->value(), 0.6f);
    frame->scrollWheel(kCentre, -1.0f, ModShift);
    EXPECT_FLOAT_EQ(knob->value(), 0.59f);
    EXPECT_EQ(log.count("begin 3"), 2);
    EXPECT_EQ(log.count("end 3"), 2);
    EXPECT_EQ(listener.changes, 2);
}

TEST_F(KnobTest, TheWheelClampsAndIgnoresAKnobThatRefusesTheMouse) {
    knob->storeValue(0.95f);
    frame->scrollWheel(kCentre, 1.0f, 0);
    EXPECT_FLOAT_EQ(knob->value(), 1.0f);
    knob->setAcceptsMouse(false);
    EXPECT_FALSE(knob->scrollWheel(kCentre, -1.0f, 0));
    EXPECT_FLOAT_EQ(knob->value(), 1.0f);
}

TEST_F(KnobTest, ArrowKeysStepLikeTheWheel) {
    knob->storeValue(0.5f);
    KeyRecord up{0, kKeyUp, 0};
    KeyRecord left{0, kKeyLeft, 0};
    KeyRecord downFine{0, kKeyDown, kKeyModifierShift};
    KeyRecord tab{0, kKeyTab, 0};
    EXPECT_EQ(knob->keyPressed(up), 1);
    EXPECT_FLOAT_EQ(knob->value(), 0.6f);
    EXPECT_EQ(knob->keyPressed(left), 1);
    EXPECT_FLOAT_EQ(knob->value(), 0.5f);
    EXPECT_EQ(knob->keyPressed(downFine), 1);
    EXPECT_FLOAT_EQ(knob->value(), 0.49f);
    EXPECT_EQ(knob->keyPressed(tab), -1);
    EXPECT_FLOAT_EQ(knob->value(), 0.49f);
}

// --- the modal form ----------------------------------------------------------------------------

TEST_F(KnobTest, LegacyTrackFollowsThePointerUntilReleaseKeepingTheIdleGoing) {
    const ViewPoint top = at(90);
    const ViewPoint right = at(0);
    headless::scriptPointer(
        {{top, ButtonLeft}, {right, ButtonLeft}, {right, ButtonLeft}, {right, 0}});
    CDrawContext context(frame, nullptr, frame->systemWindow());
    knob->legacyTrack(&context, top, ButtonLeft);
    EXPECT_NEAR(knob->value(), 0.8333f, 0.01f);
    EXPECT_GE(editor.idleCalls, 2);
    EXPECT_EQ(log.count("begin 3"), 1);
    EXPECT_EQ(log.count("end 3"), 1);
}

TEST_F(KnobTest, LegacyTrackResetsOnCtrlClickWithoutTracking) {
    knob->storeValue(0.1f);
    headless::scriptPointer({{kCentre, ButtonLeft}});
    CDrawContext context(frame, nullptr, frame->systemWindow());
    knob->legacyTrack(&context, kCentre, ButtonLeft | ModControl);
    EXPECT_FLOAT_EQ(knob->value(), 0.5f);
    EXPECT_EQ(editor.idleCalls, 0);
    EXPECT_EQ(log.count("begin 3"), 1);
}

} // namespace
} // namespace QXAGUI::testing
