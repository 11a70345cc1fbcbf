// MicroSynthVoicer: the synth's voice manager. A Voicer whose controller handling also maps
// MIDI controllers 71 (resonance) and 74 (cutoff) to synth parameters.
#pragma once

#include "voicer.h"

class MicroSynthVoicer : public Voicer {
public:
    explicit MicroSynthVoicer(SynthContext* synth) : Voicer(synth, 0) {}
    ~MicroSynthVoicer() override = default;

    void controlChange(int32_t channel, int32_t controller, int32_t value, int32_t delta) override;
};
