// Feeds arbitrary bytes to the WAV reader; a crash, a sanitizer report or an over-read is a bug,
// and so is a broken promise of wavfile.h, which each check below names.
#include "wavfile.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WavAudio audio;
    std::string error;
    const bool ok = parseWav(data, size, audio, error);
    // Either decoded audio or a one-line reason, never both nor neither.
    if (ok != error.empty()) std::abort();
    if (!ok) {
        if (error.find('\n') != std::string::npos) std::abort();
        return 0;
    }
    if (audio.channels.empty() || audio.channels.size() > 2) std::abort();
    for (const auto& channel : audio.channels)
        if (channel.size() != audio.frameCount()) std::abort();
    // What was read must write and read back the same, sample for sample (bit for bit, so that
    // NaN compares too).
    std::vector<uint8_t> bytes;
    if (!encodeWav(audio, WavSampleFormat::Float32, bytes, error)) std::abort();
    WavAudio again;
    if (!parseWav(bytes.data(), bytes.size(), again, error)) std::abort();
    if (again.sampleRate != audio.sampleRate || again.channels.size() != audio.channels.size())
        std::abort();
    for (size_t c = 0; c < audio.channels.size(); ++c) {
        const auto& before = audio.channels[c];
        const auto& after = again.channels[c];
        if (after.size() != before.size()) std::abort();
        if (!before.empty() &&
            std::memcmp(after.data(), before.data(), before.size() * sizeof(float)) != 0)
            std::abort();
    }
    return 0;
}
