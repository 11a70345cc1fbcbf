// COnOffButton: toggling on press, the gestures of both styles, painting.
#include "conoffbutton.h"
#include "gui_test_support.h"

#include <cmath>

namespace QXAGUI::testing {
namespace {

class ButtonTest : public ControlFrameTest {
protected:
    void SetUp() override {
        ControlFrameTest::SetUp();
        face = makeBitmap("buttons", 15, 56);
        button = add(new COnOffButton(kBounds, &listener, 5, face, 0));
        editor.onIdle = [this] { log.add("idle"); };
    }

    static constexpr ViewRect kBounds{20, 20, 35, 48};
    static constexpr ViewPoint kInside{27, 30};
    CBitmap* face = nullptr;
    COnOffButton* button = nullptr;
};

TEST_F(ButtonTest, EachPressTogglesOnceAndCallsTheListenerOnce) {
    EXPECT_EQ(press(kInside), TakenNoTracking);
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
    EXPECT_EQ(listener.changes, 1);
    // No moves or release reach a button that wanted none.
    moveTo({kInside.x + 3, kInside.y});
    release(kInside);
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
    EXPECT_EQ(listener.changes, 1);

    press(kInside);
    EXPECT_FLOAT_EQ(button->value(), 0.0f);
    EXPECT_EQ(listener.changes, 2);
}

TEST_F(ButtonTest, Style0NotifiesInsideOneGestureAfterTheEditorsIdle) {
    press(kInside);
    EXPECT_EQ(log.events, (std::vector<std::string>{"idle", "opens 5", "begin 5", "changed 5 1",
                                                    "end 5", "closes 5"}));
}

TEST_F(ButtonTest, Style1NotifiesInsideOneGestureBeforeTheEditorsIdle) {
    button->setButtonStyle(1);
    press(kInside);
    EXPECT_EQ(log.events, (std::vector<std::string>{"opens 5", "begin 5", "changed 5 1", "end 5",
                                                    "closes 5", "idle"}));
}

TEST_F(ButtonTest, PressesWithoutTheLeftButtonPass) {
    EXPECT_EQ(button->pointerDown(kInside, ButtonMiddle), Passed);
    EXPECT_FLOAT_EQ(button->value(), 0.0f);
    EXPECT_EQ(listener.changes, 0);
}

TEST_F(ButtonTest, HostValuesOutsideZeroToOneToggleAsTheNearerState) {
    button->storeValue(NAN);
    press(kInside);
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
    button->storeValue(1.7f);
    press(kInside);
    EXPECT_FLOAT_EQ(button->value(), 0.0f);
    button->storeValue(-3.0f);
    press(kInside);
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
    button->storeValue(0.45f); // int(0.45) is 0: off
    press(kInside);
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
}

TEST_F(ButtonTest, PaintShowsTheLowerImageWhileOn) {
    paintAlone(button);
    EXPECT_EQ(drawn("image"), std::vector<std::string>{"image buttons 20 20 15 28 0 0 255"});
    button->storeValue(1.0f);
    paintAlone(button);
    EXPECT_EQ(drawn("image"), std::vector<std::string>{"image buttons 20 20 15 28 0 28 255"});
    EXPECT_FALSE(button->needsRepaint());
}

TEST_F(ButtonTest, APressSurvivesTheEditorClosingDuringTheIdle) {
    // The host closes the editor from the idle: the frame lets go of its children.
    editor.onIdle = [this] { frame->removeAllChildren(true); };
    EXPECT_EQ(press(kInside), TakenNoTracking);
    EXPECT_EQ(listener.changes, 1);
}

} // namespace
} // namespace QXAGUI::testing
