// RenderRig: renders through a check instance as a host does and judges every block: each
// output sample written and finite (and, when asked, not subnormal), nothing written outside
// the block. A bad block fails the check with the render call and the situation it was in.
#pragma once

#include "checkinstance.h"
#include "checkrandom.h"
#include "eventlist.h"
#include "guardedchannels.h"

#include <string>
#include <vector>

class RenderRig {
public:
    // capacityFrames: the largest render call the rig will make.
    RenderRig(CheckInstance& instance, int32_t capacityFrames, uint64_t seed);

    void setRejectSubnormals(bool on) { rejectSubnormals_ = on; }
    // Effects only: inputs and outputs share buffers, as hosts that process in place do.
    void setInPlace(bool on) { inPlace_ = on; }
    // Level of the noise fed to the inputs; 0 feeds silence.
    void setInputLevel(float level) { inputLevel_ = level; }
    // Counts allocations and releases during event delivery and render calls.
    void setCountAllocations(bool on) { countAllocations_ = on; }

    // Events for the next render call; delivered just before it, then cleared.
    EventList& events() { return events_; }

    // Delivers pending events and renders `frames` frames (up to the capacity). `situation`
    // describes the circumstances for a failure text, such as "48000 Hz, block 64".
    void render(int32_t frames, const char* situation);

    float lastPeak() const { return lastPeak_; }
    int64_t renderCalls() const { return renderCalls_; }
    GuardedChannels& outputs() { return outputs_; }
    // Where the first counted allocation or release happened; empty while there was none.
    const std::string& firstAllocation() const { return firstAllocation_; }

private:
    void noteAllocations(int64_t before, const char* during, const char* situation);

    CheckInstance& instance_;
    CheckRandom random_;
    GuardedChannels inputs_;
    GuardedChannels outputs_;
    std::vector<float*> inPlaceInputs_;
    EventList events_;
    bool rejectSubnormals_ = false;
    bool inPlace_ = false;
    float inputLevel_ = 0.5f;
    bool countAllocations_ = false;
    float lastPeak_ = 0.0f;
    int64_t renderCalls_ = 0;
    std::string firstAllocation_;
};

// Renders until the output has stayed below `threshold` for `quietSeconds`, or until
// `maximumSeconds` have passed. Returns the seconds rendered before the quiet stretch began,
// or a negative value when it never came.
double renderUntilQuiet(RenderRig& rig, int32_t blockSize, float sampleRate, double maximumSeconds,
                        const char* situation, float threshold = 1.0e-5f,
                        double quietSeconds = 0.1);
