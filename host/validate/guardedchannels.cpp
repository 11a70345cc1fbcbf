#include "guardedchannels.h"

#include "checkrandom.h"
#include "validation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Quiet NaNs with payloads of their own: no computation produces them by chance.
constexpr uint32_t kUnwrittenBits = 0x7FC0FEEDu;
constexpr uint32_t kGuardBits = 0x7FC0DEADu;

float fromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

uint32_t toBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

} // namespace

GuardedChannels::GuardedChannels(int32_t channels, int32_t capacityFrames)
    : channels_(channels), capacity_(capacityFrames) {
    const size_t made = static_cast<size_t>(std::max(channels, 1));
    storage_.resize(made);
    pointers_.resize(made);
    for (size_t c = 0; c < made; ++c) {
        storage_[c].assign(static_cast<size_t>(capacityFrames + 2 * kGuardFrames), 0.0f);
        pointers_[c] = storage_[c].data() + kGuardFrames;
    }
}

void GuardedChannels::fillSilence(int32_t frames) {
    for (float* samples : pointers_)
        std::fill(samples, samples + frames, 0.0f);
}

void GuardedChannels::fillNoise(CheckRandom& random, float level, int32_t frames) {
    for (float* samples : pointers_)
        for (int32_t i = 0; i < frames; ++i)
            samples[i] = random.bipolar() * level;
}

void GuardedChannels::fillUnwritten(int32_t frames) {
    const float marker = fromBits(kUnwrittenBits);
    for (float* samples : pointers_)
        std::fill(samples, samples + frames, marker);
}

void GuardedChannels::armGuards(int32_t frames) {
    const float guard = fromBits(kGuardBits);
    for (float* samples : pointers_) {
        std::fill(samples - kGuardFrames, samples, guard);
        std::fill(samples + frames, samples + frames + kGuardFrames, guard);
    }
}

std::optional<std::string> GuardedChannels::breachedGuard(int32_t frames) const {
    for (int32_t c = 0; c < channels_; ++c) {
        const float* samples = pointers_[static_cast<size_t>(c)];
        for (int32_t i = 1; i <= kGuardFrames; ++i)
            if (toBits(samples[-i]) != kGuardBits)
                return textf("channel %d, %d frame%s before the block", c, i, i == 1 ? "" : "s");
        for (int32_t i = 0; i < kGuardFrames; ++i)
            if (toBits(samples[frames + i]) != kGuardBits)
                return textf("channel %d, frame %d of a %d-frame block", c, frames + i, frames);
    }
    return std::nullopt;
}

std::optional<SampleProblem> GuardedChannels::findProblem(int32_t frames,
                                                          bool rejectSubnormals) const {
    for (int32_t c = 0; c < channels_; ++c) {
        const float* samples = pointers_[static_cast<size_t>(c)];
        for (int32_t i = 0; i < frames; ++i) {
            const float value = samples[i];
            if (std::isfinite(value)) {
                if (rejectSubnormals && std::fpclassify(value) == FP_SUBNORMAL)
                    return SampleProblem{c, i,
                                         textf("is subnormal (%g)", static_cast<double>(value))};
                continue;
            }
            if (toBits(value) == kUnwrittenBits) return SampleProblem{c, i, "was left unwritten"};
            if (std::isnan(value)) return SampleProblem{c, i, "is NaN"};
            return SampleProblem{c, i, value > 0 ? "is infinite (+inf)" : "is infinite (-inf)"};
        }
    }
    return std::nullopt;
}

float GuardedChannels::peak(int32_t frames) const {
    float largest = 0.0f;
    for (int32_t c = 0; c < channels_; ++c) {
        const float* samples = pointers_[static_cast<size_t>(c)];
        for (int32_t i = 0; i < frames; ++i)
            largest = std::max(largest, std::fabs(samples[i]));
    }
    return largest;
}
