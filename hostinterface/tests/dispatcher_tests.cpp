// The dispatcher: every opcode reaches its operation with the right argument mapping and
// result conversion; Shutdown destroys exactly once; unknown opcodes do nothing.
#include "recording.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

intptr_t dispatch(AudioEffect& effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* pointer = nullptr, float option = 0.0f) {
    DescriptorRecord* record = effect.descriptorRecord();
    return record->dispatchFn(record, opcode, index, value, pointer, option);
}

TEST(Descriptor, NewEffectHasTheBaseValues) {
    RecordingEffect effect;
    const DescriptorRecord* record = effect.descriptorRecord();
    EXPECT_EQ(record->signature, 0x51786150);
    const auto* bytes = reinterpret_cast<const unsigned char*>(record);
    EXPECT_EQ(bytes[0], 0x50);
    EXPECT_EQ(bytes[3], 0x51);
    EXPECT_EQ(record->owner, &effect);
    EXPECT_EQ(record->programCount, 4);
    EXPECT_EQ(record->parameterCount, 3);
    EXPECT_EQ(record->inputCount, 1);
    EXPECT_EQ(record->outputCount, 2);
    EXPECT_EQ(record->flagBits, FlagReplacing);
    EXPECT_EQ(record->pluginId, 0x4E6F4566);
    EXPECT_EQ(record->pluginVersion, 1);
    EXPECT_EQ(record->ioRatioHint, 1.0f);
    EXPECT_EQ(record->hostData, nullptr);
    for (unsigned char spare : record->spare)
        EXPECT_EQ(spare, 0);
    EXPECT_EQ(effect.currentSampleRate(), 44100.0f);
    EXPECT_EQ(effect.currentBlockSize(), 1024);
    EXPECT_EQ(effect.AudioEffect::currentProgramIndex(), 0);
}

TEST(Descriptor, FlagSettersTouchOnlyTheirBit) {
    RecordingEffect effect;
    const int32_t& flags = effect.descriptorRecord()->flagBits;
    effect.markAsInstrument(true);
    EXPECT_EQ(flags, FlagReplacing | FlagInstrument);
    effect.enableReplacing(false);
    EXPECT_EQ(flags, FlagInstrument);
    effect.enableClipFlag(true);
    effect.enableMeterFlag(true);
    effect.enableMonoFlag(true);
    effect.enableStateBlocks(true);
    effect.markNoTail(true);
    effect.enableAsyncFlag(true);
    effect.enableExternalBufferFlag(true);
    effect.enableReplacingDouble(true);
    EXPECT_EQ(flags, 0x1F2E);
    effect.markAsInstrument(false);
    effect.enableMonoFlag(false);
    EXPECT_EQ(flags, 0x1E26);
}

TEST(Descriptor, AttachEditorSetsAndClearsTheEditorFlag) {
    RecordingEffect effect;
    auto* editor = new RecordingEditor(&effect);
    effect.attachEditor(editor);
    EXPECT_EQ(effect.descriptorRecord()->flagBits, FlagReplacing | FlagEditor);
    EXPECT_EQ(effect.editorObject(), editor);
    effect.attachEditor(nullptr);
    EXPECT_EQ(effect.descriptorRecord()->flagBits, FlagReplacing);
    delete editor;
}

TEST(Descriptor, TrampolinesForwardToTheOwner) {
    RecordingEffect effect;
    DescriptorRecord* record = effect.descriptorRecord();
    float* in[2] = {};
    float* out[2] = {};
    record->replaceFn(record, in, out, 64);
    EXPECT_EQ(effect.last()->operation, "renderReplacing");
    EXPECT_EQ(effect.last()->a, 64);
    EXPECT_EQ(effect.last()->pointer, in);
    EXPECT_EQ(effect.secondPointer, out);
    record->accumulateFn(record, in, out, 32);
    EXPECT_EQ(effect.last()->operation, "renderAccumulating");
    EXPECT_EQ(effect.last()->a, 32);
    double* inD[2] = {};
    double* outD[2] = {};
    record->replaceDoubleFn(record, inD, outD, 16);
    EXPECT_EQ(effect.last()->operation, "renderReplacingDouble");
    EXPECT_EQ(effect.secondPointer, outD);
    record->writeParameterFn(record, 2, 0.25f);
    EXPECT_EQ(effect.last()->operation, "writeParameter");
    EXPECT_EQ(effect.last()->a, 2);
    EXPECT_EQ(effect.last()->option, 0.25f);
    EXPECT_EQ(record->readParameterFn(record, 1), 0.75f);
    EXPECT_EQ(effect.last()->a, 1);
}

