// Voice: the generic part of a voice. Holds what the voice manager hands it at note start
// (note, channel, velocity, volume, pan, pitch bend, modulation) and turns volume, pan and
// velocity into a left and a right gain. The manager (Voicer) keeps every voice in one of two
// intrusive lists and reads and writes the bookkeeping fields directly.
//
// Audio thread (and the synth's parameter path, which never runs concurrently with it).
#pragma once

#include "noisesource.h"

#include <cstdint>

class SynthContext;
class Voicer;

enum class VoiceState : int32_t { Free = 0, Playing = 1, Finished = 2 };

class Voice {
public:
    Voice(SynthContext* synth, int32_t channel);
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;
    virtual ~Voice() = default;

    // Adds this voice's sound for `frames` samples into outputs[0] (left) and outputs[1]
    // (right). The manager has already advanced the pointers by `startOffset`.
    virtual void renderAdd(float** /*inputs*/, float** /*outputs*/, int32_t /*frames*/,
                           int32_t /*startOffset*/) {}
    virtual void attachVoicer(Voicer* voicer) { voicer_ = voicer; }
    // The manager has stored note, velocity value, volume, pan, bend and modulation.
    virtual void startNote(int32_t note, double velocityValue);
    // True when the voice goes on sounding (in its release); false means "free me now".
    virtual bool releaseNote(double /*releaseVelocity*/) { return false; }
    virtual bool forceRelease() { return false; }
    virtual void onVoiceFreed() {}
    virtual void setVolume(double volume);
    virtual void setPan(double pan);
    virtual void setPitchBend(double /*bend*/) {}
    virtual void setModulation(double /*modulation*/) {}
    virtual void onControlChange(int32_t /*controller*/, int32_t /*value*/) {}
    virtual void setPressure(double /*pressure*/) {}
    virtual void setPanSpread(double spread);
    virtual void setReleasedFlag(uint8_t on) { released_ = on; }
    virtual void setSustainHeldFlag(uint8_t on) { sustainHeld_ = on; }
    virtual void setStartDelay(int32_t frames) { startDelay_ = frames; }
    virtual void setStopDelay(int32_t frames) { stopDelay_ = frames; }

    VoiceState state() const { return state_; }
    int32_t note() const { return note_; }
    int32_t channel() const { return channel_; }
    int32_t velocity() const { return velocity_; }
    int32_t voiceIndex() const { return voiceIndex_; }
    int32_t startTime() const { return startTime_; }
    int32_t startDelay() const { return startDelay_; }
    int32_t stopDelay() const { return stopDelay_; }
    double pitchBend() const { return pitchBend_; }
    double modulation() const { return modulation_; }
    double volume() const { return volume_; }
    double leftGain() const { return leftGain_; }
    double rightGain() const { return rightGain_; }
    double releaseVelocityValue() const { return releaseVelocityValue_; }
    bool isReleased() const { return released_ != 0; }
    bool isForceReleased() const { return forceReleased_ != 0; }
    bool isSustainHeld() const { return sustainHeld_ != 0; }
    bool isSostenutoHeld() const { return sostenutoHeld_ != 0; }
    bool hasNoteOff() const { return noteOffReceived_ != 0; }

protected:
    // Linear pan law, scaled by velocity: at pan 0.5 each side gets half the volume.
    void updateGains();

    double volume_ = 0.75;
    double pan_ = 0.5;
    double velocityValue_ = 0.5;
    double pitchBend_ = 0.0;
    double modulation_ = 0.0;
    double leftGain_ = 0.5;
    double rightGain_ = 0.5;
    double panSpread_ = 0.0;
    double randomValue_ = 0.0;
    double releaseVelocityValue_ = 0.0;
    double noteDetune_ = 0.0;
    double loudness_ = 1.0;
    NoiseSource::Reader noise_;
    Voice* next_ = nullptr;
    Voice* previous_ = nullptr;
    Voicer* voicer_ = nullptr;
    SynthContext* synth_;
    int32_t note_ = 54;
    int32_t channelProgram_ = 0;
    int32_t channel_;
    int32_t startDelay_ = 0;
    int32_t stopDelay_ = 0;
    int32_t velocity_ = 0;
    int32_t startTime_ = 0;
    int32_t voiceIndex_ = 0;
    VoiceState state_ = VoiceState::Free;
    uint8_t released_ = 0;
    uint8_t forceReleased_ = 0;
    uint8_t gainsEnabled_ = 0;
    uint8_t velocityScalesGains_ = 0;
    uint8_t randomPanEnabled_ = 0;
    uint8_t sustainHeld_ = 0;
    uint8_t noteOffReceived_ = 0;
    uint8_t sostenutoHeld_ = 0;

    friend class Voicer;
};
