// Oriv's editor as a Windows host meets it: the built Oriv.dll loaded through the library
// boundary, its editor open in a host window, driven with the messages a person's pointer sends
// to the editor's window and with the host's own calls, and its pixels compared with each other
// and with the committed reference images in synth/tests/reference/.
#include "editor_window_test.h"
#include "reference_snapshots.h"
#include "synth_layout.h"

#include <objbase.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace {

using ::testing::ElementsAre;

const ControlPlacement& placement(int32_t tag) {
    for (const ControlPlacement& row : synthControlLayout)
        if (row.tag == tag) return row;
    ADD_FAILURE() << "no control with tag " << tag;
    return synthControlLayout.back();
}

// A point dx, dy from a knob's centre.
POINT onKnob(int32_t parameter, int dx = 0, int dy = 0) {
    const ControlPlacement& row = placement(parameter);
    return {row.x + dx, row.y + dy};
}

RECT knobArea(int32_t parameter) {
    const ControlPlacement& row = placement(parameter);
    return {row.x - kSynthKnobRadius, row.y - kSynthKnobRadius, row.x + kSynthKnobRadius,
            row.y + kSynthKnobRadius};
}

POINT onButton(int32_t tag) {
    const ControlPlacement& row = placement(tag);
    return {row.x + kSynthButtonWidth / 2, row.y + kSynthButtonHeight / 2};
}

class OrivEditorWindow : public EditorWindowTest {
protected:
    OrivEditorWindow() : EditorWindowTest("Oriv") {}

    // A drag on a knob from its top (value 0.5) clockwise round to its right (0.83).
    void pressAndTurn(int32_t parameter) {
        host_->press(onKnob(parameter, 0, -10));
        host_->moveTo(onKnob(parameter, 7, -7));
        host_->moveTo(onKnob(parameter, 10, 0));
    }
};

TEST_F(OrivEditorWindow, IsTheFramesChildWindowAtTheSizeTheEditorReports) {
    expectOneChildWindowOfSize(500, 170);
}

TEST_F(OrivEditorWindow, EachSelectorButtonSetsItsStepInsideAGestureOnTheParameterItServes) {
    for (int32_t tag = kFirstButtonTag; tag <= kLastButtonTag; ++tag) {
        SCOPED_TRACE("button " + std::to_string(tag));
        const int32_t parameter = buttonParameter(tag);
        const float step = buttonValue(tag);
        host_->clearRequests();
        host_->click(onButton(tag));
        std::ostringstream changed;
        changed << "changed " << parameter << ' ' << step;
        const std::string begin = "begin " + std::to_string(parameter);
        const std::string end = "end " + std::to_string(parameter);
        EXPECT_THAT(host_->edits(), ElementsAre(begin, changed.str(), end));
        EXPECT_EQ(host_->readParameter(parameter), step);
    }
}

TEST_F(OrivEditorWindow, AKnobDragSendsOneBeginItsChangesAndOneEnd) {
    pressAndTurn(VcfCut);
    EXPECT_EQ(GetCapture(), host_->editorWindow()) << "the drag holds the pointer";
    host_->release(onKnob(VcfCut, 10, 0));
    EXPECT_EQ(GetCapture(), nullptr);

    const std::vector<std::string> edits = host_->edits();
    ASSERT_GE(edits.size(), 4u) << ::testing::PrintToString(edits);
    EXPECT_EQ(edits.front(), "begin 4");
    EXPECT_EQ(edits.back(), "end 4");
    for (size_t i = 1; i + 1 < edits.size(); ++i)
        EXPECT_EQ(edits[i].rfind("changed 4 ", 0), 0u) << edits[i];
    // At three o'clock: a sixth of the 270-degree arc before its end.
    EXPECT_NEAR(host_->readParameter(VcfCut), 5.0f / 6.0f, 0.01f);
}

TEST_F(OrivEditorWindow, TheHostsLinearKnobModeMakesADragRightRaiseTheValue) {
    hostWrites(VcaSus, 0.25f);
    ASSERT_EQ(host_->dispatch(EditorKnobModeChange, 0, 2), 1);
    // 200 pixels cover the whole range.
    host_->press(onKnob(VcaSus));
    host_->moveTo(onKnob(VcaSus, 60, 0));
    host_->moveTo(onKnob(VcaSus, 100, 0));
    host_->release(onKnob(VcaSus, 100, 0));
    host_->dispatch(EditorKnobModeChange, 0, 0);
    EXPECT_NEAR(host_->readParameter(VcaSus), 0.75f, 1e-4f);
    const std::vector<std::string> edits = host_->edits();
    ASSERT_FALSE(edits.empty());
    EXPECT_EQ(edits.front(), "begin 12");
    EXPECT_EQ(edits.back(), "end 12");
}

