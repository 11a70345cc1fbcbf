// The work of `qxahost process` and `qxahost render`, callable without the command line (the
// commands and the tests use it). Each returns the exit code: 0 on success, 1 after printing a
// one-line error to `err`. Warnings and the summary go to `err` too; `out` receives the WAV file
// when the output is "-".
#pragma once

#include "render_common.h"

#include <iosfwd>
#include <string>
#include <vector>

struct ProcessOptions {
    std::string plugin;
    std::string input;
    std::string output;
    int32_t blockSize = 512;
    PluginSettings settings;
    double tempo = 0.0;        // 0 = no tempo answered
    double tailSeconds = -1.0; // < 0 = automatic tail
    WavSampleFormat format = WavSampleFormat::Float32;
    LevelOptions levels;
    bool progress = false;
};

int runProcess(const ProcessOptions& options, std::ostream& out, std::ostream& err);

struct RenderOptions {
    std::string plugin;
    std::string midi;
    std::string output;
    uint32_t sampleRate = 44100;
    int32_t blockSize = 512;
    std::string channels = "1-16"; // the MIDI channels played (parseChannelList)
    PluginSettings settings;
    std::string effect; // --then; empty = none
    PluginSettings effectSettings;
    double tailSeconds = -1.0;
    WavSampleFormat format = WavSampleFormat::Float32;
    LevelOptions levels;
    // Program changes in the file become program selections at their frames; otherwise they
    // are left to the instrument (and a warning says so).
    bool programsFromMidi = false;
    bool progress = false;
};

int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err);

// Writes a click pattern for trying effects: `clicks` short decaying bursts, one every
// `intervalSeconds`, followed by `silenceSeconds` of silence. Returns the exit code.
int runMakeClicks(const std::string& output, uint32_t sampleRate, int clicks,
                  double intervalSeconds, double silenceSeconds, std::ostream& out,
                  std::ostream& err);
