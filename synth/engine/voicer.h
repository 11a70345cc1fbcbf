// Voicer: the voice manager. Owns a fixed pool of voices in two intrusive lists (free, and
// playing from newest at the head to oldest at the tail), keeps the state of 16 MIDI channels
// (bend, modulation, volume, pan, program, pedals, held notes), parses MIDI byte by byte with
// running status, starts and releases notes at their sample positions, steals voices when too
// many sound and renders every sounding voice into the output block.
//
// Threads: everything runs on the thread that owns the engine (the audio thread while it
// renders; see MicroSynth for how parameter changes from other threads are handed over).
// Nothing allocates after the voices have been added.
//
// Sections of voicer.cpp: construction and lists; note on/off and allocation; channel
// messages and pedals; curves. voicer_render.cpp: event intake, MIDI parser, render loop.
#pragma once

#include "qxa_abi.h"
#include "voice.h"

#include <cstdint>

enum class VelocityCurve : int32_t {
    Table = -1,
    Linear = 0,
    SquareRoot = 1,
    Square = 2,
    Full = 3,
};

class Voicer {
public:
    static constexpr int32_t kChannels = 16;
    static constexpr int32_t kNotes = 128;
    static constexpr int32_t kMonoStackDepth = 15;

    // Creates `count` plain voices (the synth passes 0 and adds its own with addVoice).
    Voicer(SynthContext* synth, int32_t count);
    Voicer(const Voicer&) = delete;
    Voicer& operator=(const Voicer&) = delete;
    // Deletes every voice added, free or playing.
    virtual ~Voicer();

    // An extra polyphony limit applied at each block (0 = none).
    virtual void setMaxVoices(int32_t count) { maxVoices_ = count; }
    virtual int32_t maxVoices() const { return maxVoices_; }
    // Frees every voice in the playing list at once, without release (host suspend).
    virtual void stopAllVoices();
    // Returns whether volume, pan or program changed since the last call, and clears it.
    virtual uint8_t takeChangedFlag();
    // Takes ownership of the voice and puts it on the free list.
    virtual void addVoice(Voice* voice);
    // Parses the MIDI events of a block; notes act at their delta frames in the next render.
    virtual void handleEventBlock(const EventBlock* block);
    // Adds every sounding voice into the outputs (which it does not clear).
    virtual void renderVoices(float** inputs, float** outputs, int32_t frames);
    // Clears the outputs, then renderVoices.
    virtual void renderBlock(float** inputs, float** outputs, int32_t frames);
    // Iterates the Playing voices from the head: restart, then next until null.
    virtual void restartVoiceIteration() { iterationIndex_ = 0; }
    virtual Voice* nextPlayingVoice();
    virtual int32_t channelProgram(int32_t channel) const;
    virtual void handleMidiEvent(const MidiEventRecord* event, int32_t status);
    // One MIDI byte (its low 8 bits are used) with the delta frames of the event it starts.
    virtual void parseMidiByte(int16_t byte, int32_t delta);
    virtual void noteOn(int32_t channel, int32_t note, int32_t velocity, int32_t delta);
    virtual Voice* startVoice(int32_t channel, int32_t note, int32_t velocity, int32_t delta,
                              bool toFront);
    virtual void noteOff(int32_t channel, int32_t note, int32_t stopDelay, bool allMatching);
    virtual void allNotesOff();
    virtual void channelNotesOff(int32_t channel, bool immediate);
    virtual void pitchBend(int32_t channel, int32_t lsb, int32_t msb);
    virtual void modulationWheel(int32_t channel, int32_t value);
    virtual void channelVolume(int32_t channel, int32_t value);
    virtual void channelPan(int32_t channel, int32_t value);
    virtual void programChange(int32_t channel, int32_t program);
    virtual void sustainPedal(int32_t channel, int32_t value, int32_t delta);
    virtual void sostenutoPedal(int32_t channel, int32_t value, int32_t delta);
    virtual void softPedal(int32_t channel, int32_t value);
    virtual void portamentoSwitch(int32_t channel, int32_t value);
    virtual void controlChange(int32_t channel, int32_t controller, int32_t value, int32_t delta);
    virtual void channelPressure(int32_t channel, int32_t value);
    virtual Voice* allocateVoice(int32_t channel, int32_t note, bool toFront);
    virtual void freeVoice(Voice* voice);
    virtual void setMonoMode(int32_t channel, bool on);
    virtual void setReleaseVelocity(double value) { releaseVelocityValue_ = value; }

    // 1 linear (the default), 2 square, 3 cube; keeps each channel's volume where it was.
    void setVolumeCurve(int32_t type);
    // Maps received velocities to used ones for one channel; `table` is read for Table only.
    void setVelocityCurve(int32_t channel, VelocityCurve type, const uint8_t* table);

    // Inspection.
    int32_t playingCount() const { return playingCount_; }
    int32_t totalVoices() const { return totalVoices_; }
    int32_t sampleClock() const { return sampleClock_; }
    Voice* playingHead() const { return playingHead_; }
    Voice* playingTail() const { return playingTail_; }
    Voice* lastStartedVoice() const { return lastStarted_; }
    static Voice* nextInList(const Voice* voice) { return voice->next_; }
    double channelVolumeValue(int32_t channel) const { return volume_[channel]; }
    double channelPitchBend(int32_t channel) const { return pitchBend_[channel]; }
    double channelModulation(int32_t channel) const { return modulation_[channel]; }
    bool sustainDown(int32_t channel) const { return sustainDown_[channel] != 0; }
    int32_t noteOnCount(int32_t channel, int32_t note) const {
        return noteOnCounters_[channel][note];
    }
    int32_t controllerValue(int32_t channel, int32_t controller) const {
        return controllerValues_[channel][controller];
    }
    uint8_t noteVelocity(int32_t channel, int32_t note) const {
        return noteVelocity_[channel][note];
    }
    int32_t monoStackCount(int32_t channel) const { return monoStacks_[channel].count; }
    int32_t lastProgramChange() const { return lastProgramChange_; }
    double pendingDetune() const { return pendingDetune_; }
    double releaseVelocityValue() const { return releaseVelocityValue_; }
    double valueTable(int32_t index) const { return valueTable_[index]; }

