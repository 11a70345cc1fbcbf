// What Malvoree does to audio: where and how loud each echo arrives, pan, input weighting, the
// wet/dry mix, feedback, in-place processing, independence from block sizes, tempo following,
// and robustness against bad input and long feedback.
#include "malvoree.h"
#include "reference_echo.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

using namespace malvoree;

namespace {

constexpr float kQuiet = 1e-6f; // what the anti-denormal offset leaves behind, with margin

struct Stereo {
    explicit Stereo(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t size() const { return left.size(); }
    std::vector<float> left, right;
};

Stereo noise(size_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    Stereo signal(frames);
    for (size_t i = 0; i < frames; ++i) {
        signal.left[i] = sample(random);
        signal.right[i] = sample(random);
    }
    return signal;
}

// The delay amount that gives exactly `samples` at 44100 Hz (2 s = 88200 samples).
float amountFor(int32_t samples) {
    return (static_cast<float>(samples) + 0.5f) / 88200.0f;
}

class MalvoreeRender : public ::testing::Test {
protected:
    static constexpr int32_t kBlock = 512;

    void SetUp() override {
        test_host::setTempo(0.0);
        effect = makeEffect(kBlock);
    }

    static std::unique_ptr<Malvoree> makeEffect(int32_t blockSize) {
        auto made = std::make_unique<Malvoree>(test_host::callback);
        made->changeSampleRate(44100.0f);
        made->changeBlockSize(blockSize);
        made->onResume();
        return made;
    }

    // Out of place, in blocks of `block` frames.
    static Stereo run(Malvoree& target, const Stereo& input, int32_t block) {
        Stereo output(input.size());
        for (size_t done = 0; done < input.size(); done += static_cast<size_t>(block)) {
            const auto n =
                static_cast<int32_t>(std::min(static_cast<size_t>(block), input.size() - done));
            float* in[2] = {const_cast<float*>(input.left.data() + done),
                            const_cast<float*>(input.right.data() + done)};
            float* out[2] = {output.left.data() + done, output.right.data() + done};
            target.renderReplacing(in, out, n);
        }
        return output;
    }
    Stereo run(const Stereo& input, int32_t block = kBlock) { return run(*effect, input, block); }

    // Only head `which` is heard, fully wet, with plain settings; the glide is settled. Set up
    // as a host does, while suspended, where writes reach the heads at once.
    void isolate(int32_t which, int32_t delaySamples) {
        effect->onSuspend();
        effect->writeParameter(kMixParameter, 1.0f);
        effect->writeParameter(kTempoParameter, 0.0f);
        for (int32_t h = 0; h < kHeadCount; ++h) {
            const bool heard = h == which;
            effect->writeParameter(headParameterIndex(h, kHeadVolume), heard ? 1.0f : 0.0f);
            effect->writeParameter(headParameterIndex(h, kHeadFeedback), 0.0f);
            effect->writeParameter(headParameterIndex(h, kHeadFilter), 0.0f);
            effect->writeParameter(headParameterIndex(h, kHeadPan), 0.5f);
        }
        effect->writeParameter(headParameterIndex(which, kHeadDelay), amountFor(delaySamples));
        ASSERT_EQ(effect->head(which).delayLength(), delaySamples);
        effect->onResume();
    }

    // Expects `expected` at `at` and near silence everywhere else.
    static void expectSingleEcho(const std::vector<float>& channel, size_t at, float expected) {
        for (size_t i = 0; i < channel.size(); ++i) {
            if (i == at)
                EXPECT_NEAR(channel[i], expected, 1e-6f) << "echo at " << i;
            else if (std::fabs(channel[i]) > kQuiet)
                ADD_FAILURE() << "unexpected " << channel[i] << " at " << i;
        }
    }

