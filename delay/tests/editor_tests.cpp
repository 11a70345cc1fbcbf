// Malvoree's editor on the toolkit's headless back-end: its size and placement, the displays'
// texts, typed values in every display's terms, and how the panel follows the effect.
#include "cbitmap.h"
#include "cdragcontainer.h"
#include "cdrawcontext.h"
#include "cframe.h"
#include "cparamdisplay.h"
#include "cslider.h"
#include "ctagdisplay.h"
#include "delay_layout.h"
#include "editor_test_host.h"
#include "malvoreeedit.h"
#include "malvoreeeditor.h"
#include "notevaluetable.h"
#include "platform/headless/headless.h"
#include "tagtext.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace QXAGUI;
using namespace malvoree;

class MalvoreeEditorTest : public editor_test::EditorHostTest<MalvoreeEdit, MalvoreeEditor> {
protected:
    void addResources() override {
        headless::addResource(headless::ResourceType::Bitmap, kDelayBackgroundBitmap, 463, 334);
        headless::addResource(headless::ResourceType::Bitmap, kSyncButtonBitmap, 40, 30);
        headless::addResource(headless::ResourceType::Bitmap, kSliderHandleBitmap, 27, 10);
        headless::addResource(headless::ResourceType::Data, kDelayKnobHandleName, 9, 9);
    }
    // The control of a parameter: its knob, button or slider, or its display.
    CControl* control(int32_t tag, bool display = false) {
        for (int32_t i = 0; i < frame()->childCount(); ++i) {
            auto* child = static_cast<CControl*>(frame()->childAt(i));
            if (child->id() == tag && child->isKindOf("CTagDisplay") == display) return child;
        }
        return nullptr;
    }
    CTagDisplay* display(int32_t tag) { return static_cast<CTagDisplay*>(control(tag, true)); }
    std::string shown(int32_t tag) { return display(tag)->text(); }
    // Sets a value as the host does and lets the window's idle pass follow.
    void hostWrites(int32_t tag, float value) {
        effect->writeParameter(tag, value);
        dispatch(EditorTick);
    }
    // Clicks a display, types into its box and presses Return.
    void type(int32_t tag, const std::string& text) {
        const ViewRect bounds = display(tag)->bounds();
        frame()->pointerDown({bounds.left + 2, bounds.top + 2}, ButtonLeft);
        headless::typeIntoEditBox(text);
        headless::pressReturnInEditBox();
    }
};

constexpr int32_t kDelay1 = headParameterIndex(0, kHeadDelay);
constexpr int32_t kFeedback2 = headParameterIndex(1, kHeadFeedback);
constexpr int32_t kDamp3 = headParameterIndex(2, kHeadFilter);
constexpr int32_t kVolume4 = headParameterIndex(3, kHeadVolume);
constexpr int32_t kPan1 = headParameterIndex(0, kHeadPan);

TEST_F(MalvoreeEditorTest, TheHostSeesAnEditorOfTheBackgroundsSize) {
    EXPECT_EQ(effect->descriptorRecord()->flagBits, 0x11);
    EditorRect* rect = nullptr;
    ASSERT_EQ(dispatch(EditorBoundsQuery, 0, 0, &rect), 1);
    EXPECT_EQ(rect->bottom, 334);
    EXPECT_EQ(rect->right, 463);
}

TEST_F(MalvoreeEditorTest, FortyTwoControlsSitAtTheTablesRectangles) {
    open();
    ASSERT_EQ(frame()->childCount(), 42);
    int32_t index = 0;
    for (const ControlPlacement& row : delayControlLayout) {
        if (row.tag < 0) break;
        CControl* child = static_cast<CControl*>(frame()->childAt(index++));
        EXPECT_EQ(child->id(), row.tag);
        ViewRect expected;
        switch (row.kind) {
        case KindKnob:
            expected = {row.x - 10, row.y - 10, row.x + 10, row.y + 10};
            EXPECT_TRUE(child->isKindOf("CKnob"));
            break;
        case KindOnOffButton:
            expected = {row.x, row.y, row.x + 39, row.y + 14};
            EXPECT_TRUE(child->isKindOf("COnOffButton"));
            break;
        case KindTagDisplay:
            expected = {row.x, row.y, row.x + 32, row.y + 10};
            EXPECT_TRUE(child->isKindOf("CTagDisplay"));
            break;
        default:
            expected = {row.x, row.y, row.x + 26, row.y + 53};
            EXPECT_TRUE(child->isKindOf("CSlider"));
            break;
        }
        EXPECT_EQ(child->bounds(), expected) << "row " << index;
    }
}

