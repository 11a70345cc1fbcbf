// Helpers for Oriv's tests: a host callback, MIDI event blocks in the host's format, a
// configured MicroSynth with stereo buffers, and a fake synth for engine-only tests.
#pragma once

#include "engine/synthcontext.h"
#include "microsynth.h"
#include "synth_parameters.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace oriv_test {

// Answers the version request; counts every request by opcode.
intptr_t hostCallback(DescriptorRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                      void* pointer, float option);
int32_t hostRequestCount(int32_t opcode);
void resetHostRequests();

// MIDI events of one block, laid out as a host delivers them.
class EventList {
public:
    EventList& add(int32_t delta, uint8_t status, uint8_t data1, uint8_t data2 = 0);
    EventList& noteOn(int32_t delta, uint8_t note, uint8_t velocity = 100, uint8_t channel = 0) {
        return add(delta, static_cast<uint8_t>(0x90 | channel), note, velocity);
    }
    EventList& noteOff(int32_t delta, uint8_t note, uint8_t channel = 0) {
        return add(delta, static_cast<uint8_t>(0x80 | channel), note, 64);
    }
    EventList& control(int32_t delta, uint8_t controller, uint8_t value, uint8_t channel = 0) {
        return add(delta, static_cast<uint8_t>(0xB0 | channel), controller, value);
    }
    EventBlock* block();
    bool empty() const { return records_.empty(); }

private:
    std::vector<MidiEventRecord> records_;
    std::vector<void*> storage_;
};

// A MicroSynth at the given rate and block size, resumed, with its own output buffers.
class SynthRig {
public:
    explicit SynthRig(float sampleRate = 44100.0f, int32_t blockSize = 512);
    MicroSynth& synth() { return *synth_; }
    // Delivers the events (if any), then renders `frames` frames appended to the recording.
    void render(int32_t frames, EventList* events = nullptr);
    void render(int32_t frames, EventList& events) { render(frames, &events); }
    const std::vector<float>& left() const { return left_; }
    const std::vector<float>& right() const { return right_; }
    // Index of the first sample of the left channel that is not 0, or -1.
    int64_t firstSound() const;

private:
    std::unique_ptr<MicroSynth> synth_;
    std::vector<float> left_;
    std::vector<float> right_;
};

// A synth for engine tests: parameters in an array, fixed rate; records engine-side writes.
class FakeSynth : public SynthContext {
public:
    explicit FakeSynth(double sampleRate = 44100.0);
    float parameterValue(int32_t, int32_t index) override { return values[index]; }
    double synthSampleRate() override { return sampleRate; }
    double tableStep() override { return static_cast<float>(4096.0 / sampleRate); }
    void writeParameterFromEngine(int32_t index, float value) override { values[index] = value; }
    int32_t inputChannelCount() override { return 0; }
    int32_t outputChannelCount() override { return 2; }

    double sampleRate;
    std::array<float, kSynthParameterCount> values;
};

// Dominant frequency of a signal by counting upward zero crossings over whole periods.
double zeroCrossingFrequency(const std::vector<float>& signal, size_t begin, size_t end,
                             double sampleRate);

// Squared amplitude of the sine at `hz` in signal[begin, end): a Hann-windowed Goertzel filter,
// so that harmonics a few bins away do not leak into the reading.
double powerAt(const std::vector<float>& signal, size_t begin, size_t end, double hz,
               double sampleRate);

// Root mean square of signal[begin, end).
double rootMeanSquare(const std::vector<float>& signal, size_t begin, size_t end);

} // namespace oriv_test
