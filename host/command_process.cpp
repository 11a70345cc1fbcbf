// qxahost process PLUGIN --in IN.wav --out OUT.wav: runs an effect over a WAV file.
#include "command_options.h"
#include "commands.h"
#include "render_commands.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <iostream>

namespace {

const char* const kPrefix = "qxahost process: ";

int fail(std::ostream& err, const std::string& message) {
    err << kPrefix << message << '\n';
    return 1;
}

// Input channel `index` of a plug-in with `pluginInputs` inputs, from a file of one or two
// channels: mono feeds every input; stereo feeds left and right, or their mean to a mono input.
void fillInput(const WavAudio& audio, int index, int pluginInputs, size_t start, int32_t frames,
               float* destination) {
    const size_t available = audio.frameCount() > start ? audio.frameCount() - start : 0;
    const size_t count = std::min(available, static_cast<size_t>(frames));
    const int fileChannels = static_cast<int>(audio.channels.size());
    if (fileChannels == 2 && pluginInputs == 1) {
        const float* left = audio.channels[0].data() + start;
        const float* right = audio.channels[1].data() + start;
        for (size_t i = 0; i < count; ++i)
            destination[i] = 0.5f * (left[i] + right[i]);
    } else {
        const float* source =
            audio.channels[static_cast<size_t>(std::min(index, fileChannels - 1))].data() + start;
        std::copy(source, source + count, destination);
    }
    std::fill(destination + count, destination + frames, 0.0f);
}

} // namespace

int runProcess(const ProcessOptions& options, std::ostream& out, std::ostream& err) {
    if (isSameFile(options.output, options.input) || isSameFile(options.output, options.plugin))
        return fail(err, "refusing to write over the input file '" + options.output + "'");
    if (options.blockSize < 1) return fail(err, "--block must be at least 1");
    if (!(options.tempo >= 0.0) || !std::isfinite(options.tempo))
        return fail(err, "--tempo must be a positive number of beats per minute");

    std::string error;
    if (!checkOutputName(options.output, ".wav", "WAV files", error)) return fail(err, error);
    if (!canCreateFile(options.output, error)) return fail(err, options.output + ": " + error);
    WavAudio input;
    if (!readWavFile(options.input, input, error))
        return fail(err, (isStandardStream(options.input) ? "standard input" : options.input) +
                             ": " + error);

    auto plugin = preparePlugin(options.plugin, options.settings,
                                static_cast<float>(input.sampleRate), options.blockSize, error);
    if (!plugin) return fail(err, error);
    const int inputs = plugin->inputCount();
    const int outputs = plugin->outputCount();
    if (inputs < 1)
        return fail(err,
                    options.plugin + " has no audio inputs (an instrument? use qxahost render)");
    if (outputs < 1) return fail(err, options.plugin + " has no audio outputs");
    plugin->transport().tempo = options.tempo;

    ChannelBuffers inBuffers(inputs, options.blockSize);
    ChannelBuffers outBuffers(outputs, options.blockSize);
    RenderResult result;
    result.audio.sampleRate = input.sampleRate;
    result.audio.channels.resize(static_cast<size_t>(std::min(outputs, 2)));
    for (auto& channel : result.audio.channels)
        channel.reserve(input.frameCount() + input.sampleRate);

    ProgressBar progress(options.progress);
    TailRule tail(options.tailSeconds, input.sampleRate);
    const auto startTime = std::chrono::steady_clock::now();
    const size_t total = input.frameCount();
    size_t position = 0;
    for (;;) {
        int32_t frames;
        if (position < total) {
            frames = static_cast<int32_t>(std::min<size_t>(options.blockSize, total - position));
        } else {
            frames = tail.nextBlockFrames(options.blockSize);
            if (frames == 0) break;
        }
        for (int c = 0; c < inputs; ++c)
            fillInput(input, c, inputs, position, frames,
                      inBuffers.pointers()[static_cast<size_t>(c)]);
        plugin->transport().samplePosition = static_cast<double>(position);
        plugin->renderReplacing(inBuffers.data(), outBuffers.data(), frames);
        result.append(outBuffers.pointers(), frames);
        if (position >= total) {
            tail.observe(outBuffers.data(), result.audio.channels.size(), frames);
            progress.updateTail(static_cast<double>(tail.renderedFrames()) / input.sampleRate);
        } else {
            progress.update(static_cast<int64_t>(position + static_cast<size_t>(frames)),
                            static_cast<int64_t>(total));
        }
        position += static_cast<size_t>(frames);
    }
    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
    progress.finish();
    plugin->stop();

    std::vector<RenderNote> notes;
    noteTail(tail, notes);
    return writeRenderedAudio(kPrefix, options.output, options.format, options.levels, result.audio,
                              wallSeconds, std::move(notes), out, err);
}