    std::unique_ptr<Malvoree> effect;
};

// --- echoes -----------------------------------------------------------------------------------

TEST_F(MalvoreeRender, EachHeadEchoesAtItsDelayWithItsInputWeighting) {
    // Left and right input weights of heads 1 to 4: no head hears a pure channel.
    const float weights[kHeadCount][2] = {
        {0.25f, 0.75f}, {0.4f, 0.6f}, {0.6f, 0.4f}, {0.75f, 0.25f}};
    for (int32_t h = 0; h < kHeadCount; ++h) {
        SCOPED_TRACE(h);
        effect = makeEffect(kBlock);
        const int32_t delay = 700 + 450 * h;
        isolate(h, delay);
        Stereo impulse(4096);
        impulse.left[0] = 1.0f;
        impulse.right[100] = 1.0f;
        const Stereo out = run(impulse);
        // Wet = Mix 1 x 0.5 x volume 1, split half and half at pan 0.5.
        const float leftWeight = weights[h][0];
        const float rightWeight = weights[h][1];
        for (const std::vector<float>* channel : {&out.left, &out.right}) {
            for (size_t i = 0; i < channel->size(); ++i) {
                const float value = (*channel)[i];
                if (i == static_cast<size_t>(delay))
                    EXPECT_NEAR(value, 0.25f * leftWeight, 1e-6f);
                else if (i == static_cast<size_t>(delay + 100))
                    EXPECT_NEAR(value, 0.25f * rightWeight, 1e-6f);
                else if (std::fabs(value) > kQuiet)
                    ADD_FAILURE() << "unexpected " << value << " at " << i;
            }
        }
    }
}

TEST_F(MalvoreeRender, VolumeAndMixScaleTheEcho) {
    isolate(1, 1000);
    effect->writeParameter(headParameterIndex(1, kHeadVolume), 0.5f);
    effect->writeParameter(kMixParameter, 0.8f);
    Stereo impulse(2048);
    impulse.left[0] = 1.0f;
    const Stereo out = run(impulse);
    // Echo: 0.8 x 0.5 x 0.5 x 0.5 (pan) x 0.4 (head 2's left weight); dry: 4 x 0.05 of the input.
    EXPECT_NEAR(out.left[1000], 0.8f * 0.5f * 0.5f * 0.5f * 0.4f, 1e-6f);
    EXPECT_NEAR(out.left[0], 0.2f, 1e-6f);
}

TEST_F(MalvoreeRender, PanZeroIsLeftOnlyAndPanOneRightOnly) {
    isolate(2, 900);
    effect->writeParameter(headParameterIndex(2, kHeadPan), 0.0f);
    Stereo impulse(2048);
    impulse.left[0] = 1.0f;
    Stereo out = run(impulse);
    EXPECT_NEAR(out.left[900], 0.5f * 0.6f, 1e-6f);
    for (float sample : out.right)
        ASSERT_EQ(sample, 0.0f);

    effect->writeParameter(headParameterIndex(2, kHeadPan), 1.0f);
    effect->onResume();
    out = run(impulse);
    EXPECT_NEAR(out.right[900], 0.5f * 0.6f, 1e-6f);
    for (float sample : out.left)
        ASSERT_EQ(sample, 0.0f);
}

TEST_F(MalvoreeRender, FullDelayIsTwoSecondsLessTwoSamples) {
    isolate(0, 1000);
    effect->writeParameter(0, 1.0f); // reaches the head with the next block
    Stereo impulse(88400);
    impulse.left[0] = 1.0f;
    expectSingleEcho(run(impulse).left, 88198, 0.25f * 0.25f);
    EXPECT_EQ(effect->head(0).delayLength(), 88198);
}

TEST_F(MalvoreeRender, ZeroDelayEchoesAfterTheWholeBuffer) {
    isolate(0, 1000);
    effect->writeParameter(0, 0.0f);
    Stereo impulse(88400);
    impulse.left[3] = 1.0f;
    expectSingleEcho(run(impulse).left, 88203, 0.25f * 0.25f);
    EXPECT_EQ(effect->head(0).delayLength(), 0);
}

TEST_F(MalvoreeRender, FullFeedbackWithoutDampingRepeatsWithoutLoss) {
    isolate(3, 1500);
    effect->writeParameter(headParameterIndex(3, kHeadFeedback), 1.0f);
    effect->onResume();
    Stereo impulse(1500 * 12 + 10);
    impulse.right[0] = 1.0f;
    const Stereo out = run(impulse);
    for (int repeat = 1; repeat <= 12; ++repeat)
        EXPECT_NEAR(out.left[static_cast<size_t>(1500 * repeat)], 0.25f * 0.25f, 1e-6f)
            << "repeat " << repeat;
}

TEST_F(MalvoreeRender, DampingFilterIsOnePoleLowPass) {
    isolate(0, 1000);
    effect->writeParameter(2, 0.75f);
    Stereo impulse(1100);
    impulse.left[0] = 1.0f;
    const Stereo out = run(impulse);
    // y = d x 0.25 + 0.75 x y: the echo decays by 0.75 per sample.
    const float first = 0.25f * 0.25f * 0.25f;
    EXPECT_NEAR(out.left[1000], first, 1e-6f);
    EXPECT_NEAR(out.left[1001], first * 0.75f, 1e-6f);
    EXPECT_NEAR(out.left[1010], first * std::pow(0.75f, 10.0f), 1e-6f);
}

TEST_F(MalvoreeRender, MixZeroPassesTheInputUnchanged) {
    effect->writeParameter(kMixParameter, 0.0f);
    const Stereo input = noise(5000, 7);
    const Stereo out = run(input);
    for (size_t i = 0; i < input.size(); ++i) {
        ASSERT_FLOAT_EQ(out.left[i], input.left[i]) << i;
        ASSERT_FLOAT_EQ(out.right[i], input.right[i]) << i;
    }
}

TEST_F(MalvoreeRender, MixOneLeavesNoDrySignal) {
    isolate(0, 2000);
    const Stereo out = run(noise(1990, 8));
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_LT(std::fabs(out.left[i]), kQuiet) << i;
}

// --- block structure ----------------------------------------------------------------------------

TEST_F(MalvoreeRender, InPlaceEqualsOutOfPlace) {
    auto other = makeEffect(kBlock);
    const Stereo input = noise(6000, 11);
    const Stereo expected = run(*other, input, kBlock);
    Stereo buffer = input;
    for (size_t done = 0; done < buffer.size(); done += kBlock) {
        const auto n = static_cast<int32_t>(std::min<size_t>(kBlock, buffer.size() - done));
        float* io[2] = {buffer.left.data() + done, buffer.right.data() + done};
        effect->renderReplacing(io, io, n);
    }
    EXPECT_EQ(buffer.left, expected.left);
    EXPECT_EQ(buffer.right, expected.right);
}

TEST_F(MalvoreeRender, InPlaceBeforeAnyBlockSizeLeavesTheSignal) {
    Malvoree fresh(test_host::callback);
    Stereo buffer = noise(256, 3);
    const Stereo input = buffer;
    float* io[2] = {buffer.left.data(), buffer.right.data()};
    fresh.renderReplacing(io, io, 256);
    EXPECT_EQ(buffer.left, input.left);
}

TEST_F(MalvoreeRender, OutputDoesNotDependOnBlockSize) {
    // Default settings, all four heads, short delays so that echoes recur inside a block.
    for (int32_t h = 0; h < kHeadCount; ++h)
        effect->writeParameter(headParameterIndex(h, kHeadDelay), amountFor(37 + 200 * h));
    effect->onResume();
    const Stereo input = noise(20000, 5);
    const Stereo expected = run(input, kBlock);
    for (int32_t block : {1, 3, 64, 100, 511}) {
        auto other = makeEffect(kBlock);
        for (int32_t h = 0; h < kHeadCount; ++h)
            other->writeParameter(headParameterIndex(h, kHeadDelay), amountFor(37 + 200 * h));
        other->onResume();
        const Stereo out = run(*other, input, block);
        // Only the anti-denormal offset, whose sign flips per block, may differ.
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_NEAR(out.left[i], expected.left[i], 1e-6f) << "block " << block << " at " << i;
            ASSERT_NEAR(out.right[i], expected.right[i], 1e-6f) << "block " << block << " at " << i;
        }
    }
}

TEST_F(MalvoreeRender, CallsLongerThanTheBlockSizeRunInBlockSizePieces) {
    auto pieces = makeEffect(64);
    auto whole = makeEffect(64);
    const Stereo input = noise(1000, 9);
    const Stereo expected = run(*pieces, input, 64);
    // One call of 1000 frames, in place: must not overrun the 2 x 64 scratch copy.
    Stereo buffer = input;
    float* io[2] = {buffer.left.data(), buffer.right.data()};
    whole->renderReplacing(io, io, 1000);
    EXPECT_EQ(buffer.left, expected.left);
    EXPECT_EQ(buffer.right, expected.right);
}

TEST_F(MalvoreeRender, EmptyOrNegativeCallsDoNothing) {
    Stereo input = noise(16, 1);
    Stereo output(16);
    output.left.assign(16, 7.0f);
    float* in[2] = {input.left.data(), input.right.data()};
    float* out[2] = {output.left.data(), output.right.data()};
    effect->renderReplacing(in, out, 0);
    effect->renderReplacing(in, out, -5);
    effect->renderAdding(in, out, -1);
    EXPECT_EQ(output.left, std::vector<float>(16, 7.0f));
}

TEST_F(MalvoreeRender, AddingAddsWhatReplacingWrites) {
    auto other = makeEffect(kBlock);
    const Stereo input = noise(3000, 21);
    const Stereo replaced = run(*other, input, kBlock);
    Stereo output(input.size());
    output.left.assign(input.size(), 0.5f);
    output.right.assign(input.size(), -0.25f);
    for (size_t done = 0; done < input.size(); done += kBlock) {
        const auto n = static_cast<int32_t>(std::min<size_t>(kBlock, input.size() - done));
        float* in[2] = {const_cast<float*>(input.left.data() + done),
                        const_cast<float*>(input.right.data() + done)};
        float* out[2] = {output.left.data() + done, output.right.data() + done};
        effect->renderAdding(in, out, n);
    }
    for (size_t i = 0; i < input.size(); ++i) {
        ASSERT_NEAR(output.left[i], 0.5f + replaced.left[i], 1e-5f) << i;
        ASSERT_NEAR(output.right[i], -0.25f + replaced.right[i], 1e-5f) << i;
    }
}

// The renderer keeps the per-sample arithmetic exactly: it is compared with a plain model while
// parameters change between blocks of random sizes, including delays shorter than a block.
TEST_F(MalvoreeRender, MatchesThePlainModelBitForBit) {
    ReferenceEcho reference;
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int32_t> blockSize(1, kBlock);
    std::uniform_int_distribution<int32_t> parameter(0, kParameterCount - 1);
    std::uniform_int_distribution<int32_t> shortDelay(0, 700);
    const Stereo input = noise(120000, 77);
    Stereo expected(input.size()), actual(input.size());
    for (size_t done = 0; done < input.size();) {
        for (int changes = std::uniform_int_distribution<int>(0, 3)(random); changes > 0;
             --changes) {
            const int32_t index = parameter(random);
            if (index == kTempoParameter) continue;
            float value = unit(random);
            if (index % kParametersPerHead == kHeadDelay && index < kTempoParameter &&
                unit(random) < 0.7f)
                value = amountFor(shortDelay(random));
            reference.write(index, value);
            effect->writeParameter(index, value);
        }
        const auto n = static_cast<int32_t>(
            std::min<size_t>(static_cast<size_t>(blockSize(random)), input.size() - done));
        reference.render(input.left.data() + done, input.right.data() + done,
                         expected.left.data() + done, expected.right.data() + done, n);
        float* in[2] = {const_cast<float*>(input.left.data() + done),
                        const_cast<float*>(input.right.data() + done)};
        float* out[2] = {actual.left.data() + done, actual.right.data() + done};
        effect->renderReplacing(in, out, n);
        done += static_cast<size_t>(n);
    }
    for (size_t i = 0; i < input.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint32_t>(actual.left[i]),
                  std::bit_cast<uint32_t>(expected.left[i]))
            << "left at " << i << ": " << actual.left[i] << " vs " << expected.left[i];
        ASSERT_EQ(std::bit_cast<uint32_t>(actual.right[i]),
                  std::bit_cast<uint32_t>(expected.right[i]))
            << "right at " << i;
    }
}