// One row per routed opcode: the dispatcher's arguments, the operation that must be reached
// with the mapped arguments, and the result the host must see when the operation answers
// `answer`.
struct Route {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float option;
    const char* operation;
    intptr_t mappedA;
    intptr_t mappedB;
    intptr_t answer;
    intptr_t expected;
};

class DispatcherRoutes : public ::testing::TestWithParam<Route> {};

TEST_P(DispatcherRoutes, ReachTheOperationWithMappedArguments) {
    const Route& route = GetParam();
    RecordingEffect effect;
    effect.answer = route.answer;
    char buffer[128] = {};
    const intptr_t result =
        dispatch(effect, route.opcode, route.index, route.value, buffer, route.option);
    ASSERT_FALSE(effect.calls.empty()) << "opcode " << route.opcode << " reached nothing";
    const RecordedCall& call = effect.calls.front();
    EXPECT_EQ(call.operation, route.operation);
    EXPECT_EQ(call.a, route.mappedA);
    EXPECT_EQ(call.b, route.mappedB);
    EXPECT_EQ(result, route.expected);
}

INSTANTIATE_TEST_SUITE_P(
    AllOpcodes, DispatcherRoutes,
    ::testing::Values(
        Route{Initialise, 0, 0, 0, "onOpen", 0, 0, 9, 0},
        Route{ProgramSelect, 0, 3, 0, "selectProgram", 3, 0, 9, 0},
        Route{ProgramQuery, 0, 0, 0, "currentProgramIndex", 0, 0, 3, 3},
        Route{ProgramRename, 0, 0, 0, "renameProgram", 0, 0, 1, 0},
        Route{ProgramNameQuery, 0, 0, 0, "copyProgramName", 0, 0, 1, 0},
        Route{ParameterUnitQuery, 2, 0, 0, "copyParameterUnit", 2, 0, 1, 0},
        Route{ParameterTextQuery, 1, 0, 0, "copyParameterText", 1, 0, 1, 0},
        Route{ParameterTitleQuery, 2, 0, 0, "copyParameterTitle", 2, 0, 1, 0},
        Route{SampleRateChange, 0, 0, 48000.0f, "changeSampleRate", 0, 0, 1, 0},
        Route{BlockSizeChange, 0, 256, 0, "changeBlockSize", 256, 0, 1, 0},
        Route{PowerChange, 0, 1, 0, "onResume", 0, 0, 1, 0},
        Route{PowerChange, 0, 0, 0, "onSuspend", 0, 0, 1, 0},
        Route{StateExport, 1, 0, 0, "exportStateBlock", 1, 0, 77, 77},
        Route{StateImport, 0, 40, 0, "importStateBlock", 40, 0, 5, 5},
        Route{EventDelivery, 0, 0, 0, "handleEvents", 0, 0, 1, 1},
        Route{AutomatableQuery, 2, 0, 0, "isParameterAutomatable", 2, 0, 0, 0},
        Route{ParameterTextParse, 1, 0, 0, "parseParameterText", 1, 0, 1, 1},
        Route{IndexedProgramNameQuery, 5, 7, 0, "copyIndexedProgramName", 7, 5, 1, 1},
        Route{InputInfoQuery, 1, 0, 0, "describeInput", 1, 0, 1, 1},
        Route{OutputInfoQuery, 1, 0, 0, "describeOutput", 1, 0, 0, 0},
        Route{CategoryQuery, 0, 0, 0, "pluginCategory", 0, 0, 2, 2},
        Route{OfflineNotice, 1, 6, 0, "onOfflineNotice", 6, 1, 1, 1},
        Route{OfflinePreparation, 0, 6, 0, "onOfflinePrepare", 6, 0, 1, 1},
        Route{OfflineExecution, 0, 6, 0, "onOfflineRun", 6, 0, 1, 1},
        Route{VariableIoRender, 0, 0, 0, "renderVariableIo", 0, 0, 1, 1},
        Route{SpeakerLayoutApply, 0, 0x1234, 0, "applySpeakerLayout", 0x1234, 0, 1, 1},
        Route{BypassChange, 0, 5, 0, "applyBypass", 1, 0, 1, 1},
        Route{EffectNameQuery, 0, 0, 0, "copyEffectName", 0, 0, 1, 1},
        Route{VendorNameQuery, 0, 0, 0, "copyVendorName", 0, 0, 1, 1},
        Route{ProductNameQuery, 0, 0, 0, "copyProductName", 0, 0, 1, 1},
        Route{VendorVersionQuery, 0, 0, 0, "vendorVersionNumber", 0, 0, -5, -5},
        Route{VendorPrivateCall, 7, 0x123456789, 0.5f, "handleVendorCall", 7, 0x123456789,
              0x7FFFFFFFFF, 0x7FFFFFFFFF},
        Route{CapabilityQuery, 0, 0, 0, "answerCapability", 0, 0, 0, -1},
        Route{TailLengthQuery, 0, 0, 0, "tailLength", 0, 0, 100, 100},
        Route{ParameterPropertiesQuery, 2, 0, 0, "describeParameter", 2, 0, 1, 1},
        Route{InterfaceVersionQuery, 0, 0, 0, "interfaceVersion", 0, 0, 0, 2400},
        Route{MidiProgramNameQuery, 3, 0, 0, "copyMidiProgramName", 3, 0, 4, 4},
        Route{MidiProgramCurrentQuery, 3, 0, 0, "currentMidiProgram", 3, 0, -1, -1},
        Route{MidiProgramCategoryQuery, 3, 0, 0, "copyMidiProgramCategory", 3, 0, 2, 2},
        Route{MidiProgramsChangedQuery, 3, 0, 0, "midiProgramsChanged", 3, 0, 1, 1},
        Route{MidiKeyNameQuery, 3, 0, 0, "copyMidiKeyName", 3, 0, 1, 1},
        Route{ProgramChangeOpening, 0, 0, 0, "onProgramChangeBegin", 0, 0, 1, 1},
        Route{ProgramChangeClosing, 0, 0, 0, "onProgramChangeEnd", 0, 0, 1, 1},
        Route{SpeakerLayoutQuery, 0, 0x40, 0, "reportSpeakerLayout", 0x40, 0, 0, 0},
        Route{ShellEntryQuery, 0, 0, 0, "nextShellEntry", 0, 0, 9, 9},
        Route{ProcessingBegin, 0, 0, 0, "onProcessingStart", 0, 0, 1, 1},
        Route{ProcessingEnd, 0, 0, 0, "onProcessingStop", 0, 0, 1, 1},
        Route{TotalSamplesNotice, 0, 4096, 0, "announceTotalSamples", 4096, 0, 0, 4096},
        Route{PanLawChange, 0, 2, 0.7f, "applyPanLaw", 2, 0, 1, 1},
        Route{BankLoadOpening, 0, 0, 0, "onBankLoadBegin", 0, 0, -1, -1},
        Route{ProgramLoadOpening, 0, 0, 0, "onProgramLoadBegin", 0, 0, 1, 1},
        Route{PrecisionChange, 0, 1, 0, "applyPrecision", 1, 0, 1, 1},
        Route{MidiInputChannelQuery, 0, 0, 0, "midiInputChannelCount", 0, 0, 16, 16},
        Route{MidiOutputChannelQuery, 0, 0, 0, "midiOutputChannelCount", 0, 0, 2, 2}));

