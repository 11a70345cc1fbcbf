// Feeds arbitrary bytes to the WAV reader; a crash, a sanitizer report or an over-read is a bug.
#include "wavfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WavAudio audio;
    std::string error;
    const bool ok = parseWav(data, size, audio, error);
    // Either decoded audio or a reason, never both nor neither.
    if (ok == !error.empty() && !ok) std::abort();
    if (ok) {
        if (audio.channels.empty() || audio.channels.size() > 2) std::abort();
        for (const auto& channel : audio.channels)
            if (channel.size() != audio.frameCount()) std::abort();
        // What was read must write and read back the same.
        std::vector<uint8_t> bytes;
        if (!encodeWav(audio, WavSampleFormat::Float32, bytes, error)) std::abort();
        WavAudio again;
        if (!parseWav(bytes.data(), bytes.size(), again, error)) std::abort();
        if (again.frameCount() != audio.frameCount()) std::abort();
    }
    return 0;
}
