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
    void expectControlsShowTheEffect() override {
        for (int32_t tag = 0; tag < kParameterCount; ++tag) {
            float value = effect->readParameter(tag);
            if (tag == kTempoParameter) value = value >= 0.5f ? 1.0f : 0.0f;
            EXPECT_EQ(control(tag)->value(), value) << tag;
            if (CTagDisplay* shownBy = display(tag)) {
                char text[kDisplayTextSize] = {};
                shownBy->formatTagText(text);
                EXPECT_STREQ(shownBy->text(), text) << tag;
            }
        }
    }
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

TEST_F(MalvoreeEditorTest, AHostWriteRepaintsOnlyThatKnobAndItsDisplay) {
    open();
    hostWrites(kDamp3, 0.5f);
    frame()->paintArea(nullptr, frame()->bounds());
    auto& window = *headless::windowOf(*frame());
    window.invalidations.clear();
    hostWrites(kDamp3, 0.9f);
    EXPECT_EQ(window.invalidations,
              (std::vector<ViewRect>{control(kDamp3)->bounds(), display(kDamp3)->bounds()}));
    // The same value again changes nothing on screen.
    window.invalidations.clear();
    hostWrites(kDamp3, 0.9f);
    EXPECT_TRUE(window.invalidations.empty());
    // Tempo sync changes the button and the four delay displays' texts, nothing else.
    hostWrites(kTempoParameter, 0.0f);
    EXPECT_EQ(window.invalidations.size(), 5u);
    // A program repaints the controls whose values it changes.
    frame()->paintArea(nullptr, frame()->bounds());
    window.invalidations.clear();
    dispatch(ProgramSelect, 0, 4);
    dispatch(EditorTick);
    const size_t changedByProgram = window.invalidations.size();
    EXPECT_GT(changedByProgram, 0u);
    EXPECT_LT(changedByProgram, 42u);
    window.invalidations.clear();
    dispatch(ProgramSelect, 0, 4);
    dispatch(EditorTick);
    EXPECT_TRUE(window.invalidations.empty());
}

TEST_F(MalvoreeEditorTest, PaintingDrawsTheBackdropOnceAndOnlyInsideTheArea) {
    open();
    auto& drawing = headless::windowOf(*frame())->drawing;
    const ViewRect knob = control(kDamp3)->bounds();
    drawing.clear();
    frame()->paintArea(nullptr, knob);
    const auto images = drawing.matching("image");
    // The backdrop's piece under the knob, from the same place of the bitmap, then the dot:
    // the knob's own copy of the same pixels is skipped.
    ASSERT_EQ(images.size(), 2u) << ::testing::PrintToString(images);
    char piece[80];
    std::snprintf(piece, sizeof piece, "image bitmap#%d %d %d 20 20 %d %d 255",
                  kDelayBackgroundBitmap, knob.left, knob.top, knob.left, knob.top);
    EXPECT_EQ(images[0], piece);
    EXPECT_EQ(images[1].rfind("image " + std::string(kDelayKnobHandleName), 0), 0u) << images[1];
}

TEST_F(MalvoreeEditorTest, ASyncClickStandsWhateverTheHostWroteJustBefore) {
    open();
    const ViewRect sync = control(kTempoParameter)->bounds();
    // A write to another parameter, then one to tempo sync itself (the value it has): each
    // leaves a refresh pending that the click's modal idle runs.
    for (int32_t pending : {kDamp3, kTempoParameter}) {
        const float shown = control(kTempoParameter)->value();
        effect->writeParameter(pending, effect->readParameter(pending));
        log.requests.clear();
        headless::setTickCount(headless::tickCountNow() + 1000);
        frame()->pointerDown({sync.left + 5, sync.top + 5}, ButtonLeft);
        const float clicked = shown == 0.0f ? 1.0f : 0.0f;
        EXPECT_EQ(effect->readParameter(kTempoParameter), clicked) << pending;
        char changed[32];
        std::snprintf(changed, sizeof changed, "changed 20 %g", static_cast<double>(clicked));
        EXPECT_EQ(log.requests, (std::vector<std::string>{"idle", "begin 20", changed, "end 20"}))
            << pending;
        dispatch(EditorTick);
        EXPECT_EQ(control(kTempoParameter)->value(), clicked);
    }
}

