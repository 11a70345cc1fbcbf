// Wave tables, LFO, curve table and envelopes: the values the sound is built from.
#include "engine/adsr.h"
#include "engine/adsrprocessor.h"
#include "engine/lfo.h"
#include "engine/wavetableset.h"
#include "simdlevel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace {

using T = WaveTableSet;

const float* builtTable(T::Table which) {
    buildWaveTables();
    return T::table(which);
}

TEST(WaveTables, TriangleTopsOutBelowOneAndIsSymmetric) {
    const float* triangle = builtTable(T::Triangle);
    EXPECT_EQ(triangle[0], -1.0f);
    EXPECT_EQ(triangle[2047], 0.9990234375f);
    EXPECT_EQ(triangle[2048], triangle[2047]);
    EXPECT_EQ(triangle[4095], -1.0f);
    EXPECT_EQ(*std::max_element(triangle, triangle + 4096), 0.9990234375f);
    EXPECT_EQ(triangle[4096], triangle[0]);
}

// Amplitude of harmonic k in the cycle a table holds.
double harmonicAmplitude(const float* table, int32_t k) {
    const double step = 2.0 * 3.14159265358979323846 * k / 4096.0;
    double re = 0.0;
    double im = 0.0;
    for (int32_t j = 0; j < 4096; ++j) {
        re += table[j] * std::cos(step * j);
        im += table[j] * std::sin(step * j);
    }
    return 2.0 * std::hypot(re, im) / 4096.0;
}

// What keeps the oscillators free of aliasing: each table stops at its last harmonic; the
// squares carry only odd harmonics, the saws every one.
TEST(WaveTables, BandLimitedTablesStopAtTheirLastHarmonic) {
    const struct {
        T::Table table;
        int32_t lastHarmonic;
        bool evenHarmonics;
    } families[] = {{T::Square4, 7, false},   {T::Square8, 15, false}, {T::Square16, 31, false},
                    {T::Square32, 63, false}, {T::Saw11, 11, true},    {T::Saw23, 23, true},
                    {T::Saw35, 35, true},     {T::Saw47, 47, true}};
    for (const auto& family : families) {
        const float* table = builtTable(family.table);
        const int32_t last = family.lastHarmonic;
        EXPECT_GT(harmonicAmplitude(table, 1), 0.5) << "table " << family.table;
        EXPECT_GT(harmonicAmplitude(table, last), 0.5 / last) << "table " << family.table;
        EXPECT_EQ(harmonicAmplitude(table, 2) > 1e-3, family.evenHarmonics)
            << "table " << family.table;
        for (int32_t k = last + 1; k <= last + 3; ++k)
            EXPECT_LT(harmonicAmplitude(table, k), 1e-5) << "table " << family.table << " k " << k;
        EXPECT_EQ(table[4096], table[0]);
    }
    // A ramp rising through 0 at entry 0 and dropping through 0 at entry 2048.
    const float* saw = builtTable(T::Saw47);
    EXPECT_NEAR(saw[0], 0.0f, 1e-6f);
    EXPECT_GT(saw[1], 0.0f);
    EXPECT_NEAR(saw[2048], 0.0f, 1e-6f);
    EXPECT_GT(*std::max_element(saw + 1900, saw + 2048), 0.8f);
    EXPECT_LT(*std::min_element(saw + 2049, saw + 2200), -0.8f);
}

TEST(Lfo, ClampsWaveformIndexAndRunsAtItsRate) {
    buildWaveTables();
    LFO lfo;
    lfo.selectWaveform(-1);
    EXPECT_EQ(lfo.waveformIndex(), 0);
    EXPECT_EQ(lfo.currentTable(), T::table(T::Sine));
    lfo.selectWaveform(7);
    EXPECT_EQ(lfo.waveformIndex(), 3);
    EXPECT_EQ(lfo.currentTable(), T::table(T::Saw11));

    lfo.selectWaveform(0);
    lfo.setRate(5.0, 44100.0);
    // A quarter cycle in, the sine is at its top.
    std::vector<float> values(44100 / 20 + 1);
    lfo.fillValues(values.data(), static_cast<int32_t>(values.size()));
    EXPECT_NEAR(values.back(), 1.0f, 1e-3f);
    LFO stepped;
    stepped.setRate(5.0, 44100.0);
    for (float expected : values)
        ASSERT_EQ(stepped.nextValue(), expected);
}

