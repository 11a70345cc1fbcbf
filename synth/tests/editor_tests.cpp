// Oriv's editor on the toolkit's headless back-end: its size and placement, how its controls
// follow the effect, what a click tells the host, and how it survives the host closing,
// reopening and shutting it down at awkward moments.
#include "aeffguieditor.h"
#include "cbitmap.h"
#include "cframe.h"
#include "cknob.h"
#include "conoffbutton.h"
#include "editor_test_host.h"
#include "microsynthedit.h"
#include "microsyntheditor.h"
#include "platform/headless/headless.h"
#include "synth_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace QXAGUI;

class OrivEditorTest : public editor_test::EditorHostTest<MicroSynthEdit, MicroSynthEditor> {
protected:
    void addResources() override {
        headless::addResource(headless::ResourceType::Bitmap, kSynthBackgroundBitmap, 500, 170);
        headless::addResource(headless::ResourceType::Bitmap, kSynthButtonBitmap, 16, 58);
        headless::addResource(headless::ResourceType::Data, kSynthKnobHandleName, 7, 7);
    }
    CControl* controlWithTag(int32_t tag) {
        for (int32_t i = 0; i < frame()->childCount(); ++i) {
            auto* control = static_cast<CControl*>(frame()->childAt(i));
            if (control->id() == tag) return control;
        }
        return nullptr;
    }
    void expectControlsShowTheEffect() override {
        for (int32_t index = Osc2Det; index < kSynthParameterCount; ++index)
            EXPECT_EQ(controlWithTag(index)->value(), effect->readParameter(index)) << index;
        for (int32_t tag = kFirstButtonTag; tag <= kLastButtonTag; ++tag) {
            const float p = effect->readParameter(buttonParameter(tag));
            const int32_t step = (tag - kFirstButtonTag) % 3;
            const bool lit = step == 0 ? p < 0.5f : (step == 1 ? p == 0.5f : p == 1.0f);
            EXPECT_EQ(controlWithTag(tag)->value(), lit ? 1.0f : 0.0f) << tag;
        }
    }
    // Lit buttons of the range and wave selectors, as tags.
    std::vector<int32_t> litButtons() {
        std::vector<int32_t> lit;
        for (int32_t tag = kFirstButtonTag; tag <= kLastButtonTag; ++tag)
            if (controlWithTag(tag)->value() != 0.0f) lit.push_back(tag);
        return lit;
    }
    void click(int32_t tag, ButtonFlags buttons = ButtonLeft) {
        const ViewRect bounds = controlWithTag(tag)->bounds();
        const ViewPoint point{bounds.left + 3, bounds.top + 3};
        windowMessage([&](CFrame& frame) { frame.pointerDown(point, buttons); });
        windowMessage([&](CFrame& frame) { frame.pointerUp(point, 0); });
    }
};

