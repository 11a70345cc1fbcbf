#include "adsr.h"

#include "envelopelanes.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <mutex>
#include <new>
#include <utility>

float EnvelopeCurveTable::values[EnvelopeCurveTable::kLength + 1 + EnvelopeCurveTable::kGuard];
double
    EnvelopeCurveTable::complements[EnvelopeCurveTable::kLength + 1 + EnvelopeCurveTable::kGuard];
static_assert(EnvelopeCurveTable::kGuard >= kEnvelopeTableOverread,
              "the vector segment loops read past the curve table");
std::atomic<bool> EnvelopeCurveTable::built{false};

namespace {
std::once_flag curveTableOnce;
constexpr float kShortestTimedAmount = 0.2f;

inline float curve(double position) {
    return EnvelopeCurveTable::values[static_cast<int32_t>(position)];
}
} // namespace

ADSR::ADSR(int32_t blockCapacity, double sampleRate)
    : sampleRate_(sampleRate), blockCapacity_(blockCapacity) {
    if (!EnvelopeCurveTable::built.load(std::memory_order_acquire)) buildCurveTable();
    applySampleRate(sampleRate);
    setAttackAmount(0.0f);
    setDecayAmount(0.0f);
    setReleaseAmount(0.2f);
    // The placeholder amount of -1 had no seconds computed: it is no amount to switch back to.
    previousReleaseAmount_ = std::numeric_limits<float>::quiet_NaN();
}

ADSR::~ADSR() = default;

void ADSR::buildCurveTable() {
    std::call_once(curveTableOnce, [this] {
        constexpr int32_t n = EnvelopeCurveTable::kLength;
        for (int32_t k = 0; k < n; ++k) {
            const float amount = static_cast<float>((n - k) * (1.0 / 4096.0));
            const float drop = static_cast<float>(0.1 * amountToSeconds(amount));
            EnvelopeCurveTable::values[k] = 1.0f - drop;
        }
        std::fill(EnvelopeCurveTable::values + n, std::end(EnvelopeCurveTable::values),
                  EnvelopeCurveTable::values[n - 1]);
        for (int32_t k = 0; k < n + 1 + EnvelopeCurveTable::kGuard; ++k)
            EnvelopeCurveTable::complements[k] = 1.0 - EnvelopeCurveTable::values[k];
        EnvelopeCurveTable::built.store(true, std::memory_order_release);
    });
}

float ADSR::amountToSeconds(float amount) {
    if (amount < 0.001f) return 0.0f;
    const float logAmount = std::log(amount); // single precision, as the curve is defined
    return static_cast<float>(std::pow(10.0, static_cast<double>(logAmount) + 1.0) * amount);
}

void ADSR::setAttackAmount(float amount) {
    if (amount == attackAmount_) return;
    attackAmount_ = amount;
    attackSeconds_ = amountToSeconds(amount);
    recalculate(false);
}

void ADSR::setDecayAmount(float amount) {
    if (amount == decayAmount_) return;
    decayAmount_ = amount;
    decaySeconds_ = amountToSeconds(std::max(amount, kShortestTimedAmount));
    recalculate(false);
}

void ADSR::setSustainLevel(float level) {
    if (level == sustainLevel_) return;
    sustainLevel_ = level;
    recalculate(false);
}

void ADSR::setReleaseAmount(float amount) {
    if (amount == releaseAmount_) return;
    // A fast-released voice switches the release to the fast amount and back for every block it
    // renders: the amount set before is kept with its seconds, so switching back needs no
    // logarithm and no power.
    if (amount == previousReleaseAmount_) {
        std::swap(releaseAmount_, previousReleaseAmount_);
        std::swap(releaseSeconds_, previousReleaseSeconds_);
    } else {
        previousReleaseAmount_ = releaseAmount_;
        previousReleaseSeconds_ = releaseSeconds_;
        releaseAmount_ = amount;
        releaseSeconds_ = amountToSeconds(std::max(amount, kShortestTimedAmount));
    }
    recalculate(false);
}

void ADSR::setOutputLevel(float level) {
    outputLevel_ = level;
}

void ADSR::setAttackScale(double scale) {
    attackScale_ = scale;
    recalculate(false);
}

void ADSR::setDecayScale(double scale) {
    decayScale_ = scale;
    recalculate(false);
}

void ADSR::setReleaseScale(double scale) {
    releaseScale_ = scale;
    recalculate(false);
}

void ADSR::applySampleRate(double sampleRate) {
    sampleRate_ = sampleRate;
    recalculate(true);
}

void ADSR::applyBlockSize(int32_t frames) {
    if (frames <= 0) return;
    const int32_t previous = blockCapacity_;
    if (blockBuffer_ && frames <= previous) {
        blockCapacity_ = frames;
        return;
    }
    std::unique_ptr<float[]> buffer(new (std::nothrow) float[static_cast<size_t>(frames)]());
    if (!buffer) return;
    blockBuffer_ = std::move(buffer);
    blockCapacity_ = frames;
    recalculate(true);
}

int32_t ADSR::updateSegment(double seconds, double scale, double sampleRate, int32_t& count,
                            double& step) {
    const double exact = seconds * scale * sampleRate;
    // Saturate instead of overflowing the count for absurd scales or rates.
    const int32_t samples = exact >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(exact);
    if (samples != count) {
        count = samples;
        step = samples != 0 ? EnvelopeCurveTable::kLength / static_cast<double>(samples) : 0.0;
    }
    return count;
}