TEST(Dispatcher, OptionArgumentsArriveUnchanged) {
    RecordingEffect effect;
    dispatch(effect, SampleRateChange, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(effect.last()->option, 96000.0f);
    EXPECT_EQ(effect.currentSampleRate(), 96000.0f);
    dispatch(effect, VendorPrivateCall, 1, 2, nullptr, -3.5f);
    EXPECT_EQ(effect.last()->option, -3.5f);
    dispatch(effect, PanLawChange, 0, 0, nullptr, 0.707f);
    EXPECT_EQ(effect.last()->option, 0.707f);
}

TEST(Dispatcher, PointerArgumentsArriveUnchanged) {
    RecordingEffect effect;
    char buffer[64];
    dispatch(effect, ParameterTextQuery, 0, 0, buffer);
    EXPECT_EQ(effect.last()->pointer, buffer);
    EventBlock events{};
    dispatch(effect, EventDelivery, 0, 0, &events);
    EXPECT_EQ(effect.last()->pointer, &events);
    int marker = 0;
    dispatch(effect, VariableIoRender, 0, 0, &marker);
    EXPECT_EQ(effect.last()->pointer, &marker);
}

TEST(Dispatcher, UnknownOpcodesAnswerZeroAndDoNothing) {
    for (int32_t opcode : {9,  16, 17, 18, 20, 21, 28, 30, 31, 32,   36,
                           37, 43, 46, 53, 54, 55, 57, -1, 80, 1000, INT32_MIN}) {
        RecordingEffect effect;
        effect.answer = 55;
        char buffer[64] = {};
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, buffer, 1.0f), 0) << "opcode " << opcode;
        EXPECT_TRUE(effect.calls.empty())
            << "opcode " << opcode << " reached " << effect.calls.front().operation;
        EXPECT_EQ(buffer[0], 0);
    }
}