TEST_F(OrivEditorTest, TheHostSeesAnEditorOfTheBackgroundsSize) {
    EXPECT_EQ(effect->descriptorRecord()->flagBits, 0x111);
    EditorRect* rect = nullptr;
    ASSERT_EQ(dispatch(EditorBoundsQuery, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 170);
    EXPECT_EQ(rect->right, 500);
}

TEST_F(OrivEditorTest, OpenBuildsEighteenControlsAtTheirPlaces) {
    EXPECT_FALSE(editor().isEditorOpen());
    open();
    EXPECT_TRUE(editor().isEditorOpen());
    ASSERT_EQ(frame()->childCount(), 18);
    EXPECT_EQ(frame()->bounds(), (ViewRect{0, 0, 500, 170}));
    EXPECT_EQ(headless::windowOf(*frame())->hostWindow, kHostWindow);
    for (const ControlPlacement& row : synthControlLayout) {
        if (row.tag < 0) break;
        CControl* control = controlWithTag(row.tag);
        ASSERT_NE(control, nullptr) << row.tag;
        if (row.kind == KindKnob) {
            EXPECT_TRUE(control->isKindOf("CKnob"));
            EXPECT_EQ(control->bounds(),
                      (ViewRect{row.x - 15, row.y - 15, row.x + 15, row.y + 15}));
        } else {
            EXPECT_TRUE(control->isKindOf("COnOffButton"));
            EXPECT_EQ(control->bounds(), (ViewRect{row.x, row.y, row.x + 15, row.y + 28}));
        }
    }
    dispatch(EditorDetach);
    EXPECT_FALSE(editor().isEditorOpen());
    EXPECT_EQ(frame(), nullptr);
}

TEST_F(OrivEditorTest, AKnobPaintsOverTheBackdropPieceUnderItOnlyItsDot) {
    effect->writeParameter(VcfCut, 0.5f);
    open();
    auto& drawing = headless::windowOf(*frame())->drawing;
    drawing.clear();
    frame()->paintArea(nullptr, {200, 43, 231, 74});
    const auto images = drawing.matching("image");
    // The frame's backdrop inside the area only (the knob's part of it is the same pixels, so
    // the knob does not copy it again), then the dot at value 0.5: straight up, 9 pixels above
    // the centre (215, 58), blitted centred.
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0], "image bitmap#128 200 43 31 31 200 43 255");
    EXPECT_EQ(images[1], "image bmp00129.png 212 46 7 7 0 0 255");
}

TEST_F(OrivEditorTest, ControlsShowTheCurrentValuesWhenOpened) {
    effect->writeParameter(VcfReso, 0.75f);
    effect->writeParameter(OscWave, 1.0f);
    open();
    EXPECT_EQ(controlWithTag(VcfReso)->value(), 0.75f);
    EXPECT_EQ(litButtons(), (std::vector<int32_t>{RangeButton8, WaveButton3}));
}

TEST_F(OrivEditorTest, TheTwoButtonRulesAgreeOnTheStepsAndDifferAt045) {
    open();
    for (float value : {0.0f, 0.5f, 1.0f}) {
        effect->writeParameter(OscRang, value);
        editor().refreshControls();
        const auto byExactRule = litButtons();
        editor().refreshRangeAndWaveButtons();
        EXPECT_EQ(litButtons(), byExactRule) << value;
    }
    effect->writeParameter(OscWave, 0.45f);
    editor().refreshRangeAndWaveButtons();
    EXPECT_EQ(controlWithTag(WaveButton2)->value(), 1.0f);
    editor().refreshControls();
    EXPECT_EQ(controlWithTag(WaveButton1)->value(), 1.0f);
    EXPECT_EQ(controlWithTag(WaveButton2)->value(), 0.0f);
}

TEST_F(OrivEditorTest, AButtonClickBracketsTheParameterItServes) {
    open();
    log.requests.clear();
    click(WaveButton3);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"idle", "begin 1", "changed 1 1", "end 1"}));
    EXPECT_EQ(effect->readParameter(OscWave), 1.0f);
    EXPECT_EQ(litButtons(), (std::vector<int32_t>{RangeButton8, WaveButton3}));

    // An already lit button selects its step again and stays lit.
    log.requests.clear();
    headless::setTickCount(headless::tickCountNow() + 1000);
    click(WaveButton3);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"idle", "begin 1", "changed 1 1", "end 1"}));
    EXPECT_EQ(controlWithTag(WaveButton3)->value(), 1.0f);

    log.requests.clear();
    headless::setTickCount(headless::tickCountNow() + 1000);
    click(RangeButton16);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"idle", "begin 0", "changed 0 0", "end 0"}));
}

