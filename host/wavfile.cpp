#include "wavfile.h"

#include "file_io.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kMinSampleRate = 1000;
constexpr uint32_t kMaxSampleRate = 768000;
// Bytes 4..15 of the sub-format GUID shared by PCM and IEEE float in extensible files.
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t readU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A chunk id for messages: unprintable bytes shown as '?'.
std::string chunkName(const uint8_t* id) {
    std::string name(4, '?');
    for (int i = 0; i < 4; ++i)
        if (id[i] >= 0x20 && id[i] < 0x7F) name[i] = static_cast<char>(id[i]);
    return name;
}

std::string formatText(const char* format, unsigned long long a, unsigned long long b = 0,
                       unsigned long long c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

struct FormatChunk {
    uint16_t tag = 0; // PCM or float after resolving the extensible sub-format
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

bool parseFormat(const uint8_t* p, uint32_t length, FormatChunk& fmt, std::string& error) {
    if (length < 16) {
        error =
            formatText("malformed: the fmt chunk has %llu bytes, at least 16 are needed", length);
        return false;
    }
    fmt.tag = readU16(p);
    fmt.channels = readU16(p + 2);
    fmt.sampleRate = readU32(p + 4);
    fmt.blockAlign = readU16(p + 12);
    fmt.bits = readU16(p + 14);
    if (fmt.tag == kFormatExtensible) {
        if (length < 40 || readU16(p + 16) < 22) {
            error = "malformed: the extensible fmt chunk is too short";
            return false;
        }
        const uint16_t validBits = readU16(p + 18);
        const uint32_t subFormat = readU32(p + 24);
        if (std::memcmp(p + 28, kSubFormatTail, sizeof kSubFormatTail) != 0 ||
            (subFormat != kFormatPcm && subFormat != kFormatFloat)) {
            error = "unsupported: extensible sub-format other than PCM or IEEE float";
            return false;
        }
        if (validBits > fmt.bits) {
            error = formatText("malformed: %llu valid bits in a %llu-bit container", validBits,
                               fmt.bits);
            return false;
        }
        fmt.tag = static_cast<uint16_t>(subFormat);
    }
    if (fmt.tag != kFormatPcm && fmt.tag != kFormatFloat) {
        error = formatText("unsupported: format tag 0x%04llX (only PCM and IEEE float are read)",
                           fmt.tag);
        return false;
    }
    if (fmt.channels == 0) {
        error = "malformed: 0 channels";
        return false;
    }
    if (fmt.channels > 2) {
        error = formatText("unsupported: %llu channels (mono and stereo are read)", fmt.channels);
        return false;
    }
    if (fmt.sampleRate < kMinSampleRate || fmt.sampleRate > kMaxSampleRate) {
        error = formatText("unsupported: sample rate %llu Hz (%llu to %llu Hz are read)",
                           fmt.sampleRate, kMinSampleRate, kMaxSampleRate);
        return false;
    }
    const bool pcmOk =
        fmt.tag == kFormatPcm && (fmt.bits == 16 || fmt.bits == 24 || fmt.bits == 32);
    const bool floatOk = fmt.tag == kFormatFloat && (fmt.bits == 32 || fmt.bits == 64);
    if (!pcmOk && !floatOk) {
        error = formatText(fmt.tag == kFormatPcm
                               ? "unsupported: %llu-bit PCM (16, 24 and 32-bit are read)"
                               : "unsupported: %llu-bit float (32 and 64-bit are read)",
                           fmt.bits);
        return false;
    }
    if (fmt.blockAlign != fmt.channels * (fmt.bits / 8)) {
        error = formatText("malformed: block align %llu does not match %llu channels of %llu bits",
                           fmt.blockAlign, fmt.channels, fmt.bits);
        return false;
    }
    return true;
}

float decodeSample(const uint8_t* p, const FormatChunk& fmt) {
    if (fmt.tag == kFormatFloat) {
        if (fmt.bits == 32) {
            float value;
            std::memcpy(&value, p, sizeof value);
            return value;
        }
        double value;
        std::memcpy(&value, p, sizeof value);
        return static_cast<float>(value);
    }
    switch (fmt.bits) {
    case 16:
        return static_cast<float>(static_cast<int16_t>(readU16(p))) * (1.0f / 32768.0f);
    case 24: {
        const uint32_t raw = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                             (static_cast<uint32_t>(p[2]) << 16);
        const int32_t value = static_cast<int32_t>(raw << 8) >> 8; // sign-extend
        return static_cast<float>(value) * (1.0f / 8388608.0f);
    }
    default:
        return static_cast<float>(static_cast<double>(static_cast<int32_t>(readU32(p))) *
                                  (1.0 / 2147483648.0));
    }
}

void putU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

void putId(std::vector<uint8_t>& out, const char* id) {
    // Byte by byte: a range insert trips GCC 12's false -Wstringop-overflow under TSan.
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id[i]));
}

