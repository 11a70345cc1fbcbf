// MicroSynth: the Oriv synthesizer as the host sees it. 14 automatable parameters, a bank of
// 16 programs filled from the factory table, the names and texts the host displays, and the
// voice engine: one MicroSynthVoicer with ten MicroSynthVoices and two shared envelopes.
//
// Threads. Events and rendering arrive on the host's audio thread. Parameter writes, program
// changes and queries may come from any thread, also while a block renders on another. A
// written value is stored at once (lock-free) and handed to the engine through an
// EngineHandoff: from resume (or the first audio call) on, the audio thread applies every
// pending change at the start of its next call, a program change as one batch, so it never
// waits for a writer. While suspended, or before the first call after construction, a writer
// applies its change at once. Sample rate, block size and suspend wait for a call in progress
// to end. Nothing on the audio path allocates, blocks or throws.
#pragma once

#include "audioeffectx.h"
#include "engine/synthcontext.h"
#include "enginehandoff.h"
#include "hosttextlimits.h"
#include "parameterrecord.h"
#include "programnames.h"
#include "synth_parameters.h"

#include <memory>

class ADSR;
class MicroSynthVoicer;

// One program's 14 values; a new one holds the "Init" values. The names are kept apart
// (ProgramNames), under their own lock.
struct ProgramRecord {
    ProgramRecord();
    ParameterRecord parameters[kSynthParameterCount];
};

class MicroSynth : public AudioEffectX, public SynthContext {
public:
    // Builds the engine and the factory bank, program 0 selected. Throws std::bad_alloc when
    // memory runs out (buildEffectObject turns that into a null instance).
    explicit MicroSynth(HostCallback host);
    ~MicroSynth() override;

    // --- lifecycle (control thread; waits for an audio call in progress) ---
    // Silences every voice at once; until resume, writes reach the engine at once.
    void onSuspend() override;
    // Asks the host for idle calls and MIDI events; from now on the audio thread applies
    // parameter changes.
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

    // --- parameters and programs (any thread; lock-free, no allocation) ---
    // Values are clamped to 0..1; NaN and unknown indexes are ignored.
    void writeParameter(int32_t index, float value) override;
    float readParameter(int32_t index) override;
    // Programs 0..15; others are ignored. The engine takes all 14 values of the program at
    // once.
    void selectProgram(int32_t program) override;
    // Keeps at most 47 characters. Names take a small lock (never on the audio path).
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
    // SynthContext: the value the engine plays with, which the last applied change set; the
    // channel is ignored. The engine's owner only (the voices read it).
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
    // Audio calls that found the engine held by another thread (and rendered silence or kept
    // their events for the next call). Any thread.
    int64_t refusedAudioCalls() const { return handoff_.refusedAudioCalls(); }

protected:
    // Called after every parameter write and program change, on the writing thread (the audio
    // thread too), with the parameters that changed (bit i = parameter i); the editor-owning
    // subclass marks those controls for a refresh.
    virtual void refreshEditorControls(uint32_t /*parameters*/) {}

private:
    static constexpr int32_t kQueuedEventCapacity = 512;

    ProgramRecord& currentProgramRecord();
    // Stores a checked value in the current program; false when there is nothing to store.
    bool storeParameter(int32_t index, float& value);
    void applyPendingIfUnowned();
    // Audio thread: takes the engine for this call and applies what is pending; false when
    // another thread holds it (then nothing of the engine may be touched).
    bool beginAudioCall();
    // Engine owner only.
    void applyBatch(EngineHandoff::Batch batch);
    void pushParameterToEngine(uint32_t indexes);
    void updateEngineRateAndSize();
    void queueEvents(const EventBlock* block);
    void handleQueuedEvents();
    void renderPieces(float** inputs, float** outputs, int32_t frames, bool clear);

    double tableStep_;
    std::unique_ptr<ADSR> filterEnvelope_;
    std::unique_ptr<ADSR> amplitudeEnvelope_;
    ProgramRecord programs_[kSynthProgramCount];
    ProgramNames<kSynthProgramCount, textBufferBytes(kProgramNameMaxLength)> programNames_;
    std::unique_ptr<MicroSynthVoicer> voicer_;
    EngineHandoff handoff_;
    // The engine's view, its owner's only: the program it plays and the values it has taken.
    int32_t engineProgram_ = 0;
    float engineValues_[kSynthParameterCount] = {};
    // Events of an audio call that was refused; the audio thread handles them first next time.
    MidiEventRecord queuedEvents_[kQueuedEventCapacity];
    int32_t queuedEventCount_ = 0;
};