TEST_F(OrivEditorTest, TurningAKnobWritesItsParameterInsideOneGesture) {
    open();
    log.requests.clear();
    CControl* knob = controlWithTag(LfoFreq);
    const ViewPoint centre{86, 109};
    frame()->pointerDown(centre, ButtonLeft);
    frame()->pointerMoved({96, 109}, ButtonLeft); // right of the centre: about 0.83
    frame()->pointerUp({96, 109}, 0);
    ASSERT_GE(log.requests.size(), 3u);
    EXPECT_EQ(log.requests.front(), "begin 3");
    EXPECT_EQ(log.requests.back(), "end 3");
    EXPECT_EQ(log.requests[log.requests.size() - 2].rfind("changed 3 ", 0), 0u);
    EXPECT_NEAR(effect->readParameter(LfoFreq), 0.8333f, 1e-3f);
    EXPECT_EQ(knob->value(), effect->readParameter(LfoFreq));
}

TEST_F(OrivEditorTest, AHostWriteRepaintsOnlyThatControlAtTheNextIdle) {
    open();
    frame()->paintArea(nullptr, frame()->bounds());
    auto& window = *headless::windowOf(*frame());
    window.invalidations.clear();
    dispatch(EditorTick);
    EXPECT_TRUE(window.invalidations.empty());

    effect->writeParameter(VcaRel, 0.9f);
    EXPECT_NE(controlWithTag(VcaRel)->value(), 0.9f); // not before the window's idle pass
    dispatch(EditorTick);
    EXPECT_EQ(controlWithTag(VcaRel)->value(), 0.9f);
    EXPECT_EQ(window.invalidations, (std::vector<ViewRect>{{428, 94, 458, 124}}));
}

TEST_F(OrivEditorTest, AKnobTheUserHoldsFollowsTheHostOnlyOnceReleased) {
    open();
    frame()->paintArea(nullptr, frame()->bounds());
    auto& window = *headless::windowOf(*frame());
    const ViewRect knob = controlWithTag(LfoFreq)->bounds();
    frame()->pointerDown({86, 109}, ButtonLeft);
    frame()->pointerMoved({96, 109}, ButtonLeft);
    dispatch(EditorTick);
    window.invalidations.clear();
    // Automation arrives while the user drags: the knob stays under the user's hand.
    effect->writeParameter(LfoFreq, 0.1f);
    dispatch(EditorTick);
    EXPECT_TRUE(window.invalidations.empty());
    frame()->pointerUp({96, 109}, 0);
    EXPECT_EQ(effect->readParameter(LfoFreq), 0.1f); // letting go writes nothing
    window.invalidations.clear();
    dispatch(EditorTick);
    EXPECT_EQ(window.invalidations, (std::vector<ViewRect>{knob}));
    EXPECT_EQ(controlWithTag(LfoFreq)->value(), 0.1f);
}

TEST_F(OrivEditorTest, AProgramChangeMovesEveryControl) {
    open();
    dispatch(ProgramSelect, 0, 3);
    dispatch(EditorTick);
    for (int32_t index = Osc2Det; index < kSynthParameterCount; ++index)
        EXPECT_EQ(controlWithTag(index)->value(), effect->readParameter(index)) << index;
}

TEST_F(OrivEditorTest, AClosedEditorSurvivesHostWritesAndIdleCalls) {
    open();
    dispatch(EditorDetach);
    effect->writeParameter(VcfCut, 0.1f);
    dispatch(EditorTick);
    EXPECT_EQ(dispatch(EditorKeyPress, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, 1.0f), 0);
}

TEST_F(OrivEditorTest, ReopeningRebuildsTheControlsWithTheSameBitmaps) {
    open();
    CBitmap* background = frame()->backdrop();
    CBitmap* handle = static_cast<CKnob*>(controlWithTag(VcfCut))->handleImage();
    dispatch(EditorDetach);
    effect->writeParameter(VcfCut, 0.3f);
    open();
    EXPECT_EQ(frame()->backdrop(), background);
    EXPECT_EQ(static_cast<CKnob*>(controlWithTag(VcfCut))->handleImage(), handle);
    EXPECT_EQ(controlWithTag(VcfCut)->value(), 0.3f);
    EXPECT_EQ(frame()->childCount(), 18);
}

TEST_F(OrivEditorTest, OpeningTwiceClosesTheFirstFrame) {
    open();
    const int32_t withOneFrame = CBaseObject::liveObjectCount();
    open();
    EXPECT_EQ(CBaseObject::liveObjectCount(), withOneFrame);
}