TEST_F(OrivEditorWindow, LosingThePointerMidDragStillEndsTheGesture) {
    // The host (or the system) releases the capture.
    pressAndTurn(VcfReso);
    ASSERT_EQ(GetCapture(), host_->editorWindow());
    ReleaseCapture();
    ASSERT_FALSE(host_->edits().empty());
    EXPECT_EQ(host_->edits().back(), "end 5");
    // Another window takes it.
    host_->clearRequests();
    pressAndTurn(VcfReso);
    ASSERT_EQ(GetCapture(), host_->editorWindow());
    SetCapture(host_->hostWindow());
    ReleaseCapture();
    const std::vector<std::string> edits = host_->edits();
    ASSERT_FALSE(edits.empty());
    EXPECT_EQ(edits.front(), "begin 5");
    EXPECT_EQ(edits.back(), "end 5");
    // The release that comes late ends nothing a second time.
    host_->release(onKnob(VcfReso, 10, 0));
    EXPECT_EQ(host_->edits(), edits);
}

TEST_F(OrivEditorWindow, TheWheelStepsTheKnobUnderThePointerByATenth) {
    hostWrites(VcfReso, 0.5f);
    // The window's own wheel message: taken, so the host does not scroll as well.
    EXPECT_EQ(host_->wheelAt(onKnob(VcfReso), 1), 0);
    EXPECT_EQ(host_->hostWindowWheelMessages(), 0);
    EXPECT_NEAR(host_->readParameter(VcfReso), 0.6f, 1e-5f);
    ASSERT_EQ(host_->edits().size(), 3u) << ::testing::PrintToString(host_->edits());
    EXPECT_EQ(host_->edits().front(), "begin 5");
    EXPECT_EQ(host_->edits().back(), "end 5");

    // The host's wheel call finds the knob under the system's pointer.
    host_->movePointerTo(onKnob(VcfReso));
    EXPECT_EQ(
        host_->dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, -2.0f),
        1);
    EXPECT_NEAR(host_->readParameter(VcfReso), 0.4f, 1e-5f);

    // Over the panel between the knobs nothing turns.
    host_->clearRequests();
    host_->wheelAt({480, 10}, 1);
    EXPECT_EQ(host_->hostWindowWheelMessages(), 1) << "an unused wheel turn goes to the host";
    host_->movePointerTo({480, 10});
    EXPECT_EQ(
        host_->dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, 1.0f), 0);
    EXPECT_TRUE(host_->edits().empty()) << ::testing::PrintToString(host_->edits());
}

