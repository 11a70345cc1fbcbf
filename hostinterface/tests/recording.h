// Test doubles: an effect that records which operation the dispatcher reached and with which
// arguments, an editor that does the same, and a host callback that records requests.
#pragma once

#include "aeffeditor.h"
#include "audioeffectx.h"

#include <cstring>
#include <string>
#include <vector>

struct RecordedCall {
    std::string operation;
    intptr_t a = 0;
    intptr_t b = 0;
    const void* pointer = nullptr;
    float option = 0.0f;
};

class RecordingEffect : public AudioEffectX {
public:
    explicit RecordingEffect(HostCallback host = nullptr, int32_t programs = 4,
                             int32_t parameters = 3)
        : AudioEffectX(host, programs, parameters) {
        ++liveCount;
    }
    ~RecordingEffect() override { --liveCount; }

    static inline int liveCount = 0;
    std::vector<RecordedCall> calls;
    // What the recorded operations answer, so result conversions can be checked.
    intptr_t answer = 1;

    const RecordedCall* last() const { return calls.empty() ? nullptr : &calls.back(); }

    void renderReplacing(float** in, float** out, int32_t frames) override {
        record("renderReplacing", frames, 0, in, 0, out);
    }
    void renderReplacingDouble(double** in, double** out, int32_t frames) override {
        record("renderReplacingDouble", frames, 0, in, 0, out);
    }
    void renderAccumulating(float** in, float** out, int32_t frames) override {
        record("renderAccumulating", frames, 0, in, 0, out);
    }
    void writeParameter(int32_t index, float value) override {
        record("writeParameter", index, 0, nullptr, value);
    }
    float readParameter(int32_t index) override {
        record("readParameter", index);
        return 0.75f;
    }
    void onOpen() override { record("onOpen"); }
    void onClose() override { record("onClose"); }
    void onSuspend() override { record("onSuspend"); }
    void onResume() override {
        record("onResume");
        AudioEffectX::onResume();
    }
    void changeSampleRate(float rate) override {
        record("changeSampleRate", 0, 0, nullptr, rate);
        AudioEffectX::changeSampleRate(rate);
    }
    void changeBlockSize(int32_t frames) override {
        record("changeBlockSize", frames);
        AudioEffectX::changeBlockSize(frames);
    }
    int32_t currentProgramIndex() override {
        record("currentProgramIndex");
        return static_cast<int32_t>(answer);
    }
    void selectProgram(int32_t program) override { record("selectProgram", program); }
    void renameProgram(char* name) override { record("renameProgram", 0, 0, name); }
    void copyProgramName(char* buffer) override { record("copyProgramName", 0, 0, buffer); }
    void copyParameterUnit(int32_t index, char* buffer) override {
        record("copyParameterUnit", index, 0, buffer);
    }
    void copyParameterText(int32_t index, char* buffer) override {
        record("copyParameterText", index, 0, buffer);
    }
    void copyParameterTitle(int32_t index, char* buffer) override {
        record("copyParameterTitle", index, 0, buffer);
    }
    int32_t exportStateBlock(void** data, bool single) override {
        record("exportStateBlock", single, 0, data);
        return static_cast<int32_t>(answer);
    }
    int32_t importStateBlock(void* data, int32_t size, bool single) override {
        record("importStateBlock", size, single, data);
        return static_cast<int32_t>(answer);
    }
    int32_t handleEvents(EventBlock* events) override {
        record("handleEvents", 0, 0, events);
        return static_cast<int32_t>(answer);
    }
    bool isParameterAutomatable(int32_t index) override {
        record("isParameterAutomatable", index);
        return answer != 0;
    }
    bool parseParameterText(int32_t index, char* text) override {
        record("parseParameterText", index, 0, text);
        return answer != 0;
    }
    bool copyIndexedProgramName(int32_t category, int32_t index, char* text) override {
        record("copyIndexedProgramName", category, index, text);
        return answer != 0;
    }
    bool describeInput(int32_t index, PinInfo* pin) override {
        record("describeInput", index, 0, pin);
        return answer != 0;
    }
    bool describeOutput(int32_t index, PinInfo* pin) override {
        record("describeOutput", index, 0, pin);
        return answer != 0;
    }
    int32_t pluginCategory() override {
        record("pluginCategory");
        return static_cast<int32_t>(answer);
    }
    bool onOfflineNotice(void* files, int32_t count, bool start) override {
        record("onOfflineNotice", count, start, files);
        return answer != 0;
    }
    bool onOfflinePrepare(void* tasks, int32_t count) override {
        record("onOfflinePrepare", count, 0, tasks);
        return answer != 0;
    }
    bool onOfflineRun(void* tasks, int32_t count) override {
        record("onOfflineRun", count, 0, tasks);
        return answer != 0;
    }
    bool renderVariableIo(void* data) override {
        record("renderVariableIo", 0, 0, data);
        return answer != 0;
    }
    bool applySpeakerLayout(SpeakerLayout* input, SpeakerLayout* output) override {
        record("applySpeakerLayout", reinterpret_cast<intptr_t>(input), 0, output);
        return answer != 0;
    }
    bool applyBypass(bool on) override {
        record("applyBypass", on);
        return answer != 0;
    }
    bool copyEffectName(char* text) override {
        record("copyEffectName", 0, 0, text);
        return answer != 0;
    }
    bool copyVendorName(char* text) override {
        record("copyVendorName", 0, 0, text);
        return answer != 0;
    }
    bool copyProductName(char* text) override {
        record("copyProductName", 0, 0, text);
        return answer != 0;
    }
    int32_t vendorVersionNumber() override {
        record("vendorVersionNumber");
        return static_cast<int32_t>(answer);
    }
    intptr_t handleVendorCall(int32_t index, intptr_t value, void* pointer, float option) override {
        record("handleVendorCall", index, value, pointer, option);
        return answer;
    }
    int32_t answerCapability(const char* text) override {
        record("answerCapability", 0, 0, text);
        return capabilityAnswer;
    }
    int32_t tailLength() override {
        record("tailLength");
        return static_cast<int32_t>(answer);
    }
    bool describeParameter(int32_t index, ParameterProperties* properties) override {
        record("describeParameter", index, 0, properties);
        return answer != 0;
    }
    int32_t interfaceVersion() override {
        record("interfaceVersion");
        return AudioEffectX::interfaceVersion();
    }
    int32_t copyMidiProgramName(int32_t channel, void* r) override {
        record("copyMidiProgramName", channel, 0, r);
        return static_cast<int32_t>(answer);
    }
    int32_t currentMidiProgram(int32_t channel, void* r) override {
        record("currentMidiProgram", channel, 0, r);
        return static_cast<int32_t>(answer);
    }
    int32_t copyMidiProgramCategory(int32_t channel, void* r) override {
        record("copyMidiProgramCategory", channel, 0, r);
        return static_cast<int32_t>(answer);
    }
    bool midiProgramsChanged(int32_t channel) override {
        record("midiProgramsChanged", channel);
        return answer != 0;
    }
    bool copyMidiKeyName(int32_t channel, void* r) override {
        record("copyMidiKeyName", channel, 0, r);
        return answer != 0;
    }
    bool onProgramChangeBegin() override {
        record("onProgramChangeBegin");
        return answer != 0;
    }
    bool onProgramChangeEnd() override {
        record("onProgramChangeEnd");
        return answer != 0;
    }
    bool reportSpeakerLayout(SpeakerLayout** input, SpeakerLayout** output) override {
        record("reportSpeakerLayout", reinterpret_cast<intptr_t>(input), 0, output);
        return answer != 0;
    }
    int32_t nextShellEntry(char* name) override {
        record("nextShellEntry", 0, 0, name);
        return static_cast<int32_t>(answer);
    }
    int32_t onProcessingStart() override {
        record("onProcessingStart");
        return static_cast<int32_t>(answer);
    }
    int32_t onProcessingStop() override {
        record("onProcessingStop");
        return static_cast<int32_t>(answer);
    }
    int32_t announceTotalSamples(int32_t samples) override {
        record("announceTotalSamples", samples);
        return AudioEffectX::announceTotalSamples(samples);
    }
    bool applyPanLaw(int32_t type, float gain) override {
        record("applyPanLaw", type, 0, nullptr, gain);
        return answer != 0;
    }
    int32_t onBankLoadBegin(void* data) override {
        record("onBankLoadBegin", 0, 0, data);
        return static_cast<int32_t>(answer);
    }
    int32_t onProgramLoadBegin(void* data) override {
        record("onProgramLoadBegin", 0, 0, data);
        return static_cast<int32_t>(answer);
    }
    bool applyPrecision(int32_t precision) override {
        record("applyPrecision", precision);
        return answer != 0;
    }
    int32_t midiInputChannelCount() override {
        record("midiInputChannelCount");
        return static_cast<int32_t>(answer);
    }
    int32_t midiOutputChannelCount() override {
        record("midiOutputChannelCount");
        return static_cast<int32_t>(answer);
    }

