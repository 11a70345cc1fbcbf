// Malvoree: the four-head tape echo as the host sees it. It keeps 16 programs of 22 parameter
// values, answers every query about names, units, value texts and identity, hands each parameter
// change straight to its DelayHead, and renders through a HeadRenderer.
//
// Threads. Parameter writes, program changes and queries may come from any thread, also while a
// block renders on another. A written value is stored at once (lock-free) and handed to the
// heads through an EngineHandoff: from resume (or the first render) on, the audio thread applies
// every pending change at the start of its next block, a program change as one batch, so it
// never waits for a writer. While suspended, or before the first render after construction, a
// writer hands its value to the head at once. Sample-rate, block-size and resume changes
// reallocate or clear the heads: they wait for a block in progress to end, and a block that
// meets one renders silence instead of waiting. Nothing on the audio path allocates, locks or
// throws.
#pragma once

#include "audioeffectx.h"
#include "delayhead.h"
#include "enginehandoff.h"
#include "headrenderer.h"
#include "hosttextlimits.h"
#include "malvoree_parameters.h"
#include "parameterrecord.h"
#include "programnames.h"

#include <array>
#include <memory>

// One program's 22 parameter values; the names are kept apart (ProgramNames).
struct DelayProgramRecord {
    DelayProgramRecord();
    std::array<ParameterRecord, malvoree::kParameterCount> parameters;
};

class Malvoree : public AudioEffectX {
public:
    // Builds the heads (2 s at 44100 Hz), 16 "Init" programs and selects program 0. Allocation
    // failures leave isComplete() false; nothing throws.
    explicit Malvoree(HostCallback host);
    ~Malvoree() override;

    // False when a ring buffer could not be allocated; such an instance must not be handed to
    // a host.
    bool isComplete() const;

    // --- lifecycle (control thread; may wait for a block in progress) ---
    // The sound keeps its state; until resume, writes reach the heads at once.
    void onSuspend() override;
    // Silences all four heads; asks nothing of the host. From now on the audio thread applies
    // parameter changes.
    void onResume() override;
    // Store the value, then re-make head buffers (new rate) and the in-place copy (new size).
    void changeSampleRate(float rate) override;
    void changeBlockSize(int32_t frames) override;

    // --- audio (audio thread; no allocation, no locks) ---
    // Replaces the outputs with the input mixed with the four heads' echoes. Inputs and outputs
    // may be the same buffers once a block size is known (before that, in-place calls leave the
    // signal untouched). Calls longer than the block size run in block-size pieces.
    void renderReplacing(float** inputs, float** outputs, int32_t frames) override;
    // Adds the heads' echoes and dry shares to the outputs.
    virtual void renderAdding(float** inputs, float** outputs, int32_t frames);

    // --- parameters and programs (any thread; no allocation) ---
    // Values are clamped to 0..1; NaN and unknown indexes are ignored.
    void writeParameter(int32_t index, float value) override;
    float readParameter(int32_t index) override;
    // Program 0..15 becomes current and the heads take all 22 of its values at once; others
    // are ignored.
    void selectProgram(int32_t program) override;
    // Keeps at most 23 characters. Names take a small lock (never on the audio path).
    void renameProgram(char* name) override;
    void copyProgramName(char* buffer) override;
    // The destination program takes the current program's values and name; false above 15.
    virtual bool copyCurrentProgramTo(int32_t destination);

    // --- texts and identity (control thread) ---
    void copyParameterUnit(int32_t index, char* buffer) override;
    void copyParameterText(int32_t index, char* buffer) override;
    void copyParameterTitle(int32_t index, char* buffer) override;
    // A value typed as the displays show it ("-6 dB", "0.5 s", "1/8 *", "L 32", "75 %"; the
    // grammar of tagtext.h) is written to the parameter; false, and nothing written, for a text
    // that does not parse. Lets any host's generic editor take typed values.
    bool parseParameterText(int32_t index, char* text) override;
    bool copyIndexedProgramName(int32_t category, int32_t index, char* text) override;
    bool describeInput(int32_t index, PinInfo* pin) override;
    bool describeOutput(int32_t index, PinInfo* pin) override;
    bool copyEffectName(char* text) override;
    bool copyVendorName(char* text) override;
    bool copyProductName(char* text) override;
    int32_t vendorVersionNumber() override;
    // The editor's mouse wheel; 0 for every other call.
    intptr_t handleVendorCall(int32_t index, intptr_t value, void* pointer, float option) override;
    int32_t answerCapability(const char* text) override;
    int32_t pluginCategory() override { return 1; }
    virtual int32_t maxDelayMilliseconds() { return malvoree::kMaxDelayMilliseconds; }

    // Inspection, e.g. by tests; heads are 0..3. Not while a block renders.
    const DelayHead& head(int32_t index) const { return heads_[static_cast<size_t>(index)]; }
    bool tempoSync() const { return tempoSync_; }
    // Audio calls that found the heads held by another thread (and rendered silence). Any
    // thread.
    int64_t refusedAudioCalls() const { return handoff_.refusedAudioCalls(); }

protected:
    // Called after every parameter write and program change, on the writing thread (the audio
    // thread too), with the parameters that changed (bit i = parameter i); the editor-owning
    // subclass marks those controls for a refresh.
    virtual void refreshEditorControls(uint32_t /*parameters*/) {}

private:
    DelayProgramRecord& currentProgramRecord() {
        return programs_[static_cast<size_t>(currentProgram_.load())];
    }
    void applyPendingIfUnowned();
    // The heads' owner only.
    void applyBatch(EngineHandoff::Batch batch);
    void applyToHeads(int32_t index, float value);
    void applyRateAndBlock();
    // The host tempo when Tempo is on and the host reports a valid one, else 0.
    double hostTempo();
    void render(float** inputs, float** outputs, int32_t frames, HeadRenderer::Mode mode);

    std::array<DelayProgramRecord, malvoree::kProgramCount> programs_;
    ProgramNames<malvoree::kProgramCount, textBufferBytes(malvoree::kStoredProgramNameLength)>
        programNames_;
    std::array<DelayHead, malvoree::kHeadCount> heads_;
    std::array<DelayHead*, malvoree::kHeadCount> headPointers_;
    // In-place processing copies the inputs here first: two channels of scratchSize_ samples.
    std::unique_ptr<float[]> scratch_;
    int32_t scratchSize_ = 0;
    bool tempoSync_ = true;
    EngineHandoff handoff_;
    // The program whose values the heads hold; the heads' owner only.
    int32_t engineProgram_ = 0;
    HeadRenderer renderer_;
};
