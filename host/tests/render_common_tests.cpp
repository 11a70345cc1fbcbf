#include "render_common.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

TEST(ParameterSettingParsing, PlainNumbersFromZeroToOneAreNormalisedAnythingElseIsTyped) {
    struct Case {
        const char* text;
        const char* name;
        const char* valueText;
        bool normalised;
        float value;
    };
    const Case cases[] = {
        {"  Delay 1 =  0.25 ", "Delay 1", "0.25", true, 0.25f},
        {"a=b=1", "a=b", "1", true, 1.0f},
        {"3=0", "3", "0", true, 0.0f},
        {"Volume 2=-6 dB", "Volume 2", "-6 dB", false, 0.0f},
        {"Gain=1.01", "Gain", "1.01", false, 0.0f},
        {"Gain=-0.1", "Gain", "-0.1", false, 0.0f},
        {"Gain=nan", "Gain", "nan", false, 0.0f},
        {"Gain=0x0.8", "Gain", "0x0.8", false, 0.0f},
        {"Gain=1e999", "Gain", "1e999", false, 0.0f},
    };
    for (const Case& c : cases) {
        ParameterSetting setting;
        std::string error;
        ASSERT_TRUE(parseParameterSetting(c.text, setting, error)) << c.text << ": " << error;
        EXPECT_EQ(setting.name, c.name) << c.text;
        EXPECT_EQ(setting.valueText, c.valueText) << c.text;
        EXPECT_EQ(setting.isNormalised, c.normalised) << c.text;
        if (c.normalised) {
            EXPECT_EQ(setting.value, c.value) << c.text;
        }
    }
    for (const char* text : {"Gain", "=0.5", " =0.5", "Gain=", "Gain=  "}) {
        ParameterSetting setting;
        std::string error;
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

TEST(ChannelListParsing, ChannelsAndRangesFromOneToSixteen) {
    struct Case {
        const char* text;
        uint16_t mask;
    };
    const Case cases[] = {
        {"1-9,11-16", 0xFDFF}, // all but the General MIDI drums
        {"10", 0x0200},        {" 1 , 3 - 4 ", 0x000D}, {"16-16", 0x8000},
        {"1-16", 0xFFFF},      {"2,2,1-3", 0x0007},     {"01", 0x0001},
    };
    for (const auto& c : cases) {
        uint16_t mask = 0;
        std::string error;
        EXPECT_TRUE(parseChannelList(c.text, mask, error)) << c.text << ": " << error;
        EXPECT_EQ(mask, c.mask) << c.text;
    }
}

TEST(ChannelListParsing, RefusesAnythingElseQuotingTheText) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"", "an empty item"},
        {" ", "an empty item"},
        {"1,", "an empty item"},
        {",2", "an empty item"},
        {"0", "channel 0 is not"},
        {"17", "channel 17 is not"},
        {"3-17", "channel 17 is not"},
        {"9-1", "the range '9-1' runs backwards"},
        {"x", "'x' is not a channel"},
        {"1-", "'1-' is not a channel"},
        {"-3", "'-3' is not a channel"},
        {"1-9-11", "'1-9-11' is not a channel"},
        {"100", "'100' is not a channel"},
        {"1 0", "'1 0' is not a channel"},
        {"+1", "'+1' is not a channel"},
        {"1;2", "'1;2' is not a channel"},
    };
    for (const auto& c : cases) {
        uint16_t mask = 0x1234;
        std::string error;
        EXPECT_FALSE(parseChannelList(c.text, mask, error)) << c.text;
        EXPECT_EQ(error.rfind(std::string("--channels '") + c.text + "': ", 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(mask, 0x1234) << c.text;
    }
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

TEST(MidiScheduleTest, PlaysOnlyTheListedChannelsUntilTheTracksEnd) {
    MidiFile file = oneTickPerSample({});
    for (const auto& [tick, status] : std::vector<std::pair<int64_t, uint8_t>>{
             {0, 0x90}, {5, 0x99}, {6, 0xC9}, {7, 0xBF}, {8, 0x80}, {300, 0x89}})
        file.events.push_back({tick, {status, 60, 1}});
    file.endTick = 300;
    uint16_t allButDrums = 0;
    std::string error;
    ASSERT_TRUE(parseChannelList("1-9,11-16", allButDrums, error));
    MidiSchedule schedule(file, 1000, allButDrums);
    ASSERT_EQ(schedule.events().size(), 3u);
    EXPECT_EQ(schedule.events()[0].bytes[0], 0x90);
    EXPECT_EQ(schedule.events()[1].bytes[0], 0xBF);
    EXPECT_EQ(schedule.events()[2].bytes[0], 0x80);
    EXPECT_EQ(schedule.lengthSamples(), 300); // the end of the tracks
    const MidiSchedule everything(file, 1000);
    EXPECT_EQ(everything.events().size(), 6u);
    EXPECT_EQ(everything.lengthSamples(), 301); // the drums' last note falls inside the song
}

TEST(MidiScheduleTest, AHundredThousandTempoChangesArePlacedInOnePass) {
    // 500 ticks per quarter at 1000 Hz, the tempo alternating between 120 and 240 BPM at every
    // tick: a tick lasts one sample, then half a sample, so tick 4k falls on sample 3k at 120 BPM
    // and tick 4k + 1 on sample 3k + 1 at 240 BPM.
    MidiFile file = oneTickPerSample({0, 100000});
    for (int64_t tick = 0; tick < 100000; ++tick)
        file.tempos.push_back({tick, tick % 2 == 0 ? 500000u : 250000u});
    MidiSchedule schedule(file, 1000);
    EXPECT_EQ(schedule.lengthSamples(), 75001);
    EXPECT_EQ(schedule.events().back().sample, 75000);
    for (int64_t k : {0, 1, 2, 1000, 24999}) {
        EXPECT_DOUBLE_EQ(schedule.tempoAt(3 * k), 120.0) << k;
        EXPECT_DOUBLE_EQ(schedule.tempoAt(3 * k + 1), 240.0) << k;
    }
    EXPECT_DOUBLE_EQ(schedule.tempoAt(1 << 30), 240.0);
}

TEST(RenderSummary, ReportsLengthFormatLevelsSpeedAndNotes) {
    WavAudio audio;
    audio.sampleRate = 44100;
    audio.channels.assign(2, std::vector<float>(88200));
    LevelReport levels;
    levels.peak = 0.5f;
    EXPECT_EQ(
        summaryLine("out.wav", audio, WavSampleFormat::Float32, levels, 0.01),
        "out.wav: 2.00 s, 2 channels, 44100 Hz, 32-bit float; peak -6.0 dBFS; 200x real time");
    audio.channels.resize(1);
    levels = {0.0f, 0, 0.0, false};
    EXPECT_EQ(summaryLine("-", audio, WavSampleFormat::Pcm24, levels, 4.0,
                          {{"tail cut at 30 s", "unused"}}),
              "(stdout): 2.00 s, 1 channel, 44100 Hz, 24-bit PCM; peak -inf dBFS, 0 samples "
              "clipped; 0.5x real time; tail cut at 30 s");
    levels = {1.5f, 176, -3.25, true};
    EXPECT_EQ(summaryLine("x.wav", audio, WavSampleFormat::Pcm16, levels, 4.0),
              "x.wav: 2.00 s, 1 channel, 44100 Hz, 16-bit PCM, dithered; gain -3.2 dB; peak 3.5 "
              "dBFS, 176 samples clipped; 0.5x real time");
}

// A chord that goes past full scale: what --format 16 writes with and without --normalize,
// dither and gain, read back as a player would.
TEST(OutputLevels, NormalizeGainDitherAndTheClippedCount) {
    WavAudio loud;
    loud.sampleRate = 8000;
    loud.channels.assign(2, std::vector<float>(4000));
    for (size_t i = 0; i < 4000; ++i) {
        loud.channels[0][i] = 1.32f * std::sin(0.031f * static_cast<float>(i)); // +2.4 dBFS
        loud.channels[1][i] = 0.0f;
    }
    const auto written = [&](const LevelOptions& options, LevelReport& report) {
        WavAudio audio = loud;
        report = applyOutputLevels(audio, WavSampleFormat::Pcm16, options);
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(encodeWav(audio, WavSampleFormat::Pcm16, bytes, error)) << error;
        WavAudio back;
        EXPECT_TRUE(parseWav(bytes.data(), bytes.size(), back, error)) << error;
        return back;
    };
    const auto atFullScale = [](const WavAudio& audio) {
        int64_t count = 0;
        for (const auto& channel : audio.channels)
            for (const float sample : channel)
                count += sample >= 32767.0f / 32768.0f || sample <= -1.0f;
        return count;
    };
    LevelReport report;
    const WavAudio clipped = written(LevelOptions{}, report);
    EXPECT_GT(report.overFull, 400);
    EXPECT_EQ(atFullScale(clipped), report.overFull);
    EXPECT_TRUE(report.dithered);

    LevelOptions normalize;
    normalize.normalize = true;
    const WavAudio normalized = written(normalize, report);
    EXPECT_EQ(report.overFull, 0);
    EXPECT_EQ(atFullScale(normalized), 0);
    EXPECT_NEAR(20.0 * std::log10(peakOf(normalized)), -1.0, 0.01);
    EXPECT_NEAR(report.gainDecibels, -1.0 - 20.0 * std::log10(1.32), 0.01);
    // Dither is one least significant bit either side, on silence too, and seeded: the same
    // render gives the same file.
    float ditherPeak = 0.0f;
    for (const float sample : normalized.channels[1])
        ditherPeak = std::max(ditherPeak, std::fabs(sample));
    EXPECT_EQ(ditherPeak, 1.0f / 32768.0f);
    EXPECT_EQ(written(normalize, report).channels, normalized.channels);

    normalize.dither = false;
    normalize.gainDecibels = 0.0;
    EXPECT_EQ(written(normalize, report).channels[1], std::vector<float>(4000, 0.0f));
    EXPECT_FALSE(report.dithered);

    LevelOptions gain;
    gain.gainDecibels = -6.0;
    gain.dither = false;
    const WavAudio quieter = written(gain, report);
    EXPECT_EQ(report.overFull, 0);
    EXPECT_NEAR(peakOf(quieter), 1.32f * 0.501187f, 1.0f / 32768.0f);
}

TEST(RenderResultTest, AppendsTheKeptChannels) {
    RenderResult result;
    result.audio.channels.resize(2);
    float a[3] = {0.1f, -0.7f, 0.2f}, b[3] = {0.0f, 0.3f, std::numeric_limits<float>::quiet_NaN()},
          c[3] = {5.0f, 5.0f, 5.0f};
    result.append({a, b, c}, 3); // the third channel is not kept
    result.append({a, b, c}, 1);
    EXPECT_EQ(result.audio.channels[0], (std::vector<float>{0.1f, -0.7f, 0.2f, 0.1f}));
    EXPECT_EQ(result.audio.channels[1].size(), 4u);
    EXPECT_EQ(peakOf(result.audio), 0.7f);
}