// --- feedback glide
// -------------------------------------------------------------------------------

TEST_F(MalvoreeRender, FeedbackChangeGlidesLinearlyOverTheNextBlock) {
    isolate(0, 2000);
    // Fill 2000 samples of tape with 1.0 (head 1 hears 0.25 L + 0.75 R).
    Stereo signal(6000);
    for (size_t i = 0; i < 2000; ++i)
        signal.left[i] = signal.right[i] = 1.0f;
    Stereo out(signal.size());
    auto render = [&](size_t from, int32_t frames) {
        float* in[2] = {signal.left.data() + from, signal.right.data() + from};
        float* o[2] = {out.left.data() + from, out.right.data() + from};
        effect->renderReplacing(in, o, frames);
    };
    for (size_t at = 0; at < 2000; at += 500)
        render(at, 500);
    // The tape comes back over frames 2000..2399 and is fed back with a gain rising from 0 to 1
    // over this one 400-frame block.
    effect->writeParameter(1, 1.0f);
    render(2000, 400);
    EXPECT_NEAR(effect->head(0).currentFeedback(), 1.0f, 1e-5f);
    for (size_t at = 2400; at < 6000; at += 400)
        render(at, static_cast<int32_t>(std::min<size_t>(400, 6000 - at)));
    for (size_t i = 0; i < 400; ++i)
        ASSERT_NEAR(out.left[4000 + i], 0.25f * static_cast<float>(i) / 400.0f, 5e-6f) << i;
    // After the glide the gain stays at 1.
    for (size_t i = 400; i < 1600; ++i)
        ASSERT_NEAR(out.left[4000 + i], 0.25f, 2e-6f) << i;
}

