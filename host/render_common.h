// Pieces shared by `qxahost process` and `qxahost render`: option parsing (--set, --format),
// the tail rule, MIDI events cut into render blocks, preparing a plug-in, the progress bar and
// the summary line. Host-side only; allocates, never on a plug-in's audio path.
#pragma once

#include "file_io.h"
#include "levels.h"
#include "midifile.h"
#include "pluginhost.h"
#include "wavfile.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// --set NAME=VALUE: the text before the last '=' names the parameter (an index, a title or an
// editor caption); the value after it is a normalised value, a number from 0 to 1, or anything
// else, which the plug-in reads as its displays show values ("-6 dB", "0.5 s", "L 32").
struct ParameterSetting {
    std::string name;
    std::string valueText;
    bool isNormalised = false; // a plain number from 0 to 1
    float value = 0.0f;        // when normalised
};

// False with `error` when the text has no '=', an empty name or an empty value.
bool parseParameterSetting(const std::string& text, ParameterSetting& setting, std::string& error);

// --out: a name with an extension other than `extension` (".wav", ".png") is refused with
// `error`, which names what is written (`what`). Names without an extension, and "-", pass.
bool checkOutputName(const std::string& path, const char* extension, const char* what,
                     std::string& error);

// --format: "float" (32-bit float), "16" or "24" (PCM); also "float32", "pcm16", "pcm24".
bool parseSampleFormat(const std::string& text, WavSampleFormat& format);
const char* sampleFormatName(WavSampleFormat format);

// --channels: MIDI channels as a list of numbers and ranges from 1 to 16 ("1-9,11-16"; blanks
// around items ignored), as a mask with bit c - 1 set for channel c. False with `error` (which
// quotes the text) for an empty list or item, a channel outside 1 to 16, a backward range or
// anything else.
bool parseChannelList(const std::string& text, uint16_t& mask, std::string& error);
constexpr uint16_t kAllMidiChannels = 0xFFFF;

// What a command does to a plug-in before rendering: a program, then parameter values.
struct PluginSettings {
    int program = -1; // -1 = keep the plug-in's current program
    std::vector<std::string> sets;
};

// Settings checked against one loaded plug-in: the program exists, every name found.
struct ResolvedSettings {
    int program = -1;
    std::vector<std::pair<int32_t, float>> values; // parameter index, normalised value
};

// False with a one-line `error` (without the command name) for a --set text that does not parse.
bool checkSettingTexts(const PluginSettings& settings, std::string& error);
// Selects the program and applies the settings in order to the plug-in, as applySettings does
// later again, and keeps each value as the plug-in took it (a typed value through
// ParameterTextParse, then read back). False with a one-line `error` for a program the plug-in
// lacks, a parameter it does not have (naming the nearest names) or a value it does not take.
bool resolveSettings(PluginInstance& plugin, const std::string& path,
                     const PluginSettings& settings, ResolvedSettings& resolved,
                     std::string& error);
// As a host does: the program first, so that the values adjust the chosen program.
void applySettings(PluginInstance& plugin, const ResolvedSettings& resolved);

// Loads the plug-in, starts it at `sampleRate` / `blockSize`, selects the program and applies
// the settings in order. Null with a one-line `error` (without the command name) otherwise.
std::unique_ptr<PluginInstance> preparePlugin(const std::string& path,
                                              const PluginSettings& settings, float sampleRate,
                                              int32_t blockSize, std::string& error);

// How long to keep rendering once the input (or the last MIDI event) is over: a fixed time, or
// automatically until the output has stayed below -90 dBFS for half a second, at most 30 s.
class TailRule {
public:
    static constexpr double kMaxAutomaticSeconds = 30.0;
    static constexpr double kQuietSeconds = 0.5;
    static constexpr float kQuietLevel = 3.16227766e-5f; // -90 dBFS

    // fixedSeconds < 0 selects the automatic rule.
    TailRule(double fixedSeconds, uint32_t sampleRate);

