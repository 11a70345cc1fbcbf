#include "voice.h"

#include <algorithm>

namespace {
const float* builtWhiteNoise() {
    NoiseSource::build();
    return NoiseSource::whiteTable();
}
} // namespace

Voice::Voice(SynthContext* synth, int32_t channel)
    : noise_(builtWhiteNoise()), synth_(synth), channel_(channel) {}

void Voice::updateGains() {
    if (!gainsEnabled_) return;
    double right = pan_;
    double left = 1.0 - right;
    if (randomPanEnabled_ && panSpread_ >= 1e-5) {
        right = panSpread_ * std::min(right, 1.0 - right) * randomValue_ + right;
        left = 1.0 - right;
    }
    if (velocityScalesGains_) {
        right *= velocityValue_;
        left *= velocityValue_;
    }
    rightGain_ = volume_ * right;
    leftGain_ = volume_ * left;
}

void Voice::startNote(int32_t /*note*/, double /*velocityValue*/) {
    if (gainsEnabled_ && randomPanEnabled_) randomValue_ = noise_.next();
    updateGains();
}

void Voice::setVolume(double volume) {
    volume_ = volume;
    if (gainsEnabled_) updateGains();
}

void Voice::setPan(double pan) {
    pan_ = pan;
    if (gainsEnabled_) updateGains();
}

void Voice::setPanSpread(double spread) {
    panSpread_ = spread;
    if (gainsEnabled_ && randomPanEnabled_) updateGains();
}
