// WAV files for qxahost: a bounds-checked reader of PCM 16/24/32-bit and IEEE float 32/64-bit
// files (plain or WAVE_FORMAT_EXTENSIBLE, mono or stereo) and a writer of 32-bit float or
// 16/24-bit PCM. Host-side only; everything here allocates and may run on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decoded audio: one vector of samples per channel, all of the same length.
struct WavAudio {
    uint32_t sampleRate = 44100;
    std::vector<std::vector<float>> channels;

    size_t frameCount() const { return channels.empty() ? 0 : channels[0].size(); }
};

enum class WavSampleFormat { Float32, Pcm16, Pcm24 };

// Decodes a whole WAV file held in memory. On failure returns false and sets `error` to a
// one-line message that says what is wrong ("truncated: ...", "malformed: ...",
// "unsupported: ..."). Never reads outside [data, data + size).
bool parseWav(const uint8_t* data, size_t size, WavAudio& audio, std::string& error);

// Reads and decodes the file at `path`; errors as parseWav, plus "cannot open ..." and
// "cannot read ...".
bool readWavFile(const std::string& path, WavAudio& audio, std::string& error);

// Encodes `audio` (one to 65535 channels of equal length) as a WAV file image. PCM samples
// are scaled by 2^(bits-1), rounded and clipped; NaN becomes 0. False with `error` when the
// audio does not fit a WAV file.
bool encodeWav(const WavAudio& audio, WavSampleFormat format, std::vector<uint8_t>& bytes,
               std::string& error);

// Encodes and writes `audio` to `path`, replacing any existing file.
bool writeWavFile(const std::string& path, const WavAudio& audio, WavSampleFormat format,
                  std::string& error);
