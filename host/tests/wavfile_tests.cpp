#include "test_files.h"
#include "wavfile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace testfiles;

namespace {

WavAudio stereoRamp(size_t frames) {
    WavAudio audio;
    audio.sampleRate = 48000;
    audio.channels.assign(2, std::vector<float>(frames));
    for (size_t i = 0; i < frames; ++i) {
        audio.channels[0][i] = static_cast<float>(i) / static_cast<float>(frames) - 0.5f;
        audio.channels[1][i] = -0.25f * static_cast<float>(i % 7) / 7.0f;
    }
    return audio;
}

WavAudio decode(const std::vector<uint8_t>& bytes) {
    WavAudio audio;
    std::string error;
    EXPECT_TRUE(parseWav(bytes.data(), bytes.size(), audio, error)) << error;
    return audio;
}

std::string refusal(const std::vector<uint8_t>& bytes) {
    WavAudio audio;
    std::string error;
    EXPECT_FALSE(parseWav(bytes.data(), bytes.size(), audio, error));
    return error;
}

std::vector<uint8_t> encode(const WavAudio& audio, WavSampleFormat format) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(encodeWav(audio, format, bytes, error)) << error;
    return bytes;
}

} // namespace

TEST(WavRoundTrip, FloatIsExactAndKeepsChannelOrderAndRate) {
    const WavAudio original = stereoRamp(1001);
    const WavAudio decoded = decode(encode(original, WavSampleFormat::Float32));
    EXPECT_EQ(decoded.sampleRate, 48000u);
    EXPECT_EQ(decoded.channels, original.channels);
}

TEST(WavRoundTrip, PcmKeepsEveryValueOnItsGridAndOddSizedDataIsPadded) {
    // 16-bit and 24-bit values that lie on their grids come back exactly, including the
    // extremes; three mono 24-bit frames make an odd data chunk, which needs a pad byte.
    WavAudio audio;
    audio.sampleRate = 44100;
    audio.channels = {{-1.0f, 32767.0f / 32768.0f, 1.0f / 32768.0f}};
    EXPECT_EQ(decode(encode(audio, WavSampleFormat::Pcm16)).channels, audio.channels);
    audio.channels = {{-1.0f, 8388607.0f / 8388608.0f, -3.0f / 8388608.0f}};
    const auto bytes = encode(audio, WavSampleFormat::Pcm24);
    EXPECT_EQ(bytes.size() % 2, 0u);
    EXPECT_EQ(decode(bytes).channels, audio.channels);
}

TEST(WavRoundTrip, PcmWritingRoundsClipsAndSilencesNaN) {
    WavAudio audio;
    audio.channels = {
        {1.5f, -2.0f, std::numeric_limits<float>::quiet_NaN(), 0.6f / 32768.0f, -0.4f / 32768.0f}};
    const WavAudio decoded = decode(encode(audio, WavSampleFormat::Pcm16));
    EXPECT_EQ(decoded.channels.at(0),
              (std::vector<float>{32767.0f / 32768.0f, -1.0f, 0.0f, 1.0f / 32768.0f, 0.0f}));
}

TEST(WavReading, DecodesEachSampleFormat) {
    std::vector<uint8_t> pcm32;
    putLE(pcm32, 0x40000000, 4);
    putLE(pcm32, 0x80000000, 4);
    EXPECT_EQ(
        decode(riffImage({{"fmt ", formatBody(1, 1, 8000, 32)}, {"data", pcm32}})).channels.at(0),
        (std::vector<float>{0.5f, -1.0f}));

    std::vector<uint8_t> float64;
    double value = -0.125;
    uint64_t word;
    std::memcpy(&word, &value, 8);
    putLE(float64, word, 8);
    EXPECT_EQ(
        decode(riffImage({{"fmt ", formatBody(3, 1, 8000, 64)}, {"data", float64}})).channels.at(0),
        (std::vector<float>{-0.125f}));

    std::vector<uint8_t> pcm24; // left -1/2, right smallest negative step
    putLE(pcm24, 0xC00000, 3);
    putLE(pcm24, 0xFFFFFF, 3);
    const WavAudio stereo24 =
        decode(riffImage({{"fmt ", formatBody(1, 2, 96000, 24)}, {"data", pcm24}}));
    EXPECT_EQ(stereo24.channels.at(0).at(0), -0.5f);
    EXPECT_EQ(stereo24.channels.at(1).at(0), -1.0f / 8388608.0f);
}