    // Frames of the next tail block, at most `blockSize`; 0 once the tail is complete.
    int32_t nextBlockFrames(int32_t blockSize) const;
    // Accounts for a rendered tail block of `channelCount` channels.
    void observe(float* const* channels, size_t channelCount, int32_t frames);
    int64_t renderedFrames() const { return rendered_; }
    // True when the automatic tail ended at its cap while the output still sounded.
    bool hitCap() const;

private:
    bool automatic_;
    int64_t limit_;
    int64_t quietNeeded_;
    int64_t rendered_ = 0;
    int64_t quietRun_ = 0;
};

// MIDI file events placed at sample positions for one sample rate, delivered block by block.
// Building it is linear in the events and tempo changes; each block costs its events plus a
// binary search of the tempo map.
class MidiSchedule {
public:
    struct Event {
        int64_t sample;
        uint8_t bytes[3];
    };

    // Keeps the channel messages of the channels in `channelMask` (see parseChannelList).
    MidiSchedule(const MidiFile& file, uint32_t sampleRate,
                 uint16_t channelMask = kAllMidiChannels);

    // Position after the last kept event (and after the last track's end), in samples: the
    // length of the song before its tail.
    int64_t lengthSamples() const { return length_; }
    // Tempo at `sample` in beats per minute (120 before the first tempo event).
    double tempoAt(int64_t sample) const;
    const std::vector<Event>& events() const { return events_; }

    // Replaces `records` with the events in [blockStart, blockStart + frames) that follow the
    // ones already taken, each with its delta frames inside the block. Blocks must be asked for
    // in order.
    void takeBlock(int64_t blockStart, int32_t frames, std::vector<MidiEventRecord>& records);

private:
    std::vector<Event> events_;
    std::vector<std::pair<int64_t, double>> tempos_; // sample, beats per minute
    int64_t length_ = 0;
    size_t next_ = 0;
};

// A one-line progress bar on stderr, drawn only when stderr is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled);
    static bool stderrIsTerminal();

    // Main part: `done` of `total` frames.
    void update(int64_t done, int64_t total);
    // Tail: seconds rendered so far.
    void updateTail(double seconds);
    // Clears the line.
    void finish();

private:
    void draw(const std::string& line);
    bool enabled_;
    int lastPercent_ = -1;
    int lastTenths_ = -1;
    bool drawn_ = false;
};

// Collects output blocks; the audio becomes the output file.
struct RenderResult {
    WavAudio audio;

    // Appends `frames` frames of the first audio.channels.size() channels.
    void append(const std::vector<float*>& channels, int32_t frames);
};

// Something about a render that the user must hear of: a short note for the summary line and
// a sentence for the warning on stderr.
struct RenderNote {
    std::string summary;
    std::string warning;
};

// The notes of a rendered tail: the automatic tail's cap.
void noteTail(const TailRule& tail, std::vector<RenderNote>& notes);

// "OUT.wav: 12.35 s, 2 channels, 44100 Hz, 16-bit PCM, dithered; peak -3.1 dBFS, 0 samples
// clipped; 250x real time", then the notes' summaries; the output "-" reads "(stdout)".
std::string summaryLine(const std::string& path, const WavAudio& audio, WavSampleFormat format,
                        const LevelReport& levels, double wallSeconds,
                        const std::vector<RenderNote>& notes = {});

// The end of process and render: levels, then the file (or the encoded WAV on `out` for "-"),
// then the warnings on `err`, each starting with `prefix` ("qxahost render: "), and the summary
// line. A PCM output that clipped adds a warning. Returns the exit code.
int writeRenderedAudio(const std::string& prefix, const std::string& path, WavSampleFormat format,
                       const LevelOptions& levels, WavAudio& audio, double wallSeconds,
                       std::vector<RenderNote> notes, std::ostream& out, std::ostream& err);

// Peak level as text: "-6.0 dBFS", "-inf dBFS" for silence.
std::string peakText(float peak);

// Channel buffers of a fixed block size, with the pointer arrays a render call takes.
class ChannelBuffers {
public:
    ChannelBuffers(int channels, int32_t frames);
    std::vector<float*>& pointers() { return pointers_; }
    float** data() { return pointers_.empty() ? nullptr : pointers_.data(); }
    void clear();

private:
    std::vector<std::vector<float>> storage_;
    std::vector<float*> pointers_;
};
