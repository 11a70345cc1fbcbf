#include "midifile.h"
#include "test_files.h"

#include <gtest/gtest.h>

using namespace testfiles;
using Bytes = std::vector<uint8_t>;

namespace {

MidiFile decodeSmf(const Bytes& bytes) {
    MidiFile file;
    std::string error;
    EXPECT_TRUE(parseMidiFile(bytes.data(), bytes.size(), file, error)) << error;
    return file;
}

std::string smfRefusal(const Bytes& bytes) {
    MidiFile file;
    std::string error;
    EXPECT_FALSE(parseMidiFile(bytes.data(), bytes.size(), file, error));
    return error;
}

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes track(Bytes body, bool terminate = true) {
    if (terminate) body.insert(body.end(), kEndOfTrack.begin(), kEndOfTrack.end());
    return body;
}

Bytes tempoEvent(uint8_t delta, uint32_t microsPerQuarter) {
    return {delta,
            0xFF,
            0x51,
            0x03,
            static_cast<uint8_t>(microsPerQuarter >> 16),
            static_cast<uint8_t>(microsPerQuarter >> 8),
            static_cast<uint8_t>(microsPerQuarter)};
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

} // namespace

TEST(MidiFileReading, RunningStatusAndMessageLengths) {
    // Note-on with status, a second note under running status, program change and channel
    // pressure (one data byte each, the second under running status), pitch bend.
    const MidiFile file = decodeSmf(
        smfImage(0, 96, {track({0x00, 0x91, 60, 100,  0x10, 64,   90,   0x00, 0xC1, 5,  0x00, 6,
                                0x05, 0xD1, 33, 0x00, 0xE1, 0x00, 0x40, 0x00, 0x81, 60, 0})}));
    ASSERT_EQ(file.events.size(), 7u);
    const uint8_t expected[7][3] = {{0x91, 60, 100}, {0x91, 64, 90},  {0xC1, 5, 0}, {0xC1, 6, 0},
                                    {0xD1, 33, 0},   {0xE1, 0, 0x40}, {0x81, 60, 0}};
    const int64_t ticks[7] = {0, 16, 16, 16, 21, 21, 21};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(file.events[i].tick, ticks[i]) << i;
        EXPECT_EQ(Bytes(file.events[i].bytes, file.events[i].bytes + 3),
                  Bytes(expected[i], expected[i] + 3))
            << i;
    }
}

TEST(MidiFileReading, SkipsSysExAndMetaEventsButKeepsTheirTime) {
    const MidiFile file =
        decodeSmf(smfImage(0, 96, {track({0x00, 0x90, 60,   100,              // note on
                                          0x05, 0xF0, 0x03, 0x7E, 0x09, 0xF7, // SysEx
                                          0x05, 0xFF, 0x03, 0x02, 'h',  'i',  // track name
                                          0x05, 0x90, 64,   0})}));           // note 64 off
    ASSERT_EQ(file.events.size(), 2u);
    EXPECT_EQ(file.events[1].tick, 15);
    EXPECT_EQ(file.events[1].bytes[1], 64);
    EXPECT_EQ(file.endTick, 15);
}

TEST(MidiFileReading, SysExAndMetaEventsCancelRunningStatus) {
    // A data byte right after a SysEx (F0 or F7) or meta event has no status to run on.
    const Bytes interruptions[] = {{0x00, 0xF0, 0x01, 0xF7},
                                   {0x00, 0xF7, 0x02, 0x43, 0x12},
                                   {0x00, 0xFF, 0x01, 0x01, 'x'},
                                   tempoEvent(0, 400000)};
    for (const Bytes& interruption : interruptions) {
        const Bytes body = concat({{0x00, 0x91, 60, 100}, interruption, {0x00, 62, 100}});
        EXPECT_EQ(smfRefusal(smfImage(0, 96, {track(body)})),
                  "track 1: malformed: data byte 0x3E without a status byte")
            << int(interruption[1]);
    }
    // A new status byte after the meta event runs again.
    const MidiFile file =
        decodeSmf(smfImage(0, 96,
                           {track(concat({{0x00, 0x91, 60, 100},
                                          tempoEvent(0, 400000),
                                          {0x00, 0x92, 62, 100, 0x00, 64, 100}}))}));
    ASSERT_EQ(file.events.size(), 3u);
    EXPECT_EQ(file.events[2].bytes[0], 0x92);
    EXPECT_EQ(file.events[2].bytes[1], 64);
}

