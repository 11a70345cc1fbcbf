// Malvoree's editor as a Windows host meets it: the built Malvoree.dll loaded through the library
// boundary, its editor open in a host window, values typed into the system's EDIT box over a
// display, the SYNC button and the mix slider driven with window messages, and its pixels
// compared with each other and with the committed reference images in delay/tests/reference/.
#include "delay_layout.h"
#include "editor_window_test.h"
#include "reference_snapshots.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace malvoree;
using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr int32_t kDamp1 = headParameterIndex(0, kHeadFilter);
constexpr int32_t kVolume1 = headParameterIndex(0, kHeadVolume);
constexpr int32_t kDamp3 = headParameterIndex(2, kHeadFilter);

const ControlPlacement& placement(int32_t tag, ControlKind kind) {
    for (const ControlPlacement& row : delayControlLayout)
        if (row.tag == tag && row.kind == kind) return row;
    ADD_FAILURE() << "no control of kind " << kind << " with tag " << tag;
    return delayControlLayout.back();
}

RECT displayArea(int32_t parameter) {
    const ControlPlacement& row = placement(parameter, KindTagDisplay);
    return {row.x, row.y, row.x + kTagDisplayWidth, row.y + kTagDisplayHeight};
}

POINT onDisplay(int32_t parameter) {
    const ControlPlacement& row = placement(parameter, KindTagDisplay);
    return {row.x + kTagDisplayWidth / 2, row.y + kTagDisplayHeight / 2};
}

RECT syncArea() {
    const ControlPlacement& row = placement(kTempoParameter, KindOnOffButton);
    return {row.x, row.y, row.x + kSyncButtonWidth, row.y + kSyncButtonHeight};
}

RECT sliderArea() {
    const ControlPlacement& row = placement(kMixParameter, KindVerticalSlider);
    return {row.x, row.y, row.x + kMixSliderWidth, row.y + kMixSliderHeight};
}

// The panel's top-left corner: background, no control.
constexpr POINT kOffEveryControl{4, 4};

class MalvoreeEditorWindow : public EditorWindowTest {
protected:
    MalvoreeEditorWindow() : EditorWindowTest("Malvoree") {}

    // The system EDIT box inside the editor's window; null when none is open.
    HWND editBox() const { return FindWindowExW(host_->editorWindow(), nullptr, L"EDIT", nullptr); }
    // Clicks a display and types `text` into the box that opens, one character message each.
    void clickAndType(int32_t parameter, const std::string& text) {
        host_->click(onDisplay(parameter));
        HWND box = editBox();
        ASSERT_NE(box, nullptr) << "a click on the display opened no edit box";
        for (char character : text)
            SendMessageW(box, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(character)),
                         1);
    }
    void pressReturn() {
        if (HWND box = editBox()) SendMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
    }
};

TEST_F(MalvoreeEditorWindow, IsTheFramesChildWindowAtTheSizeTheEditorReports) {
    EXPECT_EQ(host_->record()->flagBits, 0x11);
    expectOneChildWindowOfSize(463, 334);
}

TEST_F(MalvoreeEditorWindow, AClickOnADisplayOpensAnEditBoxOverItWithTheFocus) {
    host_->click(onDisplay(kVolume1));
    HWND box = editBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetFocus(), box);
    EXPECT_TRUE(IsWindowVisible(box));
    RECT boxArea{};
    GetWindowRect(box, &boxArea);
    MapWindowPoints(nullptr, host_->editorWindow(), reinterpret_cast<POINT*>(&boxArea), 2);
    const RECT display = displayArea(kVolume1);
    EXPECT_EQ(boxArea.left, display.left);
    EXPECT_EQ(boxArea.top, display.top);
    EXPECT_GE(boxArea.right, display.right);
    EXPECT_GE(boxArea.bottom, display.bottom);
    EXPECT_LE(boxArea.right - display.right, 2);
    EXPECT_LE(boxArea.bottom - display.bottom, 2);
    // The box holds the display's text; the gesture is open while it is edited.
    EXPECT_GT(GetWindowTextLengthW(box), 0);
    EXPECT_THAT(host_->edits(), ElementsAre("begin 3"));
}

TEST_F(MalvoreeEditorWindow, TypedTextIsDarkInkOnTheFieldsLightPaper) {
    clickAndType(kVolume1, "-12");
    ASSERT_NE(editBox(), nullptr);
    const PngImage box = host_->capture(displayArea(kVolume1));
    int paper = 0;
    int ink = 0;
    for (uint32_t pixel : box.pixels) {
        const int red = static_cast<int>(pixel >> 16 & 0xFF);
        const int green = static_cast<int>(pixel >> 8 & 0xFF);
        const int blue = static_cast<int>(pixel & 0xFF);
        if (red > 200 && green > 200 && blue > 150) ++paper;
        if (red + green + blue < 200) ++ink;
    }
    // Mostly the field's light paper, with the typed figures dark on it.
    EXPECT_GT(paper, static_cast<int>(box.pixels.size()) / 2) << paper << " light pixels";
    EXPECT_GT(ink, 8) << ink << " dark pixels";
}

