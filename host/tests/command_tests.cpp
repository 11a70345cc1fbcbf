// qxahost process, render, snapshot and edit against real plug-ins loaded through the library
// boundary.
#include "binary_dir.h"
#include "editor_commands.h"
#include "editor_test_support.h"
#include "editorwindow.h"
#include "probewindow.h"
#include "render_commands.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

using namespace testfiles;
using testing_paths::pluginPath;
using testing_paths::quoted;
using testing_paths::runTool;

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

// The gain plug-in of the host-interface tests: output = input x 2 x Gain (0.5 by default;
// program 1 "Quiet" has 0.25).
class ProcessWithGainPlugin : public ::testing::Test {
protected:
    ProcessWithGainPlugin() : dir_("qxa-process") {
        options_.plugin = pluginPath("QxaTestPlugin");
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
    // Status on standard error; standard output is left for the audio of --out -.
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(
        run.err.rfind(options_.output + ": 0.05 s, 2 channels, 22050 Hz, 32-bit float; peak ", 0),
        0u)
        << run.err;
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
        {"output folder missing", [&](ProcessOptions& o) { o.output = dir_.file("no/out.wav"); },
         "does not exist"},
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
    options.plugin = pluginPath("QxaTestPlugin");
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

TEST(QxahostCommandLine, HiddenMakeClicksWritesTheDemoInput) {
    ScratchDirectory dir("qxa-clicks");
    const auto run = runTool("qxahost", "make-clicks \"" + dir.file("clicks.wav") + "\" --count 3");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const WavAudio clicks = readBack(dir.file("clicks.wav"));
    ASSERT_EQ(clicks.channels.size(), 1u);
    EXPECT_EQ(clicks.frameCount(), 3u * 22050u + 110250u); // a click every 0.5 s, then 2.5 s
    EXPECT_EQ(runTool("qxahost", "--help").output.find("make-clicks"), std::string::npos);
}

namespace {

bool editorsOpenHere() {
    std::string whyNot;
    return EditorWindow::supported(whyNot);
}

CommandRun snapshot(const SnapshotOptions& options) {
    std::ostringstream out, err;
    const int code = runSnapshot(options, out, err);
    return {code, out.str(), err.str()};
}

constexpr uint32_t rgb(probe_pattern::Rgb colour) {
    return static_cast<uint32_t>(colour.red) << 16 | static_cast<uint32_t>(colour.green) << 8 |
           colour.blue;
}

// Pixels of the probe editor's bar along the top row, from the left.
int barWidth(const PngImage& image) {
    int width = 0;
    while (width < image.width && image.at(width, 0) == rgb(probe_pattern::kBar))
        ++width;
    return width;
}

// What an edit session printed when a person clicked once at (x, y) of the editor and then
// closed its window.
struct EditSession {
    bool driven = false; // the window appeared and was clicked and closed
    int code = -1;
    std::vector<std::string> lines;
    std::string err;
};

// The edit command's output: the test thread waits until its first line ("editing ...",
// printed and flushed once the window is shown) or the command's end, whichever comes first.
class FirstLineSignal : public std::stringbuf {
public:
    void waitForFirstLine() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return flushed_ || ended_; });
    }
    void commandEnded() {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

protected:
    int sync() override {
        std::lock_guard<std::mutex> lock(mutex_);
        flushed_ = true;
        changed_.notify_all();
        return 0;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool flushed_ = false;
    bool ended_ = false;
};

EditSession clickOnceInEditor(const EditOptions& options, const std::string& title, int x, int y) {
    FirstLineSignal output;
    std::ostream out(&output);
    std::ostringstream err;
    EditSession session;
    std::thread editing([&] {
        session.code = runEdit(options, out, err);
        output.commandEnded();
    });
    output.waitForFirstLine();
    session.driven = clickThenClose(title, x, y);
    editing.join();
    std::istringstream text(output.str());
    for (std::string line; std::getline(text, line);)
        session.lines.push_back(line);
    session.err = err.str();
    return session;
}

} // namespace

TEST(EditorCommandLine, HelpNamesEveryOption) {
    const auto snapshotHelp = runTool("qxahost", "snapshot --help");
    EXPECT_EQ(snapshotHelp.exitCode, 0);
    for (const char* option : {"--out", "--program", "--set", "--idle"})
        EXPECT_NE(snapshotHelp.output.find(option), std::string::npos) << option;
    const auto editHelp = runTool("qxahost", "edit --help");
    EXPECT_EQ(editHelp.exitCode, 0);
    EXPECT_NE(editHelp.output.find("--program"), std::string::npos) << editHelp.output;
}

TEST(EditorCommandLine, BadOptionValuesAnswer1) {
    const std::string probe = quoted(pluginPath("QxaProbeEffect"));
    const std::vector<std::string> commands = {
        "snapshot " + probe + " --out x.png --idle 0",
        "snapshot " + probe + " --out x.png --idle many",
        "snapshot " + probe + " --out x.png --program -1",
        "snapshot " + probe,
        "edit " + probe + " --program two",
        "edit",
    };
    for (const std::string& arguments : commands) {
        const auto run = runTool("qxahost", arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments << ": " << run.output;
        EXPECT_FALSE(run.output.empty()) << arguments;
    }
}

TEST(EditorCommandLine, TheNativeBuildSaysEditorsOpenOnlyOnWindows) {
    if (editorsOpenHere()) GTEST_SKIP() << "this build opens editors";
    ScratchDirectory dir("qxa-native-editor");
    const std::string probe = quoted(pluginPath("QxaProbeEffect"));
    const std::vector<std::string> commands = {
        "snapshot " + probe + " --out " + quoted(dir.file("probe.png")), "edit " + probe};
    for (const std::string& arguments : commands) {
        const auto run = runTool("qxahost", arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments;
        EXPECT_NE(run.output.find("editors open only in the Windows build of qxahost"),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("probe.png")));
}

// The probe plug-in's editor (QxaProbeEffect): 400 x 300 pixels of background, a bar along the
// top as wide as Gain x 400 and 40 high, a 16-pixel square in the bottom-right corner.
class SnapshotOfTheProbeEditor : public ::testing::Test {
protected:
    void SetUp() override {
        if (!editorsOpenHere()) GTEST_SKIP() << "editors open only in the Windows build";
        options_.plugin = pluginPath("QxaProbeEffect");
        options_.output = dir_.file("probe.png");
    }

    PngImage capture() {
        const CommandRun run = snapshot(options_);
        EXPECT_EQ(run.code, 0) << run.err;
        PngImage image;
        std::string error;
        EXPECT_TRUE(readPngFile(options_.output, image, error)) << error;
        return image;
    }

    ScratchDirectory dir_{"qxa-snapshot"};
    SnapshotOptions options_;
};

TEST_F(SnapshotOfTheProbeEditor, IsThePaintedWindowAtExactlyTheEditorsSize) {
    const CommandRun run = snapshot(options_);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out.rfind(options_.output + ": 400 x 300 pixels\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\neditor opened in "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("one idle pass "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\none host write, then one idle pass: median "), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("; every parameter written, then one idle pass: median "),
              std::string::npos)
        << run.out;

    PngImage image;
    std::string error;
    ASSERT_TRUE(readPngFile(options_.output, image, error)) << error;
    ASSERT_EQ(image.width, 400);
    ASSERT_EQ(image.height, 300);
    using namespace probe_pattern;
    // The default program has Gain 0.5: the bar ends after 200 pixels and 40 rows.
    EXPECT_EQ(barWidth(image), 200);
    EXPECT_EQ(image.at(199, kBarHeight - 1), rgb(kBar));
    EXPECT_EQ(image.at(0, kBarHeight), rgb(kBackground));
    EXPECT_EQ(image.at(200, 0), rgb(kBackground));
    // The corner square sits in the last 16 columns and rows: nothing was cut or shifted.
    EXPECT_EQ(image.at(399, 299), rgb(kCorner));
    EXPECT_EQ(image.at(400 - kCornerSize, 300 - kCornerSize), rgb(kCorner));
    EXPECT_EQ(image.at(399 - kCornerSize, 299), rgb(kBackground));
    EXPECT_EQ(image.at(399, 299 - kCornerSize), rgb(kBackground));
    EXPECT_EQ(image.at(200, 150), rgb(kBackground));
}

TEST_F(SnapshotOfTheProbeEditor, ShowsTheProgramAndValuesSetAfterItOpened) {
    options_.settings.program = 2; // "Bright": Gain 0.6
    EXPECT_EQ(barWidth(capture()), 240);
    options_.settings.sets = {"Gain=0.25"}; // after the program, on top of it
    EXPECT_EQ(barWidth(capture()), 100);
    options_.settings.program = -1;
    options_.settings.sets = {"0=1"};
    options_.idlePasses = 1;
    EXPECT_EQ(barWidth(capture()), 400);
}

TEST(SnapshotCommand, RefusesWhatItCannotDoWithOneLineErrorsAndWritesNothing) {
    if (!editorsOpenHere()) GTEST_SKIP() << "editors open only in the Windows build";
    ScratchDirectory dir("qxa-snapshot-errors");
    struct Case {
        std::function<void(SnapshotOptions&)> change;
        const char* message;
    };
    const Case cases[] = {
        {[](SnapshotOptions& o) { o.plugin = pluginPath("QxaTestPlugin"); },
         "has no editor (its flags do not include Editor)"},
        {[](SnapshotOptions& o) { o.plugin = pluginPath("NoSuchPlugin"); }, "no such file"},
        {[](SnapshotOptions& o) { o.settings.program = 3; }, "no program 3 (it has 3)"},
        {[](SnapshotOptions& o) { o.settings.sets = {"Volume=1"}; }, "no parameter 'Volume'"},
        {[](SnapshotOptions& o) { o.settings.sets = {"Gain=2"}; },
         "the value must be a number from 0 to 1"},
        {[&](SnapshotOptions& o) { o.output = dir.file("none/probe.png"); }, "does not exist"},
        {[](SnapshotOptions& o) { o.output = o.plugin; }, "refusing to write over the plug-in"},
    };
    for (const Case& c : cases) {
        SnapshotOptions options;
        options.plugin = pluginPath("QxaProbeEffect");
        options.output = dir.file("probe.png");
        c.change(options);
        const CommandRun run = snapshot(options);
        EXPECT_EQ(run.code, 1) << c.message;
        EXPECT_EQ(run.err.rfind("qxahost snapshot: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_FALSE(std::filesystem::exists(dir.file("probe.png"))) << c.message;
    }
}

TEST(EditCommand, PrintsTheEditorsGesturesAndEndsCleanlyWhenTheWindowCloses) {
    if (!editorsOpenHere()) GTEST_SKIP() << "editors open only in the Windows build";
    EditOptions options;
    options.plugin = pluginPath("QxaProbeEffect");
    options.program = 1;
    // A click at a quarter of the probe editor's width sets Gain to 0.25 inside one gesture.
    const EditSession session = clickOnceInEditor(options, "QxaProbeEffect", 100, 10);
    ASSERT_TRUE(session.driven) << "no editor window appeared: " << session.err;
    EXPECT_EQ(session.code, 0) << session.err;
    const std::vector<std::string>& lines = session.lines;
    ASSERT_EQ(lines.size(), 5u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0].rfind("editing QxaProbeEffect (400 x 300 pixels)", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "begin     0 Gain");
    EXPECT_EQ(lines[2].rfind("change    0 Gain       = 0.2500 \"", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "end       0 Gain");
    EXPECT_EQ(lines[4], "closed QxaProbeEffect: 1 parameter changes, 2 gesture messages");

    EditOptions missing;
    missing.plugin = pluginPath("QxaProbeEffect");
    missing.program = 9;
    std::ostringstream unused, refusal;
    EXPECT_EQ(runEdit(missing, unused, refusal), 1);
    EXPECT_NE(refusal.str().find("qxahost edit: "), std::string::npos) << refusal.str();
    EXPECT_NE(refusal.str().find("no program 9 (it has 3)"), std::string::npos) << refusal.str();
}

namespace {

// Index of the first sample of either channel at or above `level`, or -1.
long firstAbove(const WavAudio& audio, float level) {
    for (size_t i = 0; i < audio.frameCount(); ++i)
        for (const auto& channel : audio.channels)
            if (std::fabs(channel[i]) >= level) return static_cast<long>(i);
    return -1;
}

// A format 0 file: 441 ticks per quarter at `bpm`; note 60 on at `onTick`, off at `offTick`.
std::vector<uint8_t> singleNote(uint32_t microsPerQuarter, uint8_t onTick, uint8_t offTick) {
    return smfImage(0, 441,
                    {{0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(microsPerQuarter >> 16),
                      static_cast<uint8_t>(microsPerQuarter >> 8),
                      static_cast<uint8_t>(microsPerQuarter), onTick, 0x90, 60, 100,
                      static_cast<uint8_t>(offTick - onTick), 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0}});
}

} // namespace

TEST(ProcessWithMalvoree, AnEchoArrivesWhereTheDelayAmountPutsIt) {
    // One click at frame 100; only the wet signal (Mix 1), no tempo following, every head at a
    // quarter of its two-second buffer: 22050 frames at 44.1 kHz, so the first sound is there.
    ScratchDirectory dir("qxa-malvoree");
    WavAudio click;
    click.sampleRate = 44100;
    click.channels.assign(1, std::vector<float>(1000, 0.0f));
    click.channels[0][100] = 1.0f;
    writeAudio(dir.file("click.wav"), click);
    ProcessOptions options;
    options.plugin = pluginPath("Malvoree");
    options.input = dir.file("click.wav");
    options.output = dir.file("echo.wav");
    options.tailSeconds = 1.0;
    options.settings.sets = {"Tempo=0", "Mix=1"};
    for (const char* head : {"1", "2", "3", "4"})
        options.settings.sets.push_back(std::string("Delay ") + head + "=0.25");
    const CommandRun run = process(options);
    ASSERT_EQ(run.code, 0) << run.err;
    const WavAudio echo = readBack(options.output);
    EXPECT_EQ(echo.frameCount(), 1000u + 44100u);
    EXPECT_EQ(firstAbove(echo, 1e-3f), 100 + 22050);
}

TEST(EditCommand, OrivsEditorReportsAButtonsGestureAndClosesCleanly) {
    if (!editorsOpenHere()) GTEST_SKIP() << "editors open only in the Windows build";
    EditOptions options;
    options.plugin = pluginPath("Oriv");
    // A click on the 16' range button selects range 0, bracketed by a gesture on OscRang.
    const EditSession session = clickOnceInEditor(options, "Oriv", 68, 58);
    ASSERT_TRUE(session.driven) << "no editor window appeared: " << session.err;
    EXPECT_EQ(session.code, 0) << session.err;
    const std::vector<std::string>& lines = session.lines;
    ASSERT_EQ(lines.size(), 5u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0].rfind("editing Oriv (500 x 170 pixels)", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "begin     0 OscRang");
    EXPECT_EQ(lines[2].rfind("change    0 OscRang    = 0.0000 \"", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "end       0 OscRang");
    EXPECT_EQ(lines[4], "closed Oriv: 1 parameter changes, 2 gesture messages");
}

TEST(RenderWithOriv, ANoteSoundsFromExactlyItsEventFrameWhateverTheBlockSize) {
    // 120 BPM at 441 ticks per quarter: one tick is 50 frames, so tick 21 is frame 1050, which
    // falls into the third block of 512 at delta 26. The note must sound exactly 1050 frames
    // later than the same note at tick 0, and the same with blocks of 100.
    ScratchDirectory dir("qxa-oriv");
    auto renderNote = [&](uint8_t onTick, int32_t blockSize) {
        writeBytes(dir.file("note.mid"), singleNote(500000, onTick, 120));
        RenderOptions options;
        options.plugin = pluginPath("Oriv");
        options.midi = dir.file("note.mid");
        options.output = dir.file("note.wav");
        options.blockSize = blockSize;
        const CommandRun run = render(options);
        EXPECT_EQ(run.code, 0) << run.err;
        return readBack(options.output);
    };
    const WavAudio atStart = renderNote(0, 512);
    const WavAudio late = renderNote(21, 512);
    const long onset = firstAbove(atStart, 1e-9f);
    ASSERT_GE(onset, 0);
    EXPECT_LT(onset, 10);
    EXPECT_EQ(firstAbove(late, 1e-9f), onset + 1050);
    EXPECT_EQ(firstAbove(renderNote(21, 100), 1e-9f), onset + 1050);
    EXPECT_GT(firstAbove(late, 0.01f), 0); // clearly audible
    // The automatic tail ends half a second after the release has died away.
    EXPECT_GT(late.frameCount(), 6000u + 22050u);
    EXPECT_LT(late.frameCount(), 6000u + 30u * 44100u);
}

TEST(RenderWithOriv, TheMidiFilesTempoReachesTheChainedEcho) {
    // Malvoree follows the tempo (Tempo on) and hears only its echoes (Mix 1): halving the
    // file's tempo must double the time to the first echo.
    ScratchDirectory dir("qxa-chain");
    long firstEcho[2] = {};
    const uint32_t tempos[2] = {500000, 1000000}; // 120 and 60 BPM
    for (int i = 0; i < 2; ++i) {
        writeBytes(dir.file("note.mid"), singleNote(tempos[i], 0, 2));
        RenderOptions options;
        options.plugin = pluginPath("Oriv");
        options.midi = dir.file("note.mid");
        options.output = dir.file("chain.wav");
        options.effect = pluginPath("Malvoree");
        options.effectSettings.sets = {"Tempo=1", "Mix=1"};
        options.tailSeconds = 3.0;
        const CommandRun run = render(options);
        ASSERT_EQ(run.code, 0) << run.err;
        firstEcho[i] = firstAbove(readBack(options.output), 1e-4f);
    }
    ASSERT_GT(firstEcho[0], 0);
    EXPECT_NEAR(static_cast<double>(firstEcho[1]), 2.0 * firstEcho[0], 0.02 * firstEcho[1])
        << firstEcho[0] << " " << firstEcho[1];
}

TEST(RenderWithOriv, ChannelsPlayAFileAsIfTheOtherChannelsWereNotInIt) {
    // A bass note on channel 1 (ticks 0 to 10) and a drum hit on channel 10 (ticks 220 to 320),
    // as a General MIDI file has them; the same file without the drums and without the bass,
    // its tracks ending as late. Leaving out channels must sound exactly like leaving out their
    // events.
    ScratchDirectory dir("qxa-channels");
    const std::vector<uint8_t> bass = {0x00, 0x90, 36, 100, 0x0A, 0x80, 36, 0, 0x00, 0xFF, 0x2F, 0};
    const std::vector<uint8_t> drums = {0x81, 0x5C, 0x99, 38,   127,  0x64, 0x89,
                                        38,   0,    0x00, 0xFF, 0x2F, 0};
    const std::vector<uint8_t> silentUntilTick320 = {0x82, 0x40, 0xFF, 0x2F, 0};
    const std::vector<uint8_t> empty = {0x00, 0xFF, 0x2F, 0};
    writeBytes(dir.file("gm.mid"), smfImage(1, 441, {bass, drums}));
    writeBytes(dir.file("bass.mid"), smfImage(1, 441, {bass, silentUntilTick320}));
    writeBytes(dir.file("drums.mid"), smfImage(1, 441, {empty, drums}));
    auto renderFile = [&](const std::string& midi, const std::string& channels) {
        RenderOptions options;
        options.plugin = pluginPath("Oriv");
        options.midi = dir.file(midi);
        options.output = dir.file("out.wav");
        options.channels = channels;
        options.tailSeconds = 1.0;
        const CommandRun run = render(options);
        EXPECT_EQ(run.code, 0) << run.err;
        return readBack(options.output);
    };
    const WavAudio withoutDrums = renderFile("gm.mid", "1-9,11-16");
    const WavAudio drumsOnly = renderFile("gm.mid", "10");
    EXPECT_EQ(withoutDrums.channels, renderFile("bass.mid", "1-16").channels);
    EXPECT_EQ(drumsOnly.channels, renderFile("drums.mid", "1-16").channels);
    EXPECT_GT(firstAbove(withoutDrums, 0.01f), -1);
    EXPECT_GE(firstAbove(drumsOnly, 1e-9f), 11000); // tick 220, and not silent
}

TEST(RenderWithOriv, AFileWithAHundredThousandTempoChangesRenders) {
    // One note held over 100,000 tempo events, alternating between 120 and 240 BPM at every
    // tick of 9600 per quarter: 3.9 seconds.
    ScratchDirectory dir("qxa-tempo-map");
    std::vector<uint8_t> body = {0x00, 0x90, 60, 100};
    for (int i = 0; i < 100000; ++i) {
        const uint32_t tempo = i % 2 == 0 ? 500000 : 250000;
        body.insert(body.end(), {static_cast<uint8_t>(i == 0 ? 0 : 1), 0xFF, 0x51, 0x03,
                                 static_cast<uint8_t>(tempo >> 16),
                                 static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo)});
    }
    body.insert(body.end(), {0x01, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0});
    writeBytes(dir.file("tempi.mid"), smfImage(0, 9600, {body}));
    RenderOptions options;
    options.plugin = pluginPath("Oriv");
    options.midi = dir.file("tempi.mid");
    options.output = dir.file("tempi.wav");
    options.tailSeconds = 0.0;
    const CommandRun run = render(options);
    ASSERT_EQ(run.code, 0) << run.err;
    // 50,000 ticks at 120 BPM and 50,000 at 240 BPM: 50,000 x (1/19200 + 1/38400) s, and the
    // frame of the note-off.
    const WavAudio audio = readBack(options.output);
    EXPECT_EQ(audio.frameCount(), 172267u);
    EXPECT_GT(firstAbove(audio, 0.01f), -1);
}

// --- qxahost as a user runs it: what it prints where, its exit status, the file it leaves ----

namespace {

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

struct ShellRun {
    int code = -1;
    std::string out; // standard output
    std::string err; // standard error
};

std::string qxahost() {
    return quoted(testing_paths::binaryDir() + testing_paths::kSeparator + "qxahost" +
                  testing_paths::kExecutableSuffix);
}

// Runs a shell command line (qxahost() names the program; pipes allowed) with standard output
// and standard error caught apart.
ShellRun runShell(const std::string& line, const ScratchDirectory& dir) {
    const std::string outPath = dir.file("stdout.bin"), errPath = dir.file("stderr.txt");
    const std::string command = line + " > " + quoted(outPath) + " 2> " + quoted(errPath);
    ShellRun run;
#if defined(_WIN32)
    run.code = std::system(quoted(command).c_str());
#else
    const int status = std::system(command.c_str());
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
    run.out = readText(outPath);
    run.err = readText(errPath);
    // A sanitizer's report exits with a code that bad input also gets: fail on the report.
    if (run.err.find("Sanitizer") != std::string::npos ||
        run.err.find(": runtime error: ") != std::string::npos)
        ADD_FAILURE() << "a sanitizer reported in: " << line << "\n" << run.err;
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A format 0 file at 120 BPM, 96 ticks per quarter, on channel 1: a program change to `program`
// (when 0 or more), then `notes` held for two beats at velocity 127.
std::vector<uint8_t> chordFile(const std::vector<uint8_t>& notes, int program = -1,
                               bool release = true) {
    std::vector<uint8_t> track;
    if (program >= 0) track.insert(track.end(), {0x00, 0xC0, static_cast<uint8_t>(program)});
    for (const uint8_t note : notes)
        track.insert(track.end(), {0x00, 0x90, note, 127});
    if (release) {
        track.insert(track.end(), {0x81, 0x40}); // two beats: 192 ticks
        for (size_t i = 0; i < notes.size(); ++i) {
            if (i > 0) track.push_back(0x00);
            track.insert(track.end(), {0x80, notes[i], 0});
        }
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0});
    return smfImage(0, 96, {track});
}

const std::vector<uint8_t> kLoudChord = {36, 40, 43, 48, 52, 55, 60, 64, 67, 72, 76, 79};

} // namespace

// 1. Levels: a loud chord clips 16-bit output with a warning and a count; --normalize brings
// the peak to -1 dBFS and nothing clips.
TEST(QxahostAsUsersExpect, ClippingIsCountedAndWarnedAndNormalizeAvoidsIt) {
    ScratchDirectory dir("qxa-levels");
    writeBytes(dir.file("chord.mid"), chordFile(kLoudChord));
    const std::string base = qxahost() + " render " + quoted(pluginPath("Oriv")) + " --midi " +
                             quoted(dir.file("chord.mid")) + " --program 13 --format 16 --tail 0";
    const ShellRun loud = runShell(base + " --out " + quoted(dir.file("loud.wav")), dir);
    ASSERT_EQ(loud.code, 0) << loud.err;
    EXPECT_TRUE(loud.out.empty()) << loud.out;
    EXPECT_TRUE(contains(loud.err, "qxahost render: warning: ")) << loud.err;
    EXPECT_TRUE(contains(loud.err, "were clipped; --gain -DB or --normalize lowers the level"))
        << loud.err;
    EXPECT_FALSE(contains(loud.err, " 0 samples clipped")) << loud.err;
    EXPECT_GT(peakOf(readBack(dir.file("loud.wav"))), 32766.0f / 32768.0f);

    const ShellRun normal = runShell(base + " --normalize --out " + quoted(dir.file("n.wav")), dir);
    ASSERT_EQ(normal.code, 0) << normal.err;
    EXPECT_FALSE(contains(normal.err, "warning")) << normal.err;
    EXPECT_TRUE(contains(normal.err, "16-bit PCM, dithered; gain -")) << normal.err;
    EXPECT_TRUE(contains(normal.err, "; peak -1.0 dBFS, 0 samples clipped;")) << normal.err;
    EXPECT_NEAR(20.0 * std::log10(peakOf(readBack(dir.file("n.wav")))), -1.0, 0.01);

    const ShellRun both = runShell(base + " --normalize=-3 --gain 2 --out x.wav", dir);
    EXPECT_EQ(both.code, 1);
    EXPECT_TRUE(contains(both.err, "give one of them")) << both.err;
}

// 2. Parameters by the names on the panels and values as the plug-in shows them.
TEST(QxahostAsUsersExpect, ParametersByTheNamesAndValuesPeopleSee) {
    std::string error;
    auto malvoree = PluginInstance::load(pluginPath("Malvoree"), error);
    auto oriv = PluginInstance::load(pluginPath("Oriv"), error);
    ASSERT_TRUE(malvoree && oriv) << error;
    struct Case {
        PluginInstance* plugin;
        const char* setting;
        int32_t index;
        const char* shown; // the plug-in's text afterwards
    };
    const Case accepted[] = {
        {malvoree.get(), "Volume 2=-6 dB", 8, "-6.00"},
        {malvoree.get(), "volum2 = -28.3", 8, "-28.3"},
        {malvoree.get(), "Pan 1=L 32", 4, "L 32"},
        {malvoree.get(), "pan1=0.75", 4, "R 32"},
        {malvoree.get(), "  PAN  3 = C", 14, "< C >"},
        {malvoree.get(), "Feedback 2=15.56 %", 6, "15.56"},
        {malvoree.get(), "Damp 3=20", 12, "20.00"},
        {malvoree.get(), "Delay 4=0.5 s", 15, " 0.500"},
        {malvoree.get(), "Mix=75 %", 21, "75.00"},
        {malvoree.get(), "Sync=Off", 20, "Off"},
        {oriv.get(), "vcf cut=0.25", 4, nullptr},
        {oriv.get(), "Cutoff=0.25", 4, nullptr},
        {oriv.get(), "Reso=1", 5, nullptr},
        {oriv.get(), "Amp Release=0.5", 13, nullptr},
    };
    for (const Case& c : accepted) {
        PluginSettings settings;
        settings.sets = {c.setting};
        ResolvedSettings resolved;
        ASSERT_TRUE(resolveSettings(*c.plugin, "p", settings, resolved, error))
            << c.setting << ": " << error;
        ASSERT_EQ(resolved.values.size(), 1u);
        EXPECT_EQ(resolved.values[0].first, c.index) << c.setting;
        if (c.shown) {
            EXPECT_EQ(c.plugin->parameterText(c.index), c.shown) << c.setting;
        }
    }
    struct Refusal {
        PluginInstance* plugin;
        const char* setting;
        const char* message;
    };
    const Refusal refused[] = {
        {malvoree.get(), "Volume=1",
         "no parameter 'Volume' (did you mean Volume 1, Volume 2 or "
         "Volume 3? `qxahost info` lists them)"},
        {malvoree.get(), "Feedbak 2=1", "did you mean Feedback 2"},
        {malvoree.get(), "Volume 2=loud",
         "the value must be a number from 0 to 1, or a value as "
         "Volum 2 shows it, such as '"},
        {oriv.get(), "Cutof=0.5", "did you mean Cutoff"},
        {oriv.get(), "Cutoff=-6 dB",
         "the value must be a number from 0 to 1 (p reads no typed "
         "values)"},
    };
    for (const Refusal& r : refused) {
        PluginSettings settings;
        settings.sets = {r.setting};
        ResolvedSettings resolved;
        EXPECT_FALSE(resolveSettings(*r.plugin, "p", settings, resolved, error)) << r.setting;
        EXPECT_TRUE(contains(error, r.message)) << r.setting << ": " << error;
    }
}

// 2. `info` shows every parameter's text and unit, for the current program or --program N.
TEST(QxahostAsUsersExpect, InfoShowsTheTextsOfAProgram) {
    ScratchDirectory dir("qxa-info");
    const std::string oriv = quoted(pluginPath("Oriv"));
    const ShellRun first = runShell(qxahost() + " info " + oriv + " --json", dir);
    const ShellRun other = runShell(qxahost() + " info " + oriv + " --json --program 13", dir);
    ASSERT_EQ(first.code, 0) << first.err;
    ASSERT_EQ(other.code, 0) << other.err;
    EXPECT_TRUE(contains(first.out, "\"currentProgram\": 0")) << first.out;
    EXPECT_TRUE(contains(other.out, "\"currentProgram\": 13")) << other.out;
    EXPECT_NE(first.out.substr(first.out.find("\"parameters\"")),
              other.out.substr(other.out.find("\"parameters\"")));
    const ShellRun text = runShell(qxahost() + " info " + quoted(pluginPath("Malvoree")), dir);
    EXPECT_TRUE(contains(text.out, "\"Volum 1\"   \"-2.49\"     \"  dB  \"   0.7500")) << text.out;
    const ShellRun missing = runShell(qxahost() + " info " + oriv + " --program 16", dir);
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(contains(missing.err, "no program 16 (it has 16)")) << missing.err;
}

// 3. stdout carries only the audio with --out -, and - reads standard input: a pipe works.
TEST(QxahostAsUsersExpect, AudioThroughAPipeAndStatusOnStandardError) {
    ScratchDirectory dir("qxa-pipe");
    writeBytes(dir.file("note.mid"), singleNote(500000, 0, 40));
    const std::string render =
        qxahost() + " render " + quoted(pluginPath("Oriv")) + " --midi - --tail 0.2 --out -";
    const ShellRun alone = runShell(render + " < " + quoted(dir.file("note.mid")), dir);
    ASSERT_EQ(alone.code, 0) << alone.err;
    WavAudio piped;
    std::string error;
    const auto* bytes = reinterpret_cast<const uint8_t*>(alone.out.data());
    ASSERT_TRUE(parseWav(bytes, alone.out.size(), piped, error)) << error;
    EXPECT_GT(peakOf(piped), 0.01f);
    EXPECT_EQ(alone.err.rfind("(stdout): ", 0), 0u) << alone.err;

    const ShellRun chain = runShell(
        render + " < " + quoted(dir.file("note.mid")) + " 2> " + quoted(dir.file("render.txt")) +
            " | " + qxahost() + " process " + quoted(pluginPath("Malvoree")) +
            " --in - --set \"Volume 2=-6 dB\" --tail 0 --out " + quoted(dir.file("out.wav")),
        dir);
    ASSERT_EQ(chain.code, 0) << chain.err;
    EXPECT_TRUE(chain.out.empty());
    EXPECT_TRUE(contains(chain.err, "out.wav: ")) << chain.err;
    EXPECT_EQ(readBack(dir.file("out.wav")).frameCount(), piped.frameCount());
    EXPECT_FALSE(std::filesystem::exists(dir.file("-")));
}

// 4 and 8. A cut tail, silent channels and program changes are reported; with
// --programs-from-midi a program change selects the program at its frame.
TEST(QxahostAsUsersExpect, NothingCutOrEmptyWithoutAWord) {
    ScratchDirectory dir("qxa-notes");
    writeBytes(dir.file("stuck.mid"), chordFile({60}, -1, false));
    writeBytes(dir.file("program.mid"), chordFile({60, 64}, 5));
    writeBytes(dir.file("plain.mid"), chordFile({60, 64}));
    // Appended rather than summed with a literal: GCC 12 at -O3 warns falsely about the sum.
    std::string oriv(" ");
    oriv += quoted(pluginPath("Oriv"));
    struct Case {
        std::string arguments;
        const char* warning; // empty: no warning
        const char* summary;
    };
    const Case cases[] = {
        {"render" + oriv + " --rate 1000 --set VcaSus=1 --midi " + quoted(dir.file("stuck.mid")),
         "the output still sounded when the automatic tail reached its 30 s limit",
         "; tail cut at 30 s"},
        {"render" + oriv + " --channels 2-16 --midi " + quoted(dir.file("plain.mid")),
         "channels 2-16 hold no notes of this file: the output is silence (2 notes on other "
         "channels",
         "; no notes played"},
        {"render" + oriv + " --tail 0 --midi " + quoted(dir.file("program.mid")),
         "the file's 1 program change not applied", "; 1 program change not applied"},
        {"render" + oriv + " --tail 0 --programs-from-midi --midi " +
             quoted(dir.file("program.mid")),
         "", ""},
    };
    for (const Case& c : cases) {
        const ShellRun run =
            runShell(qxahost() + " " + c.arguments + " --out " + quoted(dir.file("o.wav")), dir);
        EXPECT_EQ(run.code, 0) << c.arguments << ": " << run.err;
        EXPECT_EQ(contains(run.err, "warning: "), *c.warning != '\0') << run.err;
        EXPECT_TRUE(contains(run.err, c.warning)) << run.err;
        EXPECT_TRUE(contains(run.err, c.summary)) << run.err;
        EXPECT_TRUE(std::filesystem::exists(dir.file("o.wav"))) << c.arguments;
    }
    // The file's program change, at a frame inside a block just before a note, sounds exactly
    // as that program chosen beforehand.
    const std::vector<uint8_t> note = {0x00, 0x90, 60,   127,  0x81, 0x40, 0x80,
                                       60,   0,    0x00, 0xFF, 0x2F, 0};
    std::vector<uint8_t> changeThenNote = {0x30, 0xC0, 5}, restThenNote = {0x30, 0xB0, 80, 0};
    changeThenNote.insert(changeThenNote.end(), note.begin(), note.end());
    restThenNote.insert(restThenNote.end(), note.begin(), note.end());
    writeBytes(dir.file("late.mid"), smfImage(0, 96, {changeThenNote}));
    writeBytes(dir.file("rest.mid"), smfImage(0, 96, {restThenNote}));
    RenderOptions options;
    options.plugin = pluginPath("Oriv");
    options.output = dir.file("a.wav");
    options.tailSeconds = 0.0;
    options.midi = dir.file("late.mid");
    options.programsFromMidi = true;
    ASSERT_EQ(render(options).code, 0);
    const WavAudio applied = readBack(options.output);
    options.programsFromMidi = false;
    options.midi = dir.file("rest.mid");
    ASSERT_EQ(render(options).code, 0);
    const WavAudio initial = readBack(options.output);
    options.settings.program = 5;
    ASSERT_EQ(render(options).code, 0);
    EXPECT_EQ(applied.channels, readBack(options.output).channels);
    EXPECT_NE(applied.channels, initial.channels);

    const ShellRun none =
        runShell(qxahost() + " validate " + oriv + " --only identity --skip identity", dir);
    EXPECT_EQ(none.code, 2);
    EXPECT_TRUE(contains(none.err, "--only and --skip leave no check to run")) << none.err;
}

// 5 and 7. Usage errors say what was expected in plain words; a wrong output name is refused
// before anything runs, naming what is written; the help names values, not parser types.
TEST(QxahostAsUsersExpect, MessagesInPlainWordsAndFormatsSaidOutLoud) {
    ScratchDirectory dir("qxa-messages");
    const std::string render = "render " + quoted(pluginPath("Oriv")) + " --midi x.mid ";
    struct Case {
        std::string arguments;
        const char* message;
        const char* file; // must not be left behind
    };
    const Case cases[] = {
        {render + "--out o.wav --program -1",
         "--program: expected a program number, a whole number from 0 to 1000000, not -1", ""},
        {render + "--out o.wav --rate 44.1k",
         "--rate: expected a sample rate in Hz, a whole number from 1000 to 768000; '44.1k' is "
         "not a whole number",
         ""},
        {render + "--out o.wav --midi y.mid",
         "--midi may be given only once (it was given 2 times)", ""},
        {render + "--out o.wav --gain loud", "--gain: expected a gain in dB, a number from", ""},
        {"process " + quoted(pluginPath("Malvoree")) + " --in x.wav --out " +
             quoted(dir.file("x.flac")),
         "qxahost writes WAV files here, not flac; give the output a .wav name", "x.flac"},
        {"snapshot " + quoted(pluginPath("Malvoree")) + " --out " + quoted(dir.file("o.jpg")),
         "qxahost writes PNG images here, not jpg; give the output a .png name", "o.jpg"},
        {"info " + quoted(dir.file("notes.txt")), "cannot load ", ""},
        {render + "--out o.wav --then-set 0=1", "--then-set and --then-program need --then EFFECT",
         ""},
        {render + "--out o.wav --channels 0-9",
         "qxahost render: --channels '0-9': channel 0 is not from 1 to 16", ""},
        {"process " + quoted(pluginPath("Malvoree")) + " --out o.wav", "--in is required", ""},
    };
    writeBytes(dir.file("notes.txt"), {'n', 'o', 't', 'e', 's', '\n'});
    for (const Case& c : cases) {
        const ShellRun run = runShell(qxahost() + " " + c.arguments, dir);
        EXPECT_EQ(run.code, 1) << c.arguments;
        EXPECT_TRUE(contains(run.err, c.message)) << c.arguments << ": " << run.err;
        EXPECT_FALSE(contains(run.err, "%1")) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        if (*c.file) {
            EXPECT_FALSE(std::filesystem::exists(dir.file(c.file))) << c.file;
        }
    }
    for (const char* command : {"render", "process", "info", "validate", "snapshot", "edit"}) {
        const std::string help = runShell(qxahost() + " " + command + " --help", dir).out;
        for (const char* label : {"INT", "UINT", "FLOAT", "NONNEGATIVE", " in ["})
            EXPECT_FALSE(contains(help, label)) << command << " shows " << label << ":\n" << help;
    }
    const std::string renderHelp = runShell(qxahost() + " render --help", dir).out;
    for (const char* name :
         {"--rate HZ", "--block FRAMES", "--program N", "--set NAME=VALUE", "--gain DB",
          "--normalize [=DB]", "--no-dither", "--programs-from-midi", "--channels LIST",
          "--then-program N", "--out FILE"})
        EXPECT_TRUE(contains(renderHelp, name)) << name << " missing:\n" << renderHelp;
}

// Only "-" and "--" start options: an absolute Unix path is a path, also in the Windows build
// under Wine, where it reaches the program unchanged.
TEST(QxahostAsUsersExpect, AbsoluteUnixPathsArePaths) {
    ScratchDirectory dir("qxa-paths");
    std::string path = pluginPath("Malvoree");
#if defined(_WIN32)
    // Z:\work\...\Malvoree.dll is /work/.../Malvoree.dll on the Unix side.
    if (path.size() < 3 || path[1] != ':') GTEST_SKIP() << "not on a Wine drive: " << path;
    path = path.substr(2);
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    ASSERT_EQ(path.front(), '/');
    const ShellRun info = runShell(qxahost() + " info " + path, dir);
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_TRUE(contains(info.out, "Name        Malvoree")) << info.out;
    const ShellRun snapshot =
        runShell(qxahost() + " snapshot " + path + " --out " + quoted(dir.file("m.png")), dir);
    EXPECT_FALSE(contains(snapshot.err, "PLUGIN is required")) << snapshot.err;
}