TEST_F(OrivEditorTest, AWindowThatCannotBeMadeLeavesNothingOpen) {
    headless::failNextFrameWindow();
    EXPECT_EQ(dispatch(EditorAttach, 0, 0, kHostWindow), 0);
    EXPECT_FALSE(editor().isEditorOpen());
    EXPECT_EQ(frame(), nullptr);
    dispatch(EditorTick);
    open(); // the next attempt works
}

TEST_F(OrivEditorTest, ShutdownWithAnOpenEditorLeavesNothingBehind) {
    const int32_t ole = headless::oleInitializeDepth();
    open();
    dispatch(EditorTick); // the frame takes up OLE for drops at its first idle pass
    EXPECT_EQ(headless::oleInitializeDepth(), ole + 1);
    dispatch(Shutdown);
    EXPECT_EQ(CBaseObject::liveObjectCount(), baselineObjects);
    // The frame's: the editor leaves OLE to the frame, on the window's thread.
    EXPECT_EQ(headless::oleInitializeDepth(), ole);
}

TEST_F(OrivEditorTest, KnobModeTwoMakesEveryEditorsKnobsLinear) {
    auto* other = new MicroSynthEdit(editor_test::recordingHost);
    auto* otherEditor = static_cast<AEffGUIEditor*>(other->editorObject());
    EXPECT_EQ(dispatch(EditorKnobModeChange, 0, 2), 1);
    EXPECT_EQ(otherEditor->knobStyle(), 2);
    dispatch(EditorKnobModeChange, 0, 0);
    EXPECT_EQ(otherEditor->knobStyle(), 0);
    delete other;
}

TEST_F(OrivEditorTest, TwoQuickModalIdlesReachTheHostOnce) {
    open();
    log.requests.clear();
    editor().runEditorIdle();
    editor().runEditorIdle();
    EXPECT_EQ(log.requests, (std::vector<std::string>{"idle"}));
    EXPECT_EQ(headless::paintMessagesDispatched(), 1);
    headless::setTickCount(headless::tickCountNow() + 100);
    editor().runEditorIdle();
    EXPECT_EQ(log.requests.size(), 2u);
}

TEST_F(OrivEditorTest, TheModalIdleComparesTicksAcrossTheWrap) {
    open();
    for (uint32_t tick : {2000u, 0x7FFFFFF0u, 0xFFFFFFF0u})
        headless::setTickCount(tick), editor().runEditorIdle();
    // The next idle is due at 0x54, after the wrap.
    log.requests.clear();
    headless::setTickCount(0x00000010u);
    editor().runEditorIdle(); // 68 ms early: nothing but a short sleep
    EXPECT_TRUE(log.requests.empty());
    headless::setTickCount(0x00000060u);
    editor().runEditorIdle();
    EXPECT_EQ(log.requests, (std::vector<std::string>{"idle"}));
}

TEST_F(OrivEditorTest, TheWheelReachesTheKnobUnderTheCursor) {
    open();
    effect->writeParameter(VcfDec, 0.5f);
    dispatch(EditorTick);
    headless::setCursorScreenPosition({330, 58});
    EXPECT_EQ(dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, 2.0f), 1);
    EXPECT_NEAR(effect->readParameter(VcfDec), 0.7f, 1e-6f);
    headless::setCursorScreenPosition({5, 5}); // over the logo: nothing takes it
    EXPECT_EQ(dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, 2.0f), 0);
}

TEST_F(OrivEditorTest, ArrowKeysStepTheKnobThatHasTheFocus) {
    open();
    effect->writeParameter(VcaSus, 0.5f);
    dispatch(EditorTick);
    frame()->focusOn(controlWithTag(VcaSus));
    EXPECT_EQ(dispatch(EditorKeyPress, 0, kKeyUp, nullptr, 0.0f), 1);
    EXPECT_NEAR(effect->readParameter(VcaSus), 0.6f, 1e-6f);
    EXPECT_EQ(dispatch(EditorKeyPress, 0, 'z', nullptr, 0.0f), 0); // unhandled: the host's
}

