// The voice engine without the effect class: a FakeSynth, the two envelopes, and a
// MicroSynthVoicer with ten MicroSynthVoices, rendering into a recording.
#pragma once

#include "engine/adsr.h"
#include "engine/microsynthvoice.h"
#include "engine/microsynthvoicer.h"
#include "synth_test_support.h"

#include <vector>

namespace oriv_test {

class VoicerRig {
public:
    static constexpr int32_t kBlock = 64;

    explicit VoicerRig(double sampleRate = 44100.0)
        : synth(sampleRate), filter(0, sampleRate), amplitude(0, sampleRate), voicer(&synth) {
        filter.applyBlockSize(kBlock);
        amplitude.applyBlockSize(kBlock);
        filter.setOutputLevel(1.0f - synth.values[VcfCut]);
        amplitude.setOutputLevel(0.25f);
        applyEnvelopeParameters();
        for (int32_t i = 0; i < 10; ++i)
            voicer.addVoice(new MicroSynthVoice(&synth, &filter, &amplitude));
    }

    // Pushes the fake synth's envelope values into the two envelopes.
    void applyEnvelopeParameters() {
        filter.setAttackAmount(synth.values[VcfAtt]);
        filter.setDecayAmount(synth.values[VcfDec]);
        filter.setSustainLevel(synth.values[VcfSus]);
        filter.setReleaseAmount(synth.values[VcfRel]);
        amplitude.setAttackAmount(synth.values[VcaAtt]);
        amplitude.setDecayAmount(synth.values[VcaDec]);
        amplitude.setSustainLevel(synth.values[VcaSus]);
        amplitude.setReleaseAmount(synth.values[VcaRel]);
    }

    void bytes(std::initializer_list<int32_t> midi) {
        for (int32_t byte : midi)
            voicer.parseMidiByte(static_cast<int16_t>(static_cast<int8_t>(byte)), 0);
    }
    void noteOn(int32_t note, int32_t channel = 0) { bytes({0x90 | channel, note, 100}); }
    void noteOff(int32_t note, int32_t channel = 0) { bytes({0x80 | channel, note, 64}); }
    void control(int32_t controller, int32_t value, int32_t channel = 0) {
        bytes({0xB0 | channel, controller, value});
    }

    // Renders whole blocks for at least `frames` frames.
    void render(int32_t frames) {
        for (int32_t done = 0; done < frames; done += kBlock) {
            const size_t at = left.size();
            left.resize(at + kBlock);
            right.resize(at + kBlock);
            float* outputs[2] = {left.data() + at, right.data() + at};
            voicer.renderBlock(nullptr, outputs, kBlock);
        }
    }

    MicroSynthVoice* head() { return static_cast<MicroSynthVoice*>(voicer.playingHead()); }
    MicroSynthVoice* tail() { return static_cast<MicroSynthVoice*>(voicer.playingTail()); }
    // Voices of the playing list from the newest to the oldest.
    std::vector<Voice*> playing() {
        std::vector<Voice*> voices;
        for (Voice* voice = voicer.playingHead(); voice; voice = Voicer::nextInList(voice))
            voices.push_back(voice);
        return voices;
    }

    FakeSynth synth;
    ADSR filter;
    ADSR amplitude;
    MicroSynthVoicer voicer;
    std::vector<float> left;
    std::vector<float> right;
};

} // namespace oriv_test
