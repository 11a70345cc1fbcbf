// SynthContext: what the voice engine needs from the synth that owns it. MicroSynth implements
// it; engine tests can supply their own.
#pragma once

#include <cstdint>

class SynthContext {
public:
    // The current program's value (0..1) of a parameter; the channel is ignored.
    virtual float parameterValue(int32_t channel, int32_t index) = 0;
    // The synth's current sample rate in Hz.
    virtual double synthSampleRate() = 0;
    // Wave-table entries per second of sound: 4096 / sample rate, rounded to single precision.
    virtual double tableStep() = 0;
    // A parameter write coming out of the engine itself (MIDI controllers 71 and 74). Called on
    // the thread that owns the engine while it handles events, so it reaches the engine at once.
    virtual void writeParameterFromEngine(int32_t index, float value) = 0;
    virtual int32_t inputChannelCount() = 0;
    virtual int32_t outputChannelCount() = 0;

protected:
    ~SynthContext() = default;
};