TEST(EnvelopeCurve, MatchesItsTabulatedRows) {
    ADSR envelope(0, 44100.0);
    const float* curve = EnvelopeCurveTable::values;
    const struct {
        int32_t k;
        float value;
    } rows[] = {{0, 0.0f},         {1, 0.000806f},    {64, 0.050681f},   {256, 0.191960f},
                {512, 0.356607f},  {1024, 0.613296f}, {2048, 0.898650f}, {3072, 0.989728f},
                {4000, 0.999996f}, {4091, 1.0f},      {4095, 1.0f}};
    for (const auto& row : rows)
        EXPECT_NEAR(curve[row.k], row.value, 1.5e-6f) << "entry " << row.k;
    EXPECT_EQ(curve[4096], curve[4095]);
}

TEST(EnvelopeCurve, AmountsMapToSeconds) {
    ADSR envelope(0, 44100.0);
    const struct {
        float amount;
        float seconds;
    } rows[] = {{1.0f, 10.0f},    {0.75f, 3.867f},   {0.5f, 1.0135f}, {0.25f, 0.1027f},
                {0.2f, 0.04916f}, {0.1f, 0.004980f}, {0.0009f, 0.0f}};
    for (const auto& row : rows)
        EXPECT_NEAR(envelope.amountToSeconds(row.amount), row.seconds, row.seconds * 1e-3f + 1e-9f)
            << "amount " << row.amount;
}

TEST(EnvelopeSegments, ShortestTimesLongestAttackAndSwitchedReleases) {
    ADSR envelope(0, 44100.0);
    envelope.setAttackAmount(0.0009f);
    envelope.setDecayAmount(0.0f);
    envelope.setReleaseAmount(0.0f);
    EXPECT_EQ(envelope.attackSampleCount(), 0);
    EXPECT_EQ(envelope.decaySampleCount(), 2167);
    EXPECT_EQ(envelope.releaseSampleCount(), 2167);
    envelope.setAttackAmount(1.0f);
    EXPECT_EQ(envelope.attackSampleCount(), 441000);
    envelope.applySampleRate(22050.0);
    EXPECT_EQ(envelope.attackSampleCount(), 220500);

    // A fast-released voice switches the shared release to 0.2 and back for every block: each
    // amount keeps its own time however often it returns, and a new amount gets its own.
    const auto releaseSamples = [](float amount) {
        ADSR fresh(0, 22050.0);
        fresh.setReleaseAmount(amount);
        return fresh.releaseSampleCount();
    };
    // Below 0.2 every amount is timed as 0.2, the construction's placeholder of -1 too.
    EXPECT_EQ(releaseSamples(-1.0f), 1083);
    for (float amount : {0.75f, 0.2f, 0.75f, 0.2f, 0.5f, 0.75f, 0.5f, 0.0f, 1.0f, 0.0f}) {
        envelope.setReleaseAmount(amount);
        EXPECT_EQ(envelope.releaseSampleCount(), releaseSamples(amount)) << "amount " << amount;
        EXPECT_EQ(envelope.totalSampleCount(), 220500 + 1083 + releaseSamples(amount));
    }
}