TEST(MidiFileReading, Format1TracksMergeByTimeThenTrackOrder) {
    const MidiFile file = decodeSmf(smfImage(
        1, 480,
        {track(tempoEvent(0, 400000)),
         track({0x00, 0x90, 1, 1, 0x0A, 0x90, 3, 1}),                      // ticks 0 and 10
         track({0x05, 0x91, 2, 1, 0x05, 0x91, 4, 1, 0x20, 0x91, 5, 1})})); // ticks 5, 10, 42
    ASSERT_EQ(file.events.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(file.events[static_cast<size_t>(i)].bytes[1], i + 1);
    EXPECT_EQ(file.endTick, 42);
    EXPECT_EQ(file.tempos.size(), 1u);
}

TEST(MidiFileTiming, TempoChangesGiveExactSamplePositions) {
    // 480 ticks per quarter; 120 BPM, then 60 BPM from tick 960, then 240 BPM from tick 1440.
    MidiFile manual;
    manual.ticksPerQuarter = 480;
    manual.tempos = {{0, 500000}, {960, 1000000}, {1440, 250000}};
    EXPECT_EQ(manual.tickToSample(960, 44100), 44100);  // two quarters at 120 BPM
    EXPECT_EQ(manual.tickToSample(1440, 44100), 88200); // plus one quarter at 60 BPM
    EXPECT_EQ(manual.tickToSample(1920, 44100), 99225); // plus one quarter at 240 BPM
    EXPECT_EQ(manual.tickToSample(1, 48000), 50);       // 1/480 of half a second
    EXPECT_DOUBLE_EQ(manual.tempoAt(959), 120.0);
    EXPECT_DOUBLE_EQ(manual.tempoAt(960), 60.0);
    // Rounded to the nearest sample: 96 ticks per quarter, one tick = 229.6875 samples.
    MidiFile coarse;
    coarse.ticksPerQuarter = 96;
    EXPECT_EQ(coarse.tickToSample(1, 44100), 230);
    EXPECT_EQ(coarse.tickToSample(2, 44100), 459);
    // One pass over all events, or all tempo changes, agrees with one conversion at a time.
    manual.events = {{100, {}}, {1000, {}}, {1500, {}}, {1500, {}}, {5000, {}}};
    const std::vector<int64_t> positions = manual.eventSamples(44100);
    for (size_t i = 0; i < manual.events.size(); ++i)
        EXPECT_EQ(positions[i], manual.tickToSample(manual.events[i].tick, 44100)) << i;
    EXPECT_EQ(manual.tempoSamples(44100), (std::vector<int64_t>{0, 44100, 88200}));
}

TEST(MidiFileTiming, AHundredThousandTempoChangesConvertInOnePass) {
    // 500 ticks per quarter at 1000 Hz: a tick lasts one sample at 120 BPM and half a sample at
    // 240 BPM. The tempo alternates at every tick, so tick 2k falls on sample 1.5k exactly.
    MidiFile file;
    file.ticksPerQuarter = 500;
    for (int64_t tick = 0; tick < 100000; ++tick) {
        file.tempos.push_back({tick, tick % 2 == 0 ? 500000u : 250000u});
        if (tick % 1000 == 0) file.events.push_back({tick, {0x90, 60, 1}});
    }
    const std::vector<int64_t> positions = file.eventSamples(1000);
    ASSERT_EQ(positions.size(), 100u);
    for (size_t i = 0; i < positions.size(); ++i)
        EXPECT_EQ(positions[i], static_cast<int64_t>(i) * 750) << i;
    const std::vector<int64_t> tempoPositions = file.tempoSamples(1000);
    ASSERT_EQ(tempoPositions.size(), 100000u);
    EXPECT_EQ(tempoPositions[99996], 74997);
    EXPECT_EQ(tempoPositions[99997], 74998); // a 120 BPM tick after tick 99996
    EXPECT_DOUBLE_EQ(file.tempoAt(99998), 120.0);
    EXPECT_DOUBLE_EQ(file.tempoAt(99999), 240.0);
    EXPECT_DOUBLE_EQ(file.tempoAt(1 << 30), 240.0);
}

TEST(MidiFileTiming, TempoEventsOfAnyTrackFormTheTempoMap) {
    const MidiFile file = decodeSmf(smfImage(
        1, 480,
        {track({0x00, 0x90, 60, 1, 0x8F, 0x00, 0x80, 60, 0}), // note off at tick 1920
         track(concat({tempoEvent(0, 500000),
                       tempoEvent(0x00, 500000),
                       {0x87, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}}))})); // 60 BPM at 960
    ASSERT_EQ(file.tempos.size(), 3u);
    EXPECT_EQ(file.tickToSample(file.events[1].tick, 1000), 3000); // 1 s + two quarters at 1 s
}

TEST(MidiFileTiming, SmpteDivisionCountsTicksPerSecond) {
    MidiFile file = decodeSmf(
        smfImage(0, static_cast<uint16_t>((0x100 - 25) << 8 | 40), {track({0x00, 0x90, 60, 1})}));
    EXPECT_EQ(file.framesPerSecond, 25);
    EXPECT_EQ(file.tickToSample(1000, 44100), 44100);
    file.tempos = {{0, 250000}}; // tempo events do not change SMPTE time
    EXPECT_EQ(file.tickToSample(500, 48000), 24000);
    file.framesPerSecond = 29; // 29.97 drop-frame
    file.ticksPerFrame = 100;
    EXPECT_EQ(file.tickToSample(2997, 48000), 48000);
}

TEST(MidiFileReading, EveryCutOfAFileIsRefusedAsTruncated) {
    const Bytes bytes = smfImage(
        1, 96,
        {track(tempoEvent(0, 600000)), track({0x00, 0x90, 60, 100, 0x81, 0x00, 0x80, 60, 0})});
    for (size_t size = 4; size < bytes.size(); ++size) {
        Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
        const std::string error = smfRefusal(cut);
        EXPECT_NE(error.find("truncated"), std::string::npos) << "cut at " << size << ": " << error;
    }
}

TEST(MidiFileReading, RefusesMalformedAndUnsupportedFilesWithTheReason) {
    struct Case {
        Bytes bytes;
        const char* message;
    };
    const Case cases[] = {
        {{}, "not a MIDI file: the file is empty"},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0}, "not a MIDI file: no MThd header"},
        {smfImage(2, 96, {track({})}), "unsupported: format 2"},
        {smfImage(3, 96, {track({})}), "malformed: unknown format 3"},
        {smfImage(0, 0, {track({})}), "malformed: 0 ticks per quarter note"},
        {smfImage(0, 96, {}), "malformed: the header declares no tracks"},
        {smfImage(0, 96, {track({0x00, 60, 100})}), "track 1: malformed: data byte 0x3C without"},
        {smfImage(0, 96, {track({0x00, 0x90, 0x90, 100})}), "track 1: malformed: status 0x90"},
        {smfImage(0, 96, {track({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1})}),
         "track 1: malformed: delta time longer than four bytes"},
        {smfImage(0, 96, {track(tempoEvent(0, 0))}), "track 1: malformed: a tempo of 0"},
        {smfImage(0, 96, {track({0x00, 0xF3, 1})}), "track 1: malformed: system message 0xF3"},
        {smfImage(1, 96, {track({}), track({0x00, 0xFF, 0x51, 0x02, 0, 0})}),
         "track 2: malformed: a tempo event with 2 bytes"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(smfRefusal(c.bytes).rfind(c.message, 0), 0u) << smfRefusal(c.bytes);
}

TEST(MidiFileReading, ForeignChunksAreSkippedAndMissingEndOfTrackIsTolerated) {
    Bytes bytes = smfImage(0, 96, {track({0x00, 0x90, 60, 1, 0x10, 0x80, 60, 0}, false)});
    // A foreign chunk between the header and the track.
    const Bytes foreign = {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 0xAB, 0xCD};
    bytes.insert(bytes.begin() + 14, foreign.begin(), foreign.end());
    const MidiFile file = decodeSmf(bytes);
    ASSERT_EQ(file.events.size(), 2u);
    EXPECT_EQ(file.endTick, 16);
}
