// Feeds arbitrary bytes to the Standard MIDI File reader and converts the result to sample
// positions; a crash, a sanitizer report or an over-read is a bug.
#include "midifile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MidiFile file;
    std::string error;
    if (!parseMidiFile(data, size, file, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    const std::vector<int64_t> positions = file.eventSamples(44100);
    for (size_t i = 0; i < positions.size(); ++i) {
        if (positions[i] < 0 || positions[i] > MidiFile::kMaxSamplePosition) std::abort();
        if (i > 0 && positions[i] < positions[i - 1]) std::abort(); // time never runs backwards
        if ((file.events[i].bytes[0] & 0x80) == 0 || file.events[i].bytes[0] >= 0xF0) std::abort();
    }
    file.tickToSample(file.endTick, 192000);
    return 0;
}