// --- lifecycle --------------------------------------------------------------------------------

TEST_F(MalvoreeRender, SampleRateChangeClearsEchoesAndScalesDelays) {
    isolate(0, 1000);
    Stereo impulse(500);
    impulse.left[0] = 1.0f;
    run(impulse);
    effect->changeSampleRate(48000.0f);
    EXPECT_EQ(effect->head(0).bufferLength(), 96000);
    EXPECT_EQ(effect->head(0).delayLength(), static_cast<int32_t>(96000.0f * amountFor(1000)));
    const Stereo out = run(Stereo(100000));
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_LT(std::fabs(out.left[i]), kQuiet) << i;
}

TEST_F(MalvoreeRender, ResumeClearsEchoesButSameRateKeepsThem) {
    isolate(0, 1000);
    Stereo impulse(500);
    impulse.left[0] = 1.0f;
    run(impulse);
    effect->changeSampleRate(44100.0f);
    effect->changeBlockSize(kBlock);
    Stereo out = run(Stereo(1000));
    EXPECT_NEAR(out.left[500], 0.0625f, 1e-6f);
    run(impulse);
    effect->onResume();
    out = run(Stereo(1000));
    for (float sample : out.left)
        ASSERT_LT(std::fabs(sample), kQuiet);
}

TEST_F(MalvoreeRender, AbsurdSampleRatesSilenceTheHeadsWithoutFailing) {
    for (float rate : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), 1e12f}) {
        effect->changeSampleRate(rate);
        EXPECT_FALSE(effect->head(0).hasBuffer()) << rate;
        Stereo out = run(noise(600, 4));
        for (float sample : out.left)
            ASSERT_EQ(sample, 0.0f);
    }
    effect->changeSampleRate(22050.0f);
    EXPECT_EQ(effect->head(3).bufferLength(), 44100);
}