    int32_t capabilityAnswer = -1;
    // The second pointer seen by a render call (the outputs).
    const void* secondPointer = nullptr;

private:
    void record(const char* operation, intptr_t a = 0, intptr_t b = 0,
                const void* pointer = nullptr, float option = 0.0f, const void* second = nullptr) {
        calls.push_back({operation, a, b, pointer, option});
        secondPointer = second;
    }
};

class RecordingEditor : public AEffEditor {
public:
    explicit RecordingEditor(AudioEffect* effect) : AEffEditor(effect) { ++liveCount; }
    ~RecordingEditor() override { --liveCount; }
    static inline int liveCount = 0;

    bool editorBounds(EditorRect** rect) override {
        operations.push_back("editorBounds");
        *rect = &rect_;
        return true;
    }
    bool openEditor(void* window) override {
        operations.push_back("openEditor");
        AEffEditor::openEditor(window);
        return true;
    }
    void closeEditor() override {
        operations.push_back("closeEditor");
        AEffEditor::closeEditor();
    }
    void editorIdle() override { operations.push_back("editorIdle"); }
    bool handleKeyDown(KeyRecord& key) override {
        operations.push_back("handleKeyDown");
        lastKey = key;
        return keyAnswer;
    }
    bool handleKeyUp(KeyRecord& key) override {
        operations.push_back("handleKeyUp");
        lastKey = key;
        return keyAnswer;
    }
    bool applyKnobMode(int32_t mode) override {
        operations.push_back("applyKnobMode");
        knobMode = mode;
        return true;
    }

    std::vector<std::string> operations;
    KeyRecord lastKey{};
    bool keyAnswer = true;
    int32_t knobMode = -1;
    EditorRect rect_{0, 0, 300, 400};
};

// Records every request an effect sends and answers with a programmable value.
struct HostRecorder {
    struct Request {
        DescriptorRecord* effect;
        int32_t opcode;
        int32_t index;
        intptr_t value;
        void* pointer;
        float option;
    };
    static inline std::vector<Request> requests;
    static inline intptr_t answer = 0;

    static intptr_t callback(DescriptorRecord* effect, int32_t opcode, int32_t index,
                             intptr_t value, void* pointer, float option) {
        requests.push_back({effect, opcode, index, value, pointer, option});
        return answer;
    }
    static void reset(intptr_t newAnswer = 0) {
        requests.clear();
        answer = newAnswer;
    }
};
