// MicroSynth: the Oriv synthesizer as the host sees it. 14 automatable parameters, a bank of
// 16 programs filled from the factory table, the names and texts the host displays, and the
// voice engine: one MicroSynthVoicer with ten MicroSynthVoices and two shared envelopes.
//
// Threads. Events and rendering arrive on the host's audio thread. Parameter writes, program
// changes and queries may come from any thread, also while a block renders on another. A
// written value is stored at once (lock-free); it reaches the envelopes and playing voices at
// once when nothing renders, otherwise right after the block in progress (EngineGate). Sample
// rate, block size and suspend wait for a block in progress to end. Nothing on the audio path
// allocates, blocks or throws.
#pragma once

#include "audioeffectx.h"
#include "engine/synthcontext.h"
#include "enginegate.h"
#include "synth_parameters.h"

#include <atomic>
#include <memory>

class ADSR;
class MicroSynthVoicer;

constexpr int32_t kParameterTextBytes = 12;
constexpr int32_t kProgramNameBytes = 48;

// One parameter of one program. The value is atomic: the host's threads, the editor and the
// voices read it without a lock.
struct ParameterRecord {
    std::atomic<float> value{0.0f};
    int32_t index = 0;
    char unit[kParameterTextBytes] = {};
    char title[kParameterTextBytes] = {};
};

// One program: the 14 values and a name; a new one holds the "Init" values.
struct ProgramRecord {
    ProgramRecord();
    ParameterRecord parameters[kSynthParameterCount];
    char name[kProgramNameBytes];
};

class MicroSynth : public AudioEffectX, public SynthContext {
public:
    // Builds the engine and the factory bank, program 0 selected. Throws std::bad_alloc when
    // memory runs out (buildEffectObject turns that into a null instance).
    explicit MicroSynth(HostCallback host);
    ~MicroSynth() override;

    // --- lifecycle (control thread; waits for a block in progress) ---
    // Silences every voice at once.
    void onSuspend() override;
    // Asks the host for idle calls and MIDI events.
    void onResume() override;
    // Non-positive or non-finite rates and non-positive sizes are ignored. May allocate.
    void changeSampleRate(float rate) override;
    void changeBlockSize(int32_t frames) override;

    // --- audio thread ---
    // Clears the outputs and adds every sounding voice. Calls longer than the block size run in
    // block-size pieces; 0 or fewer frames render nothing.
    void renderReplacing(float** inputs, float** outputs, int32_t frames) override;
    // MIDI for the next render call; notes act at their delta frames. Returns 1.
    int32_t handleEvents(EventBlock* events) override;

    // --- parameters and programs (any thread) ---
    // Values are clamped to 0..1; NaN and unknown indexes are ignored.
    void writeParameter(int32_t index, float value) override;
    float readParameter(int32_t index) override;
    int32_t currentProgramIndex() override;
    // Programs 0..15; others are ignored. All 14 values are written again.
    void selectProgram(int32_t program) override;
    // Keeps at most 47 characters.
    void renameProgram(char* name) override;
    void copyProgramName(char* buffer) override;
    void copyParameterUnit(int32_t index, char* buffer) override;
    void copyParameterText(int32_t index, char* buffer) override;
    void copyParameterTitle(int32_t index, char* buffer) override;
    bool copyIndexedProgramName(int32_t category, int32_t index, char* text) override;
    bool describeOutput(int32_t index, PinInfo* pin) override;
    bool copyEffectName(char* text) override;
    bool copyVendorName(char* text) override;
    bool copyProductName(char* text) override;
    int32_t vendorVersionNumber() override { return 1; }
    intptr_t handleVendorCall(int32_t index, intptr_t value, void* pointer, float option) override;
    int32_t answerCapability(const char* text) override;

    // Adds the sounding voices into the outputs without clearing them. Audio thread.
    virtual void renderVoicesOnly(float** inputs, float** outputs, int32_t frames);
    // SynthContext: the current program's value; the channel is ignored.
    float parameterValue(int32_t channel, int32_t index) override;
    // The destination program takes the current program's values and name.
    virtual bool copyCurrentProgramTo(int32_t destination);

    // SynthContext.
    double synthSampleRate() override;
    double tableStep() override { return tableStep_; }
    void writeParameterFromEngine(int32_t index, float value) override;
    int32_t inputChannelCount() override { return descriptor_.inputCount; }
    int32_t outputChannelCount() override { return descriptor_.outputCount; }

    // For tests and the benchmark: the engine. Touch it only from the thread that renders.
    MicroSynthVoicer& voicer() { return *voicer_; }
    ADSR& filterEnvelope() { return *filterEnvelope_; }
    ADSR& amplitudeEnvelope() { return *amplitudeEnvelope_; }

protected:
    // Called after every parameter write; the editor-owning subclass refreshes its controls.
    virtual void refreshEditorControls() {}

private:
    static constexpr int32_t kQueuedEventCapacity = 512;

    ProgramRecord& currentProgramRecord();
    // Stores a checked value in the current program; false when there is nothing to store.
    bool storeParameter(int32_t index, float& value);
    // Engine owner only.
    void pushParameterToEngine(uint32_t indexes);
    void applyPendingChanges();
    void updateEngineRateAndSize();
    void queueEvents(const EventBlock* block);
    void handleQueuedEvents();
    void renderPieces(float** inputs, float** outputs, int32_t frames, bool clear);

    double tableStep_;
    std::unique_ptr<ADSR> filterEnvelope_;
    std::unique_ptr<ADSR> amplitudeEnvelope_;
    ProgramRecord programs_[kSynthProgramCount];
    std::unique_ptr<MicroSynthVoicer> voicer_;
    // The program the audio thread reads; AudioEffect's own field is the dispatcher's.
    std::atomic<int32_t> programIndex_{0};
    EngineGate gate_;
    // Events that arrived while a control thread held the engine; handled first next time.
    MidiEventRecord queuedEvents_[kQueuedEventCapacity];
    int32_t queuedEventCount_ = 0;
};