TEST_F(MalvoreeEditorTest, TheMixSliderHandleTravels43PixelsWetAtTheTop) {
    open();
    auto& drawing = headless::windowOf(*frame())->drawing;
    for (float value : {1.0f, 0.0f}) {
        hostWrites(kMixParameter, value);
        drawing.clear();
        frame()->paintArea(nullptr, {408, 36, 434, 89});
        const auto images = drawing.matching("image bitmap#1004");
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0], value == 1.0f ? "image bitmap#1004 408 36 27 10 0 0 255"
                                           : "image bitmap#1004 408 79 27 10 0 0 255");
    }
}

TEST_F(MalvoreeEditorTest, DelayDisplaysShowNoteNamesWithSyncAndSecondsWithout) {
    open();
    hostWrites(kTempoParameter, 1.0f);
    for (auto [value, name] : {std::pair{0.5f, "1/8 *"}, {1.0f, "1"}, {0.0f, "1/32"}}) {
        hostWrites(kDelay1, value);
        EXPECT_EQ(shown(kDelay1), name) << value;
    }
    hostWrites(kTempoParameter, 0.0f);
    hostWrites(kDelay1, 0.5f);
    EXPECT_EQ(shown(kDelay1), " 1.000");
    hostWrites(kDelay1, 1.0f);
    EXPECT_EQ(shown(kDelay1), " 2.000");
}

TEST_F(MalvoreeEditorTest, SwitchingSyncChangesAllFourDelayDisplays) {
    open();
    hostWrites(kTempoParameter, 0.0f);
    for (int32_t head = 0; head < kHeadCount; ++head)
        EXPECT_EQ(shown(headParameterIndex(head, kHeadDelay))[0], ' ');
    const ViewRect sync = control(kTempoParameter)->bounds();
    frame()->pointerDown({sync.left + 5, sync.top + 5}, ButtonLeft);
    dispatch(EditorTick);
    EXPECT_EQ(effect->readParameter(kTempoParameter), 1.0f);
    for (int32_t head = 0; head < kHeadCount; ++head)
        EXPECT_NE(shown(headParameterIndex(head, kHeadDelay))[0], ' ') << head;
}

TEST_F(MalvoreeEditorTest, PanFeedbackAndVolumeTexts) {
    open();
    const std::pair<float, const char*> pans[] = {{0.0f, "L 64"},   {1.0f, "R 64"},
                                                  {0.5f, "< C >"},  {0.48f, "L  3"},
                                                  {0.52f, "< C >"}, {0.53f, "R  3"}};
    for (auto [value, text] : pans) {
        hostWrites(kPan1, value);
        EXPECT_EQ(shown(kPan1), text) << value;
    }
    hostWrites(kFeedback2, 0.5f);
    EXPECT_EQ(shown(kFeedback2), "50.00");
    hostWrites(kVolume4, 0.0f);
    EXPECT_EQ(shown(kVolume4), "-oo");
    hostWrites(kVolume4, 1.0f);
    EXPECT_EQ(shown(kVolume4), "0.000");
}

TEST_F(MalvoreeEditorTest, DisplayTextSitsTwoPixelsLowerThanInAPlainDisplaySoFiguresFit) {
    open();
    auto& drawing = headless::windowOf(*frame())->drawing;
    CTagDisplay* tagDisplay = display(kFeedback2);
    const ViewRect bounds = tagDisplay->bounds();
    drawing.clear();
    frame()->paintArea(nullptr, bounds);
    auto* plain = new CParamDisplay(bounds);
    plain->setDisplayFont(FontSmall);
    frame()->appendChild(plain);
    frame()->paintArea(nullptr, bounds);
    const auto texts = drawing.matching("text '");
    ASSERT_EQ(texts.size(), 3u); // the display, then the display and the plain one on top
    auto textTop = [](const std::string& line) {
        const size_t quote = line.rfind('\'');
        return std::stof(line.substr(line.find(' ', quote + 2) + 1));
    };
    EXPECT_EQ(textTop(texts[1]) - textTop(texts[2]), 2.0f);
}