// The vector segment loops against the scalar ones, value for value: every segment at steps
// (4096 / samples) from 0.09 (a 1 s release) to 18.7 (a 5 ms attack), each just below and just
// above the limits where the vector loops change how many frames share a window of entries
// (0.22, 0.45, 0.99 and 2), and exactly 1, the fast release's 1.89 and exactly 2; for pieces
// that start at 0, inside, or end at the segment's end (the table's end) or past it, shorter
// than one group of eight frames, a few groups, and longer than the vector loops' runs.
TEST(EnvelopeSegments, VectorLoopsMatchTheScalarLoopsBitForBit) {
    if (detectedSimdLevel() < SimdLevel::Avx2) GTEST_SKIP() << "no AVX2 on this processor";
    enum Segment { Attack, Decay, Release };
    const int32_t sampleCounts[] = {44100, 18619, 16000, 9103, 8200, 4138, 4097,
                                    4096,  4080,  2167,  2048, 2000, 1900, 219};
    const int32_t lengths[] = {1, 3, 7, 8, 9, 513, 1000};
    const struct {
        float output;
        double start; // release start level
    } levels[] = {{1.0f, 1.0}, {0.25f, 0.6132961}, {0.37f, 1e-3}};
    std::vector<float> scalar(1001);
    std::vector<float> vector(1001);
    for (Segment segment : {Attack, Decay, Release}) {
        for (int32_t samples : sampleCounts) {
            ADSR envelope(0, 44100.0);
            envelope.setAttackAmount(segment == Attack ? 0.5f : 0.0f);
            envelope.setDecayAmount(0.5f);
            envelope.setSustainLevel(0.4f);
            envelope.setReleaseAmount(0.5f);
            // Scales that make the segment under test `samples` long.
            const double scale = (samples + 0.5) / (envelope.amountToSeconds(0.5f) * 44100.0);
            if (segment == Attack) envelope.setAttackScale(scale);
            if (segment == Decay) envelope.setDecayScale(scale);
            if (segment == Release) envelope.setReleaseScale(scale);
            const int32_t segmentStart = segment == Attack  ? 0
                                         : segment == Decay ? envelope.attackSampleCount()
                                                            : envelope.attackDecaySampleCount();
            ASSERT_EQ((segment == Attack  ? envelope.attackSampleCount()
                       : segment == Decay ? envelope.decaySampleCount()
                                          : envelope.releaseSampleCount()),
                      samples);
            for (int32_t frames : lengths) {
                const int32_t offsets[] = {0, samples / 3, std::max(0, samples - frames),
                                           samples - frames / 2};
                for (int32_t offset : offsets) {
                    for (const auto& level : levels) {
                        envelope.setOutputLevel(level.output);
                        const int32_t start = segmentStart + offset;
                        const double scalarLevel = envelope.renderSegmentTo(
                            scalar.data(), start, frames, level.start, SimdLevel::Scalar);
                        const double scalarLast = envelope.lastLevel();
                        std::fill(vector.begin(), vector.end(), -1.0f);
                        const double vectorLevel = envelope.renderSegmentTo(
                            vector.data(), start, frames, level.start, SimdLevel::Avx2);
                        SCOPED_TRACE(testing::Message()
                                     << "segment " << segment << " samples " << samples
                                     << " offset " << offset << " frames " << frames << " output "
                                     << level.output << " start " << level.start);
                        ASSERT_EQ(std::bit_cast<uint64_t>(vectorLevel),
                                  std::bit_cast<uint64_t>(scalarLevel));
                        ASSERT_EQ(std::bit_cast<uint64_t>(envelope.lastLevel()),
                                  std::bit_cast<uint64_t>(scalarLast));
                        for (int32_t n = 0; n < frames; ++n)
                            ASSERT_EQ(std::bit_cast<uint32_t>(vector[n]),
                                      std::bit_cast<uint32_t>(scalar[n]))
                                << "frame " << n << ": " << vector[n] << " vs " << scalar[n];
                        ASSERT_EQ(vector[frames], -1.0f) << "written past the piece";
                    }
                }
            }
        }
    }
}

// One envelope and one processor, rendered block by block into a recording.
class EnvelopeTest : public ::testing::Test {
protected:
    EnvelopeTest() : envelope(0, 44100.0), processor(&envelope) {
        envelope.applyBlockSize(kBlock);
        envelope.setOutputLevel(0.5f);
    }

    // Renders `frames` (at most one block); returns the values, constant blocks expanded.
    std::vector<float> render(int32_t frames) {
        float* buffer = nullptr;
        float constant = -1.0f;
        const bool hasBuffer = processor.renderEnvelope(&buffer, &constant, frames, false);
        if (hasBuffer) return std::vector<float>(buffer, buffer + frames);
        return std::vector<float>(static_cast<size_t>(frames), constant);
    }
    std::vector<float> renderFor(int32_t frames) {
        std::vector<float> all;
        for (int32_t done = 0; done < frames; done += kBlock) {
            const auto part = render(std::min(kBlock, frames - done));
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }
    EnvelopeStage stage() const { return processor.stage(); }

    static constexpr int32_t kBlock = 64;
    ADSR envelope;
    ADSRProcessor processor;
};

TEST_F(EnvelopeTest, WithoutAttackTheFirstValueIsTheOutputLevel) {
    envelope.setSustainLevel(0.5f);
    envelope.setDecayAmount(0.5f);
    processor.triggerEnvelope();
    EXPECT_EQ(render(kBlock)[0], 0.5f);
}

TEST_F(EnvelopeTest, DecayFollowsTheAttackWithinOneBlock) {
    envelope.setAttackAmount(0.1f); // 219 samples
    envelope.setDecayAmount(0.5f);
    envelope.setSustainLevel(0.25f);
    const int32_t attack = envelope.attackSampleCount();
    ASSERT_NE(attack % kBlock, 0);
    processor.triggerEnvelope();
    const auto values = renderFor(attack + kBlock);
    EXPECT_EQ(values[0], 0.0f);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.begin() + attack));
    // The decay starts from the full level right after the attack, in the same block.
    EXPECT_EQ(values[static_cast<size_t>(attack)], 0.5f);
    EXPECT_TRUE(std::is_sorted(values.rbegin(), values.rend() - attack));
    EXPECT_LT(values.back(), 0.5f);
    EXPECT_GT(values.back(), 0.25f * 0.5f);
}

