#include "render_common.h"

#include <gtest/gtest.h>

#include <limits>

TEST(ParameterSettingParsing, NamesAndIndexesWithBlanksAndTheLastEqualsSign) {
    ParameterSetting setting;
    std::string error;
    ASSERT_TRUE(parseParameterSetting("  Delay 1 =  0.25 ", setting, error)) << error;
    EXPECT_EQ(setting.name, "Delay 1");
    EXPECT_EQ(setting.value, 0.25f);
    ASSERT_TRUE(parseParameterSetting("a=b=1", setting, error));
    EXPECT_EQ(setting.name, "a=b");
    EXPECT_EQ(setting.value, 1.0f);
    ASSERT_TRUE(parseParameterSetting("3=0", setting, error));
    EXPECT_EQ(setting.name, "3");
}

TEST(ParameterSettingParsing, RefusesValuesOutsideZeroToOneAndMissingParts) {
    ParameterSetting setting;
    std::string error;
    for (const char* text : {"Gain", "=0.5", " =0.5", "Gain=", "Gain=1.01", "Gain=-0.1", "Gain=nan",
                             "Gain=0.5x", "Gain=1e999"}) {
        EXPECT_FALSE(parseParameterSetting(text, setting, error)) << text;
        EXPECT_NE(error.find(text), std::string::npos) << error;
    }
}

TEST(SampleFormatOption, AcceptsTheDocumentedSpellingsOnly) {
    WavSampleFormat format = WavSampleFormat::Float32;
    EXPECT_TRUE(parseSampleFormat("16", format));
    EXPECT_EQ(format, WavSampleFormat::Pcm16);
    EXPECT_TRUE(parseSampleFormat("pcm24", format));
    EXPECT_EQ(format, WavSampleFormat::Pcm24);
    EXPECT_TRUE(parseSampleFormat("float", format));
    EXPECT_EQ(format, WavSampleFormat::Float32);
    EXPECT_FALSE(parseSampleFormat("8", format));
}

namespace {

// Feeds blocks of a constant level to the rule until it stops; returns the frames rendered.
int64_t runTail(TailRule& tail, int32_t blockSize, float level, int64_t loudFrames) {
    std::vector<float> left(static_cast<size_t>(blockSize)), right(left.size());
    float* channels[2] = {left.data(), right.data()};
    int64_t rendered = 0;
    while (int32_t frames = tail.nextBlockFrames(blockSize)) {
        EXPECT_LE(frames, blockSize);
        for (int32_t i = 0; i < frames; ++i) {
            left[static_cast<size_t>(i)] = 0.0f;
            right[static_cast<size_t>(i)] = rendered + i < loudFrames ? level : 0.0f;
        }
        tail.observe(channels, 2, frames);
        rendered += frames;
    }
    return rendered;
}

} // namespace

TEST(TailRuleTest, FixedTailRendersExactlyItsLength) {
    TailRule tail(0.25, 1000);
    EXPECT_EQ(runTail(tail, 64, 1.0f, 1 << 30), 250);
    TailRule none(0.0, 1000);
    EXPECT_EQ(none.nextBlockFrames(64), 0);
}

TEST(TailRuleTest, AutomaticTailStopsAfterHalfASecondBelowMinus90dB) {
    // Sound in the right channel only until frame 700, then silence: the rule needs 500 quiet
    // frames, checked at block boundaries.
    TailRule tail(-1.0, 1000);
    EXPECT_EQ(runTail(tail, 100, 0.01f, 700), 1200);
    // -91 dBFS counts as quiet from the start; -89 dBFS keeps the tail going to 30 s.
    TailRule quiet(-1.0, 1000);
    EXPECT_EQ(runTail(quiet, 100, 2.8e-5f, 1 << 30), 500);
    TailRule loud(-1.0, 1000);
    EXPECT_EQ(runTail(loud, 128, 3.6e-5f, 1 << 30), 30000);
    TailRule broken(-1.0, 1000);
    EXPECT_EQ(runTail(broken, 100, std::numeric_limits<float>::quiet_NaN(), 1 << 30), 30000);
}