TEST(WavReading, ExtensibleFilesUseTheirSubFormat) {
    std::vector<uint8_t> pcm; // 24 valid bits in 32-bit containers
    putLE(pcm, 0x12345600, 4);
    putLE(pcm, 0xFFFFFF00, 4);
    const WavAudio audio =
        decode(riffImage({{"fmt ", extensibleBody(1, 2, 44100, 32, 24)}, {"data", pcm}}));
    EXPECT_EQ(audio.channels.at(0).at(0), static_cast<float>(0x123456) / 8388608.0f);
    EXPECT_EQ(audio.channels.at(1).at(0), -1.0f / 8388608.0f);

    std::vector<uint8_t> flt;
    putLE(flt, 0x3F000000, 4); // 0.5f
    EXPECT_EQ(decode(riffImage({{"fmt ", extensibleBody(3, 1, 44100, 32, 32)}, {"data", flt}}))
                  .channels.at(0)
                  .at(0),
              0.5f);

    auto unknown = extensibleBody(1, 1, 44100, 16, 16);
    unknown[30] ^= 0xFF; // not the PCM/float GUID family
    EXPECT_NE(refusal(riffImage({{"fmt ", unknown}, {"data", {0, 0}}})).find("unsupported"),
              std::string::npos);
}

TEST(WavReading, SkipsOtherChunksIncludingOddSizedOnes) {
    std::vector<uint8_t> data;
    putLE(data, 0x4000, 2);
    const WavAudio audio = decode(riffImage({{"LIST", {1, 2, 3}},
                                             {"fmt ", formatBody(1, 1, 22050, 16)},
                                             {"junk", {9}},
                                             {"data", data}}));
    EXPECT_EQ(audio.sampleRate, 22050u);
    EXPECT_EQ(audio.channels.at(0), (std::vector<float>{0.5f}));
}

TEST(WavReading, EveryCutOfAFileIsRefusedAsTruncated) {
    const auto bytes = encode(stereoRamp(20), WavSampleFormat::Pcm24);
    for (size_t size = 4; size < bytes.size(); ++size) {
        // A copy of exactly `size` bytes, so that ASan catches any read past the cut.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
        const std::string error = refusal(cut);
        EXPECT_EQ(error.rfind("truncated", 0), 0u) << "cut at " << size << ": " << error;
    }
}

TEST(WavReading, RefusesWhatItCannotReadWithTheReason) {
    const std::vector<uint8_t> samples(8, 0);
    struct Case {
        std::vector<uint8_t> bytes;
        const char* message;
    };
    auto withFormat = [&](std::vector<uint8_t> fmt) {
        return riffImage({{"fmt ", std::move(fmt)}, {"data", samples}});
    };
    auto badAlign = formatBody(1, 2, 44100, 16);
    badAlign[12] = 3;
    const Case cases[] = {
        {{}, "not a WAV file: the file is empty"},
        {{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1}, "not a WAV file"},
        {withFormat(formatBody(1, 1, 44100, 8)), "unsupported: 8-bit PCM"},
        {withFormat(formatBody(2, 1, 44100, 16)), "unsupported: format tag 0x0002"},
        {withFormat(formatBody(3, 1, 44100, 16)), "unsupported: 16-bit float"},
        {withFormat(formatBody(1, 3, 44100, 16)), "unsupported: 3 channels"},
        {withFormat(formatBody(1, 0, 44100, 16)), "malformed: 0 channels"},
        {withFormat(formatBody(1, 1, 0, 16)), "unsupported: sample rate 0 Hz"},
        {withFormat(badAlign), "malformed: block align 3"},
        {withFormat({1, 0, 1, 0}), "malformed: the fmt chunk has 4 bytes"},
        {riffImage({{"fmt ", formatBody(1, 1, 44100, 16)}}), "malformed: no data chunk"},
        {riffImage({{"data", samples}}), "malformed: no fmt chunk"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refusal(c.bytes).rfind(c.message, 0), 0u) << refusal(c.bytes);
}

TEST(WavFiles, WriteThenReadAndReportMissingFiles) {
    ScratchDirectory dir("qxa-wav");
    const WavAudio original = stereoRamp(64);
    std::string error;
    ASSERT_TRUE(writeWavFile(dir.file("a.wav"), original, WavSampleFormat::Float32, error))
        << error;
    WavAudio read;
    ASSERT_TRUE(readWavFile(dir.file("a.wav"), read, error)) << error;
    EXPECT_EQ(read.channels, original.channels);

    EXPECT_FALSE(readWavFile(dir.file("missing.wav"), read, error));
    EXPECT_EQ(error.rfind("cannot open", 0), 0u) << error;
    EXPECT_FALSE(
        writeWavFile(dir.file("no/such/dir.wav"), original, WavSampleFormat::Pcm16, error));
    EXPECT_EQ(error.rfind("cannot create", 0), 0u) << error;
}