TEST_F(MalvoreeEditorWindow, ATypedValueReachesTheHostAndShowsAsAFreshEditorShowsIt) {
    const RECT area = displayArea(kVolume1);
    const PngImage before = host_->capture(area);
    clickAndType(kVolume1, "-6");
    pressReturn();
    EXPECT_EQ(editBox(), nullptr);
    EXPECT_NEAR(host_->readParameter(kVolume1), 0.501187f, 1e-5f);
    EXPECT_THAT(host_->edits(), ElementsAre("begin 3", StartsWith("changed 3 0.501"), "end 3"));
    host_->idle();
    const PngImage typed = host_->capture(area);
    EXPECT_FALSE(compareImages(before, typed, {0, 0}).matches) << "the display did not change";
    // Formatted as the parameter's value ("-6.00"), not the typed "-6".
    reopen();
    EXPECT_TRUE(samePixels(host_->capture(area), typed));
}

TEST_F(MalvoreeEditorWindow, AClickElsewhereEndsTheEditWithWhatWasTyped) {
    clickAndType(kDamp1, "20");
    host_->click(kOffEveryControl);
    EXPECT_EQ(editBox(), nullptr);
    EXPECT_EQ(host_->readParameter(kDamp1), 0.2f);
    EXPECT_THAT(host_->edits(), ElementsAre("begin 2", "changed 2 0.2", "end 2"));
}

TEST_F(MalvoreeEditorWindow, ClosingTheEditorWhileTypingWritesNothing) {
    hostWrites(kDamp3, 0.4f);
    clickAndType(kDamp3, "90");
    host_->closeEditor();
    EXPECT_EQ(host_->childWindowCount(), 0);
    EXPECT_EQ(host_->readParameter(kDamp3), 0.4f);
    EXPECT_THAT(host_->edits(), ElementsAre("begin 12", "end 12"));
    // It opens again with no box.
    open();
    EXPECT_EQ(editBox(), nullptr);
}

TEST_F(MalvoreeEditorWindow, ShutdownWhileTypingLeavesNoWindowAndNoWindowClass) {
    clickAndType(kDamp3, "90");
    host_->shutdown();
    expectNothingOfTheEditorLeft();
}

TEST_F(MalvoreeEditorWindow, TheSyncButtonSwitchesTempoSyncAndEveryDelayDisplay) {
    const int32_t delays[] = {headParameterIndex(0, kHeadDelay), headParameterIndex(1, kHeadDelay),
                              headParameterIndex(2, kHeadDelay), headParameterIndex(3, kHeadDelay)};
    const PngImage syncOn = host_->capture(syncArea());
    std::vector<PngImage> noteNames;
    for (int32_t delay : delays)
        noteNames.push_back(host_->capture(displayArea(delay)));
    ASSERT_EQ(host_->readParameter(kTempoParameter), 1.0f);

    host_->click({syncArea().left + 5, syncArea().top + 5});
    EXPECT_THAT(host_->edits(), ElementsAre("begin 20", "changed 20 0", "end 20"));
    EXPECT_EQ(host_->readParameter(kTempoParameter), 0.0f);
    host_->idle();
    EXPECT_FALSE(compareImages(syncOn, host_->capture(syncArea()), {0, 0}).matches)
        << "the button did not go dark";
    for (size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(
            compareImages(noteNames[i], host_->capture(displayArea(delays[i])), {0, 0}).matches)
            << "delay display " << i + 1 << " still shows its note name";

    host_->click({syncArea().left + 5, syncArea().top + 5});
    EXPECT_EQ(host_->readParameter(kTempoParameter), 1.0f);
    host_->idle();
    EXPECT_TRUE(samePixels(syncOn, host_->capture(syncArea())));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(samePixels(noteNames[i], host_->capture(displayArea(delays[i]))))
            << "delay display " << i + 1;
}

TEST_F(MalvoreeEditorWindow, TheSliderHandleDraggedToTheTopMakesTheMixWet) {
    const PngImage wet = host_->capture(sliderArea()); // Mix 1 by default
    hostWrites(kMixParameter, 0.0f);
    ASSERT_FALSE(compareImages(wet, host_->capture(sliderArea()), {0, 0}).matches);

    // The handle (10 high) rests at the bottom of its 43 pixels of travel.
    const RECT slider = sliderArea();
    const int x = (slider.left + slider.right) / 2;
    host_->press({x, slider.bottom - 5});
    EXPECT_EQ(GetCapture(), host_->editorWindow());
    host_->moveTo({x, slider.top + 20});
    host_->moveTo({x, slider.top - 10});
    host_->release({x, slider.top - 10});

    EXPECT_EQ(host_->readParameter(kMixParameter), 1.0f);
    const std::vector<std::string> edits = host_->edits();
    ASSERT_GE(edits.size(), 3u) << ::testing::PrintToString(edits);
    EXPECT_EQ(edits.front(), "begin 21");
    EXPECT_EQ(edits.back(), "end 21");
    EXPECT_EQ(std::count(edits.begin(), edits.end(), "begin 21"), 1);
    host_->idle();
    EXPECT_TRUE(samePixels(wet, host_->capture(sliderArea())));
}

// --- snapshots ---------------------------------------------------------------------------------

TEST(MalvoreeEditorSnapshot, MatchesEachReferenceImage) {
    EXPECT_TRUE(snapshotsMatchTheirReferences("Malvoree", "malvoree", 463, 334));
}

TEST(MalvoreeEditorSnapshot, WithTheFirstHeadSilencedNoLongerMatches) {
    // The first reference is the default program: head 1 at -2.49 dB.
    EXPECT_TRUE(aChangedSnapshotDiffers("Malvoree", "malvoree", std::to_string(kVolume1) + "=0"));
}

} // namespace