TEST_F(MalvoreeEditorTest, ReturnInAnUntouchedBoxWritesNothingOverAutomation) {
    open();
    hostWrites(kFeedback2, 0.5f);
    const ViewRect bounds = display(kFeedback2)->bounds();
    frame()->pointerDown({bounds.left + 2, bounds.top + 2}, ButtonLeft);
    hostWrites(kFeedback2, 0.8f); // automation while the box is open
    log.requests.clear();
    headless::pressReturnInEditBox();
    EXPECT_EQ(effect->readParameter(kFeedback2), 0.8f);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"end 6"}));
    dispatch(EditorTick);
    EXPECT_EQ(shown(kFeedback2), "80.00");
}

// From the click to the host: the typed text is read in the display's terms, written inside
// one gesture, and the display then shows the parameter's value, formatted as always.
TEST_F(MalvoreeEditorTest, ATypedValueReachesTheHostInsideOneGestureAndShowsFormatted) {
    open();
    log.requests.clear();
    type(kVolume4, "-6 dB");
    ASSERT_EQ(log.requests.size(), 3u);
    EXPECT_EQ(log.requests[0], "begin 18");
    EXPECT_EQ(log.requests[1].rfind("changed 18 0.501", 0), 0u) << log.requests[1];
    EXPECT_EQ(log.requests[2], "end 18");
    EXPECT_NEAR(effect->readParameter(kVolume4), 0.501187f, 1e-5f);
    dispatch(EditorTick);
    EXPECT_EQ(shown(kVolume4), "-6.00");
    // Text that means nothing writes nothing, and the display shows the value again.
    log.requests.clear();
    type(kVolume4, "loud");
    EXPECT_EQ(log.requests, (std::vector<std::string>{"begin 18", "end 18"}));
    EXPECT_EQ(shown(kVolume4), "-6.00");
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

// A host that gives each plug-in window a thread of its own: two editors open, paint and make
// and drop draw contexts at once. The fonts every display and context shares keep their
// counts (ThreadSanitizer watches the rest).
TEST_F(MalvoreeEditorTest, TwoEditorsPaintOnTwoThreadsAtOnce) {
    auto* other = new MalvoreeEdit(editor_test::recordingHost);
    const int32_t systemFontHolders = FontSystem->referenceCount();
    const int32_t smallFontHolders = FontSmall->referenceCount();
    auto paintAway = [](AudioEffect* instance, void* window) {
        DescriptorRecord* record = instance->descriptorRecord();
        record->dispatchFn(record, EditorAttach, 0, 0, window, 0.0f);
        auto* editor = static_cast<AEffGUIEditor*>(instance->editorObject());
        CFrame* frame = editor->editorFrame();
        for (int round = 0; round < 40; ++round) {
            frame->paintArea(nullptr, frame->bounds());
            auto* context = new CDrawContext(frame, nullptr, frame->systemWindow());
            context->setTextFont(FontSmall);
            context->release();
        }
        record->dispatchFn(record, EditorDetach, 0, 0, nullptr, 0.0f);
    };
    std::thread first(paintAway, effect, kHostWindow);
    std::thread second(paintAway, other, reinterpret_cast<void*>(0x3000));
    first.join();
    second.join();
    EXPECT_EQ(FontSystem->referenceCount(), systemFontHolders);
    EXPECT_EQ(FontSmall->referenceCount(), smallFontHolders);
    DescriptorRecord* record = other->descriptorRecord();
    record->dispatchFn(record, Shutdown, 0, 0, nullptr, 0.0f);

    // A font's platform object, asked for on two threads at the same moment, is made once.
    auto* font = new CFontDesc("Arial", 13, 0);
    PlatformFont* made[2] = {};
    std::thread left([&] { made[0] = font->platformFont(); });
    std::thread right([&] { made[1] = font->platformFont(); });
    left.join();
    right.join();
    EXPECT_NE(made[0], nullptr);
    EXPECT_EQ(made[0], made[1]);
    font->release();
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
