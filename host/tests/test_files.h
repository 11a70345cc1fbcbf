// Helpers for the file tests: byte builders for WAV and MIDI images and temporary paths.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace testfiles {

inline void putLE(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void putBE(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void putText(std::vector<uint8_t>& out, const char* text) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(text[i]));
}

// A canonical "fmt " chunk body of 16 bytes.
inline std::vector<uint8_t> formatBody(uint16_t tag, uint16_t channels, uint32_t rate,
                                       uint16_t bits) {
    std::vector<uint8_t> body;
    const uint32_t align = channels * (bits / 8u);
    putLE(body, tag, 2);
    putLE(body, channels, 2);
    putLE(body, rate, 4);
    putLE(body, rate * align, 4);
    putLE(body, align, 2);
    putLE(body, bits, 2);
    return body;
}

// A 40-byte WAVE_FORMAT_EXTENSIBLE "fmt " body with the given sub-format code.
inline std::vector<uint8_t> extensibleBody(uint16_t subFormat, uint16_t channels, uint32_t rate,
                                           uint16_t containerBits, uint16_t validBits) {
    std::vector<uint8_t> body = formatBody(0xFFFE, channels, rate, containerBits);
    putLE(body, 22, 2);
    putLE(body, validBits, 2);
    putLE(body, channels == 1 ? 4 : 3, 4);
    putLE(body, subFormat, 4);
    for (uint8_t b : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        body.push_back(b);
    return body;
}

struct Chunk {
    const char* id;
    std::vector<uint8_t> body;
};

// RIFF/WAVE image of the chunks in order, each padded to an even length.
inline std::vector<uint8_t> riffImage(const std::vector<Chunk>& chunks) {
    std::vector<uint8_t> out;
    putText(out, "RIFF");
    putLE(out, 0, 4);
    putText(out, "WAVE");
    for (const auto& chunk : chunks) {
        putText(out, chunk.id);
        putLE(out, chunk.body.size(), 4);
        out.insert(out.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.body.size() & 1) out.push_back(0);
    }
    const uint64_t riffSize = out.size() - 8;
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
    return out;
}

// Standard MIDI File image: header then one MTrk per track body.
inline std::vector<uint8_t> smfImage(uint16_t format, uint16_t division,
                                     const std::vector<std::vector<uint8_t>>& tracks) {
    std::vector<uint8_t> out;
    putText(out, "MThd");
    putBE(out, 6, 4);
    putBE(out, format, 2);
    putBE(out, tracks.size(), 2);
    putBE(out, division, 2);
    for (const auto& track : tracks) {
        putText(out, "MTrk");
        putBE(out, track.size(), 4);
        out.insert(out.end(), track.begin(), track.end());
    }
    return out;
}

// A scratch directory removed with the object.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                (name + "-" + std::to_string(std::random_device{}()) + "-" +
                 std::to_string(counter()++))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static int& counter() {
        static int value = 0;
        return value;
    }
    std::filesystem::path path_;
};

} // namespace testfiles