TEST(Dispatcher, IdentityProbeAnswersTheFixedCode) {
    RecordingEffect effect;
    EXPECT_EQ(dispatch(effect, IdentityProbe), 0x4E764566);
    EXPECT_TRUE(effect.calls.empty());
}

TEST(Dispatcher, ProgramSelectIgnoresNumbersOutsideTheBank) {
    RecordingEffect effect; // 4 programs
    for (intptr_t program : {intptr_t{4}, intptr_t{16}, intptr_t{-1}, intptr_t{INT64_MIN}})
        dispatch(effect, ProgramSelect, 0, program);
    EXPECT_TRUE(effect.calls.empty());
    dispatch(effect, ProgramSelect, 0, 3);
    ASSERT_EQ(effect.calls.size(), 1u);
    EXPECT_EQ(effect.last()->a, 3);
}

TEST(Dispatcher, TextOpcodesWithoutABufferDoNothing) {
    RecordingEffect effect;
    for (int32_t opcode :
         {ProgramRename, ProgramNameQuery, ParameterUnitQuery, ParameterTextQuery,
          ParameterTitleQuery, EffectNameQuery, VendorNameQuery, ProductNameQuery, CapabilityQuery,
          IndexedProgramNameQuery, EventDelivery, OutputInfoQuery})
        EXPECT_EQ(dispatch(effect, opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
    EXPECT_TRUE(effect.calls.empty());
}

TEST(Dispatcher, ShutdownClosesAndDestroysExactlyOnce) {
    RecordingEffect::liveCount = 0;
    RecordingEditor::liveCount = 0;
    auto* effect = new RecordingEffect;
    effect->attachEditor(new RecordingEditor(effect));
    ASSERT_EQ(RecordingEffect::liveCount, 1);
    // The object's own dispatchOpcode answers 0 for Shutdown...
    EXPECT_EQ(effect->dispatchOpcode(Shutdown, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect->last()->operation, "onClose");
    EXPECT_EQ(RecordingEffect::liveCount, 1);
    // ...the record's dispatcher answers 1 and destroys the effect and its editor.
    DescriptorRecord* record = effect->descriptorRecord();
    EXPECT_EQ(record->dispatchFn(record, Shutdown, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(RecordingEffect::liveCount, 0);
    EXPECT_EQ(RecordingEditor::liveCount, 0);
}

TEST(Dispatcher, NullRecordIsRefused) {
    EXPECT_EQ(dispatchRequest(nullptr, Initialise, 0, 0, nullptr, 0.0f), 0);
}

// The editor opcodes, without and with an editor.
class EditorOpcodes : public ::testing::Test {
protected:
    RecordingEffect effect_;
};

TEST_F(EditorOpcodes, AnswerZeroWithoutAnEditor) {
    EditorRect* rect = reinterpret_cast<EditorRect*>(0x1);
    char window = 0;
    EXPECT_EQ(dispatch(effect_, EditorBoundsQuery, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(effect_, EditorAttach, 0, 0, &window), 0);
    EXPECT_EQ(dispatch(effect_, EditorDetach), 0);
    EXPECT_EQ(dispatch(effect_, EditorTick), 0);
    EXPECT_EQ(dispatch(effect_, EditorKeyPress, 'a', 65, nullptr, 1.0f), 0);
    EXPECT_EQ(dispatch(effect_, EditorKeyRelease, 'a', 65, nullptr, 1.0f), 0);
    EXPECT_EQ(dispatch(effect_, EditorKnobModeChange, 0, 2), 0);
    EXPECT_TRUE(effect_.calls.empty());
}

TEST_F(EditorOpcodes, ReachTheAttachedEditor) {
    auto* editor = new RecordingEditor(&effect_);
    effect_.attachEditor(editor);
    EditorRect* rect = nullptr;
    EXPECT_EQ(dispatch(effect_, EditorBoundsQuery, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->rect_);
    int window = 0;
    EXPECT_EQ(dispatch(effect_, EditorAttach, 0, 0, &window), 1);
    EXPECT_TRUE(editor->isEditorOpen());
    EXPECT_EQ(dispatch(effect_, EditorTick), 0);
    EXPECT_EQ(dispatch(effect_, EditorDetach), 0);
    EXPECT_FALSE(editor->isEditorOpen());
    EXPECT_EQ(dispatch(effect_, EditorKnobModeChange, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
    const std::vector<std::string> expected = {"editorBounds", "openEditor", "editorIdle",
                                               "closeEditor", "applyKnobMode"};
    EXPECT_EQ(editor->operations, expected);
}

TEST_F(EditorOpcodes, KeyRecordTakesLowBytesAndTruncatesTheModifier) {
    auto* editor = new RecordingEditor(&effect_);
    effect_.attachEditor(editor);
    EXPECT_EQ(dispatch(effect_, EditorKeyPress, 'x', 0x1234, nullptr, 2.9f), 1);
    EXPECT_EQ(editor->operations.back(), "handleKeyDown");
    EXPECT_EQ(editor->lastKey.character, 'x');
    EXPECT_EQ(editor->lastKey.virtualKey, 0x34);
    EXPECT_EQ(editor->lastKey.modifiers, 2);
    editor->keyAnswer = false;
    EXPECT_EQ(dispatch(effect_, EditorKeyRelease, 'y', 0x0F, nullptr, 257.0f), 0);
    EXPECT_EQ(editor->operations.back(), "handleKeyUp");
    EXPECT_EQ(editor->lastKey.virtualKey, 0x0F);
    EXPECT_EQ(editor->lastKey.modifiers, 1);
    dispatch(effect_, EditorKeyPress, 'z', 1, nullptr, std::nanf(""));
    EXPECT_EQ(editor->lastKey.modifiers, 0);
}

TEST(BareEditor, HasNoBoundsAndTracksItsWindow) {
    RecordingEffect effect;
    AEffEditor editor(&effect);
    EditorRect* rect = reinterpret_cast<EditorRect*>(0x1);
    EXPECT_FALSE(editor.editorBounds(&rect));
    EXPECT_EQ(rect, nullptr);
    EXPECT_FALSE(editor.isEditorOpen());
    int window = 0;
    EXPECT_FALSE(editor.openEditor(&window));
    EXPECT_TRUE(editor.isEditorOpen());
    editor.closeEditor();
    EXPECT_FALSE(editor.isEditorOpen());
    KeyRecord key{};
    EXPECT_FALSE(editor.handleKeyDown(key));
    EXPECT_FALSE(editor.handleWheel(1.0f));
    EXPECT_FALSE(editor.applyKnobMode(1));
    EXPECT_EQ(editor.owningEffect(), &effect);
}

} // namespace