TEST_F(OrivEditorTest, RedrawingAReversedAreaPaintsTheOrderedOne) {
    open();
    auto& drawing = headless::windowOf(*frame())->drawing;
    EditorRect reversed{60, 300, 10, 200}; // top, left, bottom, right
    drawing.clear();
    editor().redrawEditor(&reversed);
    const auto reversedClips = drawing.matching("clip");
    EditorRect ordered{10, 200, 60, 300};
    drawing.clear();
    editor().redrawEditor(&ordered);
    EXPECT_EQ(drawing.matching("clip"), reversedClips);
    EXPECT_NE(std::find(reversedClips.begin(), reversedClips.end(), "clip 200 10 300 60"),
              reversedClips.end());
}

TEST_F(OrivEditorTest, TheHostClosingTheEditorDuringAClickWaitsForTheClickToFinish) {
    open();
    log.onIdle = [this] { dispatch(EditorDetach); };
    click(RangeButton4);
    EXPECT_EQ(frame(), nullptr);
    EXPECT_FALSE(editor().isEditorOpen());
    EXPECT_EQ(effect->readParameter(OscRang), 1.0f);
    EXPECT_EQ(log.requests.back(), "end 0");
}

TEST_F(OrivEditorTest, TheHostReopeningTheEditorDuringAClickKeepsTheNewOneOpen) {
    const int32_t closedObjects = CBaseObject::liveObjectCount();
    open();
    log.onIdle = [this] {
        dispatch(EditorDetach); // deferred: the click is still in progress
        dispatch(EditorAttach, 0, 0, kHostWindow);
    };
    click(RangeButton4);
    ASSERT_NE(frame(), nullptr);
    EXPECT_TRUE(editor().isEditorOpen());
    EXPECT_EQ(frame()->childCount(), 18);
    EXPECT_EQ(effect->readParameter(OscRang), 1.0f);
    // The first frame went with the re-open: closing leaves what there was before opening.
    dispatch(EditorDetach);
    EXPECT_EQ(CBaseObject::liveObjectCount(), closedObjects);
}

TEST_F(OrivEditorTest, TheHostShuttingDownDuringAClickDeletesTheInstanceAfterwards) {
    open();
    log.onIdle = [this] { dispatch(Shutdown); };
    const ViewRect bounds = controlWithTag(RangeButton4)->bounds();
    size_t heard = 0;
    windowMessage([&](CFrame& frame) {
        frame.pointerDown({bounds.left + 2, bounds.top + 2}, ButtonLeft);
        heard = log.requests.size();
    }); // the instance goes when the message has been handled
    EXPECT_EQ(CBaseObject::liveObjectCount(), baselineObjects);
    // After Shutdown the host heard nothing more.
    EXPECT_EQ(log.requests.size(), heard);
    EXPECT_EQ(log.requests.back(), "idle");
}

TEST_F(OrivEditorTest, ToolkitObjectsAreCountedForTheHost) {
    int32_t count = -1;
    EXPECT_EQ(dispatch(VendorPrivateCall, kToolkitQueryIndex, kToolkitLiveObjectsValue, &count), 1);
    EXPECT_EQ(count, CBaseObject::liveObjectCount());
    open();
    int32_t open = -1;
    dispatch(VendorPrivateCall, kToolkitQueryIndex, kToolkitLiveObjectsValue, &open);
    EXPECT_GT(open, count);
    dispatch(EditorDetach);
    dispatch(VendorPrivateCall, kToolkitQueryIndex, kToolkitLiveObjectsValue, &open);
    EXPECT_EQ(open, count);
}

TEST_F(OrivEditorTest, WritesFromAnotherThreadNeverTouchTheViews) {
    cycleWhileAnotherThreadWrites(200);
}

} // namespace
