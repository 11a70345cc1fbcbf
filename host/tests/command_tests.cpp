// qxahost process and render against real plug-ins loaded through the library boundary.
#include "render_commands.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace testfiles;

namespace {

WavAudio readBack(const std::string& path) {
    WavAudio audio;
    std::string error;
    EXPECT_TRUE(readWavFile(path, audio, error)) << error;
    return audio;
}

void writeAudio(const std::string& path, const WavAudio& audio) {
    std::string error;
    ASSERT_TRUE(writeWavFile(path, audio, WavSampleFormat::Float32, error)) << error;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

struct CommandRun {
    int code;
    std::string out;
    std::string err;
};

CommandRun process(const ProcessOptions& options) {
    std::ostringstream out, err;
    const int code = runProcess(options, out, err);
    return {code, out.str(), err.str()};
}

CommandRun render(const RenderOptions& options) {
    std::ostringstream out, err;
    const int code = runRender(options, out, err);
    return {code, out.str(), err.str()};
}

WavAudio monoSignal(uint32_t rate, size_t frames) {
    WavAudio audio;
    audio.sampleRate = rate;
    audio.channels.assign(1, std::vector<float>(frames));
    for (size_t i = 0; i < frames; ++i)
        audio.channels[0][i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    return audio;
}

} // namespace

#ifdef QXA_PLUGIN_QXA_TESTPLUGIN

// The gain plug-in of the host-interface tests: output = input x 2 x Gain (0.5 by default;
// program 1 "Quiet" has 0.25).
class ProcessWithGainPlugin : public ::testing::Test {
protected:
    ProcessWithGainPlugin() : dir_("qxa-process") {
        options_.plugin = QXA_PLUGIN_QXA_TESTPLUGIN;
        options_.input = dir_.file("in.wav");
        options_.output = dir_.file("out.wav");
        options_.tailSeconds = 0.0;
        writeAudio(options_.input, monoSignal(22050, 1000));
    }
    ScratchDirectory dir_;
    ProcessOptions options_;
};

TEST_F(ProcessWithGainPlugin, MonoInputFeedsBothChannelsAtTheFileRate) {
    options_.blockSize = 300; // not a divisor of the length: the last block is short
    const CommandRun run = process(options_);
    ASSERT_EQ(run.code, 0) << run.err;
    const WavAudio in = readBack(options_.input), out = readBack(options_.output);
    EXPECT_EQ(out.sampleRate, 22050u);
    ASSERT_EQ(out.channels.size(), 2u);
    EXPECT_EQ(out.channels[0], in.channels[0]);
    EXPECT_EQ(out.channels[1], in.channels[0]);
    EXPECT_EQ(
        run.out.rfind(options_.output + ": 0.05 s, 2 channels, 22050 Hz, 32-bit float; peak ", 0),
        0u)
        << run.out;
}

TEST_F(ProcessWithGainPlugin, ProgramComesFirstThenSettingsByNameOrIndex) {
    options_.settings.program = 1;
    ASSERT_EQ(process(options_).code, 0);
    const WavAudio in = readBack(options_.input);
    EXPECT_FLOAT_EQ(readBack(options_.output).channels[1][17], 0.5f * in.channels[0][17]);

    options_.settings.sets = {"  gain = 1"};
    ASSERT_EQ(process(options_).code, 0);
    EXPECT_FLOAT_EQ(readBack(options_.output).channels[0][17], 2.0f * in.channels[0][17]);
    options_.settings.sets = {"0=0"};
    ASSERT_EQ(process(options_).code, 0);
    const WavAudio silent = readBack(options_.output);
    EXPECT_EQ(silent.channels[0], std::vector<float>(silent.frameCount(), 0.0f));
}

TEST_F(ProcessWithGainPlugin, TailsAreFixedOrEndAfterHalfASecondOfQuiet) {
    options_.tailSeconds = 0.1;
    options_.blockSize = 512;
    ASSERT_EQ(process(options_).code, 0);
    EXPECT_EQ(readBack(options_.output).frameCount(), 1000u + 2205u);
    // The gain plug-in is silent once its input is: the automatic tail is half a second,
    // rounded up to whole blocks.
    options_.tailSeconds = -1.0;
    ASSERT_EQ(process(options_).code, 0);
    EXPECT_EQ(readBack(options_.output).frameCount(), 1000u + 11264u);
}

TEST_F(ProcessWithGainPlugin, BadInputGivesOneLineErrorsAndWritesNothing) {
    struct Case {
        const char* what;
        std::function<void(ProcessOptions&)> change;
        const char* message;
    };
    writeBytes(dir_.file("cut.wav"), {'R', 'I', 'F', 'F', 100, 0,  0, 0, 'W', 'A', 'V',
                                      'E', 'd', 'a', 't', 'a', 50, 0, 0, 0,   1,   2});
    const Case cases[] = {
        {"missing input", [&](ProcessOptions& o) { o.input = dir_.file("none.wav"); },
         "qxahost process: "},
        {"truncated input", [&](ProcessOptions& o) { o.input = dir_.file("cut.wav"); },
         ": truncated: the data chunk declares 50 bytes, 2 are present"},
        {"output is the input", [&](ProcessOptions& o) { o.output = o.input; },
         "refusing to write over the input file"},
        {"unknown parameter", [](ProcessOptions& o) { o.settings.sets = {"Volume=1"}; },
         "no parameter 'Volume'"},
        {"bad value", [](ProcessOptions& o) { o.settings.sets = {"Gain=2"}; },
         "the value must be a number from 0 to 1"},
        {"no such program", [](ProcessOptions& o) { o.settings.program = 2; },
         "no program 2 (it has 2)"},
        {"not a plug-in", [&](ProcessOptions& o) { o.plugin = dir_.file("cut.wav"); }, ""},
    };
    for (const auto& c : cases) {
        ProcessOptions options = options_;
        c.change(options);
        std::filesystem::remove(options_.output);
        const CommandRun run = process(options);
        EXPECT_EQ(run.code, 1) << c.what;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what;
        EXPECT_TRUE(run.out.empty()) << c.what;
        if (options.output != options.input) {
            EXPECT_FALSE(std::filesystem::exists(options_.output)) << c.what;
        }
    }
    EXPECT_EQ(readBack(options_.input).frameCount(), 1000u); // the input survived
}

TEST(RenderWithEffect, RefusesAnEffectAsInstrumentAndBadMidiFiles) {
    ScratchDirectory dir("qxa-render");
    writeBytes(dir.file("song.mid"), smfImage(0, 96, {{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0}}));
    writeBytes(dir.file("bad.mid"), smfImage(0, 96, {{0x00, 60, 100}}));
    RenderOptions options;
    options.plugin = QXA_PLUGIN_QXA_TESTPLUGIN;
    options.midi = dir.file("song.mid");
    options.output = dir.file("out.wav");
    CommandRun run = render(options);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("is not an instrument"), std::string::npos) << run.err;
    options.midi = dir.file("bad.mid");
    run = render(options);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("bad.mid: track 1: malformed: data byte 0x3C without a status byte"),
              std::string::npos)
        << run.err;
    options.output = options.midi;
    EXPECT_NE(render(options).err.find("refusing to write over the input file"), std::string::npos);
}

#endif