// --- tempo following ------------------------------------------------------------------------

TEST_F(MalvoreeRender, TempoSyncFollowsTheNoteValueAt120Bpm) {
    isolate(0, 1000);
    effect->writeParameter(0, 0.5f); // index 7: "1/8 *", 0.75 quarter notes
    effect->writeParameter(kTempoParameter, 1.0f);
    test_host::setTempo(120.0);
    Stereo impulse(20000);
    impulse.left[0] = 1.0f;
    // 44100 / 2 x 0.75 = 16537.5 samples.
    expectSingleEcho(run(impulse).left, 16537, 0.0625f);
}

TEST_F(MalvoreeRender, WithoutAValidTempoTheAmountGivesTheDelay) {
    isolate(0, 1000);
    effect->writeParameter(kTempoParameter, 1.0f);
    Stereo impulse(2000);
    impulse.left[0] = 1.0f;
    test_host::setTempo(0.0); // tempo not flagged valid
    expectSingleEcho(run(impulse).left, 1000, 0.0625f);
    effect->onResume();
    test_host::setNoTransport();
    expectSingleEcho(run(impulse).left, 1000, 0.0625f);
    effect->onResume();
    test_host::setTempo(std::numeric_limits<double>::quiet_NaN());
    expectSingleEcho(run(impulse).left, 1000, 0.0625f);
    // Tempo off: the host tempo is not even asked for.
    effect->onResume();
    test_host::setTempo(120.0);
    effect->writeParameter(kTempoParameter, 0.0f);
    expectSingleEcho(run(impulse).left, 1000, 0.0625f);
}

