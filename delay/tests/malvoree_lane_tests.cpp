// Malvoree's heads rendered as vector lanes sound exactly like the scalar passes: every sample
// of every program, bit for bit, at every vector level this processor has; tempo sync on and
// off at several tempos, impulses and noise, in place and into separate buffers, replacing and
// adding, with block lengths that cut the ring buffers' wraps anywhere, and with the heads'
// settings automated between calls, so that the feedback glides, and delays down to none.
#include "malvoree.h"
#include "simdlevel.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace malvoree;

namespace {

enum class Input { Impulses, Noise };
enum class Buffers { Separate, InPlace, Adding };

struct Setting {
    Input input;
    bool sync;
    double tempo; // 0: the host reports none
    Buffers buffers;
    // At 8 kHz the two-second tape wraps round several times within the test.
    float sampleRate;
};

const Setting kSettings[] = {
    {Input::Impulses, false, 0.0, Buffers::Separate, 8000.0f},
    {Input::Noise, false, 0.0, Buffers::InPlace, 8000.0f},
    {Input::Noise, true, 120.0, Buffers::Separate, 8000.0f},
    {Input::Impulses, true, 93.0, Buffers::InPlace, 8000.0f},
    {Input::Noise, true, 187.5, Buffers::Adding, 44100.0f},
    {Input::Impulses, true, 0.0, Buffers::Adding, 8000.0f},
    {Input::Noise, false, 140.0, Buffers::Adding, 44100.0f},
};

// Lengths of the host's calls: odd ones, ones longer than the announced block.
constexpr int32_t kCalls[] = {512, 333, 1, 512, 1024, 7, 512, 250, 512, 700};
constexpr int32_t kRounds = 8;

float inputSample(Input input, std::mt19937& random, int64_t frame) {
    if (input == Input::Impulses) return frame % 7919 == 0 ? 1.0f : 0.0f;
    return std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
}

std::vector<float> perform(SimdLevel level, int32_t program, const Setting& setting) {
    const SimdLevel previous = forceSimdLevel(level);
    test_host::setTempo(setting.tempo);
    Malvoree effect(test_host::callback);
    effect.changeSampleRate(setting.sampleRate);
    effect.changeBlockSize(512);
    effect.onResume();
    effect.selectProgram(program);
    effect.writeParameter(kTempoParameter, setting.sync ? 1.0f : 0.0f);

    std::mt19937 random(1234);
    std::vector<float> recording;
    int64_t frame = 0;
    int32_t call = 0;
    for (int32_t round = 0; round < kRounds; ++round) {
        for (int32_t frames : kCalls) {
            // Every third call a head's feedback moves (and glides over the call), and its
            // damping, volume and pan with it.
            if (++call % 3 == 0) {
                const int32_t head = call / 3 % kHeadCount;
                const float value = static_cast<float>(call % 11) / 10.0f;
                effect.writeParameter(headParameterIndex(head, kHeadFeedback), value);
                effect.writeParameter(headParameterIndex(head, kHeadFilter), 1.0f - value);
                effect.writeParameter(headParameterIndex(head, kHeadVolume), value);
                effect.writeParameter(headParameterIndex(head, kHeadPan), 0.5f * value);
            }
            // Every fifth call a head's delay changes, at times to a few samples or none, where
            // a sample written in a call is read again in the same call.
            if (call % 5 == 0) {
                const float delays[] = {0.0f, 0.0004f, 0.001f, 0.3f};
                effect.writeParameter(headParameterIndex(call / 5 % kHeadCount, kHeadDelay),
                                      delays[call / 5 % 4]);
            }
            std::vector<float> left(frames), right(frames), outLeft(frames), outRight(frames);
            for (int32_t i = 0; i < frames; ++i, ++frame) {
                left[i] = inputSample(setting.input, random, frame);
                right[i] = inputSample(setting.input, random, frame + 3);
                outLeft[i] = 0.25f * left[i]; // what an adding host already has there
                outRight[i] = -0.5f * right[i];
            }
            float* in[2] = {left.data(), right.data()};
            float* out[2] = {outLeft.data(), outRight.data()};
            switch (setting.buffers) {
            case Buffers::Separate:
                effect.renderReplacing(in, out, frames);
                break;
            case Buffers::InPlace:
                effect.renderReplacing(in, in, frames);
                out[0] = left.data();
                out[1] = right.data();
                break;
            case Buffers::Adding:
                effect.renderAdding(in, out, frames);
                break;
            }
            recording.insert(recording.end(), out[0], out[0] + frames);
            recording.insert(recording.end(), out[1], out[1] + frames);
        }
    }
    forceSimdLevel(previous);
    test_host::setTempo(0.0);
    return recording;
}

int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<int64_t>(i);
    return -1;
}

TEST(MalvoreeLanes, EveryProgramSoundsBitForBitAsTheScalarPasses) {
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2})
        if (static_cast<int32_t>(level) <= static_cast<int32_t>(detectedSimdLevel()))
            levels.push_back(level);
    if (levels.empty()) GTEST_SKIP() << "no vector unit on this processor";
    for (int32_t program = 0; program < kProgramCount; ++program) {
        for (const Setting& setting : kSettings) {
            const std::vector<float> reference = perform(SimdLevel::Scalar, program, setting);
            for (SimdLevel level : levels)
                EXPECT_EQ(firstDifference(reference, perform(level, program, setting)), -1)
                    << "program " << program << ", sync " << setting.sync << " at " << setting.tempo
                    << " bpm, input " << static_cast<int>(setting.input) << ", buffers "
                    << static_cast<int>(setting.buffers) << ", " << simdLevelName(level);
        }
    }
}

} // namespace
