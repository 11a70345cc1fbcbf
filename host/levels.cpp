#include "levels.h"

#include <cmath>

namespace {

// splitmix64: small, fast and the same on every platform and compiler.
class DitherNoise {
public:
    explicit DitherNoise(uint64_t seed) : state_(seed) {}

    // Triangular noise from -1 to 1 (in least significant bits): the sum of two uniforms.
    double next() { return uniform() - uniform(); }

private:
    double uniform() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-53;
    }
    uint64_t state_;
};

// The largest magnitude each PCM format writes without clipping, in full-scale units; the
// encoder rounds to the nearest step.
double clipLimit(WavSampleFormat format, bool positive) {
    switch (format) {
    case WavSampleFormat::Pcm16:
        return positive ? 32767.5 / 32768.0 : 32768.5 / 32768.0;
    case WavSampleFormat::Pcm24:
        return positive ? 8388607.5 / 8388608.0 : 8388608.5 / 8388608.0;
    case WavSampleFormat::Float32:
        break;
    }
    return 1.0;
}

} // namespace

float peakOf(const WavAudio& audio) {
    float peak = 0.0f;
    for (const auto& channel : audio.channels)
        for (const float sample : channel)
            if (std::fabs(sample) > peak) peak = std::fabs(sample); // NaN never compares greater
    return peak;
}

LevelReport applyOutputLevels(WavAudio& audio, WavSampleFormat format,
                              const LevelOptions& options) {
    LevelReport report;
    report.gainDecibels = options.gainDecibels;
    // The gain is rounded to single precision: the C libraries of the two builds may differ in
    // the last bit of pow and log10, and the files must not.
    auto gain = static_cast<float>(std::pow(10.0, options.gainDecibels / 20.0));
    if (options.normalize) {
        const float peak = peakOf(audio);
        // Silence stays silence: there is no level to bring up.
        gain = peak > 0.0f
                   ? static_cast<float>(std::pow(10.0, options.normalizeDecibels / 20.0) / peak)
                   : 1.0f;
        report.gainDecibels = 20.0 * std::log10(static_cast<double>(gain));
    }
    const bool dither = options.dither && format == WavSampleFormat::Pcm16;
    report.dithered = dither;
    DitherNoise noise(options.ditherSeed);
    const double upper = clipLimit(format, true);
    const double lower = -clipLimit(format, false);
    // Frame by frame, channels interleaved, so the noise sequence does not depend on how many
    // frames the file has.
    for (size_t frame = 0; frame < audio.frameCount(); ++frame) {
        for (auto& channel : audio.channels) {
            double sample = channel[frame];
            if (std::isnan(sample)) continue;
            sample *= gain;
            if (dither) sample += noise.next() / 32768.0;
            const auto written = static_cast<float>(sample);
            channel[frame] = written;
            if (std::fabs(written) > report.peak) report.peak = std::fabs(written);
            if (written > upper || written < lower) ++report.overFull;
        }
    }
    return report;
}
