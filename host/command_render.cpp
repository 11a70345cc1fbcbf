// qxahost render PLUGIN --midi IN.mid --out OUT.wav [--then EFFECT]: plays a Standard MIDI File
// through an instrument, optionally through an effect in the same blocks.
#include "command_options.h"
#include "commands.h"
#include "render_commands.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <iostream>

namespace {

// Songs longer than this are refused: a corrupt delta time would otherwise render for days.
constexpr double kMaxSongSeconds = 3600.0;

const char* const kPrefix = "qxahost render: ";

int fail(std::ostream& err, const std::string& message) {
    err << kPrefix << message << '\n';
    return 1;
}

bool isNoteOn(const MidiFileEvent& event) {
    return (event.bytes[0] & 0xF0) == 0x90 && event.bytes[2] > 0;
}

bool isProgramChange(const MidiFileEvent& event) {
    return (event.bytes[0] & 0xF0) == 0xC0;
}

bool inChannels(const MidiFileEvent& event, uint16_t mask) {
    return ((mask >> (event.bytes[0] & 0x0F)) & 1) != 0;
}

// "1 program change", "2 program changes".
std::string counted(size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// A program change of the file at its sample position.
struct ProgramChange {
    int64_t sample;
    int program;
};

} // namespace

int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err) {
    const bool chained = !options.effect.empty();
    if (isSameFile(options.output, options.midi) || isSameFile(options.output, options.plugin) ||
        (chained && isSameFile(options.output, options.effect)))
        return fail(err, "refusing to write over the input file '" + options.output + "'");
    if (options.blockSize < 1) return fail(err, "--block must be at least 1");
    if (options.sampleRate < 1000 || options.sampleRate > 768000)
        return fail(err, "--rate must be from 1000 to 768000 Hz");

    std::string error;
    uint16_t channelMask = 0;
    if (!parseChannelList(options.channels, channelMask, error)) return fail(err, error);
    if (!checkOutputName(options.output, ".wav", "WAV files", error)) return fail(err, error);
    if (!canCreateFile(options.output, error)) return fail(err, options.output + ": " + error);
    MidiFile midi;
    if (!readMidiFile(options.midi, midi, error))
        return fail(err, (isStandardStream(options.midi) ? "standard input" : options.midi) + ": " +
                             error);
    MidiSchedule schedule(midi, options.sampleRate, channelMask);
    if (static_cast<double>(schedule.lengthSamples()) > kMaxSongSeconds * options.sampleRate)
        return fail(err, options.midi + ": the song lasts longer than an hour");

    // What the selected channels hold: notes, and program changes for the instrument.
    std::vector<RenderNote> notes;
    int64_t notesInFile = 0, notesPlayed = 0;
    std::vector<ProgramChange> programChanges;
    const std::vector<int64_t> eventSamples = midi.eventSamples(options.sampleRate);
    for (size_t i = 0; i < midi.events.size(); ++i) {
        const MidiFileEvent& event = midi.events[i];
        notesInFile += isNoteOn(event);
        if (!inChannels(event, channelMask)) continue;
        notesPlayed += isNoteOn(event);
        if (isProgramChange(event)) programChanges.push_back({eventSamples[i], event.bytes[1]});
    }
    if (notesPlayed == 0)
        notes.push_back(
            {"no notes played", notesInFile == 0
                                    ? "the MIDI file holds no notes: the output is silence"
                                    : "channels " + options.channels +
                                          " hold no notes of this file: the output is silence (" +
                                          counted(static_cast<size_t>(notesInFile), "note") +
                                          " on other channels; --channels selects them)"});
    if (!programChanges.empty() && !options.programsFromMidi)
        notes.push_back({counted(programChanges.size(), "program change") + " not applied",
                         "the file's " + counted(programChanges.size(), "program change") +
                             " not applied (the instrument hears them as MIDI, which may not "
                             "select programs); --programs-from-midi applies them"});
    if (!options.programsFromMidi) programChanges.clear();

    const auto rate = static_cast<float>(options.sampleRate);
    auto instrument =
        preparePlugin(options.plugin, options.settings, rate, options.blockSize, error);
    if (!instrument) return fail(err, error);
    if (!instrument->isInstrument())
        return fail(err,
                    options.plugin + " is not an instrument (use qxahost process for effects)");
    const int instrumentOutputs = instrument->outputCount();
    if (instrumentOutputs < 1) return fail(err, options.plugin + " has no audio outputs");
    int ignoredPrograms = 0;
    for (const ProgramChange& change : programChanges)
        ignoredPrograms += change.program >= instrument->programCount();
    if (ignoredPrograms > 0)
        notes.push_back(
            {counted(static_cast<size_t>(ignoredPrograms), "program change") + " ignored",
             counted(static_cast<size_t>(ignoredPrograms), "program change") +
                 " to programs that the instrument lacks (it has " +
                 std::to_string(instrument->programCount()) + ") ignored"});

    std::unique_ptr<PluginInstance> effect;
    if (chained) {
        effect =
            preparePlugin(options.effect, options.effectSettings, rate, options.blockSize, error);
        if (!effect) return fail(err, "--then " + error);
        if (effect->inputCount() < 1)
            return fail(err, "--then " + options.effect + " has no audio inputs");
        if (effect->outputCount() < 1)
            return fail(err, "--then " + options.effect + " has no audio outputs");
    }

    ChannelBuffers instrumentIn(instrument->inputCount(), options.blockSize);
    ChannelBuffers instrumentOut(instrumentOutputs, options.blockSize);
    // The effect's inputs are the instrument's outputs; extra inputs repeat the last output.
    std::vector<float*> effectIn;
    std::unique_ptr<ChannelBuffers> effectOut;
    if (effect) {
        for (int c = 0; c < effect->inputCount(); ++c)
            effectIn.push_back(
                instrumentOut.pointers()[static_cast<size_t>(std::min(c, instrumentOutputs - 1))]);
        effectOut = std::make_unique<ChannelBuffers>(effect->outputCount(), options.blockSize);
    }
    ChannelBuffers& finalOut = effect ? *effectOut : instrumentOut;

    RenderResult result;
    result.audio.sampleRate = options.sampleRate;
    size_t nextProgramChange = 0;
    result.audio.channels.resize(
        static_cast<size_t>(std::min<size_t>(finalOut.pointers().size(), 2)));

    ProgressBar progress(options.progress);
    TailRule tail(options.tailSeconds, options.sampleRate);
    std::vector<MidiEventRecord> records;
    records.reserve(256);
    const int64_t songFrames = schedule.lengthSamples();
    const auto startTime = std::chrono::steady_clock::now();
    int64_t position = 0;
    for (;;) {
        // A program change takes effect at its frame: the block before it ends there.
        for (; nextProgramChange < programChanges.size() &&
               programChanges[nextProgramChange].sample <= position;
             ++nextProgramChange)
            if (programChanges[nextProgramChange].program < instrument->programCount())
                instrument->selectProgram(programChanges[nextProgramChange].program);
        int32_t frames;
        if (position < songFrames) {
            int64_t blockEnd = std::min<int64_t>(position + options.blockSize, songFrames);
            if (nextProgramChange < programChanges.size())
                blockEnd = std::min(blockEnd, programChanges[nextProgramChange].sample);
            frames = static_cast<int32_t>(blockEnd - position);
        } else {
            frames = tail.nextBlockFrames(options.blockSize);
            if (frames == 0) break;
        }
        // Both plug-ins hear the tempo in effect at the start of the block.
        const double tempo = schedule.tempoAt(position);
        instrument->transport().tempo = tempo;
        instrument->transport().samplePosition = static_cast<double>(position);
        schedule.takeBlock(position, frames, records);
        if (!records.empty()) instrument->sendMidi(records);
        instrument->renderReplacing(instrumentIn.data(), instrumentOut.data(), frames);
        if (effect) {
            effect->transport().tempo = tempo;
            effect->transport().samplePosition = static_cast<double>(position);
            effect->renderReplacing(effectIn.data(), effectOut->data(), frames);
        }
        result.append(finalOut.pointers(), frames);
        if (position >= songFrames) {
            tail.observe(finalOut.data(), result.audio.channels.size(), frames);
            progress.updateTail(static_cast<double>(tail.renderedFrames()) / options.sampleRate);
        } else {
            progress.update(position + frames, songFrames);
        }
        position += frames;
    }
    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
    progress.finish();
    if (effect) effect->stop();
    instrument->stop();

    noteTail(tail, notes);
    return writeRenderedAudio(kPrefix, options.output, options.format, options.levels, result.audio,
                              wallSeconds, std::move(notes), out, err);
}

void addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    auto formatText = std::make_shared<std::string>("float");
    auto levelTexts = std::make_shared<LevelOptionTexts>();
    CLI::App* command = app.add_subcommand(
        "render", "Play a Standard MIDI File through an instrument plug-in into a WAV file");
    command->add_option("PLUGIN", options->plugin, "The instrument plug-in (.dll or .so)")
        ->type_name("")
        ->required();
    command
        ->add_option("--midi", options->midi,
                     "Standard MIDI File, format 0 or 1; - reads it from standard input")
        ->type_name("FILE")
        ->required();
    command
        ->add_option("--out", options->output,
                     "Output WAV file; - writes it to standard output (status goes to stderr)")
        ->type_name("FILE")
        ->required();
    command->add_option("--rate", options->sampleRate, "Sample rate, 1000 to 768000")
        ->type_name("HZ")
        ->default_val(44100)
        ->check(wholeNumberFrom(1000, 768000, "a sample rate in Hz"));
    addBlockOption(*command, options->blockSize);
    command
        ->add_option("--channels", options->channels,
                     "MIDI channels to play, 1 to 16, as a list of channels and ranges: "
                     "1-9,11-16 leaves out the drums of a General MIDI file")
        ->type_name("LIST")
        ->default_val("1-16");
    command->add_flag("--programs-from-midi", options->programsFromMidi,
                      "Apply the file's program changes as program selections at their frames "
                      "(without it they only reach the instrument as MIDI, which Oriv ignores)");
    addSettingsOptions(*command, options->settings, "", " of the instrument");
    command
        ->add_option("--tail", options->tailSeconds,
                     "Seconds rendered after the last event (default: until the output stays "
                     "below -90 dBFS for half a second, at most 30 s)")
        ->type_name("SECONDS")
        ->check(numberFrom(0.0, 3600.0, "a tail length in seconds"));
    addFormatOption(*command, *formatText);
    addLevelOptions(*command, options->levels, *levelTexts);
    command
        ->add_option("--then", options->effect,
                     "An effect plug-in that the instrument's output runs through")
        ->type_name("EFFECT");
    addSettingsOptions(*command, options->effectSettings, "then-", " of the --then effect");
    command->callback([options, formatText, levelTexts, command]() {
        if (options->effect.empty() &&
            (!options->effectSettings.sets.empty() || options->effectSettings.program >= 0)) {
            std::cerr << "qxahost render: --then-set and --then-program need --then EFFECT\n";
            throw CLI::RuntimeError(1);
        }
        std::string error;
        if (!levelOptionsFrom(*command, options->levels, *levelTexts, error)) {
            std::cerr << "qxahost render: " << error << '\n';
            throw CLI::RuntimeError(1);
        }
        parseSampleFormat(*formatText, options->format);
        options->progress = ProgressBar::stderrIsTerminal();
        if (isStandardStream(options->output)) setBinaryMode(stdout);
        const int code = runRender(*options, std::cout, std::cerr);
        if (code != 0) throw CLI::RuntimeError(code);
    });
}