int32_t quantise(float sample, double scale, int32_t low, int32_t high) {
    if (std::isnan(sample)) return 0;
    const double scaled = std::nearbyint(static_cast<double>(sample) * scale);
    if (scaled <= low) return low;
    if (scaled >= high) return high;
    return static_cast<int32_t>(scaled);
}

} // namespace

bool parseWav(const uint8_t* data, size_t size, WavAudio& audio, std::string& error) {
    if (size == 0) {
        error = "not a WAV file: the file is empty";
        return false;
    }
    if (size < 12) {
        const bool riffPrefix = std::memcmp(data, "RIFF", size < 4 ? size : 4) == 0;
        error = riffPrefix ? "truncated: the RIFF header is incomplete"
                           : "not a WAV file: no RIFF header";
        return false;
    }
    if (std::memcmp(data, "RF64", 4) == 0) {
        error = "unsupported: RF64 files";
        return false;
    }
    if (std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        error = "not a WAV file: no RIFF/WAVE header";
        return false;
    }
    const uint64_t declaredEnd = static_cast<uint64_t>(readU32(data + 4)) + 8;

    FormatChunk fmt;
    bool haveFormat = false;
    const uint8_t* samples = nullptr;
    size_t sampleBytes = 0;
    size_t pos = 12;
    while (!(haveFormat && samples) && size - pos >= 8) {
        const uint8_t* id = data + pos;
        const uint32_t length = readU32(data + pos + 4);
        const size_t body = pos + 8;
        const size_t available = size - body;
        if (std::memcmp(id, "fmt ", 4) == 0 && !haveFormat) {
            if (length > available) {
                error = "truncated: the fmt chunk runs past the end of the file";
                return false;
            }
            if (!parseFormat(data + body, length, fmt, error)) return false;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0 && !samples) {
            if (length > available) {
                error =
                    formatText("truncated: the data chunk declares %llu bytes, %llu are present",
                               length, available);
                return false;
            }
            samples = data + body;
            sampleBytes = length;
        } else if (length > available) {
            error = "truncated: chunk '" + chunkName(id) + "' runs past the end of the file";
            return false;
        }
        // Chunks are padded to an even length; a missing pad byte at the very end is tolerated.
        const size_t next = static_cast<size_t>(length) + (length & 1u);
        if (next >= available) {
            pos = size;
            break;
        }
        pos = body + next;
    }
    if (!haveFormat || !samples) {
        const char* missing = !haveFormat ? "fmt" : "data";
        error = declaredEnd > size
                    ? std::string("truncated: the file ends before the ") + missing + " chunk"
                    : std::string("malformed: no ") + missing + " chunk";
        return false;
    }

    const size_t frames = sampleBytes / fmt.blockAlign; // a trailing partial frame is ignored
    const size_t bytesPerSample = fmt.bits / 8;
    audio.sampleRate = fmt.sampleRate;
    audio.channels.assign(fmt.channels, std::vector<float>(frames));
    for (size_t frame = 0; frame < frames; ++frame) {
        const uint8_t* p = samples + frame * fmt.blockAlign;
        for (size_t c = 0; c < fmt.channels; ++c)
            audio.channels[c][frame] = decodeSample(p + c * bytesPerSample, fmt);
    }
    return true;
}