void ADSR::recalculate(bool force) {
    if (force) attackSamples_ = decaySamples_ = releaseSamples_ = -1;
    updateSegment(attackSeconds_, attackScale_, sampleRate_, attackSamples_, attackStep_);
    updateSegment(decaySeconds_, decayScale_, sampleRate_, decaySamples_, decayStep_);
    updateSegment(releaseSeconds_, releaseScale_, sampleRate_, releaseSamples_, releaseStep_);
    // 64-bit sums saturated: three 10-second segments at a huge rate must not wrap around.
    const int64_t attackDecay = int64_t{attackSamples_} + decaySamples_;
    attackDecaySamples_ = static_cast<int32_t>(std::min<int64_t>(attackDecay, 2147483647));
    totalSamples_ =
        static_cast<int32_t>(std::min<int64_t>(attackDecay + releaseSamples_, 2147483647));
}

float ADSR::attackValue(int32_t i) const {
    return curve(i * attackStep_);
}

float ADSR::decayValue(int32_t i) const {
    const double sustain = sustainLevel_;
    return static_cast<float>((1.0 - curve(i * decayStep_)) * (1.0 - sustain) + sustain);
}

float ADSR::releaseValue(int32_t i, double level) const {
    return static_cast<float>((1.0 - curve(i * releaseStep_)) * level);
}

// The segment loops below compute exactly attackValue, decayValue and releaseValue, times the
// output level; the segment position runs as a double (exact for every count) so that no
// integer conversion sits in the loop.

void ADSR::writeAttack(float* out, int32_t first, int32_t count, bool avx2) const {
    const float* const table = EnvelopeCurveTable::values;
    const double step = attackStep_;
    const float level = outputLevel_;
    if (avx2) return writeAttackAvx2(out, table, first, count, step, level);
    double position = first;
    for (int32_t n = 0; n < count; ++n, position += 1.0)
        out[n] = table[static_cast<int32_t>(position * step)] * level;
}

void ADSR::writeDecay(float* out, int32_t first, int32_t count, bool avx2) const {
    const double* const fall = EnvelopeCurveTable::complements;
    const double step = decayStep_;
    const double sustain = sustainLevel_;
    const double depth = 1.0 - sustain;
    const float level = outputLevel_;
    if (avx2) return writeDecayAvx2(out, fall, first, count, step, sustain, depth, level);
    double position = first;
    for (int32_t n = 0; n < count; ++n, position += 1.0) {
        const double value = fall[static_cast<int32_t>(position * step)] * depth + sustain;
        out[n] = static_cast<float>(value) * level;
    }
}

float ADSR::writeRelease(float* out, int32_t first, int32_t count, double startLevel,
                         bool avx2) const {
    const double* const fall = EnvelopeCurveTable::complements;
    const double step = releaseStep_;
    const float level = outputLevel_;
    if (avx2) return writeReleaseAvx2(out, fall, first, count, step, startLevel, level);
    double position = first;
    float value = 0.0f;
    for (int32_t n = 0; n < count; ++n, position += 1.0) {
        value = static_cast<float>(fall[static_cast<int32_t>(position * step)] * startLevel);
        out[n] = value * level;
    }
    return value;
}

double ADSR::renderSegment(int32_t start, int32_t frames, double startLevel) {
    return renderSegmentTo(blockBuffer_.get(), start, frames, startLevel);
}

double ADSR::renderSegmentTo(float* const target, int32_t start, int32_t frames, double startLevel,
                             SimdLevel simd) {
    if (frames <= 0) return startLevel;
    const bool avx2 = simd == SimdLevel::Avx2;
    float* out = target;
    // 64-bit: a position near the top of the range plus a block must not wrap around.
    const int64_t end = int64_t{start} + frames;

    if (start < attackDecaySamples_) {
        lastLevel_ = sustainLevel_;
        const float sustainValue = sustainLevel_ * outputLevel_;
        int32_t decayFirst = start - attackSamples_;
        if (start < attackSamples_) {
            const auto attacked =
                static_cast<int32_t>(std::min<int64_t>(end, attackSamples_) - start);
            writeAttack(out, start, attacked, avx2);
            out += attacked;
            decayFirst = 0;
        }
        const int32_t remaining = static_cast<int32_t>(target + frames - out);
        const int32_t decayed = std::clamp(decaySamples_ - decayFirst, 0, remaining);
        writeDecay(out, decayFirst, decayed, avx2);
        std::fill(out + decayed, out + remaining, sustainValue);
        if (start < attackSamples_ && remaining == 0)
            return attackValue(static_cast<int32_t>(end - 1));
        const int64_t last = int64_t{decayFirst} + remaining - 1;
        return last < decaySamples_ ? decayValue(static_cast<int32_t>(last)) : sustainLevel_;
    }

    const int32_t first = start - attackDecaySamples_;
    const int32_t released = std::clamp(releaseSamples_ - first, 0, frames);
    if (released > 0) lastLevel_ = writeRelease(out, first, released, startLevel, avx2);
    std::fill(out + released, out + frames, 0.0f);
    return startLevel;
}

bool ADSR::constantSegment(int32_t start, int32_t frames, float& value, double& level) {
    // Past the attack with the sustain at 1, the decay runs from 1 to 1: every value is the
    // output level. This is the common held note of a patch without a decay.
    if (frames <= 0 || start < attackSamples_ || start >= attackDecaySamples_ ||
        sustainLevel_ != 1.0f)
        return false;
    value = outputLevel_; // decay(i) and the sustain value are both exactly 1
    lastLevel_ = sustainLevel_;
    level = 1.0;
    return true;
}