    // For the engine's owner: the stealing mode (0 oldest, 1 quietest, 2 split) and the
    // switches that the synth leaves at their defaults.
    void setStealMode(int32_t mode) { stealMode_ = mode; }
    void setSustainEnabled(int32_t channel, bool on) { sustainEnabled_[channel] = on; }
    void setSostenutoEnabled(int32_t channel, bool on) { sostenutoEnabled_[channel] = on; }
    void setSoftPedalEnabled(int32_t channel, bool on) { softPedalEnabled_[channel] = on; }
    void setRetriggerDisabled(bool on) { retriggerDisabled_ = on; }
    void setChannelMode(bool useMidiChannel) { channelMode_ = useMidiChannel; }

protected:
    // Lists.
    void pushFree(Voice* voice);
    Voice* popFree();
    void linkFront(Voice* voice);
    void linkBack(Voice* voice);
    void unlink(Voice* voice);
    // Releases or frees a voice, as note-off, all-notes-off and the render loop do.
    void releaseOrFree(Voice* voice);
    Voice* chooseVoiceToSteal();
    void forceVoice(Voice* voice);
    void noteOnFromParser(int32_t channel, int32_t note, int32_t velocity);
    void noteOffFromParser(int32_t channel, int32_t note, int32_t velocity, bool isNoteOff);
    void controllerFromParser(int32_t channel, int32_t controller, int32_t value, int32_t delta);
    int32_t softened(int32_t channel, int32_t velocity) const;
    static int32_t wrappingAdd(int32_t a, int32_t b);
    void renderPlayingVoice(Voice* voice, float** inputs, float** outputs, int32_t frames);
    // Renders one stretch of a playing voice: `frames` samples from `startOffset` into the
    // block, into channel pointers already advanced by it. The render loop calls it in list
    // order, at most twice per voice and block (before and after a note-off inside the block).
    virtual void renderVoiceRange(Voice* voice, float** inputs, float** outputs, int32_t frames,
                                  int32_t startOffset) {
        voice->renderAdd(inputs, outputs, frames, startOffset);
    }

    SynthContext* synth_;

private:
    struct MonoStack {
        uint8_t count = 0;
        uint8_t notes[kMonoStackDepth] = {};
        uint8_t velocities[kMonoStackDepth] = {};
    };
    struct NoteMask {
        uint64_t bits[2] = {};
        void set(int32_t note) { bits[note >> 6] |= uint64_t{1} << (note & 63); }
        void clear(int32_t note) { bits[note >> 6] &= ~(uint64_t{1} << (note & 63)); }
        bool test(int32_t note) const { return (bits[note >> 6] >> (note & 63)) & 1; }
    };

    double volume_[kChannels];
    double pan_[kChannels];
    double pitchBend_[kChannels] = {};
    double modulation_[kChannels] = {};
    double panSpread_[kChannels] = {};
    double lastVolume_ = 0.0;
    double lastPan_ = 0.0;
    double releaseVelocityValue_ = 0.0;
    double pendingDetune_ = 0.0;
    double softPedalFactor_ = 0.85;
    Voice* freeList_ = nullptr;
    Voice* playingHead_ = nullptr;
    Voice* playingTail_ = nullptr;
    Voice* lastStarted_ = nullptr;
    int32_t totalVoices_ = 0;
    int32_t playingCount_ = 0;
    int32_t currentEventDelta_ = 0;
    int32_t iterationIndex_ = 0;
    int32_t lastProgramChange_ = 0;
    int32_t programChangeMask_ = 0;
    int32_t maxVoices_ = 0;
    int32_t sampleClock_ = 1000;
    NoteMask held_[kChannels];
    NoteMask sostenutoCapture_[kChannels];
    uint8_t noteVelocity_[kChannels][kNotes] = {};
    uint8_t controllerValues_[kChannels][kNotes] = {};
    int16_t channelProgram_[kChannels];
    MonoStack monoStacks_[kChannels];
    int32_t noteOnCounters_[kChannels][kNotes] = {};
    uint8_t monoMode_[kChannels] = {};
    uint8_t sustainEnabled_[kChannels];
    uint8_t sustainDown_[kChannels] = {};
    uint8_t sostenutoEnabled_[kChannels] = {};
    uint8_t sostenutoDown_[kChannels] = {};
    uint8_t softPedalEnabled_[kChannels] = {};
    uint8_t softPedalDown_[kChannels] = {};
    uint8_t portamento_[kChannels];
    uint8_t retriggerDisabled_ = 0;
    uint8_t changed_ = 0;
    uint8_t channelMode_ = 1;
    int32_t stealMode_ = 0;
    int16_t splitNote_ = 60;
    int16_t lowNoteThreshold_ = 3;
    VelocityCurve velocityCurveType_[kChannels];
    uint8_t velocityMaps_[kChannels][kNotes];
    // 0..127: 7-bit values to 0..1 (entry 64 is exactly 0.5); 128..255: the volume curve.
    double valueTable_[256];
    int32_t volumeCurveType_ = 0;
    // MIDI parser state.
    int16_t runningStatus_ = 0;
    int16_t parserChannel_ = 0;
    int16_t firstDataByte_ = 0;
    int16_t dataPending_ = 0;
};