TEST_F(OrivEditorWindow, CtrlClickResetsAKnobToTheMiddleInsideExactlyOneGesture) {
    hostWrites(VcfCut, 0.9f);
    host_->click(onKnob(VcfCut, 0, -10), MK_CONTROL);
    EXPECT_THAT(host_->edits(), ElementsAre("begin 4", "changed 4 0.5", "end 4"));
    EXPECT_EQ(host_->readParameter(VcfCut), 0.5f);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(OrivEditorWindow, AHostWriteMovesTheKnobAtTheNextIdleAsAFreshEditorShowsIt) {
    const RECT area = knobArea(VcfCut);
    host_->writeParameter(VcfCut, 0.0f);
    reopen();
    const PngImage atZero = host_->capture(area);
    host_->writeParameter(VcfCut, 1.0f);
    reopen();
    const PngImage atOne = host_->capture(area);
    ASSERT_FALSE(compareImages(atZero, atOne, {0, 0}).matches) << "the knob's dot did not move";

    hostWrites(VcfCut, 0.0f);
    EXPECT_TRUE(samePixels(atZero, host_->capture(area)));
    hostWrites(VcfCut, 1.0f);
    EXPECT_TRUE(samePixels(atOne, host_->capture(area)));
}

TEST_F(OrivEditorWindow, AProgramChangeMovesEveryControlAtTheNextIdleAsAFreshEditorShowsIt) {
    const PngImage basicPatch = host_->capture();
    host_->dispatch(ProgramSelect, 0, 4); // Phase Bass: other range, wave and knobs
    reopen();
    const PngImage phaseBass = host_->capture();
    ASSERT_FALSE(compareImages(basicPatch, phaseBass, {0, 0}).matches);

    host_->dispatch(ProgramSelect, 0, 0);
    host_->idle();
    EXPECT_TRUE(samePixels(basicPatch, host_->capture()));
    host_->dispatch(ProgramSelect, 0, 4);
    host_->idle();
    EXPECT_TRUE(samePixels(phaseBass, host_->capture()));
}

TEST_F(OrivEditorWindow, ClosedByTheHostDuringAButtonsModalIdleItFinishesTheClickThenCloses) {
    // The modal idle's first pass after opening is due at once: the press reaches the host.
    host_->onNextHostIdle([this] { host_->dispatch(EditorDetach); });
    host_->press(onButton(RangeButton16));
    ASSERT_EQ(host_->hostIdleRequests(), 1) << "the press gave the host no idle time";
    EXPECT_EQ(host_->editorWindow(), nullptr);
    EXPECT_EQ(host_->childWindowCount(), 0);
    EXPECT_THAT(host_->edits(), ElementsAre("begin 0", "changed 0 0", "end 0"));

    // Idle calls to the closed editor, then it opens again as usual.
    host_->idle(2);
    open();
    host_->click(onButton(WaveButton3));
    EXPECT_THAT(host_->edits(), ElementsAre("begin 1", "changed 1 1", "end 1"));
}

TEST_F(OrivEditorWindow, ShutDownByTheHostDuringAButtonsModalIdleItEndsWithoutAWindow) {
    host_->onNextHostIdle([this] { host_->shutdown(); });
    host_->press(onButton(WaveButton2));
    ASSERT_EQ(host_->hostIdleRequests(), 1) << "the press gave the host no idle time";
    expectNothingOfTheEditorLeft();
}

TEST_F(OrivEditorWindow, ShutdownWithTheEditorOpenLeavesNoWindowAndNoWindowClass) {
    host_->shutdown();
    expectNothingOfTheEditorLeft();
}

TEST_F(OrivEditorWindow, AHostThatDestroysItsWindowFirstCanStillCloseTheEditor) {
    host_->closeEditor();
    const int32_t closedObjects = host_->liveToolkitObjects();
    ASSERT_GT(closedObjects, 0) << "the toolkit query is not answered";
    open();
    host_->destroyHostWindow();
    host_->dispatch(EditorTick);
    host_->dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, 1.0f);
    host_->dispatch(EditorDetach);
    host_->dispatch(EditorTick);
    EXPECT_EQ(host_->liveToolkitObjects(), closedObjects);
}

TEST_F(OrivEditorWindow, OpeningAgainWithoutAClosingReplacesTheEditorsWindow) {
    ASSERT_EQ(host_->dispatch(EditorAttach, 0, 0, host_->hostWindow()), 1);
    host_->pumpMessages();
    EXPECT_EQ(host_->childWindowCount(), 1);
    EXPECT_NE(host_->editorWindow(), nullptr);
}

TEST_F(OrivEditorWindow, AHundredOpeningsWithClicksAndTurnsLeaveNothingBehind) {
    host_->closeEditor();
    const int32_t closedObjects = host_->liveToolkitObjects();
    ASSERT_GT(closedObjects, 0) << "the toolkit query is not answered";
    for (int cycle = 0; cycle < 100; ++cycle) {
        open();
        host_->click(onButton(kFirstButtonTag + cycle % 6));
        host_->wheelAt(onKnob(LfoFreq), cycle % 2 == 0 ? 1 : -1);
        host_->writeParameter(VcfCut, static_cast<float>(cycle % 10) / 10.0f);
        host_->idle();
        host_->closeEditor();
        ASSERT_EQ(host_->childWindowCount(), 0) << "cycle " << cycle;
    }
    EXPECT_EQ(host_->liveToolkitObjects(), closedObjects);
}

// --- snapshots ---------------------------------------------------------------------------------

TEST(OrivEditorSnapshot, MatchesEachReferenceImage) {
    EXPECT_TRUE(snapshotsMatchTheirReferences("Oriv", "oriv", 500, 170));
}

TEST(OrivEditorSnapshot, WithTheCutoffKnobMovedNoLongerMatches) {
    // The first reference is the default program, its cutoff knob at the top.
    EXPECT_TRUE(aChangedSnapshotDiffers("Oriv", "oriv", "VcfCut=0"));
}

// A host that builds instances on a worker thread keeps that thread's apartment its own: the
// editor initialises OLE only on its window's thread, when the window is made.
TEST(OrivInstanceThread, BuildingAnInstanceLeavesTheThreadFreeToJoinTheMultithreadedApartment) {
    std::string error;
    HRESULT joined = E_FAIL;
    std::thread worker([&] {
        std::unique_ptr<EditorHost> host = EditorHost::load("Oriv", error);
        if (!host) return;
        joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(joined)) CoUninitialize();
    });
    worker.join();
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(joined, S_OK);
}

} // namespace
