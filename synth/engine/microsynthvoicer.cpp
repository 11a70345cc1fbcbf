#include "microsynthvoicer.h"

#include "../synth_parameters.h"
#include "synthcontext.h"

void MicroSynthVoicer::controlChange(int32_t channel, int32_t controller, int32_t value,
                                     int32_t delta) {
    const float normalised = static_cast<float>((value & 127) / 127.0);
    if (controller == 71)
        synth_->writeParameterFromEngine(VcfReso, normalised);
    else if (controller == 74)
        synth_->writeParameterFromEngine(VcfCut, normalised);
    Voicer::controlChange(channel, controller, value, delta);
}
