// MicroSynthVoicer: the synth's voice manager. A Voicer whose controller handling also maps
// MIDI controllers 71 (resonance) and 74 (cutoff) to synth parameters, and which renders its
// MicroSynthVoices side by side in vector lanes when the processor has a vector unit.
//
// Rendering in lanes keeps the voice manager's render loop as it is: starts, note-offs and
// steals act at their frames, and every voice's envelopes are rendered at the same point of
// the loop as before, only into the voice's own lane buffers. The oscillators and filters then
// run for all voices at once (VoiceLanes), and their samples are added in list order. The
// result is the voice-by-voice loop's, bit for bit; that loop remains the fallback (SimdLevel
// Scalar, or a block longer than the lanes' buffers).
//
// Threads as Voicer. Only the voices must be MicroSynthVoices.
#pragma once

#include "voicelanes.h"
#include "voicer.h"

#include <memory>

class MicroSynthVoice;

class MicroSynthVoicer : public Voicer {
public:
    // The most voices rendered in lanes; a larger pool renders voice by voice.
    static constexpr int32_t kMaxLaneVoices = 64;

    explicit MicroSynthVoicer(SynthContext* synth) : Voicer(synth, 0) {}
    ~MicroSynthVoicer() override = default;

    void controlChange(int32_t channel, int32_t controller, int32_t value, int32_t delta) override;
    void renderVoices(float** inputs, float** outputs, int32_t frames) override;

    // Sizes the lanes' envelope buffers for blocks of up to `frames` and the voices added so
    // far. Allocates: call it where the block size changes, never while rendering. Until it is
    // called (or when the allocation fails) voices render one by one.
    void prepareLanes(int32_t frames);

protected:
    void renderVoiceRange(Voice* voice, float** inputs, float** outputs, int32_t frames,
                          int32_t startOffset) override;

private:
    struct LaneVoice {
        MicroSynthVoice* voice;
        int32_t begin;
        int32_t segmentCount;
        // Where each of the voice's stretches ends; its phases wrap there, as in renderAdd.
        int32_t segmentEnds[2];
    };

    void renderLanes(VoiceLaneKernel kernel, int32_t groupLanes, float* left, float* right);

    std::unique_ptr<float[]> envelopeStore_;
    int32_t laneFrames_ = 0;
    int32_t laneSlots_ = 0;
    bool collecting_ = false;
    SimdLevel collectingLevel_ = SimdLevel::Scalar;
    int32_t laneVoiceCount_ = 0;
    LaneVoice laneVoices_[kMaxLaneVoices] = {};
    VoiceLanes lanes_;
};