TEST_F(MalvoreeEditorTest, DisplayTextsAreFormattedOnlyAtTheIdlePass) {
    open();
    hostWrites(kFeedback2, 0.5f);
    effect->writeParameter(kFeedback2, 0.25f); // as from the audio thread
    EXPECT_EQ(shown(kFeedback2), "50.00");
    dispatch(EditorTick);
    EXPECT_EQ(shown(kFeedback2), "25.00");
}

TEST_F(MalvoreeEditorTest, TheSyncButtonLightsAsTheEngineDecides) {
    open();
    hostWrites(kTempoParameter, 0.3f);
    EXPECT_EQ(control(kTempoParameter)->value(), 0.0f);
    hostWrites(kTempoParameter, 0.5f);
    EXPECT_EQ(control(kTempoParameter)->value(), 1.0f);
}

TEST_F(MalvoreeEditorTest, AHostWriteMarksTheWholePanelForRepaint) {
    open();
    frame()->paintArea(nullptr, frame()->bounds());
    auto& window = *headless::windowOf(*frame());
    window.invalidations.clear();
    hostWrites(kDamp3, 0.9f);
    EXPECT_EQ(window.invalidations, (std::vector<ViewRect>{{0, 0, 463, 334}}));
}

TEST_F(MalvoreeEditorTest, TypedValuesAreReadInEachDisplaysTerms) {
    open();
    hostWrites(kTempoParameter, 0.0f);
    type(kDelay1, "0.5");
    EXPECT_FLOAT_EQ(effect->readParameter(kDelay1), 0.25f);
    dispatch(EditorTick);
    EXPECT_EQ(shown(kDelay1), " 0.500");

    type(kFeedback2, "75 %");
    EXPECT_FLOAT_EQ(effect->readParameter(kFeedback2), 0.75f);
    type(kVolume4, "-6 dB");
    EXPECT_NEAR(effect->readParameter(kVolume4), 0.501187f, 1e-5f);
    dispatch(EditorTick);
    EXPECT_EQ(shown(kVolume4), "-6.00");
    type(kPan1, "R 32");
    EXPECT_FLOAT_EQ(effect->readParameter(kPan1), 0.75f);
    dispatch(EditorTick);
    EXPECT_EQ(shown(kPan1), "R 32");

    hostWrites(kTempoParameter, 1.0f);
    type(kDelay1, "1/4 T");
    dispatch(EditorTick);
    EXPECT_EQ(shown(kDelay1), "1/4 T");
}

TEST_F(MalvoreeEditorTest, ATypedValueIsWrittenInsideOneGesture) {
    open();
    log.requests.clear();
    type(kDamp3, "20");
    EXPECT_EQ(log.requests, (std::vector<std::string>{"begin 12", "changed 12 0.2", "end 12"}));
}

TEST_F(MalvoreeEditorTest, OutOfRangeValuesAreClampedAndGibberishWritesNothing) {
    open();
    type(kFeedback2, "250");
    EXPECT_EQ(effect->readParameter(kFeedback2), 1.0f);
    hostWrites(kPan1, 0.25f);
    log.requests.clear();
    type(kPan1, "left a bit");
    EXPECT_EQ(effect->readParameter(kPan1), 0.25f);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"begin 4", "end 4"}));
    // The display shows the parameter's value again, not the typed text.
    EXPECT_EQ(shown(kPan1), "L 32");
}

// Text dragged from elsewhere, one item.
class DraggedText : public CDragContainer {
public:
    explicit DraggedText(std::string text) : text_(std::move(text)) {}
    const char* firstItem(int32_t& size, int32_t& type) override {
        size = static_cast<int32_t>(text_.size());
        type = DragTextItem;
        return text_.c_str();
    }
    const char* nextItem(int32_t& size, int32_t& type) override {
        size = 0;
        type = DragItemNone;
        return nullptr;
    }
    int32_t itemType(int32_t index) override { return index == 0 ? DragItemText : DragItemNone; }
    int32_t itemCount() override { return 1; }

private:
    std::string text_;
};

