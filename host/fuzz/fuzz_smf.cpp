// Feeds arbitrary bytes to the Standard MIDI File reader and converts the result to sample
// positions; a crash, a sanitizer report or an over-read is a bug, and so is a broken promise
// of midifile.h, which each check below names.
#include "midifile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MidiFile file;
    std::string error;
    const bool ok = parseMidiFile(data, size, file, error);
    // Either a file or a one-line reason, never both nor neither.
    if (ok != error.empty()) std::abort();
    if (!ok) {
        if (error.find('\n') != std::string::npos) std::abort();
        return 0;
    }
    // Channel messages only, running status resolved, in time order within the file's length.
    for (size_t i = 0; i < file.events.size(); ++i) {
        const MidiFileEvent& event = file.events[i];
        if ((event.bytes[0] & 0x80) == 0 || event.bytes[0] >= 0xF0) std::abort();
        if ((event.bytes[1] & 0x80) != 0 || (event.bytes[2] & 0x80) != 0) std::abort();
        if (event.tick < 0 || event.tick > file.endTick) std::abort();
        if (i > 0 && event.tick < file.events[i - 1].tick) std::abort();
    }
    for (size_t i = 0; i < file.tempos.size(); ++i) {
        if (file.tempos[i].microsecondsPerQuarter == 0) std::abort();
        if (i > 0 && file.tempos[i].tick < file.tempos[i - 1].tick) std::abort();
    }
    const uint32_t rate = 44100;
    const std::vector<int64_t> positions = file.eventSamples(rate);
    if (positions.size() != file.events.size()) std::abort();
    for (size_t i = 0; i < positions.size(); ++i) {
        if (positions[i] < 0 || positions[i] > MidiFile::kMaxSamplePosition) std::abort();
        if (i > 0 && positions[i] < positions[i - 1]) std::abort(); // time never runs backwards
    }
    // The one-pass conversion agrees with converting one tick at a time.
    if (!positions.empty() && positions.back() != file.tickToSample(file.events.back().tick, rate))
        std::abort();
    const std::vector<int64_t> tempoPositions = file.tempoSamples(rate);
    if (tempoPositions.size() != file.tempos.size()) std::abort();
    if (!tempoPositions.empty() &&
        tempoPositions.back() != file.tickToSample(file.tempos.back().tick, rate))
        std::abort();
    const int64_t end = file.tickToSample(file.endTick, 192000);
    if (end < 0 || end > MidiFile::kMaxSamplePosition) std::abort();
    return 0;
}