bool readWavFile(const std::string& path, WavAudio& audio, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes, error)) return false;
    return parseWav(bytes.data(), bytes.size(), audio, error);
}

bool encodeWav(const WavAudio& audio, WavSampleFormat format, std::vector<uint8_t>& bytes,
               std::string& error) {
    const size_t channels = audio.channels.size();
    const size_t frames = audio.frameCount();
    if (channels == 0 || channels > 0xFFFF) {
        error = "cannot write a WAV file with " + std::to_string(channels) + " channels";
        return false;
    }
    for (const auto& channel : audio.channels) {
        if (channel.size() != frames) {
            error = "channels of different lengths";
            return false;
        }
    }
    const bool isFloat = format == WavSampleFormat::Float32;
    const uint32_t bits = format == WavSampleFormat::Pcm16   ? 16
                          : format == WavSampleFormat::Pcm24 ? 24
                                                             : 32;
    const uint64_t blockAlign = channels * (bits / 8);
    const uint64_t dataBytes = frames * blockAlign;
    const uint32_t formatBytes = isFloat ? 18 : 16;
    const uint64_t headerBytes = 12 + 8 + formatBytes + (isFloat ? 12 : 0) + 8;
    const uint64_t riffSize = headerBytes - 8 + dataBytes + (dataBytes & 1);
    if (riffSize > std::numeric_limits<uint32_t>::max() || blockAlign > 0xFFFF) {
        error = "too long for a WAV file (4 GB at most)";
        return false;
    }

    bytes.clear();
    bytes.reserve(static_cast<size_t>(riffSize + 8));
    putId(bytes, "RIFF");
    putU32(bytes, static_cast<uint32_t>(riffSize));
    putId(bytes, "WAVE");
    putId(bytes, "fmt ");
    putU32(bytes, formatBytes);
    putU16(bytes, isFloat ? kFormatFloat : kFormatPcm);
    putU16(bytes, static_cast<uint32_t>(channels));
    putU32(bytes, audio.sampleRate);
    putU32(bytes, static_cast<uint32_t>(audio.sampleRate * blockAlign));
    putU16(bytes, static_cast<uint32_t>(blockAlign));
    putU16(bytes, bits);
    if (isFloat) {
        putU16(bytes, 0); // no extension
        putId(bytes, "fact");
        putU32(bytes, 4);
        putU32(bytes, static_cast<uint32_t>(frames));
    }
    putId(bytes, "data");
    putU32(bytes, static_cast<uint32_t>(dataBytes));
    for (size_t frame = 0; frame < frames; ++frame) {
        for (size_t c = 0; c < channels; ++c) {
            const float sample = audio.channels[c][frame];
            switch (format) {
            case WavSampleFormat::Float32: {
                uint32_t word;
                std::memcpy(&word, &sample, sizeof word);
                putU32(bytes, word);
                break;
            }
            case WavSampleFormat::Pcm16:
                putU16(bytes, static_cast<uint32_t>(quantise(sample, 32768.0, -32768, 32767)));
                break;
            case WavSampleFormat::Pcm24: {
                const auto value =
                    static_cast<uint32_t>(quantise(sample, 8388608.0, -8388608, 8388607));
                bytes.push_back(static_cast<uint8_t>(value));
                bytes.push_back(static_cast<uint8_t>(value >> 8));
                bytes.push_back(static_cast<uint8_t>(value >> 16));
                break;
            }
            }
        }
    }
    if (dataBytes & 1) bytes.push_back(0);
    return true;
}

bool writeWavFile(const std::string& path, const WavAudio& audio, WavSampleFormat format,
                  std::string& error) {
    std::vector<uint8_t> bytes;
    if (!encodeWav(audio, format, bytes, error)) return false;
    return writeFileBytes(path, bytes, error);
}
