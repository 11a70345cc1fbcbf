// CControl: the value model shared by every control: dirty state, clamping, the reset, the
// gesture brackets and double clicks.
#include "conoffbutton.h"
#include "gui_test_support.h"

#include <cmath>

namespace QXAGUI::testing {
namespace {

// COnOffButton stands in for any control: it adds nothing to what is tested here.
class ControlTest : public ControlFrameTest {
protected:
    void SetUp() override {
        ControlFrameTest::SetUp();
        control = add(new COnOffButton(kBounds, &listener, 9, nullptr));
    }
    size_t idleInvalidations() {
        window().invalidations.clear();
        frame->idleFrame();
        return window().invalidations.size();
    }

    static constexpr ViewRect kBounds{40, 40, 60, 60};
    CControl* control = nullptr;
};

TEST_F(ControlTest, AStoredValueRepaintsAtTheNextIdlePassOnly) {
    idleInvalidations();
    control->storeValue(0.7f);
    EXPECT_TRUE(control->needsRepaint());
    EXPECT_EQ(idleInvalidations(), 1u);
    EXPECT_EQ(window().invalidations.front(), kBounds);
    EXPECT_EQ(idleInvalidations(), 0u);
    control->storeValue(0.7f);
    EXPECT_EQ(idleInvalidations(), 0u) << "the same value again is no change";
}

TEST_F(ControlTest, ANaNFromTheHostRepaintsOnceNotAtEveryIdlePass) {
    idleInvalidations();
    control->storeValue(NAN);
    EXPECT_EQ(idleInvalidations(), 1u);
    EXPECT_EQ(idleInvalidations(), 0u);
}

TEST_F(ControlTest, MarkingForRepaintMakesThePreviousValueDiffer) {
    control->storeValue(-1.0f);
    control->markNeedsRepaint(true);
    EXPECT_FLOAT_EQ(control->previousValue(), 0.0f);
    control->markNeedsRepaint(false);
    EXPECT_FALSE(control->needsRepaint());
}

TEST_F(ControlTest, ClampingBringsUserValuesIntoTheRangeAndNaNToTheLowest) {
    control->setLowest(0.2f);
    control->setHighest(0.8f);
    control->storeValue(1.5f);
    control->clampValue();
    EXPECT_FLOAT_EQ(control->value(), 0.8f);
    control->storeValue(-1.0f);
    control->clampValue();
    EXPECT_FLOAT_EQ(control->value(), 0.2f);
    control->storeValue(NAN);
    control->clampValue();
    EXPECT_FLOAT_EQ(control->value(), 0.2f);
}

TEST_F(ControlTest, ResetNeedsExactlyCtrlAndTheLeftButton) {
    control->storeValue(0.9f);
    EXPECT_FALSE(control->tryResetToDefault(ButtonLeft | ModControl | ModShift));
    EXPECT_FALSE(control->tryResetToDefault(ButtonRight | ModControl));
    EXPECT_FLOAT_EQ(control->value(), 0.9f);
    control->setResetValue(0.25f);
    EXPECT_TRUE(control->tryResetToDefault(ButtonLeft | ModControl));
    EXPECT_FLOAT_EQ(control->value(), 0.25f);
    EXPECT_EQ(log.events, (std::vector<std::string>{"opens 9", "begin 9", "changed 9 0.25", "end 9",
                                                    "closes 9"}));
}

TEST_F(ControlTest, EditStartedGivesTheControlTheFocus) {
    control->editStarted();
    EXPECT_EQ(frame->focusedView(), control);
    control->editEnded();
}

TEST_F(ControlTest, ASecondClickWithinTheIntervalIsADoubleClick) {
    headless::setTickCount(1000);
    EXPECT_FALSE(control->detectDoubleClick());
    headless::setTickCount(1400);
    EXPECT_TRUE(control->detectDoubleClick());
    headless::setTickCount(1500);
    EXPECT_FALSE(control->detectDoubleClick()) << "a third click starts over";
    headless::setTickCount(2100);
    EXPECT_FALSE(control->detectDoubleClick()) << "600 ms is too late";
}

TEST_F(ControlTest, DoubleClicksNearAndAcrossTheTickCountWrapAreRecognised) {
    // The first click's deadline lies past the wrap; the second comes before it.
    headless::setTickCount(0xFFFFFF00u);
    EXPECT_FALSE(control->detectDoubleClick());
    headless::setTickCount(0xFFFFFF80u);
    EXPECT_TRUE(control->detectDoubleClick());
    // The second click after the wrap.
    headless::setTickCount(0xFFFFFFF0u);
    EXPECT_FALSE(control->detectDoubleClick());
    headless::setTickCount(0x00000064u); // 116 ms later
    EXPECT_TRUE(control->detectDoubleClick());
}

TEST_F(ControlTest, AClickLongAfterAStampNearTheWrapIsNoDoubleClick) {
    headless::setTickCount(0xFFFFFF00u);
    EXPECT_FALSE(control->detectDoubleClick());
    headless::setTickCount(0x00100000u); // about 17 minutes later
    EXPECT_FALSE(control->detectDoubleClick());
}

TEST_F(ControlTest, TheDoubleClickIntervalIsAtLeast250Milliseconds) {
    headless::setDoubleClickMilliseconds(100);
    auto* quick = add(new COnOffButton(ViewRect(0, 0, 10, 10), &listener, 1, nullptr));
    headless::setTickCount(5000);
    EXPECT_FALSE(quick->detectDoubleClick());
    headless::setTickCount(5200);
    EXPECT_TRUE(quick->detectDoubleClick());
}

TEST_F(ControlTest, ACloneKeepsTheValueModelButNotTheBackdropShift) {
    control->setBackdropShift({5, 5});
    control->setHighest(2.0f);
    control->storeValue(1.5f);
    CView* copy = control->clone();
    auto* copied = static_cast<CControl*>(copy);
    EXPECT_EQ(copied->id(), 9);
    EXPECT_EQ(copied->observer(), &listener);
    EXPECT_FLOAT_EQ(copied->value(), 1.5f);
    EXPECT_FLOAT_EQ(copied->highest(), 2.0f);
    EXPECT_EQ(copied->backdropShift(), ViewPoint());
    EXPECT_TRUE(copy->isKindOf("COnOffButton"));
    EXPECT_TRUE(copy->isKindOf("CControl"));
    copy->release();
}

} // namespace
} // namespace QXAGUI::testing
