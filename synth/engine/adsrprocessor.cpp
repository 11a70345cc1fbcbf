#include "adsrprocessor.h"

#include "adsr.h"

#include <algorithm>

void ADSRProcessor::advance(int32_t frames) {
    // Saturates: segment counts reach the top of the range only at absurd sample rates.
    position_ = static_cast<int32_t>(std::min<int64_t>(int64_t{position_} + frames, 2147483647));
}

void ADSRProcessor::triggerEnvelope() {
    fastRelease_ = false;
    position_ = 0;
    stage_ = EnvelopeStage::Running;
    if (envelope_) level_ = envelope_->sustainLevel();
}

void ADSRProcessor::releaseEnvelope(bool fast) {
    const int32_t releaseStart = envelope_ ? envelope_->attackDecaySampleCount() : 0;
    switch (stage_) {
    case EnvelopeStage::Running:
    case EnvelopeStage::Sustaining:
        stage_ = EnvelopeStage::Releasing;
        position_ = releaseStart;
        fastRelease_ = fast;
        break;
    case EnvelopeStage::Releasing:
        if (fast) {
            position_ = releaseStart;
            if (envelope_) level_ = envelope_->lastLevel();
            fastRelease_ = true;
        }
        break;
    case EnvelopeStage::Idle:
        break;
    }
}

bool ADSRProcessor::renderEnvelope(float** buffer, float* constant, int32_t frames, bool fill) {
    return renderInto(envelope_ ? envelope_->blockBuffer() : nullptr, buffer, constant, frames,
                      fill, SimdLevel::Scalar);
}

bool ADSRProcessor::renderEnvelopeTo(float* target, float* constant, int32_t frames,
                                     SimdLevel simd) {
    float* buffer = nullptr;
    return renderInto(target, &buffer, constant, frames, false, simd);
}

bool ADSRProcessor::renderInto(float* block, float** buffer, float* constant, int32_t frames,
                               bool fill, SimdLevel simd) {
    *buffer = nullptr;
    *constant = 0.0f;
    // Without a block buffer the ADSR has no block size yet: silence, wherever the values go.
    if (!envelope_ || !envelope_->blockBuffer()) return false;
    if (fill) *buffer = block;

    if (stage_ == EnvelopeStage::Running || stage_ == EnvelopeStage::Releasing) {
        bool flat = false;
        if (stage_ == EnvelopeStage::Running && !fill)
            flat = envelope_->constantSegment(position_, frames, *constant, level_);
        if (!flat) {
            *buffer = block;
            const float sharedRelease = envelope_->releaseAmount();
            if (fastRelease_) envelope_->setReleaseAmount(static_cast<float>(fastReleaseAmount_));
            level_ = envelope_->renderSegmentTo(block, position_, frames, level_, simd);
            advance(frames);
            if (stage_ == EnvelopeStage::Running &&
                position_ >= envelope_->attackDecaySampleCount())
                stage_ = EnvelopeStage::Sustaining;
            else if (position_ >= envelope_->totalSampleCount())
                stage_ = EnvelopeStage::Idle;
            if (fastRelease_) envelope_->setReleaseAmount(sharedRelease);
            return true;
        }
        // A flat stretch of attack and decay: the same bookkeeping, no buffer.
        advance(frames);
        if (position_ >= envelope_->attackDecaySampleCount()) stage_ = EnvelopeStage::Sustaining;
        return false;
    }

    if (stage_ == EnvelopeStage::Sustaining) {
        *constant = envelope_->outputLevel() * envelope_->sustainLevel();
        if (*constant == 0.0f) stage_ = EnvelopeStage::Idle;
    }
    if (fill) {
        const float value = *constant < 1e-9f ? 0.0f : *constant;
        std::fill(block, block + envelope_->blockCapacity(), value);
    }
    return false;
}
