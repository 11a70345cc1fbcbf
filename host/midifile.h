// Standard MIDI Files for qxahost: a bounds-checked reader of format 0 and 1 files. Tracks are
// merged in time order; channel messages are kept (running status resolved; SysEx and meta
// events cancel it), the tempo map is kept, SysEx and other meta events are skipped. Host-side
// only; allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One channel message at its tick: status byte and up to two data bytes (unused bytes 0).
struct MidiFileEvent {
    int64_t tick = 0;
    uint8_t bytes[3] = {0, 0, 0};
};

struct MidiTempoChange {
    int64_t tick = 0;
    uint32_t microsecondsPerQuarter = 500000;
};

class MidiFile {
public:
    int format = 0;
    int trackCount = 0;
    // Ticks per quarter note, or for SMPTE timing ticks per frame with framesPerSecond set.
    int ticksPerQuarter = 480;
    int framesPerSecond = 0; // 24, 25, 29 (29.97 drop-frame) or 30; 0 = metrical timing
    int ticksPerFrame = 0;
    std::vector<MidiFileEvent> events;   // all tracks, ordered by tick, then track, then file order
    std::vector<MidiTempoChange> tempos; // ordered the same way
    int64_t endTick = 0; // the latest tick of any track, end-of-track events included

    // Sample position of `tick` at `sampleRate`, rounded to the nearest sample, following the
    // tempo map (120 BPM until the first tempo event). Exact integer arithmetic; saturates at
    // kMaxSamplePosition for absurd inputs.
    int64_t tickToSample(int64_t tick, uint32_t sampleRate) const;
    // Sample positions of all `events`, in their order, at `sampleRate`; one pass over the
    // tempo map, so linear in the events and tempo changes together.
    std::vector<int64_t> eventSamples(uint32_t sampleRate) const;
    // Sample positions of all `tempos`, in their order; one pass as above.
    std::vector<int64_t> tempoSamples(uint32_t sampleRate) const;
    // Tempo in effect at `tick`, in beats per minute (a binary search of the tempo map).
    double tempoAt(int64_t tick) const;

    static constexpr int64_t kMaxSamplePosition = int64_t(1) << 62;
};

// Decodes a whole Standard MIDI File held in memory. On failure returns false and sets `error`
// to a one-line message ("truncated: ...", "malformed: ...", "unsupported: ..."). Never reads
// outside [data, data + size).
bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& file, std::string& error);

// Reads and decodes the file at `path`; errors as parseMidiFile, plus "cannot open ...".
bool readMidiFile(const std::string& path, MidiFile& file, std::string& error);