TEST_F(EnvelopeTest, ZeroSustainEndsTheEnvelopeAfterTheDecay) {
    envelope.setSustainLevel(0.0f);
    envelope.setDecayAmount(0.0f); // 2167 samples
    processor.triggerEnvelope();
    renderFor(2167);
    EXPECT_EQ(stage(), EnvelopeStage::Sustaining);
    EXPECT_EQ(render(kBlock)[0], 0.0f);
    EXPECT_EQ(stage(), EnvelopeStage::Idle);
}

TEST_F(EnvelopeTest, ReleaseDuringAttackStartsFromTheLevelReached) {
    envelope.setAttackAmount(0.5f); // about 1 s
    envelope.setReleaseAmount(0.5f);
    processor.triggerEnvelope();
    const auto attack = renderFor(10 * kBlock);
    processor.releaseEnvelope(false);
    const auto release = render(kBlock);
    EXPECT_EQ(release[0], attack.back());
    EXPECT_LT(release[0], 0.25f);
    EXPECT_LT(release[kBlock - 1], release[0]);
}

TEST_F(EnvelopeTest, ReleaseBeforeAnyBlockStartsFromTheSustainLevel) {
    envelope.setSustainLevel(0.8f);
    processor.triggerEnvelope();
    processor.releaseEnvelope(false);
    EXPECT_FLOAT_EQ(render(kBlock)[0], 0.8f * 0.5f);
}

TEST_F(EnvelopeTest, AfterTheReleaseTheEnvelopeStaysSilentAndIdle) {
    envelope.setReleaseAmount(0.0f); // 2167 samples
    processor.triggerEnvelope();
    render(kBlock);
    processor.releaseEnvelope(false);
    const auto release = renderFor(2167);
    EXPECT_GT(release[2000], 0.0f);
    EXPECT_EQ(stage(), EnvelopeStage::Idle);
    float* buffer = nullptr;
    float constant = -1.0f;
    EXPECT_FALSE(processor.renderEnvelope(&buffer, &constant, kBlock, false));
    EXPECT_EQ(constant, 0.0f);
    EXPECT_EQ(stage(), EnvelopeStage::Idle);
}

TEST_F(EnvelopeTest, FastReleaseRestartsFromTheLastLevelAndKeepsTheSharedSetting) {
    envelope.setReleaseAmount(0.75f); // about 3.9 s
    processor.triggerEnvelope();
    render(kBlock);
    processor.releaseEnvelope(false);
    const auto slow = render(kBlock);
    processor.releaseEnvelope(true);
    const auto fast = renderFor(2167);
    EXPECT_EQ(envelope.releaseAmount(), 0.75f);
    EXPECT_NEAR(fast[0], slow.back(), 1e-4f);
    EXPECT_EQ(stage(), EnvelopeStage::Idle);
}

TEST_F(EnvelopeTest, FlatDecayIsReportedAsAConstantWithTheSameValues) {
    envelope.setDecayAmount(0.5f); // sustain 1: the decay runs from 1 to 1
    ADSRProcessor filled(&envelope);
    processor.triggerEnvelope();
    filled.triggerEnvelope();
    const int32_t attackDecay = envelope.attackDecaySampleCount();
    for (int32_t done = 0; done <= attackDecay; done += kBlock) {
        float* buffer = nullptr;
        float constant = 0.0f;
        ASSERT_FALSE(processor.renderEnvelope(&buffer, &constant, kBlock, false));
        ASSERT_TRUE(filled.renderEnvelope(&buffer, &constant, kBlock, true));
        EXPECT_TRUE(std::all_of(buffer, buffer + kBlock, [&](float v) { return v == 0.5f; }));
        EXPECT_EQ(processor.stage(), filled.stage());
    }
    EXPECT_EQ(processor.stage(), EnvelopeStage::Sustaining);
}

TEST(EnvelopeBuffer, SmallerSizeKeepsTheBufferLargerReplacesIt) {
    ADSR envelope(0, 44100.0);
    ADSRProcessor processor(&envelope);
    float* buffer = nullptr;
    float constant = 1.0f;
    processor.triggerEnvelope();
    EXPECT_FALSE(processor.renderEnvelope(&buffer, &constant, 64, false));
    EXPECT_EQ(constant, 0.0f);
    EXPECT_EQ(processor.stage(), EnvelopeStage::Running); // nothing advanced without a buffer

    envelope.applyBlockSize(256);
    float* first = envelope.blockBuffer();
    envelope.applyBlockSize(128);
    EXPECT_EQ(envelope.blockBuffer(), first);
    EXPECT_EQ(envelope.blockCapacity(), 128);
    envelope.applyBlockSize(0);
    EXPECT_EQ(envelope.blockCapacity(), 128);
    envelope.applyBlockSize(1024);
    EXPECT_EQ(envelope.blockCapacity(), 1024);
    EXPECT_NE(envelope.blockBuffer(), nullptr);
}

} // namespace
