// CSlider: handle travel and painting, Invert, fine mode, grabbing, resizing and the rows of
// its interaction table.
#include "cslider.h"
#include "gui_test_support.h"

#include <cmath>

namespace QXAGUI::testing {
namespace {

// Malvoree's mix slider: 26 x 53 at (408, 36), handle 27 x 10 from y 36 to y 79, Invert.
class SliderTest : public ControlFrameTest {
protected:
    void SetUp() override {
        ControlFrameTest::SetUp();
        handle = makeBitmap("handle", 27, 10);
        background = makeBitmap("panel", 463, 334);
        slider = add(new CVerticalSlider(kBounds, &listener, 21, 36, 79, handle, background,
                                         kBounds.topLeft(), SliderInvert));
    }

    // The pointer's y for a value, with the slider's grab point (handle middle: y 40 is 1).
    static ViewPoint pointerAt(int32_t y) { return {420, y}; }

    static constexpr ViewRect kBounds{408, 36, 434, 89};
    CBitmap* handle = nullptr;
    CBitmap* background = nullptr;
    CSlider* slider = nullptr;
};

TEST_F(SliderTest, TheHandleTravels43PixelsWithTheHighestValueAtTheTop) {
    EXPECT_EQ(slider->travel(), 43);
    slider->storeValue(1.0f);
    paintAlone(slider);
    EXPECT_EQ(drawn("image"), (std::vector<std::string>{"image panel 408 36 26 53 408 36 255",
                                                        "image handle 408 36 27 10 0 0 255"}));
    slider->storeValue(0.0f);
    paintAlone(slider);
    EXPECT_EQ(drawn("image handle"), std::vector<std::string>{"image handle 408 79 27 10 0 0 255"});
}

TEST_F(SliderTest, HostValuesOutsideTheRangeDrawTheHandleAtTheNearerEnd) {
    slider->storeValue(NAN);
    EXPECT_EQ(slider->handleRect(), ViewRect(408, 36, 435, 46));
    slider->storeValue(3.0f);
    EXPECT_EQ(slider->handleRect(), ViewRect(408, 36, 435, 46));
    slider->storeValue(-2.0f);
    EXPECT_EQ(slider->handleRect(), ViewRect(408, 79, 435, 89));
}

TEST_F(SliderTest, DraggingToTheTopOfAnInvertedSliderGivesTheHighestValue) {
    EXPECT_EQ(press(pointerAt(61)), Taken);
    EXPECT_NEAR(slider->value(), 1.0f - 21.0f / 43.0f, 1e-5f);
    moveTo(pointerAt(40));
    EXPECT_FLOAT_EQ(slider->value(), 1.0f);
    moveTo(pointerAt(20));
    EXPECT_FLOAT_EQ(slider->value(), 1.0f) << "clamped";
    moveTo(pointerAt(83));
    EXPECT_FLOAT_EQ(slider->value(), 0.0f);
    EXPECT_FLOAT_EQ(listener.lastValue, 0.0f);
    release(pointerAt(83));
    EXPECT_EQ(log.count("begin 21"), 1);
    EXPECT_EQ(log.count("end 21"), 1);
}

TEST_F(SliderTest, ShiftMovesTheHandleTenTimesSlowerFromWhereItWasPressed) {
    press(pointerAt(61));
    moveTo(pointerAt(71));
    const float atShift = 1.0f - 31.0f / 43.0f;
    EXPECT_NEAR(slider->value(), atShift, 1e-5f);
    moveTo(pointerAt(81), ButtonLeft | ModShift);
    EXPECT_NEAR(slider->value(), atShift - 10.0f / 43.0f / 10.0f, 1e-5f);
    moveTo(pointerAt(91), ButtonLeft | ModShift);
    EXPECT_NEAR(slider->value(), atShift - 20.0f / 43.0f / 10.0f, 1e-5f);
    moveTo(pointerAt(71));
    EXPECT_NEAR(slider->value(), atShift, 1e-5f) << "without Shift the pointer rules again";
}

TEST_F(SliderTest, APressWithShiftTakesTheHandleWithoutMovingIt) {
    const float start = 1.0f - 21.0f / 43.0f; // the handle's grab point is at y 61
    slider->storeValue(start);
    EXPECT_EQ(press(pointerAt(61), ButtonLeft | ModShift), Taken);
    EXPECT_FLOAT_EQ(slider->value(), start);
    moveTo(pointerAt(51), ButtonLeft | ModShift);
    EXPECT_NEAR(slider->value(), start + 10.0f / 43.0f / 10.0f, 1e-5f);
}

TEST_F(SliderTest, WithoutGrabAnywhereOnlyTheHandleTakesThePressAndKeepsItsOffset) {
    slider->setGrabAnywhere(false);
    slider->storeValue(1.0f); // handle at y 36..46
    EXPECT_EQ(press(pointerAt(70)), Passed);
    EXPECT_EQ(press(pointerAt(44)), Taken);
    EXPECT_FLOAT_EQ(slider->value(), 1.0f) << "no jump on the press";
    moveTo(pointerAt(54));
    EXPECT_NEAR(slider->value(), 1.0f - 10.0f / 43.0f, 1e-5f);
}

TEST_F(SliderTest, CtrlClickResetsToTheDefaultInsideOneGesture) {
    slider->storeValue(0.9f);
    EXPECT_EQ(press(pointerAt(80), ButtonLeft | ModControl), TakenNoTracking);
    EXPECT_FLOAT_EQ(slider->value(), 0.5f);
    EXPECT_EQ(log.count("begin 21"), 1);
    EXPECT_EQ(log.count("end 21"), 1);
    EXPECT_EQ(listener.changes, 1);
}

TEST_F(SliderTest, ReleaseEndsTheGestureOnlyOnce) {
    slider->pointerUp(pointerAt(50), 0);
    EXPECT_EQ(log.count("end"), 0);
    press(pointerAt(50));
    release(pointerAt(50));
    slider->pointerUp(pointerAt(50), 0);
    EXPECT_EQ(log.count("end 21"), 1);
}

TEST_F(SliderTest, WheelAndArrowKeysStepByATenthAndAHundredthWithShift) {
    slider->storeValue(0.5f);
    frame->scrollWheel(pointerAt(60), 1.0f, 0);
    EXPECT_FLOAT_EQ(slider->value(), 0.6f);
    frame->scrollWheel(pointerAt(60), 1.0f, ModShift);
    EXPECT_FLOAT_EQ(slider->value(), 0.61f);
    KeyRecord down{0, kKeyDown, 0};
    EXPECT_EQ(slider->keyPressed(down), 1);
    EXPECT_FLOAT_EQ(slider->value(), 0.51f);
    EXPECT_EQ(log.count("begin 21"), 3);
}

TEST_F(SliderTest, GrowingTheViewLengthensTheTravel) {
    slider->setBounds(ViewRect(408, 36, 434, 99));
    EXPECT_EQ(slider->travel(), 53);
    slider->storeValue(0.0f);
    EXPECT_EQ(slider->handleRect(), ViewRect(408, 89, 435, 99));
}

TEST_F(SliderTest, TheHandleRangeFormTravelsTheRangeLessTheHandle) {
    auto* horizontal = add(new CHorizontalSlider(ViewRect(10, 100, 110, 110), &listener, 4,
                                                 ViewPoint(0, 0), 100, handle, nullptr));
    EXPECT_EQ(horizontal->travel(), 73);
    horizontal->storeValue(1.0f);
    EXPECT_EQ(horizontal->handleRect(), ViewRect(83, 100, 110, 110));
    // RightEnd: the pointer to the right gives the highest value.
    press({10 + 13 - 1 + 73, 105});
    EXPECT_FLOAT_EQ(horizontal->value(), 1.0f);
}

} // namespace
} // namespace QXAGUI::testing