namespace {

// At 1000 Hz with 500 ticks per quarter at 120 BPM, a tick is exactly one sample.
MidiFile oneTickPerSample(std::vector<int64_t> ticks) {
    MidiFile file;
    file.ticksPerQuarter = 500;
    for (int64_t tick : ticks)
        file.events.push_back({tick, {0x90, static_cast<uint8_t>(tick % 128), 100}});
    file.endTick = ticks.empty() ? 0 : ticks.back();
    return file;
}

std::vector<int32_t> deltas(const std::vector<MidiEventRecord>& records) {
    std::vector<int32_t> result;
    for (const auto& record : records) {
        EXPECT_EQ(record.type, kMidiEventType);
        EXPECT_EQ(record.byteSize, static_cast<int32_t>(sizeof(MidiEventRecord)));
        result.push_back(record.deltaFrames);
    }
    return result;
}

} // namespace

TEST(MidiScheduleTest, EventsReachTheBlockTheyFallIntoWithExactDeltaFrames) {
    MidiSchedule schedule(oneTickPerSample({0, 63, 64, 64, 200, 255}), 1000);
    EXPECT_EQ(schedule.lengthSamples(), 256);
    std::vector<MidiEventRecord> records;
    schedule.takeBlock(0, 64, records);
    EXPECT_EQ(deltas(records), (std::vector<int32_t>{0, 63}));
    EXPECT_EQ(records[1].midiData[1], 63);
    schedule.takeBlock(64, 64, records);
    EXPECT_EQ(deltas(records), (std::vector<int32_t>{0, 0}));
    schedule.takeBlock(128, 64, records);
    EXPECT_TRUE(records.empty());
    schedule.takeBlock(192, 50, records); // a short block
    EXPECT_EQ(deltas(records), (std::vector<int32_t>{8}));
    schedule.takeBlock(242, 64, records);
    EXPECT_EQ(deltas(records), (std::vector<int32_t>{13}));
    EXPECT_EQ(records[0].midiData[0], 0x90);
    EXPECT_EQ(records[0].midiData[2], 100);
}

TEST(MidiScheduleTest, TempoAndLengthFollowTheFile) {
    MidiFile file = oneTickPerSample({10});
    file.tempos = {{100, 250000}}; // 240 BPM from tick 100 (sample 100)
    file.endTick = 300;            // the end of the last track lies after the last event
    MidiSchedule schedule(file, 1000);
    EXPECT_DOUBLE_EQ(schedule.tempoAt(0), 120.0);
    EXPECT_DOUBLE_EQ(schedule.tempoAt(99), 120.0);
    EXPECT_DOUBLE_EQ(schedule.tempoAt(100), 240.0);
    EXPECT_EQ(schedule.lengthSamples(), 200); // 100 ticks of 1 sample, 200 ticks of half a one
}

TEST(RenderSummary, ReportsLengthFormatPeakAndSpeed) {
    WavAudio audio;
    audio.sampleRate = 44100;
    audio.channels.assign(2, std::vector<float>(88200));
    EXPECT_EQ(
        summaryLine("out.wav", audio, WavSampleFormat::Float32, 0.5f, 0.01),
        "out.wav: 2.00 s, 2 channels, 44100 Hz, 32-bit float; peak -6.0 dBFS; 200x real time");
    audio.channels.resize(1);
    EXPECT_EQ(summaryLine("m.wav", audio, WavSampleFormat::Pcm24, 0.0f, 4.0),
              "m.wav: 2.00 s, 1 channel, 44100 Hz, 24-bit PCM; peak -inf dBFS; 0.5x real time");
}

TEST(RenderResultTest, AppendsTheKeptChannelsAndTracksThePeak) {
    RenderResult result;
    result.audio.channels.resize(2);
    float a[3] = {0.1f, -0.7f, 0.2f}, b[3] = {0.0f, 0.3f, std::numeric_limits<float>::quiet_NaN()},
          c[3] = {5.0f, 5.0f, 5.0f};
    result.append({a, b, c}, 3); // the third channel is not kept
    result.append({a, b, c}, 1);
    EXPECT_EQ(result.audio.channels[0], (std::vector<float>{0.1f, -0.7f, 0.2f, 0.1f}));
    EXPECT_EQ(result.audio.channels[1].size(), 4u);
    EXPECT_EQ(result.peak, 0.7f);
}