TEST_F(MalvoreeRender, TempoLengthsAreCappedToTheBuffer) {
    isolate(1, 1000);
    effect->writeParameter(5, 1.0f); // a whole note
    effect->writeParameter(kTempoParameter, 1.0f);
    test_host::setTempo(30.0); // 8 s, longer than the tape
    Stereo impulse(88300);
    impulse.left[0] = 1.0f;
    expectSingleEcho(run(impulse).left, 88198, 0.25f * 0.4f);
    EXPECT_EQ(effect->head(1).tempoDelayLength(30.0), 88198);
}

// --- robustness -----------------------------------------------------------------------------

TEST_F(MalvoreeRender, NonFiniteInputCountsAsSilence) {
    auto clean = makeEffect(kBlock);
    Stereo input = noise(8000, 12);
    Stereo silenced = input;
    for (size_t i = 1000; i < 1600; i += 7) {
        input.left[i] = std::numeric_limits<float>::quiet_NaN();
        input.right[i + 1] = -std::numeric_limits<float>::infinity();
        silenced.left[i] = 0.0f;
        silenced.right[i + 1] = 0.0f;
    }
    const Stereo out = run(input);
    const Stereo expected = run(*clean, silenced, kBlock);
    EXPECT_EQ(out.left, expected.left);
    EXPECT_EQ(out.right, expected.right);
}

TEST_F(MalvoreeRender, LongFeedbackWithRandomSettingsStaysFiniteAndNormal) {
    std::mt19937 random(99);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        effect = makeEffect(kBlock);
        for (int32_t i = 0; i < kParameterCount; ++i)
            effect->writeParameter(i, unit(random));
        for (int32_t h = 0; h < kHeadCount; ++h)
            effect->writeParameter(headParameterIndex(h, kHeadFeedback),
                                   0.9f + 0.1f * unit(random));
        effect->onResume();
        run(noise(44100, static_cast<uint32_t>(round)));
        // Twenty seconds of decaying (or endlessly repeating) echoes.
        const Stereo tail = run(Stereo(44100 * 20));
        for (size_t i = 0; i < tail.size(); ++i) {
            for (float sample : {tail.left[i], tail.right[i]}) {
                ASSERT_TRUE(std::isfinite(sample)) << i;
                ASSERT_TRUE(sample == 0.0f || std::fabs(sample) >= FLT_MIN)
                    << sample << " at " << i;
            }
        }
    }
}

} // namespace