int runMakeClicks(const std::string& output, uint32_t sampleRate, int clicks,
                  double intervalSeconds, double silenceSeconds, std::ostream& out,
                  std::ostream& err) {
    if (sampleRate < 1000 || clicks < 1 || !(intervalSeconds > 0.0) || !(silenceSeconds >= 0.0))
        return fail(err, "make-clicks: bad pattern");
    // Each click is a short burst of a decaying 2 kHz tone: short enough to show every echo
    // apart, tonal enough to hear the damping filters at work. Every fourth click is accented.
    const auto interval = static_cast<size_t>(intervalSeconds * sampleRate);
    const auto clickLength = static_cast<size_t>(0.012 * sampleRate);
    const size_t frames =
        interval * static_cast<size_t>(clicks) + static_cast<size_t>(silenceSeconds * sampleRate);
    WavAudio audio;
    audio.sampleRate = sampleRate;
    audio.channels.assign(1, std::vector<float>(frames, 0.0f));
    constexpr double kPi = 3.14159265358979323846;
    for (int click = 0; click < clicks; ++click) {
        const double gain = click % 4 == 0 ? 0.8 : 0.5;
        const size_t start = interval * static_cast<size_t>(click);
        for (size_t i = 0; i < clickLength && start + i < frames; ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            audio.channels[0][start + i] =
                static_cast<float>(gain * std::exp(-t * 400.0) * std::sin(2.0 * kPi * 2000.0 * t));
        }
    }
    std::string error;
    if (!writeWavFile(output, audio, WavSampleFormat::Pcm16, error))
        return fail(err, output + ": " + error);
    out << output << ": " << clicks << " clicks, " << static_cast<double>(frames) / sampleRate
        << " s\n";
    return 0;
}

void addProcessCommand(CLI::App& app) {
    auto options = std::make_shared<ProcessOptions>();
    auto formatText = std::make_shared<std::string>("float");
    auto tail = std::make_shared<double>(-1.0);
    auto levelTexts = std::make_shared<LevelOptionTexts>();
    CLI::App* command = app.add_subcommand(
        "process", "Run an effect plug-in over a WAV file and write the result as a WAV file");
    command->add_option("PLUGIN", options->plugin, "The effect plug-in (.dll or .so)")
        ->type_name("")
        ->required();
    command
        ->add_option("--in", options->input,
                     "Input WAV: PCM 16/24/32-bit or float 32/64-bit, mono or stereo; - reads "
                     "it from standard input")
        ->type_name("FILE")
        ->required();
    command
        ->add_option("--out", options->output,
                     "Output WAV file (never the input file); - writes it to standard output "
                     "(status goes to stderr)")
        ->type_name("FILE")
        ->required();
    addBlockOption(*command, options->blockSize);
    addSettingsOptions(*command, options->settings, "", "");
    command
        ->add_option("--tempo", options->tempo,
                     "Tempo answered to the plug-in, 1 to 999 (default: none)")
        ->type_name("BPM")
        ->check(numberFrom(1.0, 999.0, "a tempo in beats per minute"));
    command
        ->add_option("--tail", *tail,
                     "Seconds rendered after the input ends (default: until the output stays "
                     "below -90 dBFS for half a second, at most 30 s)")
        ->type_name("SECONDS")
        ->check(numberFrom(0.0, 3600.0, "a tail length in seconds"));
    addFormatOption(*command, *formatText);
    addLevelOptions(*command, options->levels, *levelTexts);
    command->callback([options, formatText, tail, levelTexts, command]() {
        std::string error;
        if (!levelOptionsFrom(*command, options->levels, *levelTexts, error)) {
            std::cerr << "qxahost process: " << error << '\n';
            throw CLI::RuntimeError(1);
        }
        parseSampleFormat(*formatText, options->format);
        options->tailSeconds = *tail;
        options->progress = ProgressBar::stderrIsTerminal();
        if (isStandardStream(options->output)) setBinaryMode(stdout);
        const int code = runProcess(*options, std::cout, std::cerr);
        if (code != 0) throw CLI::RuntimeError(code);
    });

    // Hidden: writes the click pattern that the demo runs through the echo.
    auto clicksPath = std::make_shared<std::string>();
    auto clickCount = std::make_shared<int>(8);
    CLI::App* clicks = app.add_subcommand("make-clicks", "Write a click pattern WAV");
    clicks->group("");
    clicks->add_option("OUT", *clicksPath, "Output WAV")->type_name("")->required();
    clicks->add_option("--count", *clickCount, "Number of clicks")
        ->type_name("N")
        ->check(wholeNumberFrom(1, 1000, "a number of clicks"));
    clicks->callback([clicksPath, clickCount]() {
        const int code =
            runMakeClicks(*clicksPath, 44100, *clickCount, 0.5, 2.5, std::cerr, std::cerr);
        if (code != 0) throw CLI::RuntimeError(code);
    });
}