TEST_F(MalvoreeEditorTest, TextDroppedOnADisplayIsTakenAsTyped) {
    open();
    log.requests.clear();
    auto* drag = new DraggedText("-6 dB");
    const ViewRect bounds = display(kVolume4)->bounds();
    const ViewPoint inside{bounds.left + 3, bounds.top + 3};
    frame()->dragEntered(drag, inside);
    EXPECT_TRUE(frame()->dropData(drag, inside));
    EXPECT_NEAR(effect->readParameter(kVolume4), 0.501187f, 1e-5f);
    EXPECT_EQ(log.requests.front(), "begin 18");
    EXPECT_EQ(log.requests.back(), "end 18");
    // Dropped on a knob, nothing takes it.
    const ViewRect knob = control(kVolume4)->bounds();
    EXPECT_FALSE(frame()->dropData(drag, {knob.left + 3, knob.top + 3}));
    drag->release();
}

TEST_F(MalvoreeEditorTest, ClosingTheEditorWhileTypingWritesNothing) {
    open();
    hostWrites(kDamp3, 0.4f);
    const ViewRect bounds = display(kDamp3)->bounds();
    frame()->pointerDown({bounds.left + 2, bounds.top + 2}, ButtonLeft);
    headless::typeIntoEditBox("90");
    log.requests.clear();
    dispatch(EditorDetach);
    EXPECT_EQ(effect->readParameter(kDamp3), 0.4f);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"end 12"}));
    EXPECT_EQ(headless::liveEditBoxes(), 0);
}

TEST_F(MalvoreeEditorTest, ShutdownWhileTypingLeavesNothingBehind) {
    open();
    const ViewRect bounds = display(kDamp3)->bounds();
    frame()->pointerDown({bounds.left + 2, bounds.top + 2}, ButtonLeft);
    headless::typeIntoEditBox("90");
    dispatch(Shutdown);
    EXPECT_EQ(headless::liveEditBoxes(), 0);
}

TEST_F(MalvoreeEditorTest, AClosedEditorSurvivesHostWrites) {
    open();
    dispatch(EditorDetach);
    hostWrites(kDamp3, 0.1f);
    dispatch(ProgramSelect, 0, 2);
    dispatch(EditorTick);
    open();
    EXPECT_EQ(shown(kDamp3), "50.00"); // program 3's default
}

TEST_F(MalvoreeEditorTest, WritesFromAnotherThreadNeverTouchTheDisplays) {
    cycleWhileAnotherThreadWrites(100);
}

// --- the grammar of typed values, without an editor -----------------------------------------

float parsed(ParameterKind kind, const char* text, bool sync = false) {
    float value = -1.0f;
    EXPECT_TRUE(parseTagText(kind, text, sync, value)) << text;
    return value;
}

bool refused(ParameterKind kind, const char* text, bool sync = false) {
    float value = -1.0f;
    return !parseTagText(kind, text, sync, value) && value == -1.0f;
}

TEST(TagTextGrammar, DelayTimesInSecondsAndNoteNames) {
    EXPECT_FLOAT_EQ(parsed(ParameterKind::DelayTime, " 1.000"), 0.5f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::DelayTime, "1.5 s"), 0.75f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::DelayTime, "5"), 1.0f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::DelayTime, "0.25", true), 0.125f);
    EXPECT_EQ(NoteValueTable::indexForAmount(parsed(ParameterKind::DelayTime, "1/8 *", true)), 7);
    EXPECT_TRUE(refused(ParameterKind::DelayTime, "1/8 *", false));
    EXPECT_TRUE(refused(ParameterKind::DelayTime, "nan"));
}

TEST(TagTextGrammar, PercentDecibelsAndPan) {
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Feedback, "50"), 0.5f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Filter, " 12.5% "), 0.125f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Feedback, "-3"), 0.0f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Volume, "0"), 1.0f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Volume, "-oo"), 0.0f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Volume, "+12 dB"), 1.0f);
    EXPECT_NEAR(parsed(ParameterKind::Volume, "-20dB"), 0.1f, 1e-6f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Pan, "L 32"), 0.25f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Pan, "r5"), 69.0f / 128.0f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Pan, "C"), 0.5f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Pan, "< C >"), 0.5f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Pan, "-64"), 0.0f);
    EXPECT_FLOAT_EQ(parsed(ParameterKind::Pan, "+100"), 1.0f);
    EXPECT_TRUE(refused(ParameterKind::Pan, "L -3"));
    EXPECT_TRUE(refused(ParameterKind::Volume, "loud"));
    EXPECT_TRUE(refused(ParameterKind::Feedback, ""));
    EXPECT_TRUE(refused(ParameterKind::Mix, "50"));
}

} // namespace
